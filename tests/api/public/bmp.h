#pragma once

// Minimal 24-bit BMP files for the public API tests: written by hand, so that the tests
// need nothing but the library under test.

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace publictest {

using Pixel = std::function<uint32_t(int x, int y)>; // 0x00RRGGBB

inline void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

inline uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(b[at + size_t(i)]) << (8 * i);
    return v;
}

// A bottom-up 24-bit BMP of w x h pixels.
inline std::vector<uint8_t> bmp24(int w, int h, const Pixel& pixel) {
    const size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> b(54 + stride * size_t(h), 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, uint32_t(b.size()));
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, uint32_t(w));
    put32(b, 22, uint32_t(h));
    b[26] = 1;
    b[28] = 24;
    put32(b, 38, 3780); // 96 dpi
    put32(b, 42, 3780);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t p = pixel(x, y);
            size_t at = 54 + size_t(h - 1 - y) * stride + size_t(x) * 3;
            b[at] = uint8_t(p), b[at + 1] = uint8_t(p >> 8), b[at + 2] = uint8_t(p >> 16);
        }
    return b;
}

// The pixels (0x00RRGGBB, rows top-down) of a 24- or 32-bit BMP; empty for anything else.
inline std::vector<uint32_t> readBmp(const std::vector<uint8_t>& b, int& w, int& h) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M')
        return {};
    w = int32_t(get32(b, 18));
    int32_t rawHeight = int32_t(get32(b, 22));
    h = rawHeight < 0 ? -rawHeight : rawHeight;
    const int bits = b[28];
    if ((bits != 24 && bits != 32) || w <= 0 || h <= 0)
        return {};
    const size_t bytes = size_t(bits / 8), stride = (size_t(w) * bytes + 3) / 4 * 4;
    const size_t offset = get32(b, 10);
    if (b.size() < offset + stride * size_t(h))
        return {};
    std::vector<uint32_t> out(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const size_t row = size_t(rawHeight < 0 ? y : h - 1 - y);
        for (int x = 0; x < w; ++x) {
            size_t at = offset + row * stride + size_t(x) * bytes;
            out[size_t(y) * size_t(w) + size_t(x)] =
                uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16;
        }
    }
    return out;
}

} // namespace publictest
