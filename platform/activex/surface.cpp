#include "platform/activex/surface.h"

#include <array>

namespace ax {

void Surface::fillRect(int x, int y, int w, int h, uint32_t color) {
    int x0 = std::max(0, x), y0 = std::max(0, y);
    int x1 = std::min(width, x + w), y1 = std::min(height, y + h);
    for (int yy = y0; yy < y1; ++yy)
        std::fill(row(yy) + x0, row(yy) + std::max(x0, x1), color);
}

void Surface::resizeKeep(int w, int h, uint32_t fillColor) {
    Surface next(w, h, fillColor);
    next.blit(*this, 0, 0);
    *this = std::move(next);
}

void Surface::blit(const Surface& src, int x, int y) {
    int sx0 = std::max(0, -x), sy0 = std::max(0, -y);
    int sx1 = std::min(src.width, width - x), sy1 = std::min(src.height, height - y);
    if (sx1 <= sx0)
        return;
    for (int sy = sy0; sy < sy1; ++sy)
        std::copy(src.row(sy) + sx0, src.row(sy) + sx1, row(sy + y) + sx0 + x);
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
