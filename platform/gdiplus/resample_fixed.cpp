// The resampler's fixed-point fast paths: plain bilinear (a two-tap kernel that never
// widens) and nearest neighbour. Both only touch the source rows and columns the
// destination needs, with their tables built once per draw, and work per output row
// without intermediate passes. Bilinear runs in 16-bit lanes on SSE2, or on AVX2 where the
// processor has it; the two kernels' integer steps are equal by arithmetic, so they agree
// bit for bit.

#include "platform/gdiplus/resample_internal.h"

#ifdef __SSE2__
#include <immintrin.h>
#endif

#include <atomic>
#include <cmath>

namespace gp {

namespace detail {

namespace {

#ifdef __SSE2__

// ---------------------------------------------------------------------------------------
// Bilinear

BilinearPlan::Axis bilinearAxis(const AxisMap& m) {
    BilinearPlan::Axis t;
    const int32_t n = m.o1 - m.o0;
    t.i0.resize(size_t(n));
    t.i1.resize(size_t(n));
    t.w1.resize(size_t(n));
    for (int32_t k = 0; k < n; ++k) {
        if (m.identity) {
            t.i0[size_t(k)] = t.i1[size_t(k)] = m.o0 + k + m.shift;
            t.w1[size_t(k)] = 0;
            continue;
        }
        const int32_t start = m.start[size_t(k)];
        const float* w = &m.weights[size_t(k) * size_t(m.taps)];
        const bool second = start + 1 < m.hi && w[1] != 0.0f;
        t.i0[size_t(k)] = start;
        t.i1[size_t(k)] = second ? start + 1 : start;
        t.w1[size_t(k)] = second ? uint16_t(std::lround(double(w[1]) * 256.0)) : 0;
    }
    return t;
}

inline __m128i load128(const int16_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Two neighbouring source pixels starting at byte `offset` of a row, as B G R A B G R A.
template <PixelLayout L> inline uint64_t pairAt(const uint8_t* row, int32_t offset) {
    uint64_t v;
    if constexpr (L == PixelLayout::RGB24) {
        // Six bytes, read as four and two so that the last pair of a row stays inside it.
        uint32_t lo;
        uint16_t hi;
        std::memcpy(&lo, row + offset, 4);
        std::memcpy(&hi, row + offset + 4, 2);
        v = lo | (uint64_t(hi) << 32);
        v = (v & 0xFFFFFFu) | ((v << 8) & 0x00FFFFFF00000000ull) | 0xFF000000FF000000ull;
    } else {
        std::memcpy(&v, row + offset, 8);
        if constexpr (L == PixelLayout::RGB32)
            v |= 0xFF000000FF000000ull;
    }
    return v;
}

// The pairs of two output columns: pixels p, p + 1 of the first in the low half.
template <PixelLayout L> inline __m128i twoPairs(const uint8_t* row, int32_t a, int32_t b) {
    if constexpr (L == PixelLayout::RGB24) {
        return _mm_set_epi64x(int64_t(pairAt<L>(row, b)), int64_t(pairAt<L>(row, a)));
    } else {
        __m128i v = _mm_castpd_si128(_mm_loadh_pd(
            _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + a))),
            reinterpret_cast<const double*>(row + b)));
        if constexpr (L == PixelLayout::RGB32)
            v = _mm_or_si128(v, _mm_set1_epi32(int(0xFF000000u)));
        return v;
    }
}

template <PixelLayout L> inline __m128i onePair(const uint8_t* row, int32_t a) {
    return _mm_set_epi64x(0, int64_t(pairAt<L>(row, a)));
}

inline bool opaque16(__m128i px) {
    const __m128i ones = _mm_set1_epi32(-1);
    return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(px, _mm_set1_epi32(0x00FFFFFF)), ones)) ==
           0xFFFF;
}

// Premultiplies two pixels held in 16-bit lanes (B G R A each), rounding as premultiply()
// does; the alpha lanes stay.
inline __m128i premultiply16(__m128i x) {
    const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xFF), 0xFF);
    __m128i p = _mm_add_epi16(_mm_mullo_epi16(x, a), _mm_set1_epi16(128));
    p = _mm_srli_epi16(_mm_add_epi16(p, _mm_srli_epi16(p, 8)), 8);
    const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    return _mm_or_si128(_mm_andnot_si128(alphaLanes, p), _mm_and_si128(alphaLanes, x));
}

// Widens 8-bit pixels to 16-bit lanes; straight ones are premultiplied unless `opaque`.
template <PixelLayout L> inline void widen(__m128i px, __m128i& lo, __m128i& hi, bool opaque) {
    const __m128i zero = _mm_setzero_si128();
    lo = _mm_unpacklo_epi8(px, zero);
    hi = _mm_unpackhi_epi8(px, zero);
    if constexpr (L == PixelLayout::ARGB32) {
        if (!opaque) {
            lo = premultiply16(lo);
            hi = premultiply16(hi);
        }
    }
}

struct RowArgs {
    const uint8_t* r0;
    const uint8_t* r1;
    int wy; // weight of r1 in 1/256
    // The rows the next output row reads, fetched into the cache while this one is drawn;
    // the hardware prefetcher would stall on every page of a new row instead.
    const uint8_t* next0;
    const uint8_t* next1;
    const int32_t* offset;
    const int16_t* weights;
    const int16_t* steps;
    int32_t n;
    uint32_t* out; // the row's pixels, or scratch for translucent ones when dst is set
    uint8_t* dst;  // a 32-bpp destination row to composite into at once; null: none
    PixelLayout dstLayout;
};

// Hands over `Count` (2 or 4) output pixels from column k on, held in the low bytes of v.
// Opaque ones replace a 32-bpp destination directly, as compositeRow would.
template <int Count>
inline void put(uint32_t* out, uint8_t* dst, PixelLayout dstLayout, int32_t k, __m128i v) {
    if (dst) {
        const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
        const int full = Count == 4 ? 0xFFFF : 0xFF;
        if ((_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(v, alpha), alpha)) & full) == full) {
            if constexpr (Count == 4)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * size_t(k)), v);
            else
                _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 4 * size_t(k)), v);
            return;
        }
    }
    if constexpr (Count == 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), v);
    else
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), v);
    if (dst)
        compositeRow(dst + 4 * size_t(k), dstLayout, out + k, Count);
}

inline void putOne(uint32_t* out, uint8_t* dst, PixelLayout dstLayout, int32_t k, uint32_t v) {
    out[k] = v;
    if (dst)
        compositeRow(dst + 4 * size_t(k), dstLayout, out + k, 1);
}

template <PixelLayout L> inline bool opaquePixels(__m128i top, __m128i bottom, bool blend) {
    if constexpr (L == PixelLayout::ARGB32)
        return opaque16(blend ? _mm_and_si128(top, bottom) : top);
    return true;
}

// One output row. Blend false: the row needs r0 alone (its weight is 256).
template <PixelLayout L, bool Blend> void bilinearRowSse2(const RowArgs& a) {
    const uint8_t* const r0 = a.r0;
    const uint8_t* const r1 = a.r1;
    const uint8_t* const next0 = a.next0;
    const uint8_t* const next1 = a.next1;
    const int32_t n = a.n;
    uint32_t* const out = a.out;
    uint8_t* const dst = a.dst;
    const PixelLayout dl = a.dstLayout;
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi16(128);
    const __m128i wy = _mm_set1_epi16(int16_t(a.wy)), iwy = _mm_set1_epi16(int16_t(256 - a.wy));
    auto vertical = [&](__m128i t, __m128i b) {
        __m128i v = _mm_add_epi16(_mm_mullo_epi16(t, iwy), _mm_mullo_epi16(b, wy));
        return _mm_srli_epi16(_mm_add_epi16(v, half), 8);
    };
    const int32_t* off = a.offset;
    const int16_t* w = a.weights;
    int32_t k = 0;
    for (; k + 2 <= n; k += 2) {
        _mm_prefetch(reinterpret_cast<const char*>(next0 + off[k]), _MM_HINT_T1);
        _mm_prefetch(reinterpret_cast<const char*>(next1 + off[k]), _MM_HINT_T1);
        const __m128i t = twoPairs<L>(r0, off[k], off[k + 1]);
        const __m128i b = Blend ? twoPairs<L>(r1, off[k], off[k + 1]) : t;
        const bool opaque = opaquePixels<L>(t, b, Blend);
        __m128i lo, hi;
        widen<L>(t, lo, hi, opaque);
        if constexpr (Blend) {
            __m128i blo, bhi;
            widen<L>(b, blo, bhi, opaque);
            lo = vertical(lo, blo);
            hi = vertical(hi, bhi);
        }
        const __m128i ml = _mm_mullo_epi16(lo, load128(w + 8 * size_t(k)));
        const __m128i mh = _mm_mullo_epi16(hi, load128(w + 8 * size_t(k + 1)));
        __m128i s = _mm_add_epi16(_mm_unpacklo_epi64(ml, mh), _mm_unpackhi_epi64(ml, mh));
        s = _mm_srli_epi16(_mm_add_epi16(s, half), 8);
        put<2>(out, dst, dl, k, _mm_packus_epi16(s, zero));
    }
    if (k < n) {
        const __m128i t = onePair<L>(r0, off[k]);
        const __m128i b = Blend ? onePair<L>(r1, off[k]) : t;
        const bool opaque = opaquePixels<L>(t, b, Blend);
        __m128i lo, hi;
        widen<L>(t, lo, hi, opaque);
        if constexpr (Blend) {
            __m128i blo, bhi;
            widen<L>(b, blo, bhi, opaque);
            lo = vertical(lo, blo);
        }
        const __m128i m = _mm_mullo_epi16(lo, load128(w + 8 * size_t(k)));
        __m128i s = _mm_add_epi16(m, _mm_srli_si128(m, 8));
        s = _mm_srli_epi16(_mm_add_epi16(s, half), 8);
        putOne(out, dst, dl, k, uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(s, zero))));
    }
}

#if defined(__x86_64__) || defined(__i386__)
#define TAVIMO_RESAMPLE_AVX2 1

#define AVX2 __attribute__((target("avx2")))

AVX2 inline __m256i twoPairs256(__m128i first, __m128i second) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(first), second, 1);
}

AVX2 inline __m256i premultiply16x4(__m256i x) {
    const __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(x, 0xFF), 0xFF);
    __m256i p = _mm256_add_epi16(_mm256_mullo_epi16(x, a), _mm256_set1_epi16(128));
    p = _mm256_srli_epi16(_mm256_add_epi16(p, _mm256_srli_epi16(p, 8)), 8);
    const __m256i alphaLanes = _mm256_set1_epi64x(int64_t(0xFFFF000000000000ull));
    return _mm256_or_si256(_mm256_andnot_si256(alphaLanes, p), _mm256_and_si256(alphaLanes, x));
}

template <PixelLayout L>
AVX2 inline void widen256(__m256i px, __m256i& lo, __m256i& hi, bool opaque) {
    const __m256i zero = _mm256_setzero_si256();
    lo = _mm256_unpacklo_epi8(px, zero);
    hi = _mm256_unpackhi_epi8(px, zero);
    if constexpr (L == PixelLayout::ARGB32) {
        if (!opaque) {
            lo = premultiply16x4(lo);
            hi = premultiply16x4(hi);
        }
    }
}

// Four output columns per step: the 128-bit lanes hold columns k, k + 2 (lo) and k + 1,
// k + 3 (hi); the tail goes through the SSE2 kernel's steps, which compute the same.
// (t * (256 - w) + b * w + 128) >> 8 equals t + ((b - t) * w + 128) >> 8, which one
// rounding high multiply gives with w scaled by 128: vertically (w is 1..255 here) and
// horizontally (with 32767 for 256, see pairSteps).
template <PixelLayout L, bool Blend> AVX2 void bilinearRowAvx2(const RowArgs& a) {
    const uint8_t* const r0 = a.r0;
    const uint8_t* const r1 = a.r1;
    const uint8_t* const next0 = a.next0;
    const uint8_t* const next1 = a.next1;
    const int32_t n = a.n;
    uint32_t* const out = a.out;
    uint8_t* const dst = a.dst;
    const PixelLayout dl = a.dstLayout;
    const __m256i wy = _mm256_set1_epi16(int16_t(a.wy * 128));
    const int32_t* off = a.offset;
    const int16_t* steps = a.steps;
    int32_t k = 0;
    for (; k + 4 <= n; k += 4) {
        _mm_prefetch(reinterpret_cast<const char*>(next0 + off[k]), _MM_HINT_T1);
        _mm_prefetch(reinterpret_cast<const char*>(next1 + off[k]), _MM_HINT_T1);
        const __m256i t = twoPairs256(twoPairs<L>(r0, off[k], off[k + 1]),
                                      twoPairs<L>(r0, off[k + 2], off[k + 3]));
        const __m256i b = Blend ? twoPairs256(twoPairs<L>(r1, off[k], off[k + 1]),
                                              twoPairs<L>(r1, off[k + 2], off[k + 3]))
                                : t;
        bool opaque = true;
        if constexpr (L == PixelLayout::ARGB32) {
            const __m256i alpha =
                _mm256_or_si256(Blend ? _mm256_and_si256(t, b) : t, _mm256_set1_epi32(0x00FFFFFF));
            opaque = _mm256_movemask_epi8(_mm256_cmpeq_epi8(alpha, _mm256_set1_epi32(-1))) == -1;
        }
        __m256i lo, hi;
        widen256<L>(t, lo, hi, opaque);
        if constexpr (Blend) {
            __m256i blo, bhi;
            widen256<L>(b, blo, bhi, opaque);
            lo = _mm256_add_epi16(lo, _mm256_mulhrs_epi16(_mm256_sub_epi16(blo, lo), wy));
            hi = _mm256_add_epi16(hi, _mm256_mulhrs_epi16(_mm256_sub_epi16(bhi, hi), wy));
        }
        const __m256i p = _mm256_unpacklo_epi64(lo, hi), q = _mm256_unpackhi_epi64(lo, hi);
        const __m256i step =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(steps + 4 * size_t(k)));
        const __m256i s = _mm256_add_epi16(p, _mm256_mulhrs_epi16(_mm256_sub_epi16(q, p), step));
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(s, s), 0x08);
        put<4>(out, dst, dl, k, _mm256_castsi256_si128(packed));
    }
    if (k < n) {
        RowArgs rest = a;
        rest.offset += k;
        rest.weights += 8 * size_t(k);
        rest.steps += 4 * size_t(k);
        rest.n -= k;
        rest.out += k;
        if (rest.dst)
            rest.dst += 4 * size_t(k);
        bilinearRowSse2<L, Blend>(rest);
    }
}

#undef AVX2
#endif

using RowFn = void (*)(const RowArgs&);

std::atomic<int> g_baselineOnly{0};

bool useAvx2() {
#ifdef TAVIMO_RESAMPLE_AVX2
    static const bool has = __builtin_cpu_supports("avx2");
    return has && !g_baselineOnly.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

template <PixelLayout L> RowFn rowFnFor(bool blend) {
#ifdef TAVIMO_RESAMPLE_AVX2
    if (useAvx2())
        return blend ? &bilinearRowAvx2<L, true> : &bilinearRowAvx2<L, false>;
#endif
    return blend ? &bilinearRowSse2<L, true> : &bilinearRowSse2<L, false>;
}

RowFn rowFn(PixelLayout l, bool blend) {
    switch (l) {
    case PixelLayout::PARGB32:
        return rowFnFor<PixelLayout::PARGB32>(blend);
    case PixelLayout::ARGB32:
        return rowFnFor<PixelLayout::ARGB32>(blend);
    case PixelLayout::RGB32:
        return rowFnFor<PixelLayout::RGB32>(blend);
    default:
        return rowFnFor<PixelLayout::RGB24>(blend);
    }
}

// A source one pixel wide has no pairs to load; every tap is that pixel.
template <PixelLayout L>
void bilinearRowsSingleColumn(const DrawContext& c, const BilinearPlan& plan, int32_t y0,
                              int32_t y1, uint32_t* out) {
    const int32_t n = c.x.o1 - c.x.o0;
    const int dbpp = bytesPerPixel(c.dst->layout);
    for (int32_t oy = y0; oy < y1; ++oy) {
        const size_t ky = size_t(oy - c.y.o0);
        uint32_t top = readRaw(srcRow(*c.src, plan.y.i0[ky]), 0, L);
        uint32_t bot = readRaw(srcRow(*c.src, plan.y.i1[ky]), 0, L);
        if constexpr (L == PixelLayout::ARGB32) {
            top = premultiply(top);
            bot = premultiply(bot);
        }
        const uint32_t wy = plan.y.w1[ky];
        uint32_t v = 0;
        for (int ch = 0; ch < 32; ch += 8) {
            uint32_t t = (top >> ch) & 0xFF, b = (bot >> ch) & 0xFF;
            uint32_t vc = (t * (256 - wy) + b * wy + 128) >> 8;
            // Horizontally both taps are this pixel, weighted 256 and 0: vc again.
            v |= vc << ch;
        }
        std::fill(out, out + n, v);
        compositeRow(dstRow(*c.dst, oy) + size_t(c.x.o0) * dbpp, c.dst->layout, out, n);
    }
}

#endif // __SSE2__

} // namespace

#ifdef __SSE2__

void planBilinear(const DrawContext& c, BilinearPlan& plan) {
    plan.x = bilinearAxis(c.x);
    plan.y = bilinearAxis(c.y);
    const int32_t n = c.x.o1 - c.x.o0;
    const int32_t width = c.src->width;
    const int bpp = bytesPerPixel(c.src->layout);
    plan.pairs = width >= 2;
    if (!plan.pairs)
        return;
    plan.pairOffset.resize(size_t(n));
    plan.pairWeights.resize(size_t(n) * 8);
    plan.pairSteps.resize(size_t(n) * 4);
    for (int32_t k = 0; k < n; ++k) {
        int32_t i0 = plan.x.i0[size_t(k)], i1 = plan.x.i1[size_t(k)];
        int32_t p = i0;
        int16_t wp, wq;
        if (i1 == i0 + 1) {
            wq = int16_t(plan.x.w1[size_t(k)]);
            wp = int16_t(256 - wq);
        } else if (i0 + 1 < width) {
            wp = 256;
            wq = 0;
        } else {
            // The last pixel of the row: load it as the second of a pair.
            p = i0 - 1;
            wp = 0;
            wq = 256;
        }
        plan.pairOffset[size_t(k)] = p * bpp;
        int16_t* w = &plan.pairWeights[size_t(k) * 8];
        std::fill(w, w + 4, wp);
        std::fill(w + 4, w + 8, wq);
        std::fill(&plan.pairSteps[size_t(k) * 4], &plan.pairSteps[size_t(k) * 4 + 4],
                  int16_t(wq == 256 ? 32767 : wq * 128));
    }
}

void drawBilinearRows(const DrawContext& c, const BilinearPlan& plan, int32_t y0, int32_t y1) {
    const int32_t n = c.x.o1 - c.x.o0;
    std::vector<uint32_t> out(static_cast<size_t>(n));
    const PixelLayout sl = c.src->layout;
    if (!plan.pairs) {
        switch (sl) {
        case PixelLayout::PARGB32:
            return bilinearRowsSingleColumn<PixelLayout::PARGB32>(c, plan, y0, y1, out.data());
        case PixelLayout::ARGB32:
            return bilinearRowsSingleColumn<PixelLayout::ARGB32>(c, plan, y0, y1, out.data());
        case PixelLayout::RGB32:
            return bilinearRowsSingleColumn<PixelLayout::RGB32>(c, plan, y0, y1, out.data());
        default:
            return bilinearRowsSingleColumn<PixelLayout::RGB24>(c, plan, y0, y1, out.data());
        }
    }
    const RowFn blend = rowFn(sl, true), single = rowFn(sl, false);
    const int dbpp = bytesPerPixel(c.dst->layout);
    const bool direct = c.dst->layout != PixelLayout::RGB24;
    RowArgs a{nullptr,
              nullptr,
              0,
              nullptr,
              nullptr,
              plan.pairOffset.data(),
              plan.pairWeights.data(),
              plan.pairSteps.data(),
              n,
              out.data(),
              nullptr,
              c.dst->layout};
    for (int32_t oy = y0; oy < y1; ++oy) {
        const size_t ky = size_t(oy - c.y.o0);
        const size_t next = oy + 1 < y1 ? ky + 1 : ky;
        a.next0 = srcRow(*c.src, plan.y.i0[next]);
        a.next1 = srcRow(*c.src, plan.y.i1[next]);
        uint8_t* dr = dstRow(*c.dst, oy) + size_t(c.x.o0) * dbpp;
        a.dst = direct ? dr : nullptr;
        a.r0 = srcRow(*c.src, plan.y.i0[ky]);
        a.r1 = srcRow(*c.src, plan.y.i1[ky]);
        a.wy = plan.y.w1[ky];
        // (p * 256 + q * 0 + 128) >> 8 is p: a row weighted wholly to one side reads only it.
        if (a.wy == 0) {
            single(a);
        } else if (a.wy == 256) {
            a.r0 = a.r1;
            single(a);
        } else {
            blend(a);
        }
        if (!direct)
            compositeRow(dr, c.dst->layout, out.data(), n);
    }
}

#endif // __SSE2__

// ---------------------------------------------------------------------------------------
// Nearest neighbour

namespace {

// Gathers one output row from source row `sr` (premultiplied), fetching the next output
// row's source pixels into the cache meanwhile. With `dst` set the pixels are composited
// into that 32-bpp row at once and `out` keeps only the translucent ones.
template <PixelLayout L>
void gatherNearest(const uint8_t* sr, const uint8_t* next, const int32_t* idx, int32_t n,
                   uint32_t* out, uint8_t* dst, PixelLayout dstLayout) {
    constexpr int bpp = L == PixelLayout::RGB24 ? 3 : 4;
    int32_t k = 0;
#ifdef __SSE2__
    if constexpr (L != PixelLayout::RGB24) {
        for (; k + 4 <= n; k += 4) {
            _mm_prefetch(reinterpret_cast<const char*>(next + bpp * size_t(idx[k])), _MM_HINT_T1);
            __m128i v = _mm_setr_epi32(
                int(load32(sr + 4 * size_t(idx[k]))), int(load32(sr + 4 * size_t(idx[k + 1]))),
                int(load32(sr + 4 * size_t(idx[k + 2]))), int(load32(sr + 4 * size_t(idx[k + 3]))));
            if constexpr (L == PixelLayout::RGB32) {
                v = _mm_or_si128(v, _mm_set1_epi32(int(0xFF000000u)));
            } else if constexpr (L == PixelLayout::ARGB32) {
                if (!opaque16(v)) {
                    __m128i lo, hi;
                    widen<L>(v, lo, hi, false);
                    v = _mm_packus_epi16(lo, hi);
                }
            }
            put<4>(out, dst, dstLayout, k, v);
        }
    }
#endif
    for (; k < n; ++k) {
        if (k % 4 == 0)
            __builtin_prefetch(next + bpp * size_t(idx[k]), 0, 2);
        uint32_t p = readRaw(sr, idx[k], L);
        p = L == PixelLayout::ARGB32 ? premultiply(p) : p;
        out[k] = p;
        if (dst)
            compositeRow(dst + 4 * size_t(k), dstLayout, out + k, 1);
    }
}

using GatherFn = void (*)(const uint8_t*, const uint8_t*, const int32_t*, int32_t, uint32_t*,
                          uint8_t*, PixelLayout);

GatherFn gatherFor(PixelLayout l) {
    switch (l) {
    case PixelLayout::PARGB32:
        return &gatherNearest<PixelLayout::PARGB32>;
    case PixelLayout::ARGB32:
        return &gatherNearest<PixelLayout::ARGB32>;
    case PixelLayout::RGB32:
        return &gatherNearest<PixelLayout::RGB32>;
    default:
        return &gatherNearest<PixelLayout::RGB24>;
    }
}

} // namespace

void drawNearestRowsFast(const DrawContext& c, int32_t y0, int32_t y1) {
    const int32_t n = c.x.o1 - c.x.o0;
    std::vector<uint32_t> row(static_cast<size_t>(n));
    std::vector<int32_t> identityIndex;
    const int32_t* idx = c.x.nearest.data();
    if (c.x.identity) {
        identityIndex.resize(size_t(n));
        for (int32_t k = 0; k < n; ++k)
            identityIndex[size_t(k)] = c.x.o0 + k + c.x.shift;
        idx = identityIndex.data();
    }
    const GatherFn gather = gatherFor(c.src->layout);
    const PixelLayout dl = c.dst->layout;
    const int dbpp = bytesPerPixel(dl);
    auto sourceRow = [&](int32_t oy) {
        return c.y.identity ? oy + c.y.shift : c.y.nearest[size_t(oy - c.y.o0)];
    };
    int32_t cachedSource = -1; // the source row `row` holds in full
    for (int32_t oy = y0; oy < y1; ++oy) {
        const int32_t sy = sourceRow(oy);
        uint8_t* dr = dstRow(*c.dst, oy) + size_t(c.x.o0) * dbpp;
        if (sy != cachedSource) {
            const int32_t nextSy = oy + 1 < y1 ? sourceRow(oy + 1) : sy;
            const uint8_t* sr = srcRow(*c.src, sy);
            // A row drawn once goes straight into a 32-bpp destination; one that repeats
            // (an enlargement) is kept for the rows after it.
            if (nextSy != sy && dl != PixelLayout::RGB24) {
                gather(sr, srcRow(*c.src, nextSy), idx, n, row.data(), dr, dl);
                cachedSource = -1;
                continue;
            }
            gather(sr, srcRow(*c.src, nextSy), idx, n, row.data(), nullptr, dl);
            cachedSource = sy;
        }
        compositeRow(dr, dl, row.data(), n);
    }
}

} // namespace detail

namespace test {
void ForceBaselineSimd(bool force) {
#ifdef __SSE2__
    detail::g_baselineOnly.store(force ? 1 : 0);
#else
    (void)force;
#endif
}
} // namespace test

} // namespace gp
