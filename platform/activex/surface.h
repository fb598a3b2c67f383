#pragma once

#include <cstdint>
#include <memory>

#include "platform/win/gdi_surface.h"

namespace ax {

// The framework draws on the GDI layer's surfaces: 32 bpp, top-down, pixels 0xAARRGGBB
// (bytes B, G, R, A). These helpers work on whole rows and assume that layout.
using SurfacePtr = std::shared_ptr<win::GdiSurface>;

// A 32-bpp top-down surface filled with a colour; null when a side is not positive.
SurfacePtr makeSurface(int width, int height, uint32_t fill = 0);

inline uint32_t* pixelRow(win::GdiSurface& s, int y) {
    return reinterpret_cast<uint32_t*>(s.row(y));
}
inline const uint32_t* pixelRow(const win::GdiSurface& s, int y) {
    return reinterpret_cast<const uint32_t*>(s.row(y));
}
// The pixel at (x, y) of a 32-bpp surface; 0 outside it.
uint32_t pixelAt(const win::GdiSurface& s, int x, int y);
void fillRect(win::GdiSurface& s, int x, int y, int w, int h, uint32_t color);
void fillSurface(win::GdiSurface& s, uint32_t color);
// Copies src (any depth) with its top left at (x, y), clipped.
void blit(win::GdiSurface& dst, const win::GdiSurface& src, int x, int y);

// OLE colours: 0x00BBGGRR, or 0x800000nn for system colour nn (translated from a fixed
// table; an unknown index gives black). The result is an opaque 0xAARRGGBB pixel.
uint32_t oleColorToPixel(uint32_t oleColor);

} // namespace ax
