// Reduction to black and white: ordered dither with a 4x4 threshold pattern, and Burkes
// error diffusion.

#include "filters/filter_engine.h"
#include "filters/filter_ops.h"

#include <array>
#include <vector>

namespace tavimo::fx {

void DitherOrdered(PixelFrame& f) {
    static constexpr uint8_t kMatrix[4][4] = {
        {1, 13, 4, 16}, {9, 5, 12, 8}, {3, 15, 2, 14}, {11, 7, 10, 6}};
    // Levels run from 1 to 16, so a sum below 48 still turns white where the pattern
    // holds 1: one pixel in sixteen of a black area.
    std::array<uint8_t, 766> level{};
    for (int s = 0; s < 766; ++s) {
        level[s] = static_cast<uint8_t>(s / 48 + 1);
    }
    const int32_t w = f.width;
    parallelRows(0, f.height, rowGrain(w), [&](int32_t y0, int32_t y1) {
        for (int32_t y = y0; y < y1; ++y) {
            uint32_t* p = f.pixels + static_cast<int64_t>(y) * w;
            const uint8_t* m = kMatrix[y % 4];
            for (int32_t x = 0; x < w; ++x) {
                uint32_t v = p[x];
                bool black = level[blueOf(v) + greenOf(v) + redOf(v)] < m[x % 4];
                p[x] = black ? (v & 0xFF000000u) : (v | 0x00FFFFFFu);
            }
        }
    });
}

void DitherBurkes(PixelFrame& f, int32_t P) {
    if (P == 0) {
        fail("division by zero");
    }
    const int32_t w = f.width, h = f.height;
    const int64_t n = static_cast<int64_t>(w) * h;
    std::array<int32_t, 766> grey{};
    for (int s = 0; s < 766; ++s) {
        grey[s] = s / 3;
    }
    int64_t sum = 0;
    for (int64_t i = 0; i < n; ++i) {
        uint32_t v = f.pixels[i];
        sum += grey[blueOf(v) + greenOf(v) + redOf(v)];
    }
    const int32_t threshold = static_cast<int32_t>(std::floor(static_cast<double>(sum) / n));
    // Error rows with two columns of margin on each side, so the shares need no tests.
    std::vector<int32_t> current(static_cast<size_t>(w) + 4), next(static_cast<size_t>(w) + 4);
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* row = f.pixels + static_cast<int64_t>(y) * w;
        const bool hasNext = y + 1 < h;
        int32_t* cur = current.data() + 2;
        int32_t* nxt = next.data() + 2;
        for (int32_t x = 0; x < w; ++x) {
            uint32_t p = row[x];
            int32_t v = clampByte(grey[blueOf(p) + greenOf(p) + redOf(p)] +
                                  static_cast<int64_t>(cur[x]) * 10 / P);
            // A value of 0 stays black even when the mean (the threshold) is 0, so that a
            // black image does not turn white.
            bool white = v >= threshold && v > 0;
            row[x] = white ? (p | 0x00FFFFFFu) : (p & 0xFF000000u);
            int32_t e = white ? v - 255 : v;
            int32_t e8 = 8 * e / 32, e4 = 4 * e / 32, e2 = 2 * e / 32;
            cur[x + 1] += e8;
            cur[x + 2] += e4;
            if (hasNext) {
                nxt[x - 2] += e2;
                nxt[x - 1] += e4;
                nxt[x] += e8;
                nxt[x + 1] += e4;
                nxt[x + 2] += e2;
            }
        }
        std::swap(current, next);
        std::fill(next.begin(), next.end(), 0);
    }
}

} // namespace tavimo::fx
