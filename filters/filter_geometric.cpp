// Geometric distortions and pattern replacement: pixels move rather than change colour.
// Coordinates in the formulas are 1-based, as the operations define them.

#include "filters/filter_engine.h"
#include "filters/filter_ops.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tavimo::fx {

namespace {

inline uint32_t takeBgr(uint32_t dst, uint32_t src) {
    return (dst & 0xFF000000u) | (src & 0x00FFFFFFu);
}

// The strength of the swirl and the twirl: P, or 1 when P is not at least 1; at most 100.
double strength(double P) {
    return P >= 1.0 ? std::min(P, 100.0) : 1.0;
}

// An amplitude or period below 1 is taken as 1.
double atLeastOne(double v) {
    return v < 1.0 ? 1.0 : v;
}

} // namespace

double PolarAngle(double y, double x) {
    if (y == 0.0 && x == 0.0) {
        return 0.0;
    }
    double xd = x == 0.0 ? 0.0001 : x;
    return std::atan(y / xd) + (x < 0.0 ? kPi : 0.0);
}

void Diffuse(PixelFrame& f, int32_t P) {
    const int64_t s = P > 0 ? P : 6;
    const int32_t half = toInt32(static_cast<double>(s) / 2.0);
    const int32_t w = f.width, h = f.height;
    // Sequential by nature: two draws per pixel in order, and each pixel reads pixels
    // that earlier steps have already moved.
    constexpr int32_t kChunk = 4096;
    std::vector<float> u(2 * kChunk);
    int32_t left = 0, used = 0;
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* row = f.pixels + static_cast<int64_t>(y) * w;
        for (int32_t x = 0; x < w; ++x) {
            if (used == left) {
                int64_t remaining = static_cast<int64_t>(h - y) * w - x;
                left = static_cast<int32_t>(std::min<int64_t>(kChunk, remaining));
                drawUniform(u.data(), static_cast<size_t>(left) * 2);
                used = 0;
            }
            int32_t dx = toInt32(static_cast<double>(s) * u[2 * used] - half);
            int32_t dy = toInt32(static_cast<double>(s) * u[2 * used + 1] - half);
            ++used;
            if (x + static_cast<int64_t>(dx) < 0 || x + static_cast<int64_t>(dx) >= w) {
                dx = 0;
            }
            if (y + static_cast<int64_t>(dy) < 0 || y + static_cast<int64_t>(dy) >= h) {
                dy = 0;
            }
            row[x] = takeBgr(row[x], f.pixels[static_cast<int64_t>(y + dy) * w + x + dx]);
        }
    }
}

// Each block row reads its own rows only, and each run of blocks is summed before it is
// written, so the source may be the pixels themselves. Nothing is allocated: the sums of
// a run of blocks fit on the stack.
void Mosaic(PixelFrame& f, int32_t P) {
    const int64_t c = P < 1 ? 3 : P;
    const int32_t w = f.width, h = f.height;
    const int64_t blockRows = (h + c - 1) / c;
    const int64_t blockCols = (w + c - 1) / c;
    constexpr int64_t kRun = 256;
    parallelRows(0, static_cast<int32_t>(blockRows), 1, [&](int32_t b0, int32_t b1) {
        int64_t sums[kRun * 3];
        for (int64_t by = b0; by < b1; ++by) {
            const int64_t y0 = by * c, y1 = std::min<int64_t>(h, y0 + c);
            for (int64_t run0 = 0; run0 < blockCols; run0 += kRun) {
                const int64_t run1 = std::min(blockCols, run0 + kRun);
                std::fill(sums, sums + (run1 - run0) * 3, 0);
                for (int64_t y = y0; y < y1; ++y) {
                    const uint32_t* src = f.source + y * w;
                    for (int64_t bx = run0; bx < run1; ++bx) {
                        const int64_t x0 = bx * c, x1 = std::min<int64_t>(w, x0 + c);
                        int64_t b = 0, g = 0, r = 0;
                        for (int64_t x = x0; x < x1; ++x) {
                            b += blueOf(src[x]);
                            g += greenOf(src[x]);
                            r += redOf(src[x]);
                        }
                        int64_t* sum = &sums[(bx - run0) * 3];
                        sum[0] += b;
                        sum[1] += g;
                        sum[2] += r;
                    }
                }
                for (int64_t bx = run0; bx < run1; ++bx) {
                    const int64_t x0 = bx * c, x1 = std::min<int64_t>(w, x0 + c);
                    const int64_t count = (x1 - x0) * (y1 - y0);
                    const int64_t* s = &sums[(bx - run0) * 3];
                    const uint32_t bgr = packArgb(0, static_cast<uint32_t>(s[2] / count),
                                                  static_cast<uint32_t>(s[1] / count),
                                                  static_cast<uint32_t>(s[0] / count));
                    for (int64_t y = y0; y < y1; ++y) {
                        uint32_t* out = f.pixels + y * w;
                        for (int64_t x = x0; x < x1; ++x) {
                            out[x] = takeBgr(out[x], bgr);
                        }
                    }
                }
            }
        }
    });
}

void WaveHorizontal(PixelFrame& f, double F, double G) {
    const double a = atLeastOne(F), p = atLeastOne(G);
    const int32_t w = f.width, h = f.height;
    std::vector<int32_t> g(static_cast<size_t>(w));
    for (int32_t x = 1; x <= w; ++x) {
        g[x - 1] = toInt32(std::sin(x / p) * a);
    }
    // Source pixel (x, y) goes to (x, y - g): pixel (x, y) receives (x, y + g) when that
    // exists and keeps its value otherwise.
    parallelRows(0, h, rowGrain(w), [&](int32_t y0, int32_t y1) {
        for (int64_t y = y0; y < y1; ++y) {
            uint32_t* out = f.pixels + y * w;
            for (int64_t x = 0; x < w; ++x) {
                int64_t sy = y + g[x];
                if (sy >= 0 && sy < h) {
                    out[x] = takeBgr(out[x], f.source[sy * w + x]);
                }
            }
        }
    });
}

void WaveVertical(PixelFrame& f, double F, double G) {
    const double a = atLeastOne(F), p = atLeastOne(G);
    const int32_t w = f.width, h = f.height;
    const int64_t n = static_cast<int64_t>(w) * h;
    std::vector<int32_t> g(static_cast<size_t>(h));
    for (int32_t y = 1; y <= h; ++y) {
        g[y - 1] = toInt32(std::sin(y / p) * a);
    }
    // Offsets count in elements of the whole buffer, so a row shifted past its end
    // continues in the neighbouring row; rows are written in order, later ones winning.
    for (int64_t y = 0; y < h; ++y) {
        const int64_t start = y * w;
        const int64_t first = std::max<int64_t>(0, start - g[y]);
        const int64_t last = std::min<int64_t>(n, start + w - g[y]);
        for (int64_t t = first; t < last; ++t) {
            f.pixels[t] = takeBgr(f.pixels[t], f.source[t + g[y]]);
        }
    }
}

void ReplacePattern3x3(PixelFrame& f, const std::array<uint32_t, 18>& pattern) {
    const int32_t w = f.width, h = f.height;
    if (w < 3 || h < 3) {
        return;
    }
    std::vector<uint8_t> match(static_cast<size_t>(w) * h);
    parallelRows(1, h - 1, rowGrain(w), [&](int32_t y0, int32_t y1) {
        for (int64_t y = y0; y < y1; ++y) {
            for (int64_t x = 1; x < w - 1; ++x) {
                bool all = true;
                for (int k = 0; k < 9 && all; ++k) {
                    uint32_t s = f.source[(y + k / 3 - 1) * w + x + k % 3 - 1];
                    all = ((s ^ pattern[k]) & 0x00FFFFFFu) == 0;
                }
                match[y * w + x] = all;
            }
        }
    });
    // Windows overlap: replacements are applied in scan order so that a later match
    // overwrites an earlier one.
    for (int64_t y = 1; y < h - 1; ++y) {
        for (int64_t x = 1; x < w - 1; ++x) {
            if (match[y * w + x]) {
                for (int k = 0; k < 9; ++k) {
                    uint32_t& d = f.pixels[(y + k / 3 - 1) * w + x + k % 3 - 1];
                    d = takeBgr(d, pattern[9 + k]);
                }
            }
        }
    }
}

void Swirl(PixelFrame& f, double P, bool coversWholeImage) {
    const double amax = strength(P) / 10.0 * kPi;
    const int32_t w = f.width, h = f.height;
    const double d = std::max(w, h);
    const int64_t cx = w / 2, cy = h / 2;
    parallelRows(0, h, rowGrain(w), [&](int32_t y0, int32_t y1) {
        for (int64_t y = y0 + 1; y <= y1; ++y) {
            uint32_t* out = f.pixels + (y - 1) * w;
            for (int64_t x = 1; x <= w; ++x) {
                const double dx = static_cast<double>(x - cx), dy = static_cast<double>(y - cy);
                const double r = std::sqrt(dx * dx + dy * dy);
                const double t = r / d * amax;
                const double ct = std::cos(t), st = std::sin(t);
                const double sx = std::floor(dx * ct + cx - dy * st);
                const double sy = std::floor(dy * ct + cy + dx * st);
                uint32_t& o = out[x - 1];
                if (sx >= 1 && sx <= w && sy >= 1 && sy <= h) {
                    o = takeBgr(o, f.source[(static_cast<int64_t>(sy) - 1) * w +
                                            static_cast<int64_t>(sx) - 1]);
                } else if (coversWholeImage) {
                    o |= 0x00FFFFFFu;
                }
            }
        }
    });
}

void EllipseSqueeze(PixelFrame& f, bool coversWholeImage) {
    const int32_t w = f.width, h = f.height;
    const int32_t b = w / 2, d = h / 2;
    if (d == 0) {
        fail("division by zero");
    }
    parallelRows(0, h, rowGrain(w), [&](int32_t y0, int32_t y1) {
        for (int32_t y = y0 + 1; y <= y1; ++y) {
            uint32_t* out = f.pixels + static_cast<int64_t>(y - 1) * w;
            const uint32_t* src = f.source + static_cast<int64_t>(y - 1) * w;
            if (coversWholeImage) {
                for (int32_t x = 0; x < w; ++x) {
                    out[x] |= 0x00FFFFFFu;
                }
            }
            const double t = static_cast<double>(y - d) / d;
            const double q = std::min(t * t, 1.0);
            const double l = std::sqrt(1.0 - q);
            const int64_t m = static_cast<int64_t>(std::floor((1.0 - l) * b)) - 1;
            const double k = static_cast<double>(w - 2 * m) / w;
            // Later source pixels overwrite earlier ones in the same column; columns that
            // receive nothing (in a stretched row) keep their values.
            for (int32_t x = 1; x <= w; ++x) {
                double col = std::rint((x - 1) * k + m);
                int64_t c = col < 0.0 ? 0 : (col > w - 1 ? w - 1 : static_cast<int64_t>(col));
                out[c] = takeBgr(out[c], src[x - 1]);
            }
        }
    });
}

void Twirl(PixelFrame& f, double P, double radius) {
    const int32_t w = f.width, h = f.height;
    const double big =
        radius != 0.0 ? radius
                      : std::sqrt(static_cast<double>(w) * w + static_cast<double>(h) * h) / 2.0;
    const double s = strength(P);
    parallelRows(0, h, rowGrain(w), [&](int32_t y0, int32_t y1) {
        for (int64_t y = y0 + 1; y <= y1; ++y) {
            uint32_t* out = f.pixels + (y - 1) * w;
            const double dy = std::rint(h * 0.5 - y);
            for (int64_t x = 1; x <= w; ++x) {
                const double dx = std::rint(w * 0.5 - x);
                const double r = std::sqrt(dx * dx + dy * dy);
                if (r >= big) {
                    continue;
                }
                const double angle = PolarAngle(dy, dx) + r / (big / s);
                double sx = std::rint(r * std::cos(angle) + w * 0.5);
                double sy = std::rint(h * 0.5 - r * std::sin(angle));
                sx = std::clamp(sx, 1.0, static_cast<double>(w));
                sy = std::clamp(sy, 1.0, static_cast<double>(h));
                // All four bytes move, alpha included.
                out[x - 1] =
                    f.source[(static_cast<int64_t>(sy) - 1) * w + static_cast<int64_t>(sx) - 1];
            }
        }
    });
}

} // namespace tavimo::fx
