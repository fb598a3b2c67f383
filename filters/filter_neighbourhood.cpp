// Neighbourhood filters: sharpen, blur, relief and emboss over the 3x3 neighbourhood, and
// the alternate row shading. The sharpen and blur filters work in place, reading the
// already rewritten NW, N, NE and W neighbours; they run as a row wavefront.

#include "filters/filter_engine.h"
#include "filters/filter_ops.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tavimo::fx {

namespace {

// Parameters up to this size cannot overflow a 32-bit intermediate of the in-place
// filters (|P + 24| * 255 + 16 * 255 stays far below 2^31), so their checks can go.
constexpr int64_t kSafeParameter = 8'000'000;

enum class InPlace { SharpenTwo, Blur8, Cross, SharpenOne, CrossWeighted };

// One row block of an in-place filter, every intermediate checked against the 32-bit
// range (for parameters large enough to overflow). `up`, `cur` and `down` are the bytes of
// rows y - 1, y, y + 1 of the pixel buffer; columns [x0, x1). The sum of the neighbours
// other than W is formed first for the whole block (it reads nothing this block writes),
// then the serial pass adds the rewritten W neighbour.
template <InPlace Op>
void inPlaceBlockChecked(const uint8_t* up, uint8_t* cur, const uint8_t* down, int32_t x0,
                         int32_t x1, int64_t P, std::atomic<bool>& bad) {
    constexpr int32_t kBlock = 512;
    int32_t part[kBlock * 3];
    uint8_t centre[kBlock * 3];
    const int32_t n = x1 - x0;
    for (int32_t i = 0; i < n; ++i) {
        const int64_t j = static_cast<int64_t>(x0 + i) * 4;
        for (int ch = 0; ch < 3; ++ch) {
            const int64_t k = j + ch;
            int32_t s;
            if constexpr (Op == InPlace::Cross || Op == InPlace::CrossWeighted) {
                s = up[k] + cur[k + 4] + down[k];
            } else {
                s = up[k - 4] + up[k] + up[k + 4] + cur[k + 4] + down[k - 4] + down[k] +
                    down[k + 4];
            }
            part[i * 3 + ch] = s;
            centre[i * 3 + ch] = cur[k];
        }
    }
    bool outOfRange = false;
    for (int32_t i = 0; i < n; ++i) {
        const int64_t j = static_cast<int64_t>(x0 + i) * 4;
        for (int ch = 0; ch < 3; ++ch) {
            const int64_t s = part[i * 3 + ch] + cur[j - 4 + ch]; // W is already rewritten
            const int64_t c = centre[i * 3 + ch];
            int64_t v;
            if constexpr (Op == InPlace::Blur8) {
                v = s / 8;
            } else if constexpr (Op == InPlace::Cross) {
                v = (s + c) / 5;
            } else if constexpr (Op == InPlace::SharpenTwo || Op == InPlace::SharpenOne) {
                constexpr int64_t kGain = Op == InPlace::SharpenTwo ? 24 : 9;
                constexpr int64_t kDiv = Op == InPlace::SharpenTwo ? 8 : 1;
                constexpr int64_t kRing = Op == InPlace::SharpenTwo ? 2 : 1;
                int64_t num = checked32(checked32(checked32(P + kGain) * c) - checked32(kRing * s));
                v = divTrunc(num, checked32(P + kDiv));
                v = clampByte(v);
            } else {
                const int64_t weight = 101 - P;
                int64_t num = checked32(checked32(checked32(weight) * c) + s);
                v = divTrunc(num, checked32(weight + 4));
                // Not clamped: a negative pixel weight can leave the byte range, which
                // cannot be stored.
                outOfRange |= v < 0 || v > 255;
            }
            cur[j + ch] = static_cast<uint8_t>(v);
        }
    }
    if (outOfRange) {
        bad.store(true);
    }
}

// The same for parameters that cannot overflow: everything but the W neighbour is folded
// into one term per channel first, and the serial pass keeps the rewritten W values in
// registers, so the dependency from pixel to pixel is only an add, a divide and a clamp.
template <InPlace Op>
void inPlaceBlockFast(const uint8_t* up, uint8_t* cur, const uint8_t* down, int32_t x0, int32_t x1,
                      int32_t P, std::atomic<bool>& bad) {
    constexpr int32_t kBlock = 512;
    int32_t base[kBlock * 3];
    const int32_t n = x1 - x0;
    const int32_t gain = Op == InPlace::SharpenTwo   ? P + 24
                         : Op == InPlace::SharpenOne ? P + 9
                                                     : 101 - P;
    constexpr int32_t kW = Op == InPlace::SharpenTwo ? -2 : (Op == InPlace::SharpenOne ? -1 : 1);
    const double divisor = Op == InPlace::SharpenTwo   ? P + 8.0
                           : Op == InPlace::SharpenOne ? P + 1.0
                                                       : 105.0 - P;
    for (int32_t i = 0; i < n; ++i) {
        const int64_t j = static_cast<int64_t>(x0 + i) * 4;
        for (int ch = 0; ch < 3; ++ch) {
            const int64_t k = j + ch;
            int32_t b;
            if constexpr (Op == InPlace::Cross) {
                b = up[k] + cur[k + 4] + down[k] + cur[k];
            } else if constexpr (Op == InPlace::CrossWeighted) {
                b = gain * cur[k] + up[k] + cur[k + 4] + down[k];
            } else {
                int32_t ring = up[k - 4] + up[k] + up[k + 4] + cur[k + 4] + down[k - 4] + down[k] +
                               down[k + 4];
                if constexpr (Op == InPlace::Blur8) {
                    b = ring;
                } else {
                    b = gain * cur[k] + kW * ring;
                }
            }
            base[i * 3 + ch] = b;
        }
    }
    const int64_t first = static_cast<int64_t>(x0) * 4;
    int32_t w[3] = {cur[first - 4], cur[first - 3], cur[first - 2]};
    bool outOfRange = false;
    for (int32_t i = 0; i < n; ++i) {
        uint8_t* out = cur + first + static_cast<int64_t>(i) * 4;
        for (int ch = 0; ch < 3; ++ch) {
            const int32_t num = base[i * 3 + ch] + kW * w[ch];
            int32_t v;
            if constexpr (Op == InPlace::Blur8) {
                v = num >> 3; // never negative
            } else if constexpr (Op == InPlace::Cross) {
                v = static_cast<int32_t>(static_cast<uint32_t>(num) / 5u);
            } else {
                // Exact for 32-bit operands: a double quotient never rounds across an
                // integer there.
                v = static_cast<int32_t>(static_cast<double>(num) / divisor);
                if constexpr (Op == InPlace::CrossWeighted) {
                    outOfRange |= v < 0 || v > 255;
                } else {
                    v = v < 0 ? 0 : (v > 255 ? 255 : v);
                }
            }
            out[ch] = static_cast<uint8_t>(v);
            w[ch] = out[ch];
        }
    }
    if (outOfRange) {
        bad.store(true);
    }
}

template <InPlace Op> void inPlaceFilter(PixelFrame& f, int64_t P) {
    const int32_t w = f.width, h = f.height;
    if (w < 3 || h < 3) {
        return;
    }
    // A zero divisor fails at the first interior pixel.
    if constexpr (Op == InPlace::SharpenTwo) {
        if (P + 8 == 0) {
            fail("division by zero");
        }
    } else if constexpr (Op == InPlace::SharpenOne) {
        if (P + 1 == 0) {
            fail("division by zero");
        }
    } else if constexpr (Op == InPlace::CrossWeighted) {
        if (101 - P + 4 == 0) {
            fail("division by zero");
        }
    }
    std::atomic<bool> bad{false};
    uint8_t* bytes = reinterpret_cast<uint8_t*>(f.pixels);
    const int64_t stride = static_cast<int64_t>(w) * 4;
    const bool safe = P >= -kSafeParameter && P <= kSafeParameter;
    wavefrontRows(1, h - 1, 1, w - 1, [&](int32_t y, int32_t x0, int32_t x1) {
        uint8_t* cur = bytes + y * stride;
        if (safe) {
            inPlaceBlockFast<Op>(cur - stride, cur, cur + stride, x0, x1, static_cast<int32_t>(P),
                                 bad);
        } else {
            inPlaceBlockChecked<Op>(cur - stride, cur, cur + stride, x0, x1, P, bad);
        }
    });
    if (bad.load()) {
        fail("value out of byte range");
    }
}

// Runs body(y, x, v(dy, dx, ch)) over the interior of the source copy, rows in
// parallel; v reads the source channel `ch` at the given offset.
template <class Body> void sourceInterior(PixelFrame& f, Body body) {
    const int32_t w = f.width, h = f.height;
    if (w < 3 || h < 3) {
        return;
    }
    const auto* src = reinterpret_cast<const uint8_t*>(f.source);
    auto* out = reinterpret_cast<uint8_t*>(f.pixels);
    const int64_t stride = static_cast<int64_t>(w) * 4;
    parallelRows(1, h - 1, rowGrain(w), [&](int32_t y0, int32_t y1) {
        for (int32_t y = y0; y < y1; ++y) {
            const uint8_t* s = src + y * stride;
            uint8_t* o = out + y * stride;
            for (int32_t x = 1; x < w - 1; ++x) {
                body(s + x * 4, o + x * 4, stride);
            }
        }
    });
}

inline int32_t at(const uint8_t* p, int64_t stride, int dy, int dx, int ch) {
    return p[dy * stride + dx * 4 + ch];
}

// Runs body(pixel, below) over rows 1..H-1 and columns 1..W-1 of the pixel buffer, where
// `below` is the row under the pixel's row as it was before the operation. Rows are cut
// into bands; the first row of each band is saved before any band starts, because the
// band above reads it unchanged.
template <class Body> void withRowBelow(PixelFrame& f, Body body) {
    const int32_t w = f.width, h = f.height;
    if (w < 2 || h < 2) {
        return;
    }
    const int32_t rows = h - 1;
    const int32_t bands = std::min<int32_t>(rows, threadCount() * 4);
    const int32_t bandRows = (rows + bands - 1) / bands;
    const int32_t count = (rows + bandRows - 1) / bandRows;
    std::vector<uint32_t> saved(static_cast<size_t>(count) * w);
    for (int32_t b = 0; b < count; ++b) {
        int32_t next = std::min(h - 1, (b + 1) * bandRows);
        std::memcpy(saved.data() + static_cast<int64_t>(b) * w,
                    f.pixels + static_cast<int64_t>(next) * w, static_cast<size_t>(w) * 4);
    }
    parallelRows(0, count, 1, [&](int32_t b0, int32_t b1) {
        for (int32_t b = b0; b < b1; ++b) {
            int32_t first = b * bandRows, last = std::min(rows, first + bandRows);
            for (int32_t y = first; y < last; ++y) {
                uint32_t* row = f.pixels + static_cast<int64_t>(y) * w;
                const uint32_t* below =
                    y + 1 == last ? saved.data() + static_cast<int64_t>(b) * w : row + w;
                for (int32_t x = 0; x < w - 1; ++x) {
                    row[x] = body(row[x], below[x + 1]);
                }
            }
        }
    });
}

} // namespace

void SharpenRingTwo(PixelFrame& f, int32_t P) {
    inPlaceFilter<InPlace::SharpenTwo>(f, P);
}
void BlurNeighbours(PixelFrame& f) {
    inPlaceFilter<InPlace::Blur8>(f, 0);
}
void BlurCross(PixelFrame& f) {
    inPlaceFilter<InPlace::Cross>(f, 0);
}
void SharpenRingOne(PixelFrame& f, int32_t P) {
    inPlaceFilter<InPlace::SharpenOne>(f, P);
}
void BlurCrossWeighted(PixelFrame& f, int32_t P) {
    inPlaceFilter<InPlace::CrossWeighted>(f, P);
}

void DiagonalEmboss(PixelFrame& f, int32_t P) {
    const ColorParts c = splitColorRef(P);
    withRowBelow(f, [&](uint32_t p, uint32_t se) {
        int32_t red = clampByte(
            std::abs(static_cast<int32_t>(blueOf(p)) - static_cast<int32_t>(blueOf(se)) + c.c0));
        int32_t gb = clampByte(
            std::abs(static_cast<int32_t>(greenOf(p)) - static_cast<int32_t>(greenOf(se)) + c.c1));
        return withBgr(p, static_cast<uint32_t>(gb), static_cast<uint32_t>(gb),
                       static_cast<uint32_t>(red));
    });
}

void AbsDiagonalRelief(PixelFrame& f, int32_t P) {
    const ColorParts c = splitColorRef(P);
    withRowBelow(f, [&](uint32_t p, uint32_t se) {
        auto diff = [](uint32_t a, uint32_t b, int32_t bias) {
            return static_cast<uint32_t>(
                clampByte(std::abs(static_cast<int32_t>(a) - static_cast<int32_t>(b) + bias)));
        };
        uint32_t red = diff(blueOf(se), blueOf(p), c.c0);
        uint32_t green = diff(greenOf(se), greenOf(p), c.c1);
        uint32_t blue = diff(redOf(se), redOf(p), c.c2);
        return withBgr(p, blue, green, red);
    });
}

void AlternateRowShading(PixelFrame& f) {
    const float up = static_cast<float>(1.0 + 20.0 / 100.0);
    const float down = static_cast<float>(1.0 - 20.0 / 100.0);
    std::array<uint8_t, 256> tUp{}, tDown{};
    for (int i = 0; i < 256; ++i) {
        double u = i * static_cast<double>(up);
        tUp[i] = u > 255.0 ? 255 : static_cast<uint8_t>(std::rint(u));
        tDown[i] = static_cast<uint8_t>(std::rint(i * static_cast<double>(down)));
    }
    const int64_t w = f.width;
    // Only complete pairs of rows change; an odd last row keeps its values.
    const int32_t rows = f.height - f.height % 2;
    parallelRows(0, rows, rowGrain(f.width), [&](int32_t y0, int32_t y1) {
        for (int32_t y = y0; y < y1; ++y) {
            const auto& t = y % 2 == 0 ? tUp : tDown;
            uint32_t* p = f.pixels + y * w;
            for (int64_t x = 0; x < w; ++x) {
                p[x] = withBgr(p[x], t[blueOf(p[x])], t[greenOf(p[x])], t[redOf(p[x])]);
            }
        }
    });
}

} // namespace tavimo::fx
