#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ax {

// A 32-bit pixel surface, rows top-down, pixels 0xAARRGGBB (bytes B, G, R, A). The
// compositor renders into it and persistent drawing keeps one; it is the small local
// view of pixels the framework needs, convertible to the GDI layer's surfaces.
struct Surface {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Surface() = default;
    Surface(int w, int h, uint32_t fill = 0) { reset(w, h, fill); }

    void reset(int w, int h, uint32_t fill = 0) {
        width = std::max(0, w);
        height = std::max(0, h);
        pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
    }
    uint32_t* row(int y) {
        return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    }
    const uint32_t* row(int y) const {
        return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    }
    uint32_t at(int x, int y) const { return row(y)[x]; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    void fill(uint32_t color) { std::fill(pixels.begin(), pixels.end(), color); }
    void fillRect(int x, int y, int w, int h, uint32_t color);
    // Resizes keeping the old content at the top left; new area gets fill.
    void resizeKeep(int w, int h, uint32_t fill);
    // Copies src with its top left at (x, y), clipped.
    void blit(const Surface& src, int x, int y);
};

// OLE colours: 0x00BBGGRR, or 0x800000nn for system colour nn (translated from a fixed
// table; an unknown index gives black). The result is an opaque 0xAARRGGBB pixel.
uint32_t oleColorToPixel(uint32_t oleColor);

} // namespace ax
