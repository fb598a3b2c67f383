#pragma once

// A GDI pixel surface: the memory behind a bitmap, a DIB section, the virtual screen or a
// printer page. Rows are padded to 4 bytes (the DIB rule). A bottom-up surface keeps its
// last row first in memory, as a DIB with a positive height does, so `bits()` is what
// CreateDIBSection hands out; `row(y)` always addresses row y counted from the top.

#include "platform/win/gdi_types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace win {

class GdiSurface {
public:
    // A zero-filled surface, or null when the size is not positive, the depth is not one
    // of 1, 4, 8, 16, 24 and 32, or the memory would pass 2 GiB (no allocation is tried).
    // A colour table is kept only for depths of 8 and below (at most 2^bpp entries).
    static std::shared_ptr<GdiSurface> create(int32_t width, int32_t height, int bpp,
                                              bool bottomUp = false,
                                              std::vector<RGBQUAD> colorTable = {},
                                              double dpiX = 96.0, double dpiY = 96.0);

    // The DIB row size for a width and depth: ((width * bpp + 31) / 32) * 4, or 0 when
    // it does not fit in 31 bits.
    static int32_t dibStride(int32_t width, int bpp);

    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    int bpp() const { return m_bpp; }
    int32_t stride() const { return m_stride; }
    bool bottomUp() const { return m_bottomUp; }
    double dpiX() const { return m_dpiX; }
    double dpiY() const { return m_dpiY; }
    void setDpi(double x, double y) {
        m_dpiX = x;
        m_dpiY = y;
    }

    // Lowest address of the pixel memory (the last row of a bottom-up surface).
    uint8_t* bits() { return m_memory.data(); }
    const uint8_t* bits() const { return m_memory.data(); }
    size_t byteSize() const { return m_memory.size(); }

    // Row y counted from the top; y must be in [0, height).
    uint8_t* row(int32_t y) {
        return m_memory.data() + size_t(m_bottomUp ? m_height - 1 - y : y) * size_t(m_stride);
    }
    const uint8_t* row(int32_t y) const {
        return m_memory.data() + size_t(m_bottomUp ? m_height - 1 - y : y) * size_t(m_stride);
    }
    // Signed distance in bytes from row y to row y + 1.
    ptrdiff_t rowStep() const { return m_bottomUp ? -ptrdiff_t(m_stride) : ptrdiff_t(m_stride); }

    std::vector<RGBQUAD>& colorTable() { return m_colorTable; }
    const std::vector<RGBQUAD>& colorTable() const { return m_colorTable; }

    // Channel masks of a 16- or 32-bpp BI_BITFIELDS surface; all 0 means the default
    // layout (5-5-5 for 16 bpp, B G R x for 32 bpp).
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;

    // One pixel as 0xAARRGGBB with alpha 255 (indexed depths look up the colour table; an
    // index past it reads black). Coordinates outside the surface read 0. Slow; for tests,
    // blits and edge cases, not for pixel loops.
    uint32_t pixel(int32_t x, int32_t y) const;
    // Writes a colour (alpha ignored; 32-bpp surfaces get 0 in the fourth byte, as GDI
    // writes); indexed depths take the nearest colour-table entry.
    void setPixel(int32_t x, int32_t y, uint32_t argb);
    // Nearest colour-table entry by squared distance, the first minimum winning.
    int nearestIndex(uint32_t argb) const;

    // A deep copy (pixels, table, masks, resolution, orientation).
    std::shared_ptr<GdiSurface> clone() const;

private:
    GdiSurface() = default;

    int32_t m_width = 0;
    int32_t m_height = 0;
    int m_bpp = 32;
    int32_t m_stride = 0;
    bool m_bottomUp = false;
    double m_dpiX = 96.0;
    double m_dpiY = 96.0;
    std::vector<RGBQUAD> m_colorTable;
    std::vector<uint8_t> m_memory;
};

} // namespace win
