#include "tests/support/gdiplus_codec_fixtures.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

namespace gp::test {

namespace {

std::string quoteArg(const std::string& s) {
    return "'" + s + "'";
}

std::string nextName(const std::string& suffix) {
    static std::atomic<int> counter{0};
    return scratchDir() + "/f" + std::to_string(counter++) + suffix;
}

} // namespace

Rgba makePattern(int width, int height, bool alpha) {
    Rgba p;
    p.width = width;
    p.height = height;
    p.pixels.resize(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* px = p.at(x, y);
            px[0] = uint8_t(x * 255 / std::max(1, width - 1));
            px[1] = uint8_t(y * 255 / std::max(1, height - 1));
            px[2] = uint8_t(((x + y) % 8) * 32);
            px[3] = alpha ? uint8_t((x * 7 + y * 3) % 5 == 0 ? 0 : 128 + (x % 64) * 2) : 255;
        }
    return p;
}

std::string scratchDir() {
    static const std::string dir = [] {
        std::string base = std::filesystem::temp_directory_path().string() + "/tavimo-codec-" +
                           std::to_string(::getpid());
        std::filesystem::create_directories(base);
        return base;
    }();
    return dir;
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

bool runConvert(const std::string& arguments) {
    std::string command = "convert " + arguments + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

std::vector<uint8_t> magickEncode(const Rgba& pattern, const std::string& options,
                                  const std::string& outputTarget) {
    std::string raw = nextName(".rgba");
    if (!writeBytes(raw, pattern.pixels))
        return {};
    std::string out = nextName("");
    // The output target names a format prefix ("BMP3:"); put the file name after it.
    std::string format = outputTarget;
    auto colon = format.find(':');
    std::string target =
        colon == std::string::npos ? out + "." + format : format.substr(0, colon + 1) + out;
    std::string size = std::to_string(pattern.width) + "x" + std::to_string(pattern.height);
    if (!runConvert("-size " + size + " -depth 8 rgba:" + quoteArg(raw) + " " + options + " " +
                    quoteArg(target)))
        return {};
    std::string path = colon == std::string::npos ? out + "." + format : out;
    return readBytes(path);
}

bool magickDecode(const std::vector<uint8_t>& bytes, Rgba& out, const std::string& inputPrefix,
                  int frame) {
    std::string in = nextName(".bin");
    std::string raw = nextName(".rgba");
    if (!writeBytes(in, bytes))
        return false;
    std::string source = quoteArg(inputPrefix + in + "[" + std::to_string(frame) + "]");
    if (!runConvert(source + " -depth 8 rgba:" + quoteArg(raw)))
        return false;
    // Size of the decoded frame, as ImageMagick sees it (after coalescing if asked).
    std::string info = nextName(".txt");
    std::string command =
        "convert " + source + " -format '%w %h' info:" + quoteArg(info) + " 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return false;
    std::ifstream f(info);
    f >> out.width >> out.height;
    out.pixels = readBytes(raw);
    return out.width > 0 && out.pixels.size() == size_t(out.width) * size_t(out.height) * 4;
}

std::string magickIdentify(const std::vector<uint8_t>& bytes, const std::string& format) {
    std::string in = nextName(".bin");
    std::string txt = nextName(".txt");
    writeBytes(in, bytes);
    std::string command = "identify -format " + quoteArg(format) + " " + quoteArg(in) + " > " +
                          quoteArg(txt) + " 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return {};
    std::ifstream f(txt);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace gp::test

namespace gp::test {

std::vector<Rgba> magickDecodeAll(const std::vector<uint8_t>& bytes, bool coalesce) {
    static std::atomic<int> counter{0};
    std::string base = scratchDir() + "/all" + std::to_string(counter++);
    writeBytes(base + ".bin", bytes);
    std::string options = coalesce ? " -coalesce" : "";
    std::string sizes = base + ".txt";
    std::string command = "convert '" + base + ".bin'" + options + " -format '%w %h\\n' info:'" +
                          sizes + "' 2>/dev/null";
    std::vector<Rgba> frames;
    if (std::system(command.c_str()) != 0)
        return frames;
    command = "convert '" + base + ".bin'" + options + " -depth 8 +adjoin rgba:'" + base +
              "-%d.rgba' 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return frames;
    std::ifstream f(sizes);
    int w = 0, h = 0;
    for (int i = 0; f >> w >> h; ++i) {
        Rgba frame;
        frame.width = w;
        frame.height = h;
        frame.pixels = readBytes(base + "-" + std::to_string(i) + ".rgba");
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::vector<uint8_t> magickMake(const std::string& arguments, const std::string& extension) {
    static std::atomic<int> counter{0};
    std::string path = scratchDir() + "/made" + std::to_string(counter++) + "." + extension;
    if (!runConvert(arguments + " '" + path + "'"))
        return {};
    return readBytes(path);
}

} // namespace gp::test

#include <png.h>
#include <tiffio.h>

namespace gp::test {

namespace {

void pngAppend(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// The sample of channel c at (x, y), in 0 .. 2^depth - 1.
uint32_t sampleAt(int x, int y, int c, int depth) {
    const uint32_t max = (1u << depth) - 1;
    return uint32_t(x * 37 + y * 101 + c * 53 + (x * y) % 7) * (depth == 16 ? 331u : 1u) %
           (max + 1);
}

void packSamples(std::vector<uint8_t>& row, int width, int channels, int depth,
                 const std::function<uint32_t(int, int)>& sample) {
    const size_t bits = size_t(width) * size_t(channels) * size_t(depth);
    row.assign((bits + 7) / 8, 0);
    size_t bit = 0;
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < channels; ++c, bit += size_t(depth)) {
            uint32_t v = sample(x, c);
            if (depth == 16) {
                row[bit / 8] = uint8_t(v >> 8);
                row[bit / 8 + 1] = uint8_t(v);
            } else if (depth == 8) {
                row[bit / 8] = uint8_t(v);
            } else {
                row[bit / 8] |= uint8_t(v << (8 - depth - bit % 8));
            }
        }
}

} // namespace

std::vector<uint8_t> libpngFixture(int colorType, int bitDepth, bool interlace, bool trns,
                                   int width, int height) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, pngAppend, nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), bitDepth, colorType,
                 interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    const int channels = colorType == PNG_COLOR_TYPE_RGB          ? 3
                         : colorType == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                         : colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                  : 1;
    std::vector<png_color> palette;
    std::vector<uint8_t> alphas;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        const int n = 1 << bitDepth;
        for (int i = 0; i < n; ++i) {
            palette.push_back(png_color{uint8_t(i * 97), uint8_t(255 - i * 13), uint8_t(i * 41)});
            alphas.push_back(uint8_t(i % 3 == 0 ? 0 : 255 - i * 5));
        }
        png_set_PLTE(png, info, palette.data(), n);
        if (trns)
            png_set_tRNS(png, info, alphas.data(), n, nullptr);
    } else if (trns) {
        png_color_16 key{};
        key.gray = png_uint_16(sampleAt(0, 0, 0, bitDepth));
        key.red = png_uint_16(sampleAt(0, 0, 0, bitDepth));
        key.green = png_uint_16(sampleAt(0, 0, 1, bitDepth));
        key.blue = png_uint_16(sampleAt(0, 0, 2, bitDepth));
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(height));
    std::vector<png_bytep> pointers;
    for (int y = 0; y < height; ++y) {
        packSamples(rows[size_t(y)], width, channels, bitDepth,
                    [&](int x, int c) { return sampleAt(x, y, c, bitDepth); });
        pointers.push_back(rows[size_t(y)].data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> libtiffFixture(int photometric, int bitsPerSample, int samples,
                                    int compression, int tileSize, int width, int height) {
    const std::string path = nextName(".tif");
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif)
        return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(bitsPerSample));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(photometric));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(compression));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    if ((samples == 4 && photometric == PHOTOMETRIC_RGB) || samples == 2) {
        uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    std::vector<uint16_t> r, g, b;
    if (photometric == PHOTOMETRIC_PALETTE) {
        const int n = 1 << bitsPerSample;
        for (int i = 0; i < n; ++i) {
            r.push_back(uint16_t((i * 97 % 256) * 257));
            g.push_back(uint16_t(((255 - i * 13) & 255) * 257));
            b.push_back(uint16_t((i * 41 % 256) * 257));
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    }
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        packSamples(rows[size_t(y)], width, samples, bitsPerSample,
                    [&](int x, int c) { return sampleAt(x, y, c, bitsPerSample); });
    bool ok = true;
    if (tileSize > 0) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, uint32_t(tileSize));
        TIFFSetField(tif, TIFFTAG_TILELENGTH, uint32_t(tileSize));
        std::vector<uint8_t> tile(size_t(TIFFTileSize(tif)));
        const size_t tileRow = size_t(TIFFTileRowSize(tif));
        const size_t pixelBits = size_t(bitsPerSample) * size_t(samples);
        for (int ty = 0; ty < height; ty += tileSize)
            for (int tx = 0; tx < width; tx += tileSize) {
                std::fill(tile.begin(), tile.end(), 0);
                for (int y = 0; y < tileSize && ty + y < height; ++y) {
                    const std::vector<uint8_t>& row = rows[size_t(ty + y)];
                    const size_t from = size_t(tx) * pixelBits / 8;
                    const size_t n = std::min(tileRow, row.size() - std::min(from, row.size()));
                    std::memcpy(tile.data() + size_t(y) * tileRow, row.data() + from, n);
                }
                ok &= TIFFWriteTile(tif, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0) >= 0;
            }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(7));
        for (int y = 0; y < height; ++y)
            ok &= TIFFWriteScanline(tif, rows[size_t(y)].data(), uint32_t(y), 0) >= 0;
    }
    TIFFClose(tif);
    return ok ? readBytes(path) : std::vector<uint8_t>{};
}

} // namespace gp::test
