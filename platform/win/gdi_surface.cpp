#include "platform/win/gdi_surface.h"

#include <limits>
#include <new>

namespace win {

namespace {

bool validDepth(int bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

int maskShift(uint32_t mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

int maskBits(uint32_t mask) {
    mask >>= maskShift(mask);
    int n = 0;
    while (mask & 1) {
        mask >>= 1;
        ++n;
    }
    return n;
}

uint8_t expandChannel(uint32_t value, uint32_t mask) {
    if (!mask)
        return 0;
    int bits = maskBits(mask);
    uint32_t v = (value & mask) >> maskShift(mask);
    if (bits >= 8)
        return uint8_t(v >> (bits - 8));
    uint32_t maxv = (1u << bits) - 1;
    return uint8_t((v * 255 + maxv / 2) / maxv);
}

uint32_t packChannel(uint8_t value, uint32_t mask) {
    if (!mask)
        return 0;
    int bits = maskBits(mask);
    uint32_t v = bits >= 8 ? uint32_t(value) << (bits - 8) : uint32_t(value) >> (8 - bits);
    return (v << maskShift(mask)) & mask;
}

} // namespace

int32_t GdiSurface::dibStride(int32_t width, int bpp) {
    if (width <= 0 || bpp <= 0)
        return 0;
    int64_t s = ((int64_t(width) * bpp + 31) / 32) * 4;
    return s > std::numeric_limits<int32_t>::max() ? 0 : int32_t(s);
}

std::shared_ptr<GdiSurface> GdiSurface::create(int32_t width, int32_t height, int bpp,
                                               bool bottomUp, std::vector<RGBQUAD> colorTable,
                                               double dpiX, double dpiY) {
    if (width <= 0 || height <= 0 || !validDepth(bpp))
        return nullptr;
    int32_t stride = dibStride(width, bpp);
    if (stride == 0)
        return nullptr;
    int64_t bytes = int64_t(stride) * height;
    if (bytes > (int64_t(1) << 31))
        return nullptr;
    std::shared_ptr<GdiSurface> s(new (std::nothrow) GdiSurface());
    if (!s)
        return nullptr;
    try {
        s->m_memory.assign(size_t(bytes), 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    s->m_width = width;
    s->m_height = height;
    s->m_bpp = bpp;
    s->m_stride = stride;
    s->m_bottomUp = bottomUp;
    s->m_dpiX = dpiX;
    s->m_dpiY = dpiY;
    if (bpp <= 8) {
        if (colorTable.size() > (size_t(1) << bpp))
            colorTable.resize(size_t(1) << bpp);
        s->m_colorTable = std::move(colorTable);
    }
    return s;
}

uint32_t GdiSurface::pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0;
    const uint8_t* r = row(y);
    auto fromIndex = [&](uint32_t index) -> uint32_t {
        if (index >= m_colorTable.size())
            return 0xFF000000u;
        const RGBQUAD& q = m_colorTable[index];
        return 0xFF000000u | (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
    };
    switch (m_bpp) {
    case 1:
        return fromIndex((r[x >> 3] >> (7 - (x & 7))) & 1);
    case 4:
        return fromIndex((r[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
    case 8:
        return fromIndex(r[x]);
    case 16: {
        uint32_t v = uint32_t(r[2 * x]) | (uint32_t(r[2 * x + 1]) << 8);
        uint32_t rm = redMask, gm = greenMask, bm = blueMask;
        if (!rm && !gm && !bm) {
            rm = 0x7C00;
            gm = 0x03E0;
            bm = 0x001F;
        }
        return 0xFF000000u | (uint32_t(expandChannel(v, rm)) << 16) |
               (uint32_t(expandChannel(v, gm)) << 8) | expandChannel(v, bm);
    }
    case 24:
        return 0xFF000000u | (uint32_t(r[3 * x + 2]) << 16) | (uint32_t(r[3 * x + 1]) << 8) |
               r[3 * x];
    default: {
        const uint8_t* p = r + 4 * x;
        uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                     (uint32_t(p[3]) << 24);
        if (redMask || greenMask || blueMask)
            return 0xFF000000u | (uint32_t(expandChannel(v, redMask)) << 16) |
                   (uint32_t(expandChannel(v, greenMask)) << 8) | expandChannel(v, blueMask);
        return 0xFF000000u | (v & 0xFFFFFF);
    }
    }
}

int GdiSurface::nearestIndex(uint32_t argb) const {
    int best = 0;
    int64_t bestDistance = std::numeric_limits<int64_t>::max();
    int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    for (size_t i = 0; i < m_colorTable.size(); ++i) {
        const RGBQUAD& q = m_colorTable[i];
        int64_t dr = q.rgbRed - r, dg = q.rgbGreen - g, db = q.rgbBlue - b;
        int64_t d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return best;
}

void GdiSurface::setPixel(int32_t x, int32_t y, uint32_t argb) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    uint8_t* r = row(y);
    switch (m_bpp) {
    case 1: {
        uint8_t bit = uint8_t(0x80 >> (x & 7));
        if (nearestIndex(argb))
            r[x >> 3] |= bit;
        else
            r[x >> 3] &= uint8_t(~bit);
        break;
    }
    case 4: {
        uint8_t idx = uint8_t(nearestIndex(argb));
        uint8_t& byte = r[x >> 1];
        byte = (x & 1) ? uint8_t((byte & 0xF0) | idx) : uint8_t((byte & 0x0F) | (idx << 4));
        break;
    }
    case 8:
        r[x] = uint8_t(nearestIndex(argb));
        break;
    case 16: {
        uint32_t rm = redMask, gm = greenMask, bm = blueMask;
        if (!rm && !gm && !bm) {
            rm = 0x7C00;
            gm = 0x03E0;
            bm = 0x001F;
        }
        uint32_t v = packChannel(uint8_t(argb >> 16), rm) | packChannel(uint8_t(argb >> 8), gm) |
                     packChannel(uint8_t(argb), bm);
        r[2 * x] = uint8_t(v);
        r[2 * x + 1] = uint8_t(v >> 8);
        break;
    }
    case 24:
        r[3 * x] = uint8_t(argb);
        r[3 * x + 1] = uint8_t(argb >> 8);
        r[3 * x + 2] = uint8_t(argb >> 16);
        break;
    default: {
        uint32_t v = (redMask || greenMask || blueMask)
                         ? packChannel(uint8_t(argb >> 16), redMask) |
                               packChannel(uint8_t(argb >> 8), greenMask) |
                               packChannel(uint8_t(argb), blueMask)
                         : (argb & 0xFFFFFFu); // GDI leaves the fourth byte 0
        uint8_t* p = r + 4 * x;
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
        p[3] = uint8_t(v >> 24);
        break;
    }
    }
}

std::shared_ptr<GdiSurface> GdiSurface::clone() const {
    try {
        return std::shared_ptr<GdiSurface>(new GdiSurface(*this));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace win
