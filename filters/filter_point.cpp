// Point, colour and test operations: each pixel's new value from that pixel alone, a few
// whole-frame statistics, and the three Boolean tests.

#include "filters/filter_engine.h"
#include "filters/filter_ops.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace tavimo::fx {

namespace {

using ByteTable = std::array<uint8_t, 256>;

// A 256-entry table whose entries may be unusable: a channel value that meets one is a
// run-time failure, but only when some pixel really has that value.
struct CheckedTable {
    std::array<uint8_t, 256> value{};
    std::array<uint8_t, 256> bad{};
};

// Applies one table to blue, green and red.
void applyTable(PixelFrame& f, const ByteTable& t) {
    mapPixels(f, [&](uint32_t p) { return withBgr(p, t[blueOf(p)], t[greenOf(p)], t[redOf(p)]); });
}

// Applies a checked table per channel (nullptr leaves that channel), failing on any bad
// entry met.
void applyChecked(PixelFrame& f, const CheckedTable* tb, const CheckedTable* tg,
                  const CheckedTable* tr, const CheckedTable* ta = nullptr) {
    std::atomic<bool> bad{false};
    const int64_t w = f.width;
    parallelRows(0, f.height, rowGrain(f.width), [&](int32_t y0, int32_t y1) {
        uint32_t* p = f.pixels + y0 * w;
        const int64_t n = (y1 - y0) * w;
        uint32_t hit = 0;
        for (int64_t i = 0; i < n; ++i) {
            uint32_t v = p[i];
            uint32_t b = blueOf(v), g = greenOf(v), r = redOf(v), a = alphaOf(v);
            if (tb) {
                hit |= tb->bad[b];
                b = tb->value[b];
            }
            if (tg) {
                hit |= tg->bad[g];
                g = tg->value[g];
            }
            if (tr) {
                hit |= tr->bad[r];
                r = tr->value[r];
            }
            if (ta) {
                hit |= ta->bad[a];
                a = ta->value[a];
            }
            p[i] = packArgb(a, r, g, b);
        }
        if (hit) {
            bad.store(true);
        }
    });
    if (bad.load()) {
        fail("channel value out of range");
    }
}

// clamp(v + delta) for every byte v, where v + delta must fit a 32-bit integer.
CheckedTable offsetTable(int32_t delta) {
    CheckedTable t;
    for (int v = 0; v < 256; ++v) {
        int64_t s = static_cast<int64_t>(v) + delta;
        if (s > INT32_MAX || s < INT32_MIN) {
            t.bad[v] = 1;
        } else {
            t.value[v] = static_cast<uint8_t>(clampByte(s));
        }
    }
    return t;
}

// The scale factor of brightness, contrast: (P + 100) / 100 held as a Single.
float percentFactor(int32_t P) {
    int64_t n = checked32(static_cast<int64_t>(P) + 100);
    return static_cast<float>(static_cast<double>(n) / 100.0);
}

ByteTable brightnessTable(int32_t P) {
    float k = percentFactor(P);
    ByteTable t{};
    for (int i = 0; i < 256; ++i) {
        t[i] = static_cast<uint8_t>(clampByte(toInt32(static_cast<double>(k) * i)));
    }
    return t;
}

// Runs body(pixels, count) over row ranges and adds up what each returns.
template <class T, class Fn> T reduceRows(const PixelFrame& f, T zero, Fn body) {
    std::mutex m;
    T total = zero;
    const int64_t w = f.width;
    parallelRows(0, f.height, rowGrain(f.width), [&](int32_t y0, int32_t y1) {
        T part = body(f.pixels + y0 * w, (y1 - y0) * w);
        std::lock_guard lock(m);
        total += part;
    });
    return total;
}

int64_t pixelCount(const PixelFrame& f) {
    return static_cast<int64_t>(f.width) * f.height;
}

// An Int() of a Double that is stored as a 32-bit integer.
int32_t floorToInt32(double v) {
    double r = std::floor(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) {
        fail("integer conversion out of range");
    }
    return static_cast<int32_t>(r);
}

} // namespace

void Negative(PixelFrame& f) {
    mapPixels(f, [](uint32_t p) { return p ^ 0x00FFFFFFu; });
}

void InvertPalette(gp::Palette& palette) {
    for (auto& e : palette.entries) {
        e ^= 0x00FFFFFFu;
    }
}

void Grayscale(PixelFrame& f) {
    std::array<uint8_t, 766> t{};
    for (int s = 0; s < 766; ++s) {
        t[s] = static_cast<uint8_t>(toByte(s / 3.0));
    }
    mapPixels(f, [&](uint32_t p) {
        uint32_t v = t[blueOf(p) + greenOf(p) + redOf(p)];
        return withBgr(p, v, v, v);
    });
}

void ApplyBrightness(PixelFrame& f, int32_t P) {
    applyTable(f, brightnessTable(P));
}

void ApplyBrightnessToPalette(gp::Palette& palette, int32_t P) {
    ByteTable t = brightnessTable(P);
    for (auto& e : palette.entries) {
        e = withBgr(e, t[blueOf(e)], t[greenOf(e)], t[redOf(e)]);
    }
}

void SwapChannels(PixelFrame& f, int32_t mode) {
    switch (mode) {
    case 1: // R := G, G := B, B := R
        mapPixels(f, [](uint32_t p) { return withBgr(p, redOf(p), blueOf(p), greenOf(p)); });
        break;
    case 2: // R := B, G := R, B := G
        mapPixels(f, [](uint32_t p) { return withBgr(p, greenOf(p), redOf(p), blueOf(p)); });
        break;
    case 3:
        mapPixels(f, [](uint32_t p) { return withBgr(p, blueOf(p), redOf(p), greenOf(p)); });
        break;
    case 4:
        mapPixels(f, [](uint32_t p) { return withBgr(p, redOf(p), greenOf(p), blueOf(p)); });
        break;
    case 5:
        mapPixels(f, [](uint32_t p) { return withBgr(p, greenOf(p), blueOf(p), redOf(p)); });
        break;
    default:
        break;
    }
}

void ApplyContrast(PixelFrame& f, int32_t P) {
    const int64_t n = pixelCount(f);
    int64_t sum = reduceRows(f, int64_t{0}, [](const uint32_t* p, int64_t count) {
        int64_t s = 0;
        for (int64_t i = 0; i < count; ++i) {
            s += (blueOf(p[i]) + greenOf(p[i]) + redOf(p[i])) / 3;
        }
        return s;
    });
    const int32_t mean = static_cast<int32_t>(std::floor(static_cast<double>(sum) / n));
    const float k = percentFactor(P);
    std::array<int32_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        t[i] = toInt32(mean + static_cast<double>(i - mean) * static_cast<double>(k));
    }
    mapPixels(f, [&](uint32_t p) {
        int64_t r = t[redOf(p)], g = t[greenOf(p)], b = t[blueOf(p)];
        auto in = [](int64_t v) { return v >= 0 && v <= 255; };
        // The part of a channel that leaves the range is handed in halves to the two
        // others; this settles in a few rounds, the bound only guards against a value
        // that never would.
        for (int round = 0; !(in(r) && in(g) && in(b)); ++round) {
            if (round > 1000) {
                fail("contrast spreading does not settle");
            }
            if (r <= 0 && g <= 0 && b <= 0) {
                r = g = b = 0;
            }
            if (r > 254 && g > 254 && b > 254) {
                r = g = b = 255;
            }
            if (r < 0) {
                g = checked32(g + r / 2);
                b = checked32(b + r / 2);
                r = 0;
            } else if (r > 255) {
                int64_t h = (r - 255) / 2;
                g = checked32(g + h);
                b = checked32(b + h);
                r = 255;
            }
            if (g < 0) {
                r = checked32(r + g / 2);
                b = checked32(b + g / 2);
                g = 0;
            } else if (g > 255) {
                int64_t h = (g - 255) / 2;
                r = checked32(r + h);
                b = checked32(b + h);
                g = 255;
            }
            if (b < 0) {
                r = checked32(r + b / 2);
                g = checked32(g + b / 2);
                b = 0;
            } else if (b > 255) {
                int64_t h = (b - 255) / 2;
                r = checked32(r + h);
                g = checked32(g + h);
                b = 255;
            }
        }
        return withBgr(p, static_cast<uint32_t>(b), static_cast<uint32_t>(g),
                       static_cast<uint32_t>(r));
    });
}

void ThresholdToColor(PixelFrame& f, int32_t P) {
    ColorParts c = splitColorRef(P);
    const int32_t tb = c.c0, tg = c.c1, tr = c.c2;
    mapPixels(f, [=](uint32_t p) {
        bool black = static_cast<int32_t>(blueOf(p)) < tb &&
                     static_cast<int32_t>(greenOf(p)) < tg && static_cast<int32_t>(redOf(p)) < tr;
        return black ? (p & 0xFF000000u) : (p | 0x00FFFFFFu);
    });
}

void AutoLevels(PixelFrame& f) {
    struct MinMax {
        std::array<uint32_t, 3> lo{255, 255, 255};
        std::array<uint32_t, 3> hi{0, 0, 0};
        MinMax& operator+=(const MinMax& o) {
            for (int c = 0; c < 3; ++c) {
                lo[c] = std::min(lo[c], o.lo[c]);
                hi[c] = std::max(hi[c], o.hi[c]);
            }
            return *this;
        }
    };
    MinMax mm = reduceRows(f, MinMax{}, [](const uint32_t* p, int64_t count) {
        MinMax m;
        for (int64_t i = 0; i < count; ++i) {
            uint32_t v[3] = {blueOf(p[i]), greenOf(p[i]), redOf(p[i])};
            for (int c = 0; c < 3; ++c) {
                m.lo[c] = std::min(m.lo[c], v[c]);
                m.hi[c] = std::max(m.hi[c], v[c]);
            }
        }
        return m;
    });
    std::array<CheckedTable, 3> t;
    for (int c = 0; c < 3; ++c) {
        int32_t lo = static_cast<int32_t>(mm.lo[c]), hi = static_cast<int32_t>(mm.hi[c]);
        if (lo == hi) {
            lo = 0;
            hi = 255;
        }
        for (int v = 0; v < 256; ++v) {
            t[c].value[v] = static_cast<uint8_t>(
                clampByte(toInt32(static_cast<double>((v - lo) * 255) / (hi - lo))));
        }
    }
    applyChecked(f, &t[0], &t[1], &t[2]);
}

void AddNoise(PixelFrame& f, int32_t P) {
    const int64_t span = checked32(2 * static_cast<int64_t>(P) + 1);
    const int64_t n = pixelCount(f);
    // The draws are taken in pixel order, three per pixel (red, green, blue), a chunk at a
    // time on this thread; applying a chunk's draws is independent per pixel and runs in
    // parallel, so the result is the same whatever the threads.
    constexpr int64_t kChunk = 1 << 18;
    std::vector<float> u(static_cast<size_t>(std::min(kChunk, n) * 3));
    std::atomic<bool> bad{false};
    for (int64_t start = 0; start < n; start += kChunk) {
        const int64_t count = std::min(kChunk, n - start);
        drawUniform(u.data(), static_cast<size_t>(count * 3));
        uint32_t* p = f.pixels + start;
        parallelRows(0, static_cast<int32_t>(count), 16384, [&](int32_t i0, int32_t i1) {
            bool outside = false;
            auto noisy = [&](uint32_t v, float draw) {
                double r = std::rint(static_cast<double>(draw) * static_cast<double>(span) - P + v);
                outside |= !(r >= -2147483648.0 && r <= 2147483647.0);
                return static_cast<uint32_t>(r < 0.0 ? 0 : (r > 255.0 ? 255 : r));
            };
            for (int64_t i = i0; i < i1; ++i) {
                uint32_t v = p[i];
                uint32_t r = noisy(redOf(v), u[3 * i]);
                uint32_t g = noisy(greenOf(v), u[3 * i + 1]);
                uint32_t b = noisy(blueOf(v), u[3 * i + 2]);
                p[i] = withBgr(v, b, g, r);
            }
            if (outside) {
                bad.store(true);
            }
        });
    }
    if (bad.load()) {
        fail("integer conversion out of range");
    }
}

void ApplySaturation(PixelFrame& f, int32_t P) {
    const double s = static_cast<float>(P / 100.0);
    mapPixels(f, [=](uint32_t p) {
        int32_t b = static_cast<int32_t>(blueOf(p)), g = static_cast<int32_t>(greenOf(p)),
                r = static_cast<int32_t>(redOf(p));
        int32_t o = (r + g + b) / 3;
        auto sat = [&](int32_t v) {
            return static_cast<uint32_t>(clampByte(toInt32(s * (v - o) + v)));
        };
        return withBgr(p, sat(b), sat(g), sat(r));
    });
}

void ApplyGamma(PixelFrame& f, int32_t P) {
    const double g = (P == 0 ? 1 : P) / 100.0;
    const double e = 1.0 / g;
    CheckedTable t;
    for (int v = 0; v < 256; ++v) {
        double r = std::rint(std::pow(v / 255.0, e) * 255.0);
        if (r >= 0.0 && r <= 255.0) {
            t.value[v] = static_cast<uint8_t>(r);
        } else {
            t.bad[v] = 1;
        }
    }
    applyChecked(f, &t, &t, &t);
}

void HSLToRGB(float h, float s, float l, uint32_t& red, uint32_t& green, uint32_t& blue) {
    float r, g, b;
    if (s == 0.0f) {
        r = g = b = l;
    } else {
        float lo = l <= 0.5f ? l * (1.0f - s) : l - (1.0f - l) * s;
        float hi = 2.0f * l - lo;
        float d = hi - lo;
        if (h < 0.0f) {
            r = hi;
            g = lo;
            b = lo - h * d;
        } else if (h < 1.0f) {
            r = hi;
            g = lo + h * d;
            b = lo;
        } else if (h < 2.0f) {
            g = hi;
            r = lo - (h - 2.0f) * d;
            b = lo;
        } else if (h < 3.0f) {
            g = hi;
            r = lo;
            b = lo + (h - 2.0f) * d;
        } else if (h < 4.0f) {
            b = hi;
            r = lo;
            g = lo - (h - 4.0f) * d;
        } else {
            b = hi;
            g = lo;
            r = lo + (h - 4.0f) * d;
        }
    }
    red = toByte(r * 255.0f);
    green = toByte(g * 255.0f);
    blue = toByte(b * 255.0f);
}

void Colorize(PixelFrame& f, float hue, float saturation, float scale) {
    // The new colour depends on the channel sum alone: one table entry per sum, an
    // unusable one failing only when a pixel has that sum.
    std::array<uint32_t, 766> colour{};
    std::array<uint8_t, 766> bad{};
    for (int s = 0; s < 766; ++s) {
        float l = scale * static_cast<float>(s / 765.0);
        try {
            uint32_t r, g, b;
            HSLToRGB(hue, saturation, l, r, g, b);
            colour[s] = packArgb(0, r, g, b);
        } catch (const FilterFault&) {
            bad[s] = 1;
        }
    }
    std::atomic<bool> failed{false};
    const int64_t w = f.width;
    parallelRows(0, f.height, rowGrain(f.width), [&](int32_t y0, int32_t y1) {
        const uint32_t* src = f.source + y0 * w;
        uint32_t* p = f.pixels + y0 * w;
        const int64_t n = (y1 - y0) * w;
        uint32_t hit = 0;
        for (int64_t i = 0; i < n; ++i) {
            uint32_t s = blueOf(src[i]) + greenOf(src[i]) + redOf(src[i]);
            hit |= bad[s];
            p[i] = (p[i] & 0xFF000000u) | colour[s];
        }
        if (hit) {
            failed.store(true);
        }
    });
    if (failed.load()) {
        fail("colour out of range");
    }
}

void AdjustAlpha(PixelFrame& f, int32_t P) {
    CheckedTable t = offsetTable(P);
    applyChecked(f, nullptr, nullptr, nullptr, &t);
}

bool IsGrayscale(const PixelFrame& f) {
    int64_t mismatches = reduceRows(f, int64_t{0}, [](const uint32_t* p, int64_t count) {
        for (int64_t i = 0; i < count; ++i) {
            uint32_t r = redOf(p[i]);
            if (r != blueOf(p[i]) || r != greenOf(p[i])) {
                return int64_t{1};
            }
        }
        return int64_t{0};
    });
    return mismatches == 0;
}

void AdjustRGB(PixelFrame& f, int32_t dRed, int32_t dGreen, int32_t dBlue) {
    CheckedTable tr = offsetTable(dRed), tg = offsetTable(dGreen), tb = offsetTable(dBlue);
    applyChecked(f, &tb, &tg, &tr);
}

void RedEyeReduction(PixelFrame& f) {
    mapPixels(f, [](uint32_t p) {
        uint32_t b = blueOf(p), g = greenOf(p), r = redOf(p);
        if (r > 59) {
            uint32_t l = toByte(0.587 * g + 0.114 * b + 0.299 * r);
            if (r > 1.5 * l && (b < l || g < l)) {
                uint32_t v = toByte((b + g) / 2.0);
                return withBgr(p, v, v, v);
            }
        }
        return p;
    });
}

void KeepChannel(PixelFrame& f, Channel keep) {
    const uint32_t mask = 0xFF000000u | (0xFFu << (8 * keep));
    mapPixels(f, [=](uint32_t p) { return p & mask; });
}

void RemoveChannel(PixelFrame& f, Channel remove) {
    const uint32_t mask = ~(0xFFu << (8 * remove));
    mapPixels(f, [=](uint32_t p) { return p & mask; });
}

void ScaleChannel(PixelFrame& f, Channel channel, float factor) {
    CheckedTable t;
    for (int v = 0; v < 256; ++v) {
        double r = std::rint(v * static_cast<double>(factor));
        if (r >= 0.0 && r <= 2147483647.0) {
            t.value[v] = static_cast<uint8_t>(std::min(r, 255.0));
        } else {
            t.bad[v] = 1;
        }
    }
    applyChecked(f, channel == kBlue ? &t : nullptr, channel == kGreen ? &t : nullptr,
                 channel == kRed ? &t : nullptr);
}

void ColorToTransparent(PixelFrame& f, int32_t colour, double P) {
    const int32_t T = floorToInt32(768.0 - 768.0 / 100.0 * P);
    const uint32_t c = static_cast<uint32_t>(colour);
    const int32_t cb = static_cast<int32_t>(blueOf(c)), cg = static_cast<int32_t>(greenOf(c)),
                  cr = static_cast<int32_t>(redOf(c));
    mapPixels(f, [=](uint32_t p) {
        int32_t dist = std::abs(static_cast<int32_t>(redOf(p)) - cr) +
                       std::abs(static_cast<int32_t>(greenOf(p)) - cg) +
                       std::abs(static_cast<int32_t>(blueOf(p)) - cb);
        bool hit = T != 0 ? dist <= T : dist == 0;
        return hit ? (p & 0x00FFFFFFu) : p;
    });
}

void ReplaceColor(PixelFrame& f, int32_t colour, int32_t newColour, double P) {
    const int32_t T = floorToInt32(1024.0 - 1024.0 / 100.0 * P);
    const uint32_t c = static_cast<uint32_t>(colour);
    const uint32_t replacement = static_cast<uint32_t>(newColour);
    mapPixels(f, [=](uint32_t p) {
        int32_t dist = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            dist += std::abs(static_cast<int32_t>((p >> shift) & 0xFF) -
                             static_cast<int32_t>((c >> shift) & 0xFF));
        }
        bool hit = T != 0 ? dist <= T : dist == 0;
        return hit ? replacement : p;
    });
}

bool IsBlank(const PixelFrame& f, float confidence, bool packed) {
    int64_t dark = reduceRows(f, int64_t{0}, [packed](const uint32_t* p, int64_t count) {
        int64_t d = 0;
        for (int64_t i = 0; i < count; ++i) {
            if (packed) {
                d += blueOf(p[i]) == 0;
            } else {
                d += 0.587 * greenOf(p[i]) + 0.299 * redOf(p[i]) + 0.114 * blueOf(p[i]) < 140.0;
            }
        }
        return d;
    });
    double share = 100.0 - static_cast<double>(dark) / static_cast<double>(pixelCount(f)) * 100.0;
    share = std::rint(share * 10.0) / 10.0;
    return share > static_cast<double>(confidence);
}

void RedBoostBlueDominant(PixelFrame& f) {
    mapPixels(f, [](uint32_t p) {
        int32_t b = static_cast<int32_t>(blueOf(p)), g = static_cast<int32_t>(greenOf(p)),
                r = static_cast<int32_t>(redOf(p));
        if (b < r) {
            return p;
        }
        int32_t r2 = toInt32((r + g + b) / 3.0 + r);
        int32_t b2 = toInt32(std::fabs(r2 - (r2 + g + b) / 3.0));
        return withBgr(p, static_cast<uint32_t>(clampByte(b2)), static_cast<uint32_t>(g),
                       static_cast<uint32_t>(clampByte(r2)));
    });
}

void EqualizeHistogram(PixelFrame& f) {
    std::array<uint8_t, 766> bin{};
    for (int s = 0; s < 766; ++s) {
        bin[s] = static_cast<uint8_t>(toInt32(s / 3.0));
    }
    struct Histogram {
        std::array<int64_t, 256> h{};
        Histogram& operator+=(const Histogram& o) {
            for (int i = 0; i < 256; ++i) {
                h[i] += o.h[i];
            }
            return *this;
        }
    };
    Histogram hist = reduceRows(f, Histogram{}, [&](const uint32_t* p, int64_t count) {
        Histogram part;
        for (int64_t i = 0; i < count; ++i) {
            ++part.h[bin[blueOf(p[i]) + greenOf(p[i]) + redOf(p[i])]];
        }
        return part;
    });
    const double n = static_cast<double>(pixelCount(f));
    ByteTable map{};
    double c = 0.0;
    for (int i = 0; i < 256; ++i) {
        c += static_cast<double>(hist.h[i]);
        double v = c * 255.0 / n;
        map[i] = static_cast<uint8_t>(toByte(v < 0.0 ? 0.0 : (v > 255.0 ? 255.0 : v)));
    }
    applyTable(f, map);
}

bool IsBlackWhite(const PixelFrame& f) {
    int64_t mismatches = reduceRows(f, int64_t{0}, [](const uint32_t* p, int64_t count) {
        for (int64_t i = 0; i < count; ++i) {
            uint32_t s = blueOf(p[i]) + greenOf(p[i]) + redOf(p[i]);
            if (s > 0 && s < 765) {
                return int64_t{1};
            }
        }
        return int64_t{0};
    });
    return mismatches == 0;
}

double CountColor(const PixelFrame& f, int32_t colour) {
    const uint32_t c = static_cast<uint32_t>(colour);
    return static_cast<double>(reduceRows(f, int64_t{0}, [c](const uint32_t* p, int64_t count) {
        int64_t k = 0;
        for (int64_t i = 0; i < count; ++i) {
            k += p[i] == c;
        }
        return k;
    }));
}

double CountTransparent(PixelFrame& f) {
    return static_cast<double>(reduceRows(f, int64_t{0}, [](uint32_t* p, int64_t count) {
        int64_t k = 0;
        for (int64_t i = 0; i < count; ++i) {
            if (alphaOf(p[i]) == 0) {
                p[i] = 0x000000FFu;
                ++k;
            }
        }
        return k;
    }));
}

double AverageColor(const PixelFrame& f) {
    struct Sums {
        std::array<int64_t, 4> s{};
        Sums& operator+=(const Sums& o) {
            for (int i = 0; i < 4; ++i) {
                s[i] += o.s[i];
            }
            return *this;
        }
    };
    Sums total = reduceRows(f, Sums{}, [](const uint32_t* p, int64_t count) {
        Sums part;
        for (int64_t i = 0; i < count; ++i) {
            part.s[0] += blueOf(p[i]);
            part.s[1] += greenOf(p[i]);
            part.s[2] += redOf(p[i]);
            part.s[3] += alphaOf(p[i]);
        }
        return part;
    });
    const double n = static_cast<double>(pixelCount(f));
    uint32_t mean[4];
    for (int i = 0; i < 4; ++i) {
        mean[i] = toByte(static_cast<double>(total.s[i]) / n);
    }
    return static_cast<double>(static_cast<int32_t>(packArgb(mean[3], mean[2], mean[1], mean[0])));
}

} // namespace tavimo::fx
