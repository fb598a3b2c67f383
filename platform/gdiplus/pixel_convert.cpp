#include "platform/gdiplus/pixel_convert.h"

#include "platform/gdiplus/pixel_format.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace gp {

namespace {

// ---------------------------------------------------------------------------------------
// Small helpers. Loads and stores go through bytes so that rows need no alignment.

inline uint16_t load16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline void store16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void store32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

// round(v / 257) for 16-bit v: exact inverse of the x257 widening.
inline uint32_t narrow16(uint32_t v) {
    return (v * 255u + 32895u) >> 16;
}
inline uint32_t widen8(uint32_t v) {
    return v * 257u;
}

inline uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

struct AlphaTables {
    uint8_t premultiply[256][256];   // [alpha][channel] = round(c * a / 255)
    uint8_t unpremultiply[256][256]; // [alpha][channel] = min(255, round(c * 255 / a))
    AlphaTables() {
        for (uint32_t a = 0; a < 256; ++a) {
            for (uint32_t c = 0; c < 256; ++c) {
                premultiply[a][c] = static_cast<uint8_t>((c * a + 127) / 255);
                unpremultiply[a][c] =
                    a == 0 ? 0
                           : static_cast<uint8_t>(std::min<uint32_t>(255, (c * 255 + a / 2) / a));
            }
        }
    }
};

const AlphaTables& alphaTables() {
    static const AlphaTables tables;
    return tables;
}

inline uint32_t premultiplyPixel(uint32_t p, const AlphaTables& t) {
    const uint32_t a = p >> 24;
    if (a == 255)
        return p;
    const uint8_t* row = t.premultiply[a];
    return a << 24 | uint32_t(row[(p >> 16) & 0xFF]) << 16 | uint32_t(row[(p >> 8) & 0xFF]) << 8 |
           row[p & 0xFF];
}

inline uint32_t unpremultiplyPixel(uint32_t p, const AlphaTables& t) {
    const uint32_t a = p >> 24;
    if (a == 255)
        return p;
    const uint8_t* row = t.unpremultiply[a];
    return a << 24 | uint32_t(row[(p >> 16) & 0xFF]) << 16 | uint32_t(row[(p >> 8) & 0xFF]) << 8 |
           row[p & 0xFF];
}

std::atomic<int> g_forceGeneric{-1}; // -1: not yet read from the environment

bool forceGeneric() {
    int value = g_forceGeneric.load(std::memory_order_relaxed);
    if (value < 0) {
        const char* env = std::getenv("TAVIMO_GENERIC_PIXELS");
        value = env && env[0] == '1' ? 1 : 0;
        g_forceGeneric.store(value, std::memory_order_relaxed);
    }
    return value == 1;
}

// ---------------------------------------------------------------------------------------
// Packed indices of 1, 4 and 8 bpp rows.

void unpackIndices(const uint8_t* src, int32_t x0, int32_t n, int bpp, uint8_t* out) {
    if (bpp == 8) {
        std::memcpy(out, src + x0, static_cast<size_t>(n));
    } else if (bpp == 4) {
        for (int32_t i = 0; i < n; ++i) {
            const int32_t x = x0 + i;
            out[i] = (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
        }
    } else {
        int32_t i = 0, x = x0;
        for (; i < n && (x & 7); ++i, ++x)
            out[i] = (src[x >> 3] >> (7 - (x & 7))) & 1;
        for (; n - i >= 8; i += 8, x += 8) {
            const uint8_t byte = src[x >> 3];
            for (int b = 0; b < 8; ++b)
                out[i + b] = (byte >> (7 - b)) & 1;
        }
        for (; i < n; ++i, ++x)
            out[i] = (src[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

// Writes indices into a packed row at pixel x0; bits of other pixels keep their values.
void packIndices(const uint8_t* in, int32_t n, int bpp, uint8_t* dst, int32_t x0) {
    if (bpp == 8) {
        std::memcpy(dst + x0, in, static_cast<size_t>(n));
    } else if (bpp == 4) {
        int32_t i = 0, x = x0;
        if (i < n && (x & 1)) {
            dst[x >> 1] = static_cast<uint8_t>((dst[x >> 1] & 0xF0) | (in[i] & 0x0F));
            ++i, ++x;
        }
        for (; n - i >= 2; i += 2, x += 2)
            dst[x >> 1] = static_cast<uint8_t>((in[i] & 0x0F) << 4 | (in[i + 1] & 0x0F));
        if (i < n)
            dst[x >> 1] = static_cast<uint8_t>((dst[x >> 1] & 0x0F) | (in[i] & 0x0F) << 4);
    } else {
        int32_t i = 0, x = x0;
        auto setBit = [&](int32_t at, uint8_t bit) {
            const uint8_t mask = static_cast<uint8_t>(0x80 >> (at & 7));
            dst[at >> 3] =
                static_cast<uint8_t>(bit ? (dst[at >> 3] | mask) : (dst[at >> 3] & ~mask));
        };
        for (; i < n && (x & 7); ++i, ++x)
            setBit(x, in[i] & 1);
        for (; n - i >= 8; i += 8, x += 8) {
            uint8_t byte = 0;
            for (int b = 0; b < 8; ++b)
                byte = static_cast<uint8_t>(byte | (in[i + b] & 1) << (7 - b));
            dst[x >> 3] = byte;
        }
        for (; i < n; ++i, ++x)
            setBit(x, in[i] & 1);
    }
}

// ---------------------------------------------------------------------------------------
// Every format to and from 32bppARGB. `lut` is the 256-entry palette of indexed sources.

using ToArgbFn = void (*)(const uint8_t* src, int32_t x0, int32_t n, uint32_t* out,
                          const uint32_t* lut);
using FromArgbFn = void (*)(const uint32_t* in, int32_t n, uint8_t* dst, int32_t x0,
                            PaletteMapper* mapper);

template <int Bpp>
void indexedToArgb(const uint8_t* src, int32_t x0, int32_t n, uint32_t* out, const uint32_t* lut) {
    if constexpr (Bpp == 8) {
        src += x0;
        for (int32_t i = 0; i < n; ++i)
            out[i] = lut[src[i]];
    } else {
        uint8_t indices[512];
        while (n > 0) {
            const int32_t k = std::min<int32_t>(n, 512);
            unpackIndices(src, x0, k, Bpp, indices);
            for (int32_t i = 0; i < k; ++i)
                out[i] = lut[indices[i]];
            out += k, x0 += k, n -= k;
        }
    }
}

template <int Bpp>
void argbToIndexed(const uint32_t* in, int32_t n, uint8_t* dst, int32_t x0, PaletteMapper* mapper) {
    uint8_t indices[512];
    while (n > 0) {
        const int32_t k = std::min<int32_t>(n, 512);
        for (int32_t i = 0; i < k; ++i)
            indices[i] = mapper->map(in[i]);
        packIndices(indices, k, Bpp, dst, x0);
        in += k, x0 += k, n -= k;
    }
}

void gray16ToArgb(const uint8_t* src, int32_t x0, int32_t n, uint32_t* out, const uint32_t*) {
    src += x0 * 2;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t g = narrow16(load16(src + 2 * i));
        out[i] = argb(255, g, g, g);
    }
}

void argbToGray16(const uint32_t* in, int32_t n, uint8_t* dst, int32_t x0, PaletteMapper*) {
    dst += x0 * 2;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t p = in[i];
        const uint32_t luma =
            ((p >> 16) & 0xFF) * 19595u + ((p >> 8) & 0xFF) * 38470u + (p & 0xFF) * 7471u;
        store16(dst + 2 * i, widen8((luma + 32768u) >> 16));
    }
}

inline uint32_t expand5(uint32_t v) {
    return v << 3 | v >> 2;
}
inline uint32_t expand6(uint32_t v) {
    return v << 2 | v >> 4;
}

void rgb555ToArgb(const uint8_t* src, int32_t x0, int32_t n, uint32_t* out, const uint32_t*) {
    src += x0 * 2;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t v = load16(src + 2 * i);
        out[i] = argb(255, expand5((v >> 10) & 31), expand5((v >> 5) & 31), expand5(v & 31));
    }
}

void argbToRgb555(const uint32_t* in, int32_t n, uint8_t* dst, int32_t x0, PaletteMapper*) {
    dst += x0 * 2;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t p = in[i];
        store16(dst + 2 * i, ((p >> 19) & 31) << 10 | ((p >> 11) & 31) << 5 | ((p >> 3) & 31));
    }
}

void rgb565ToArgb(const uint8_t* src, int32_t x0, int32_t n, uint32_t* out, const uint32_t*) {
    src += x0 * 2;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t v = load16(src + 2 * i);
        out[i] = argb(255, expand5((v >> 11) & 31), expand6((v >> 5) & 63), expand5(v & 31));
    }
}

void argbToRgb565(const uint32_t* in, int32_t n, uint8_t* dst, int32_t x0, PaletteMapper*) {
    dst += x0 * 2;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t p = in[i];
        store16(dst + 2 * i, ((p >> 19) & 31) << 11 | ((p >> 10) & 63) << 5 | ((p >> 3) & 31));
    }
}

void argb1555ToArgb(const uint8_t* src, int32_t x0, int32_t n, uint32_t* out, const uint32_t*) {
    src += x0 * 2;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t v = load16(src + 2 * i);
        out[i] = argb((v & 0x8000) ? 255 : 0, expand5((v >> 10) & 31), expand5((v >> 5) & 31),
                      expand5(v & 31));
    }
}

void argbToArgb1555(const uint32_t* in, int32_t n, uint8_t* dst, int32_t x0, PaletteMapper*) {
    dst += x0 * 2;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t p = in[i];
        store16(dst + 2 * i, ((p >> 31) << 15) | ((p >> 19) & 31) << 10 | ((p >> 11) & 31) << 5 |
                                 ((p >> 3) & 31));
    }
}

void rgb24ToArgb(const uint8_t* src, int32_t x0, int32_t n, uint32_t* out, const uint32_t*) {
    src += x0 * 3;
    for (int32_t i = 0; i < n; ++i, src += 3)
        out[i] = argb(255, src[2], src[1], src[0]);
}

void argbToRgb24(const uint32_t* in, int32_t n, uint8_t* dst, int32_t x0, PaletteMapper*) {
    dst += x0 * 3;
    for (int32_t i = 0; i < n; ++i, dst += 3) {
        const uint32_t p = in[i];
        dst[0] = static_cast<uint8_t>(p);
        dst[1] = static_cast<uint8_t>(p >> 8);
        dst[2] = static_cast<uint8_t>(p >> 16);
    }
}

void rgb32ToArgb(const uint8_t* src, int32_t x0, int32_t n, uint32_t* out, const uint32_t*) {
    src += x0 * 4;
    for (int32_t i = 0; i < n; ++i)
        out[i] = load32(src + 4 * i) | 0xFF000000u;
}

void argbToRgb32(const uint32_t* in, int32_t n, uint8_t* dst, int32_t x0, PaletteMapper*) {
    dst += x0 * 4;
    for (int32_t i = 0; i < n; ++i)
        store32(dst + 4 * i, in[i] | 0xFF000000u);
}

void argb32ToArgb(const uint8_t* src, int32_t x0, int32_t n, uint32_t* out, const uint32_t*) {
    std::memcpy(out, src + x0 * 4, static_cast<size_t>(n) * 4);
}

void argbToArgb32(const uint32_t* in, int32_t n, uint8_t* dst, int32_t x0, PaletteMapper*) {
    std::memcpy(dst + x0 * 4, in, static_cast<size_t>(n) * 4);
}

void pargb32ToArgb(const uint8_t* src, int32_t x0, int32_t n, uint32_t* out, const uint32_t*) {
    const AlphaTables& t = alphaTables();
    src += x0 * 4;
    for (int32_t i = 0; i < n; ++i)
        out[i] = unpremultiplyPixel(load32(src + 4 * i), t);
}

void argbToPargb32(const uint32_t* in, int32_t n, uint8_t* dst, int32_t x0, PaletteMapper*) {
    const AlphaTables& t = alphaTables();
    dst += x0 * 4;
    for (int32_t i = 0; i < n; ++i)
        store32(dst + 4 * i, premultiplyPixel(in[i], t));
}

void rgb48ToArgb(const uint8_t* src, int32_t x0, int32_t n, uint32_t* out, const uint32_t*) {
    src += x0 * 6;
    for (int32_t i = 0; i < n; ++i, src += 6)
        out[i] =
            argb(255, narrow16(load16(src + 4)), narrow16(load16(src + 2)), narrow16(load16(src)));
}

void argbToRgb48(const uint32_t* in, int32_t n, uint8_t* dst, int32_t x0, PaletteMapper*) {
    dst += x0 * 6;
    for (int32_t i = 0; i < n; ++i, dst += 6) {
        const uint32_t p = in[i];
        store16(dst, widen8(p & 0xFF));
        store16(dst + 2, widen8((p >> 8) & 0xFF));
        store16(dst + 4, widen8((p >> 16) & 0xFF));
    }
}

template <bool Premultiplied>
void argb64ToArgb(const uint8_t* src, int32_t x0, int32_t n, uint32_t* out, const uint32_t*) {
    const AlphaTables& t = alphaTables();
    src += x0 * 8;
    for (int32_t i = 0; i < n; ++i, src += 8) {
        const uint32_t p = argb(narrow16(load16(src + 6)), narrow16(load16(src + 4)),
                                narrow16(load16(src + 2)), narrow16(load16(src)));
        out[i] = Premultiplied ? unpremultiplyPixel(p, t) : p;
    }
}

template <bool Premultiplied>
void argbToArgb64(const uint32_t* in, int32_t n, uint8_t* dst, int32_t x0, PaletteMapper*) {
    const AlphaTables& t = alphaTables();
    dst += x0 * 8;
    for (int32_t i = 0; i < n; ++i, dst += 8) {
        const uint32_t p = Premultiplied ? premultiplyPixel(in[i], t) : in[i];
        store16(dst, widen8(p & 0xFF));
        store16(dst + 2, widen8((p >> 8) & 0xFF));
        store16(dst + 4, widen8((p >> 16) & 0xFF));
        store16(dst + 6, widen8(p >> 24));
    }
}

struct FormatFunctions {
    PixelFormat format;
    ToArgbFn toArgb;
    FromArgbFn fromArgb;
};

constexpr FormatFunctions kFormatFunctions[] = {
    {PixelFormat1bppIndexed, indexedToArgb<1>, argbToIndexed<1>},
    {PixelFormat4bppIndexed, indexedToArgb<4>, argbToIndexed<4>},
    {PixelFormat8bppIndexed, indexedToArgb<8>, argbToIndexed<8>},
    {PixelFormat16bppGrayScale, gray16ToArgb, argbToGray16},
    {PixelFormat16bppRGB555, rgb555ToArgb, argbToRgb555},
    {PixelFormat16bppRGB565, rgb565ToArgb, argbToRgb565},
    {PixelFormat16bppARGB1555, argb1555ToArgb, argbToArgb1555},
    {PixelFormat24bppRGB, rgb24ToArgb, argbToRgb24},
    {PixelFormat32bppRGB, rgb32ToArgb, argbToRgb32},
    {PixelFormat32bppARGB, argb32ToArgb, argbToArgb32},
    {PixelFormat32bppPARGB, pargb32ToArgb, argbToPargb32},
    {PixelFormat48bppRGB, rgb48ToArgb, argbToRgb48},
    {PixelFormat64bppARGB, argb64ToArgb<false>, argbToArgb64<false>},
    {PixelFormat64bppPARGB, argb64ToArgb<true>, argbToArgb64<true>},
};

const FormatFunctions* functionsFor(PixelFormat format) {
    for (const FormatFunctions& f : kFormatFunctions)
        if (f.format == format)
            return &f;
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// Fast paths for the pairs the system converts most (whole-image reads into 32bppARGB and
// 32bppPARGB, writes back, 24-bit exports). Pointers arrive at the first pixel.

using FastFn = void (*)(const uint8_t* src, uint8_t* dst, int32_t n, const uint32_t* lut);

void fastRgb24ToArgb32(const uint8_t* src, uint8_t* dst, int32_t n, const uint32_t*) {
    // Four pixels from three 32-bit loads.
    int32_t i = 0;
    for (; i + 4 <= n; i += 4, src += 12, dst += 16) {
        const uint32_t a = load32(src), b = load32(src + 4), c = load32(src + 8);
        store32(dst, a | 0xFF000000u);
        store32(dst + 4, (a >> 24 | b << 8) | 0xFF000000u);
        store32(dst + 8, (b >> 16 | c << 16) | 0xFF000000u);
        store32(dst + 12, c >> 8 | 0xFF000000u);
    }
    for (; i < n; ++i, src += 3, dst += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        dst[3] = 0xFF;
    }
}

void fastArgb32ToRgb24(const uint8_t* src, uint8_t* dst, int32_t n, const uint32_t*) {
    for (int32_t i = 0; i < n; ++i, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

void fastSetAlpha32(const uint8_t* src, uint8_t* dst, int32_t n, const uint32_t*) {
    for (int32_t i = 0; i < n; ++i)
        store32(dst + 4 * i, load32(src + 4 * i) | 0xFF000000u);
}

// round(c * a / 255) for two channels at once (red and blue in one word, green in
// another): the (t + (t >> 8)) >> 8 form is exact for every 8-bit product, and without
// table lookups the loop vectorises.
void fastPremultiply32(const uint8_t* src, uint8_t* dst, int32_t n, const uint32_t*) {
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t p = load32(src + 4 * i);
        const uint32_t a = p >> 24;
        uint32_t rb = (p & 0x00FF00FFu) * a + 0x00800080u;
        rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
        uint32_t g = ((p >> 8) & 0xFFu) * a + 0x80u;
        g = ((g + (g >> 8)) >> 8) & 0xFFu;
        store32(dst + 4 * i, a << 24 | g << 8 | rb);
    }
}

void fastUnpremultiply32(const uint8_t* src, uint8_t* dst, int32_t n, const uint32_t*) {
    const AlphaTables& t = alphaTables();
    for (int32_t i = 0; i < n; ++i)
        store32(dst + 4 * i, unpremultiplyPixel(load32(src + 4 * i), t));
}

// lut holds the palette already in the target's 32-bit form (premultiplied for PARGB).
void fastIndexed8To32(const uint8_t* src, uint8_t* dst, int32_t n, const uint32_t* lut) {
    for (int32_t i = 0; i < n; ++i)
        store32(dst + 4 * i, lut[src[i]]);
}

void fastIndexed8To24(const uint8_t* src, uint8_t* dst, int32_t n, const uint32_t* lut) {
    for (int32_t i = 0; i < n; ++i, dst += 3) {
        const uint32_t p = lut[src[i]];
        dst[0] = static_cast<uint8_t>(p);
        dst[1] = static_cast<uint8_t>(p >> 8);
        dst[2] = static_cast<uint8_t>(p >> 16);
    }
}

enum class LutKind { None, Straight, Premultiplied };

struct FastPair {
    PixelFormat src;
    PixelFormat dst;
    FastFn fn;
    LutKind lut;
};

constexpr FastPair kFastPairs[] = {
    {PixelFormat24bppRGB, PixelFormat32bppARGB, fastRgb24ToArgb32, LutKind::None},
    {PixelFormat24bppRGB, PixelFormat32bppPARGB, fastRgb24ToArgb32, LutKind::None},
    {PixelFormat24bppRGB, PixelFormat32bppRGB, fastRgb24ToArgb32, LutKind::None},
    {PixelFormat32bppARGB, PixelFormat24bppRGB, fastArgb32ToRgb24, LutKind::None},
    {PixelFormat32bppRGB, PixelFormat24bppRGB, fastArgb32ToRgb24, LutKind::None},
    {PixelFormat32bppRGB, PixelFormat32bppARGB, fastSetAlpha32, LutKind::None},
    {PixelFormat32bppRGB, PixelFormat32bppPARGB, fastSetAlpha32, LutKind::None},
    {PixelFormat32bppARGB, PixelFormat32bppRGB, fastSetAlpha32, LutKind::None},
    {PixelFormat32bppARGB, PixelFormat32bppPARGB, fastPremultiply32, LutKind::None},
    {PixelFormat32bppPARGB, PixelFormat32bppARGB, fastUnpremultiply32, LutKind::None},
    {PixelFormat8bppIndexed, PixelFormat32bppARGB, fastIndexed8To32, LutKind::Straight},
    {PixelFormat8bppIndexed, PixelFormat32bppPARGB, fastIndexed8To32, LutKind::Premultiplied},
    {PixelFormat8bppIndexed, PixelFormat24bppRGB, fastIndexed8To24, LutKind::Straight},
};

} // namespace

// ---------------------------------------------------------------------------------------

PaletteMapper::PaletteMapper(const Palette& palette)
    : m_cacheKey(kCacheSize, 0), m_cacheIndex(kCacheSize, 0), m_cellStart(kCells, -1),
      m_cellCount(kCells, 0) {
    const size_t count = std::min<size_t>(palette.entries.size(), 256);
    m_rgb.reserve(count);
    for (size_t i = 0; i < count; ++i)
        m_rgb.push_back(palette.entries[i] & 0x00FFFFFFu);
}

void PaletteMapper::buildCell(size_t cell) {
    const int lo[3] = {int(cell >> 10 & 31) * 8, int(cell >> 5 & 31) * 8, int(cell & 31) * 8};
    auto channels = [](uint32_t e, int* c) {
        c[0] = int(e >> 16 & 0xFF), c[1] = int(e >> 8 & 0xFF), c[2] = int(e & 0xFF);
    };
    // The entry whose farthest point of the cell is nearest bounds the answer for every
    // colour of the cell; entries whose nearest point is beyond that bound never win.
    uint32_t bound = UINT32_MAX;
    std::vector<uint32_t> nearest(m_rgb.size());
    for (size_t i = 0; i < m_rgb.size(); ++i) {
        int c[3];
        channels(m_rgb[i], c);
        uint32_t dmin = 0, dmax = 0;
        for (int k = 0; k < 3; ++k) {
            const int below = lo[k] - c[k], above = c[k] - (lo[k] + 7);
            const int inside = below > 0 ? below : (above > 0 ? above : 0);
            const int far = std::max(std::abs(c[k] - lo[k]), std::abs(c[k] - (lo[k] + 7)));
            dmin += uint32_t(inside * inside);
            dmax += uint32_t(far * far);
        }
        nearest[i] = dmin;
        bound = std::min(bound, dmax);
    }
    m_cellStart[cell] = static_cast<int32_t>(m_candidates.size());
    for (size_t i = 0; i < m_rgb.size(); ++i)
        if (nearest[i] <= bound)
            m_candidates.push_back(static_cast<uint8_t>(i));
    m_cellCount[cell] = static_cast<uint16_t>(m_candidates.size() - size_t(m_cellStart[cell]));
}

uint8_t PaletteMapper::search(uint32_t rgb) {
    if (m_rgb.empty())
        return 0;
    const size_t cell = (rgb >> 9 & 0x7C00) | (rgb >> 6 & 0x3E0) | (rgb >> 3 & 0x1F);
    if (m_cellStart[cell] < 0)
        buildCell(cell);
    const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    uint32_t best = UINT32_MAX;
    uint8_t bestIndex = 0;
    const uint8_t* list = m_candidates.data() + m_cellStart[cell];
    for (size_t k = 0; k < m_cellCount[cell]; ++k) {
        const uint32_t e = m_rgb[list[k]];
        const int dr = int((e >> 16) & 0xFF) - r, dg = int((e >> 8) & 0xFF) - g,
                  db = int(e & 0xFF) - b;
        const uint32_t d = static_cast<uint32_t>(dr * dr + dg * dg + db * db);
        if (d < best) { // strict: the first minimum wins
            best = d;
            bestIndex = list[k];
            if (d == 0)
                break;
        }
    }
    return bestIndex;
}

uint8_t PaletteMapper::map(ARGB colour) {
    const uint32_t rgb = colour & 0x00FFFFFFu;
    const size_t slot = (rgb * 2654435761u) >> 18 & (kCacheSize - 1);
    const uint32_t key = rgb | 0x01000000u;
    if (m_cacheKey[slot] == key)
        return m_cacheIndex[slot];
    const uint8_t index = search(rgb);
    m_cacheKey[slot] = key;
    m_cacheIndex[slot] = index;
    return index;
}

struct RowConverter::Impl {
    PixelFormat srcFormat = PixelFormatUndefined;
    PixelFormat dstFormat = PixelFormatUndefined;
    int srcBpp = 0;
    int dstBpp = 0;
    bool sameFormat = false;
    FastFn fast = nullptr;
    ToArgbFn toArgb = nullptr;
    FromArgbFn fromArgb = nullptr;
    uint32_t lut[256];
    std::unique_ptr<PaletteMapper> mapper;
};

RowConverter::RowConverter(PixelFormat srcFormat, const Palette* srcPalette, PixelFormat dstFormat,
                           const Palette* dstPalette)
    : m_impl(std::make_unique<Impl>()) {
    Impl& m = *m_impl;
    m.srcFormat = srcFormat;
    m.dstFormat = dstFormat;
    m.srcBpp = bitsPerPixel(srcFormat);
    m.dstBpp = bitsPerPixel(dstFormat);
    m.sameFormat = srcFormat == dstFormat;
    for (uint32_t& entry : m.lut)
        entry = 0xFF000000u;
    if (isIndexed(srcFormat) && srcPalette) {
        const size_t count = std::min<size_t>(srcPalette->entries.size(), 256);
        std::copy_n(srcPalette->entries.begin(), count, m.lut);
    }
    if (const FormatFunctions* f = functionsFor(srcFormat))
        m.toArgb = f->toArgb;
    if (const FormatFunctions* f = functionsFor(dstFormat))
        m.fromArgb = f->fromArgb;
    if (isIndexed(dstFormat) && !m.sameFormat)
        m.mapper = std::make_unique<PaletteMapper>(dstPalette ? *dstPalette : Palette{});
    if (!m.sameFormat && !forceGeneric()) {
        for (const FastPair& pair : kFastPairs) {
            if (pair.src == srcFormat && pair.dst == dstFormat) {
                m.fast = pair.fn;
                if (pair.lut == LutKind::Premultiplied) {
                    const AlphaTables& t = alphaTables();
                    for (uint32_t& entry : m.lut)
                        entry = premultiplyPixel(entry, t);
                }
                break;
            }
        }
    }
}

RowConverter::~RowConverter() = default;

bool RowConverter::isFast() const {
    return m_impl->sameFormat || m_impl->fast;
}

void RowConverter::convert(const uint8_t* src, int32_t srcX, uint8_t* dst, int32_t dstX,
                           int32_t count) {
    Impl& m = *m_impl;
    if (count <= 0 || !m.toArgb || !m.fromArgb)
        return;
    if (m.sameFormat) {
        if (m.srcBpp >= 8) {
            const size_t bytesPerPixel = static_cast<size_t>(m.srcBpp / 8);
            std::memmove(dst + dstX * bytesPerPixel, src + srcX * bytesPerPixel,
                         count * bytesPerPixel);
            return;
        }
        const int perByte = 8 / m.srcBpp;
        if (srcX % perByte == 0 && dstX % perByte == 0 && count % perByte == 0) {
            std::memmove(dst + dstX / perByte, src + srcX / perByte,
                         static_cast<size_t>(count / perByte));
            return;
        }
        uint8_t indices[512];
        while (count > 0) {
            const int32_t k = std::min<int32_t>(count, 512);
            unpackIndices(src, srcX, k, m.srcBpp, indices);
            packIndices(indices, k, m.dstBpp, dst, dstX);
            srcX += k, dstX += k, count -= k;
        }
        return;
    }
    if (m.fast) {
        m.fast(src + static_cast<ptrdiff_t>(srcX) * (m.srcBpp / 8),
               dst + static_cast<ptrdiff_t>(dstX) * (m.dstBpp / 8), count, m.lut);
        return;
    }
    uint32_t row[512];
    while (count > 0) {
        const int32_t k = std::min<int32_t>(count, 512);
        m.toArgb(src, srcX, k, row, m.lut);
        m.fromArgb(row, k, dst, dstX, m.mapper.get());
        srcX += k, dstX += k, count -= k;
    }
}

void convertRect(const uint8_t* src, ptrdiff_t srcStride, PixelFormat srcFormat,
                 const Palette* srcPalette, int32_t srcX, uint8_t* dst, ptrdiff_t dstStride,
                 PixelFormat dstFormat, const Palette* dstPalette, int32_t dstX, int32_t width,
                 int32_t height) {
    RowConverter converter(srcFormat, srcPalette, dstFormat, dstPalette);
    for (int32_t y = 0; y < height; ++y)
        converter.convert(src + y * srcStride, srcX, dst + y * dstStride, dstX, width);
}

ARGB pixelToArgb(const uint8_t* row, int32_t x, PixelFormat format, const Palette* palette) {
    uint8_t out[4];
    RowConverter converter(format, palette, PixelFormat32bppARGB, nullptr);
    converter.convert(row, x, out, 0, 1);
    return load32(out);
}

void pixelFromArgb(ARGB colour, uint8_t* row, int32_t x, PixelFormat format,
                   const Palette* palette) {
    uint8_t in[4];
    store32(in, colour);
    RowConverter converter(PixelFormat32bppARGB, nullptr, format, palette);
    converter.convert(in, 0, row, x, 1);
}

namespace test {
void ForceGenericPixelPaths(bool force) {
    g_forceGeneric.store(force ? 1 : 0, std::memory_order_relaxed);
}
} // namespace test

} // namespace gp
