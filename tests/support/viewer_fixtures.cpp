#include "tests/support/viewer_fixtures.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace viewer_test {

namespace {

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

} // namespace

bool writeBmp(const std::string& path, int width, int height, const PixelFn& pixel,
              int32_t xPelsPerMetre, int32_t yPelsPerMetre) {
    const uint32_t stride = (uint32_t(width) * 3 + 3) & ~3u;
    const uint32_t imageSize = stride * uint32_t(height);
    std::vector<uint8_t> b;
    b.push_back('B');
    b.push_back('M');
    put32(b, 54 + imageSize);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40);
    put32(b, uint32_t(width));
    put32(b, uint32_t(height));
    put16(b, 1);
    put16(b, 24);
    put32(b, 0);
    put32(b, imageSize);
    put32(b, uint32_t(xPelsPerMetre));
    put32(b, uint32_t(yPelsPerMetre));
    put32(b, 0);
    put32(b, 0);
    for (int y = height - 1; y >= 0; --y) {
        size_t start = b.size();
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixel(x, y);
            b.push_back(uint8_t(p));
            b.push_back(uint8_t(p >> 8));
            b.push_back(uint8_t(p >> 16));
        }
        while (b.size() - start < stride)
            b.push_back(0);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

bool writePng(const std::string& path, int width, int height, const PixelFn& pixel) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                     PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<uint8_t> row(size_t(width) * 4);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint32_t p = pixel(x, y);
                row[size_t(x) * 4 + 0] = uint8_t(p >> 16);
                row[size_t(x) * 4 + 1] = uint8_t(p >> 8);
                row[size_t(x) * 4 + 2] = uint8_t(p);
                row[size_t(x) * 4 + 3] = uint8_t(p >> 24);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, info);
        ok = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    return std::fclose(file) == 0 && ok;
}

uint32_t quadrants(int x, int y, int width, int height) {
    bool right = x >= width / 2, bottom = y >= height / 2;
    if (!right && !bottom)
        return 0xFFFF0000; // red
    if (right && !bottom)
        return 0xFF00FF00; // green
    if (!right)
        return 0xFF0000FF; // blue
    return 0xFFFFFF00;     // yellow
}

} // namespace viewer_test
