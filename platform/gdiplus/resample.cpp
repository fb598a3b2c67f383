#include "platform/gdiplus/resample.h"

#include "platform/gdiplus/resample_internal.h"
#include "platform/gdiplus/resample_pool.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace gp {

namespace detail {

namespace {

using v4f = float __attribute__((vector_size(16)));
using v4u8 = uint8_t __attribute__((vector_size(4)));

// Composites premultiplied pixels source-over onto a destination row, pixel by pixel.
void compositeBlend(uint8_t* dst, PixelLayout layout, const uint32_t* src, int32_t n) {
    switch (layout) {
    case PixelLayout::PARGB32:
        for (int32_t i = 0; i < n; ++i) {
            uint32_t s = src[i], a = s >> 24;
            if (a == 255) {
                store32(dst + 4 * i, s);
            } else if (a != 0) {
                uint32_t d = load32(dst + 4 * i), k = 255 - a, out = 0;
                for (int c = 0; c < 32; c += 8)
                    out |= (((s >> c) & 0xFF) + div255(((d >> c) & 0xFF) * k)) << c;
                store32(dst + 4 * i, out);
            }
        }
        break;
    case PixelLayout::RGB32:
        for (int32_t i = 0; i < n; ++i) {
            uint32_t s = src[i], a = s >> 24;
            if (a == 255) {
                store32(dst + 4 * i, s);
            } else {
                uint32_t d = load32(dst + 4 * i), k = 255 - a, out = 0xFF000000u;
                for (int c = 0; c < 24; c += 8)
                    out |= (((s >> c) & 0xFF) + div255(((d >> c) & 0xFF) * k)) << c;
                store32(dst + 4 * i, out);
            }
        }
        break;
    case PixelLayout::RGB24:
        for (int32_t i = 0; i < n; ++i) {
            uint32_t s = src[i], a = s >> 24, k = 255 - a;
            uint8_t* d = dst + 3 * size_t(i);
            if (a == 255) {
                d[0] = uint8_t(s);
                d[1] = uint8_t(s >> 8);
                d[2] = uint8_t(s >> 16);
            } else if (a != 0) {
                d[0] = uint8_t((s & 0xFF) + div255(d[0] * k));
                d[1] = uint8_t(((s >> 8) & 0xFF) + div255(d[1] * k));
                d[2] = uint8_t(((s >> 16) & 0xFF) + div255(d[2] * k));
            }
        }
        break;
    case PixelLayout::ARGB32:
        for (int32_t i = 0; i < n; ++i) {
            uint32_t s = src[i], a = s >> 24;
            if (a == 255) {
                store32(dst + 4 * i, s);
            } else if (a != 0) {
                uint32_t d = premultiply(load32(dst + 4 * i)), k = 255 - a, out = 0;
                for (int c = 0; c < 32; c += 8)
                    out |= (((s >> c) & 0xFF) + div255(((d >> c) & 0xFF) * k)) << c;
                store32(dst + 4 * i, unpremultiply(out));
            }
        }
        break;
    }
}

// Turns raw source pixels into premultiplied ones, applying the colour changes on the
// straight values.
void toPremultiplied(uint32_t* px, int32_t n, PixelLayout layout, const ColorAdjust* adjust) {
    if (adjust && adjust->active()) {
        for (int32_t i = 0; i < n; ++i) {
            uint32_t s = layout == PixelLayout::PARGB32 ? unpremultiply(px[i]) : px[i];
            px[i] = premultiply(adjust->apply(s));
        }
        return;
    }
    if (layout == PixelLayout::ARGB32)
        for (int32_t i = 0; i < n; ++i)
            px[i] = premultiply(px[i]);
}

// ---------------------------------------------------------------------------------------
// Axis maps

float kernel(ResampleFilter f, float x) {
    x = std::fabs(x);
    switch (f) {
    case ResampleFilter::Bilinear:
    case ResampleFilter::HighQualityBilinear:
        return x < 1.0f ? 1.0f - x : 0.0f;
    default: {
        // Keys' cubic with a = -0.5 (Catmull-Rom): interpolating, sharp, mild ringing.
        const float a = -0.5f;
        if (x < 1.0f)
            return ((a + 2.0f) * x - (a + 3.0f)) * x * x + 1.0f;
        if (x < 2.0f)
            return ((a * x - 5.0f * a) * x + 8.0f * a) * x - 4.0f * a;
        return 0.0f;
    }
    }
}

float kernelRadius(ResampleFilter f) {
    return (f == ResampleFilter::Bicubic || f == ResampleFilter::HighQualityBicubic) ? 2.0f : 1.0f;
}

bool highQuality(ResampleFilter f) {
    return f == ResampleFilter::HighQualityBilinear || f == ResampleFilter::HighQualityBicubic;
}

// srcPos/srcLen: the source rectangle on this axis; bound0/bound1: the source pixels that
// may be read; dstPos/dstLen: the destination rectangle; clip0/clip1: destination pixels
// that may change.
bool buildAxis(double srcPos, double srcLen, int32_t bound0, int32_t bound1, double dstPos,
               double dstLen, int32_t clip0, int32_t clip1, ResampleFilter filter, bool half,
               AxisMap& m) {
    bool mirror = dstLen < 0;
    if (mirror) {
        dstPos += dstLen;
        dstLen = -dstLen;
    }
    const double off = half ? 0.5 : 0.0;
    double first = std::ceil(dstPos - off);
    double last = std::ceil(dstPos + dstLen - off); // exclusive
    first = std::max(first, double(clip0));
    last = std::min(last, double(clip1));
    if (!(first < last)) {
        m.o0 = m.o1 = 0;
        return false;
    }
    m.o0 = int32_t(first);
    m.o1 = int32_t(last);
    const int32_t n = m.o1 - m.o0;
    const double scale = srcLen / dstLen;
    auto position = [&](int32_t i) {
        double p = (i + off - dstPos) * scale;
        double u = mirror ? srcPos + srcLen - p : srcPos + p;
        return u - off; // in index space: source pixel j sits at j
    };

    double t0 = position(m.o0);
    if (!mirror && scale == 1.0 && t0 == std::floor(t0)) {
        m.identity = true;
        m.shift = int32_t(t0) - m.o0;
        m.lo = std::max(bound0, m.o0 + m.shift);
        m.hi = std::min(bound1, m.o1 + m.shift);
        // The identity map would read outside the bounds only for a rectangle that sticks
        // out; fall back to the general path then.
        if (m.lo == m.o0 + m.shift && m.hi == m.o1 + m.shift)
            return true;
        m.identity = false;
    }

    if (filter == ResampleFilter::Nearest) {
        m.nearest.resize(size_t(n));
        m.lo = bound1;
        m.hi = bound0;
        for (int32_t k = 0; k < n; ++k) {
            double j = std::floor(position(m.o0 + k) + 0.5);
            int32_t jj = int32_t(std::clamp(j, double(bound0), double(bound1 - 1)));
            m.nearest[size_t(k)] = jj;
            m.lo = std::min(m.lo, jj);
            m.hi = std::max(m.hi, jj + 1);
        }
        return true;
    }

    const double widen = (highQuality(filter) && scale > 1.0) ? scale : 1.0;
    const double support = kernelRadius(filter) * widen;
    // A window never needs more taps than the source has pixels, which bounds the tables
    // of extreme shrinks (a whole image into one pixel).
    m.taps = int(std::min<double>(std::ceil(2.0 * support) + 1, double(bound1 - bound0) + 1));
    m.start.resize(size_t(n));
    m.weights.assign(size_t(n) * size_t(m.taps), 0.0f);
    m.lo = bound1;
    m.hi = bound0;
    for (int32_t k = 0; k < n; ++k) {
        double t = position(m.o0 + k);
        int32_t j0 = int32_t(std::floor(t - support)) + 1;
        int32_t j1 = int32_t(std::ceil(t + support)) - 1; // inclusive
        j0 = std::max(j0, bound0);
        j1 = std::min(j1, bound1 - 1);
        float* w = &m.weights[size_t(k) * size_t(m.taps)];
        double sum = 0.0;
        int count = 0;
        for (int32_t j = j0; j <= j1 && count < m.taps; ++j, ++count) {
            w[count] = kernel(filter, float((j - t) / widen));
            sum += w[count];
        }
        if (count == 0 || std::fabs(sum) < 1e-6) {
            // Every tap fell outside the bounds: take the nearest edge pixel.
            int32_t j =
                int32_t(std::clamp(std::floor(t + 0.5), double(bound0), double(bound1 - 1)));
            std::fill(w, w + m.taps, 0.0f);
            w[0] = 1.0f;
            j0 = j;
            count = 1;
        } else {
            for (int c = 0; c < count; ++c)
                w[c] = float(w[c] / sum);
        }
        m.start[size_t(k)] = j0;
        m.lo = std::min(m.lo, j0);
        m.hi = std::max(m.hi, j0 + count);
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Passes

// Composites a 1:1 run of 32-bpp source pixels without colour changes: opaque pixels are
// copied four at a time, the others blended one by one. This is the scroll case, so it
// stays close to a copy; `next` (the next row's run, or null) is fetched meanwhile.
void compositeDirect(uint8_t* dst, PixelLayout dl, const uint8_t* src, const uint8_t* next,
                     PixelLayout sl, int32_t n) {
    const uint32_t force = sl == PixelLayout::RGB32 ? 0xFF000000u : 0;
    auto one = [&](int32_t i) {
        uint32_t p = load32(src + 4 * size_t(i)) | force;
        if ((p >> 24) == 255) {
            store32(dst + 4 * size_t(i), p);
            return;
        }
        if (sl == PixelLayout::ARGB32)
            p = premultiply(p);
        compositeRow(dst + 4 * size_t(i), dl, &p, 1);
    };
    int32_t i = 0;
#ifdef __SSE2__
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u)), forced = _mm_set1_epi32(int(force));
    auto four = [&](int32_t i) {
        const __m128i s = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * size_t(i))), forced);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, alpha), alpha)) == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * size_t(i)), s);
            return;
        }
        for (int32_t k = i; k < i + 4; ++k)
            one(k);
    };
    for (; i + 16 <= n; i += 16) {
        if (next)
            _mm_prefetch(reinterpret_cast<const char*>(next + 4 * size_t(i)), _MM_HINT_T1);
        for (int32_t g = 0; g < 16; g += 4)
            four(i + g);
    }
    for (; i + 4 <= n; i += 4)
        four(i);
#endif
    for (; i < n; ++i)
        one(i);
}

void drawNearestRows(const DrawContext& c, int32_t y0, int32_t y1) {
    const int32_t n = c.x.o1 - c.x.o0;
    std::vector<uint32_t> row(static_cast<size_t>(n));
    const PixelLayout sl = c.src->layout;
    const int dbpp = bytesPerPixel(c.dst->layout);
    const bool direct = c.x.identity && !c.adjust && sl != PixelLayout::RGB24 &&
                        c.dst->layout != PixelLayout::RGB24;
    int32_t cachedSource = -1;
    for (int32_t oy = y0; oy < y1; ++oy) {
        int32_t sy = c.y.identity ? oy + c.y.shift : c.y.nearest[size_t(oy - c.y.o0)];
        const uint8_t* sr = srcRow(*c.src, sy);
        uint8_t* dr = dstRow(*c.dst, oy) + size_t(c.x.o0) * dbpp;
        if (direct) {
            const size_t sx = 4 * size_t(c.x.o0 + c.x.shift);
            const uint8_t* next = nullptr;
            if (oy + 1 < y1)
                next = srcRow(*c.src, c.y.identity ? oy + 1 + c.y.shift
                                                   : c.y.nearest[size_t(oy + 1 - c.y.o0)]) +
                       sx;
            compositeDirect(dr, c.dst->layout, sr + sx, next, sl, n);
            continue;
        }
        if (sy != cachedSource) {
            if (c.x.identity) {
                const int32_t sx = c.x.o0 + c.x.shift;
                if (sl == PixelLayout::ARGB32 || sl == PixelLayout::PARGB32)
                    std::memcpy(row.data(), sr + 4 * size_t(sx), size_t(n) * 4);
                else
                    for (int32_t k = 0; k < n; ++k)
                        row[size_t(k)] = readRaw(sr, sx + k, sl);
            } else {
                for (int32_t k = 0; k < n; ++k)
                    row[size_t(k)] = readRaw(sr, c.x.nearest[size_t(k)], sl);
            }
            toPremultiplied(row.data(), n, sl, c.adjust);
            cachedSource = sy;
        }
        compositeRow(dr, c.dst->layout, row.data(), n);
    }
}

inline v4f toFloat(uint32_t p) {
#ifdef __SSE2__
    // Widening through the integer unit; the generic conversion below is scalarised.
    const __m128i zero = _mm_setzero_si128();
    __m128i v = _mm_cvtsi32_si128(int(p));
    v = _mm_unpacklo_epi16(_mm_unpacklo_epi8(v, zero), zero);
    return v4f(_mm_cvtepi32_ps(v));
#else
    v4u8 b;
    std::memcpy(&b, &p, 4);
    return __builtin_convertvector(b, v4f);
#endif
}

// One source pixel, premultiplied, with the colour changes applied, as floats.
template <PixelLayout L, bool Adjust>
inline v4f fetch(const uint8_t* row, int32_t j, const ColorAdjust* adjust) {
    uint32_t p = readRaw(row, j, L);
    if constexpr (Adjust)
        p = premultiply(adjust->apply(L == PixelLayout::PARGB32 ? unpremultiply(p) : p));
    else if constexpr (L == PixelLayout::ARGB32)
        p = premultiply(p);
    return toFloat(p);
}

// Filters source row sy horizontally into out (one v4f per output pixel, B G R A,
// premultiplied, 0..255). When the taps touch fewer pixels than the row holds (a strong
// shrink with a fixed-width kernel) each tap converts its own pixel; otherwise the row is
// converted once. Both add the taps in the same order, so they give the same sums. The layout and
// the colour changes are template parameters so that the pixel loops carry no dispatch.
template <PixelLayout L, bool Adjust>
void filterRowT(const DrawContext& c, int32_t sy, std::vector<v4f>& srcF, v4f* out) {
    const AxisMap& m = c.x;
    const int32_t width = m.hi - m.lo;
    const uint8_t* sr = srcRow(*c.src, sy);
    const ColorAdjust* adjust = c.adjust;
    const int32_t n = m.o1 - m.o0;
    if (m.identity) {
        for (int32_t k = 0; k < n; ++k)
            out[k] = fetch<L, Adjust>(sr, m.o0 + k + m.shift, adjust);
        return;
    }
    const int taps = m.taps;
    if (int64_t(n) * taps < width) {
        for (int32_t k = 0; k < n; ++k) {
            const int32_t start = m.start[size_t(k)];
            const int used = std::min<int32_t>(taps, m.hi - start);
            const float* w = &m.weights[size_t(k) * size_t(taps)];
            v4f a0 = {0, 0, 0, 0}, a1 = a0, a2 = a0, a3 = a0;
            int t = 0;
            for (; t + 4 <= used; t += 4) {
                a0 += fetch<L, Adjust>(sr, start + t, adjust) * w[t];
                a1 += fetch<L, Adjust>(sr, start + t + 1, adjust) * w[t + 1];
                a2 += fetch<L, Adjust>(sr, start + t + 2, adjust) * w[t + 2];
                a3 += fetch<L, Adjust>(sr, start + t + 3, adjust) * w[t + 3];
            }
            for (; t < used; ++t)
                a0 += fetch<L, Adjust>(sr, start + t, adjust) * w[t];
            out[k] = (a0 + a1) + (a2 + a3);
        }
        return;
    }
    for (int32_t j = 0; j < width; ++j)
        srcF[size_t(j)] = fetch<L, Adjust>(sr, m.lo + j, adjust);
    for (int32_t k = 0; k < n; ++k) {
        const int32_t start = m.start[size_t(k)];
        const int used = std::min<int32_t>(taps, m.hi - start);
        const v4f* src = &srcF[size_t(start - m.lo)];
        const float* w = &m.weights[size_t(k) * size_t(taps)];
        // Four sums in flight: one chain of dependent additions would wait on each.
        v4f a0 = {0, 0, 0, 0}, a1 = a0, a2 = a0, a3 = a0;
        int t = 0;
        for (; t + 4 <= used; t += 4) {
            a0 += src[t] * w[t];
            a1 += src[t + 1] * w[t + 1];
            a2 += src[t + 2] * w[t + 2];
            a3 += src[t + 3] * w[t + 3];
        }
        for (; t < used; ++t)
            a0 += src[t] * w[t];
        out[k] = (a0 + a1) + (a2 + a3);
    }
}

using FilterRowFn = void (*)(const DrawContext&, int32_t, std::vector<v4f>&, v4f*);

template <bool Adjust> FilterRowFn filterRowFor(PixelLayout l) {
    switch (l) {
    case PixelLayout::PARGB32:
        return &filterRowT<PixelLayout::PARGB32, Adjust>;
    case PixelLayout::ARGB32:
        return &filterRowT<PixelLayout::ARGB32, Adjust>;
    case PixelLayout::RGB32:
        return &filterRowT<PixelLayout::RGB32, Adjust>;
    default:
        return &filterRowT<PixelLayout::RGB24, Adjust>;
    }
}

inline uint32_t packPremultiplied(v4f v) {
    float a = std::clamp(v[3], 0.0f, 255.0f);
    auto ch = [a](float x) { return uint32_t(std::clamp(x, 0.0f, a) + 0.5f); };
    return (uint32_t(a + 0.5f) << 24) | (ch(v[2]) << 16) | (ch(v[1]) << 8) | ch(v[0]);
}

std::atomic<int> g_genericResample{-1}; // -1: not yet read from the environment

bool genericResample() {
    int v = g_genericResample.load(std::memory_order_relaxed);
    if (v < 0) {
        const char* env = std::getenv("TAVIMO_GENERIC_PIXELS");
        v = env && env[0] == '1' ? 1 : 0;
        g_genericResample.store(v, std::memory_order_relaxed);
    }
    return v == 1;
}

void drawFilteredRows(const DrawContext& c, int32_t y0, int32_t y1) {
    const int32_t n = c.x.o1 - c.x.o0;
    const int32_t width = c.x.hi - c.x.lo;
    const int vtaps = c.y.identity ? 1 : c.y.taps;
    const int slots = vtaps + 1;
    std::vector<v4f> srcF(size_t(std::max(width, 1)), v4f{0, 0, 0, 0});
    std::vector<v4f> cache(size_t(n) * size_t(slots));
    std::vector<int32_t> cachedRow(size_t(slots), -1);
    std::vector<v4f> acc(static_cast<size_t>(n));
    std::vector<uint32_t> out(static_cast<size_t>(n));
    const int dbpp = bytesPerPixel(c.dst->layout);

    const FilterRowFn filterRow =
        c.adjust ? filterRowFor<true>(c.src->layout) : filterRowFor<false>(c.src->layout);
    auto filtered = [&](int32_t sy) -> const v4f* {
        size_t slot = size_t(sy) % size_t(slots);
        v4f* p = &cache[slot * size_t(n)];
        if (cachedRow[slot] != sy) {
            filterRow(c, sy, srcF, p);
            cachedRow[slot] = sy;
        }
        return p;
    };

    for (int32_t oy = y0; oy < y1; ++oy) {
        if (c.y.identity) {
            const v4f* r = filtered(oy + c.y.shift);
            for (int32_t k = 0; k < n; ++k)
                out[size_t(k)] = packPremultiplied(r[k]);
        } else {
            const size_t ky = size_t(oy - c.y.o0);
            const int32_t s0 = c.y.start[ky];
            const float* w = &c.y.weights[ky * size_t(vtaps)];
            std::fill(acc.begin(), acc.end(), v4f{0, 0, 0, 0});
            for (int t = 0; t < vtaps; ++t) {
                if (w[t] == 0.0f || s0 + t >= c.y.hi)
                    continue;
                const v4f* r = filtered(s0 + t);
                const float wt = w[t];
                for (int32_t k = 0; k < n; ++k)
                    acc[size_t(k)] += r[k] * wt;
            }
            for (int32_t k = 0; k < n; ++k)
                out[size_t(k)] = packPremultiplied(acc[size_t(k)]);
        }
        compositeRow(dstRow(*c.dst, oy) + size_t(c.x.o0) * dbpp, c.dst->layout, out.data(), n);
    }
}

std::atomic<int>& threadSetting() {
    static std::atomic<int> setting{[] {
        const char* e = std::getenv("TAVIMO_DRAW_THREADS");
        return e ? std::max(0, std::atoi(e)) : 0;
    }()};
    return setting;
}

bool finite(double v) {
    return std::isfinite(v);
}

} // namespace

void compositeRow(uint8_t* dst, PixelLayout layout, const uint32_t* src, int32_t n) {
#ifdef __SSE2__
    // Opaque pixels replace the destination in every 32-bpp layout: runs of four are
    // stored at once, the rest go through the per-pixel blends below.
    if (layout != PixelLayout::RGB24) {
        const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
        int32_t i = 0;
        while (i + 4 <= n) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, alpha), alpha)) == 0xFFFF) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * size_t(i)), s);
            } else {
                compositeBlend(dst + 4 * size_t(i), layout, src + i, 4);
            }
            i += 4;
        }
        compositeBlend(dst + 4 * size_t(i), layout, src + i, n - i);
        return;
    }
#endif
    compositeBlend(dst, layout, src, n);
}

} // namespace detail

using namespace detail;

// ---------------------------------------------------------------------------------------

void ColorAdjust::setGamma(float g) {
    gammaEnabled = true;
    for (int i = 0; i < 256; ++i) {
        double v = 255.0 * std::pow(i / 255.0, double(g));
        gamma[i] = uint8_t(std::clamp(std::lround(v), 0L, 255L));
    }
}

ARGB ColorAdjust::apply(ARGB p) const {
    for (const auto& [from, to] : remap)
        if (p == from) {
            p = to;
            break;
        }
    if (gammaEnabled)
        p = (p & 0xFF000000u) | (uint32_t(gamma[(p >> 16) & 0xFF]) << 16) |
            (uint32_t(gamma[(p >> 8) & 0xFF]) << 8) | gamma[p & 0xFF];
    return p;
}

namespace test {
void ForceGenericResample(bool force) {
    g_genericResample.store(force ? 1 : 0);
}
} // namespace test

void setResampleThreads(int threads) {
    threadSetting().store(std::max(0, threads));
}
int resampleThreads() {
    int t = threadSetting().load();
    return t > 0 ? t : hardwareThreads();
}

bool resampleDraw(const ConstPixelView& source, const PixelView& dest, const ResampleRequest& r) {
    if (!source.top || !dest.top || source.width <= 0 || source.height <= 0 || dest.width <= 0 ||
        dest.height <= 0)
        return false;
    for (double v : {r.srcX, r.srcY, r.srcW, r.srcH, r.dstX, r.dstY, r.dstW, r.dstH})
        if (!finite(v))
            return false;
    if (!(r.srcW > 0) || !(r.srcH > 0) || r.dstW == 0 || r.dstH == 0)
        return false;
    if (r.srcX < 0 || r.srcY < 0 || r.srcX + r.srcW > source.width + 1e-9 ||
        r.srcY + r.srcH > source.height + 1e-9)
        return false;
    // Source pixels the rectangle touches.
    int32_t bx0 = int32_t(std::floor(r.srcX)), by0 = int32_t(std::floor(r.srcY));
    int32_t bx1 = std::min<int32_t>(source.width, int32_t(std::ceil(r.srcX + r.srcW)));
    int32_t by1 = std::min<int32_t>(source.height, int32_t(std::ceil(r.srcY + r.srcH)));
    if (bx0 >= bx1 || by0 >= by1)
        return false;

    IntRect clip = r.clip;
    clip.x0 = std::max(clip.x0, 0);
    clip.y0 = std::max(clip.y0, 0);
    clip.x1 = std::min(clip.x1, dest.width);
    clip.y1 = std::min(clip.y1, dest.height);
    if (clip.empty())
        return true;

    DrawContext c{&source, &dest, r.adjust && r.adjust->active() ? r.adjust : nullptr, {}, {}};
    bool nearest = r.filter == ResampleFilter::Nearest;
    if (!buildAxis(r.srcX, r.srcW, bx0, bx1, r.dstX, r.dstW, clip.x0, clip.x1, r.filter,
                   r.halfPixelOffset, c.x) ||
        !buildAxis(r.srcY, r.srcH, by0, by1, r.dstY, r.dstH, clip.y0, clip.y1, r.filter,
                   r.halfPixelOffset, c.y))
        return true;
    // Both axes at 1:1 on whole pixels: every filter reduces to a copy.
    if (c.x.identity && c.y.identity)
        nearest = true;

    const int32_t rows = c.y.o1 - c.y.o0;
    const int64_t work = int64_t(rows) * (c.x.o1 - c.x.o0);
    int threads = r.threads > 0 ? r.threads : resampleThreads();
    // Below about 64 K output pixels a band costs more to hand out than to draw.
    if (work < 65536)
        threads = 1;
    const int bands = threads <= 1 ? 1 : std::min<int>(rows, threads * 4);
    // Without colour changes, nearest neighbour away from 1:1 and plain bilinear have
    // fixed-point paths. The scalar nearest loop and the float filters stay as the
    // reference (TAVIMO_GENERIC_PIXELS=1 forces them).
    const bool generic = c.adjust || genericResample();
    const bool fastNearest = nearest && !generic && !c.x.identity;
#ifdef __SSE2__
    const bool fastBilinear = !nearest && r.filter == ResampleFilter::Bilinear && !generic;
    BilinearPlan plan;
    if (fastBilinear)
        planBilinear(c, plan);
#endif
    auto task = [&](int band) {
        int32_t a = c.y.o0 + int32_t(int64_t(rows) * band / bands);
        int32_t b = c.y.o0 + int32_t(int64_t(rows) * (band + 1) / bands);
        if (fastNearest)
            drawNearestRowsFast(c, a, b);
        else if (nearest)
            drawNearestRows(c, a, b);
#ifdef __SSE2__
        else if (fastBilinear)
            drawBilinearRows(c, plan, a, b);
#endif
        else
            drawFilteredRows(c, a, b);
    };
    runParallel(bands, threads, task);
    return true;
}

void fillRect(const PixelView& dest, IntRect rect, ARGB color) {
    rect.x0 = std::max(rect.x0, 0);
    rect.y0 = std::max(rect.y0, 0);
    rect.x1 = std::min(rect.x1, dest.width);
    rect.y1 = std::min(rect.y1, dest.height);
    if (rect.empty() || !dest.top)
        return;
    uint32_t v = color;
    if (dest.layout == PixelLayout::PARGB32)
        v = premultiply(color);
    else if (dest.layout == PixelLayout::RGB32)
        v = color | 0xFF000000u;
    for (int32_t y = rect.y0; y < rect.y1; ++y) {
        uint8_t* row = dstRow(dest, y);
        if (dest.layout == PixelLayout::RGB24) {
            for (int32_t x = rect.x0; x < rect.x1; ++x) {
                row[3 * x] = uint8_t(v);
                row[3 * x + 1] = uint8_t(v >> 8);
                row[3 * x + 2] = uint8_t(v >> 16);
            }
        } else {
            for (int32_t x = rect.x0; x < rect.x1; ++x)
                store32(row + 4 * size_t(x), v);
        }
    }
}

} // namespace gp
