#include "platform/activex/surface.h"

#include <algorithm>
#include <array>

namespace ax {

SurfacePtr makeSurface(int width, int height, uint32_t fill) {
    SurfacePtr s = win::GdiSurface::create(width, height, 32, false);
    if (s && fill != 0)
        fillSurface(*s, fill);
    return s;
}

uint32_t pixelAt(const win::GdiSurface& s, int x, int y) {
    if (x < 0 || y < 0 || x >= s.width() || y >= s.height())
        return 0;
    return pixelRow(s, y)[x];
}

void fillRect(win::GdiSurface& s, int x, int y, int w, int h, uint32_t color) {
    int x0 = std::max(0, x), y0 = std::max(0, y);
    int x1 = std::min(s.width(), x + w), y1 = std::min(s.height(), y + h);
    for (int yy = y0; yy < y1; ++yy)
        std::fill(pixelRow(s, yy) + x0, pixelRow(s, yy) + std::max(x0, x1), color);
}

void fillSurface(win::GdiSurface& s, uint32_t color) {
    fillRect(s, 0, 0, s.width(), s.height(), color);
}

void blit(win::GdiSurface& dst, const win::GdiSurface& src, int x, int y) {
    int sx0 = std::max(0, -x), sy0 = std::max(0, -y);
    int sx1 = std::min(src.width(), dst.width() - x),
        sy1 = std::min(src.height(), dst.height() - y);
    if (sx1 <= sx0)
        return;
    for (int sy = sy0; sy < sy1; ++sy) {
        uint32_t* out = pixelRow(dst, sy + y) + x;
        if (src.bpp() == 32) {
            std::copy(pixelRow(src, sy) + sx0, pixelRow(src, sy) + sx1, out + sx0);
        } else {
            for (int sx = sx0; sx < sx1; ++sx)
                out[sx] = src.pixel(sx, sy);
        }
    }
}

uint32_t oleColorToPixel(uint32_t oleColor) {
    // The classic system palette (COLORREF values), indexed by the system colour number.
    static constexpr std::array<uint32_t, 31> kSystem = {
        0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
        0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
        0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
        0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0xD77800, 0xC8D0D4};
    uint32_t ref = oleColor;
    if (oleColor & 0x80000000u) {
        uint32_t index = oleColor & 0xFFu;
        ref = index < kSystem.size() && (oleColor & 0x7FFFFF00u) == 0 ? kSystem[index] : 0;
    }
    uint32_t r = ref & 0xFF, g = (ref >> 8) & 0xFF, b = (ref >> 16) & 0xFF;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

} // namespace ax
