#pragma once

// Pixel-format conversion of rows and rectangles between every format of types.h.
//
// Every format converts to and from 32bppARGB (B, G, R, A bytes, straight alpha):
// - indexed formats read through their palette (an index past the palette reads opaque
//   black) and are written with the nearest palette entry by squared B, G, R distance,
//   the first minimum winning, alpha ignored;
// - 24bppRGB and 32bppRGB drop alpha (32bppRGB writes 0xFF in its fourth byte and reads
//   it as opaque);
// - PARGB formats premultiply with rounding;
// - 16bppGrayScale writes the 8-bit luma (0.299 R + 0.587 G + 0.114 B) widened x257;
// - 48 and 64 bpp formats hold 16-bit channels B, G, R(, A): 8 to 16 bits is x257, 16 to 8
//   bits divides by 257 with rounding (premultiplication is done on the 8-bit values).
// Any other pair goes through 32bppARGB, except that a format converted into itself is
// copied unchanged (indices stay indices, whatever the palettes).
//
// Common pairs have fast row functions; the generic path (through a 32bppARGB row) stays
// beside them as the reference. Setting TAVIMO_GENERIC_PIXELS=1 in the environment, or
// test::ForceGenericPixelPaths(true), makes every conversion take the generic path.

#include "platform/gdiplus/types.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace gp {

// Maps colours to the nearest entry of a palette. The colour cube is split into 32 x 32 x
// 32 cells; the first time a cell is met, the entries that can be nearest for any colour
// in it are listed (in palette order, so ties still go to the first entry), and later
// colours of that cell only look at those. A small cache of recent colours sits in front.
class PaletteMapper {
public:
    explicit PaletteMapper(const Palette& palette);
    uint8_t map(ARGB colour);

private:
    uint8_t search(uint32_t rgb);
    void buildCell(size_t cell);

    static constexpr size_t kCacheSize = 16384;
    static constexpr size_t kCells = 32768;
    std::vector<uint32_t> m_rgb;      // palette entries without alpha
    std::vector<uint32_t> m_cacheKey; // rgb | 0x01000000 when valid
    std::vector<uint8_t> m_cacheIndex;
    std::vector<int32_t> m_cellStart; // offset into m_candidates, -1 until built
    std::vector<uint16_t> m_cellCount;
    std::vector<uint8_t> m_candidates;
};

// Converts rows from one format into another. Made once per rectangle; the pixel loop
// runs without virtual calls. Palettes are copied where needed, so they need not
// outlive the converter.
class RowConverter {
public:
    // srcPalette is used when the source is indexed; dstPalette when the target is.
    RowConverter(PixelFormat srcFormat, const Palette* srcPalette, PixelFormat dstFormat,
                 const Palette* dstPalette);
    ~RowConverter();
    RowConverter(const RowConverter&) = delete;
    RowConverter& operator=(const RowConverter&) = delete;

    // Converts `count` pixels starting at pixel `srcX` of the row at `src` into the row at
    // `dst` starting at pixel `dstX`. For 1 and 4 bpp targets the bits of pixels outside
    // [dstX, dstX + count) are left as they were.
    void convert(const uint8_t* src, int32_t srcX, uint8_t* dst, int32_t dstX, int32_t count);

    // True when a fast path (or a plain copy) serves this pair.
    bool isFast() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Converts a rectangle: `height` rows of `width` pixels. Strides may be negative.
void convertRect(const uint8_t* src, ptrdiff_t srcStride, PixelFormat srcFormat,
                 const Palette* srcPalette, int32_t srcX, uint8_t* dst, ptrdiff_t dstStride,
                 PixelFormat dstFormat, const Palette* dstPalette, int32_t dstX, int32_t width,
                 int32_t height);

// Single pixels, for tests and cold paths.
ARGB pixelToArgb(const uint8_t* row, int32_t x, PixelFormat format, const Palette* palette);
void pixelFromArgb(ARGB colour, uint8_t* row, int32_t x, PixelFormat format,
                   const Palette* palette);

namespace test {
void ForceGenericPixelPaths(bool force);
} // namespace test

} // namespace gp
