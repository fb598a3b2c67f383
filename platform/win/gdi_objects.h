#pragma once

// What the other layers see of GDI objects: the surfaces behind bitmaps and DCs, DCs over
// surfaces made elsewhere (window and printer pages), and the icon and palette contents.
// Surfaces are shared: a surface obtained here stays valid while it is held, even after
// the handle is deleted.

#include "platform/win/gdi_surface.h"
#include "platform/win/gdi_types.h"

#include <functional>
#include <memory>
#include <vector>

namespace win {

enum class DcKind { Screen, Window, Memory, Printer };

// The surface a DC draws on: the selected bitmap's for a memory DC (the 1x1 stock bitmap
// until one is selected), the screen's, the window's or the page's. Null for an unknown DC.
std::shared_ptr<GdiSurface> dcSurface(HDC hdc);
bool dcKind(HDC hdc, DcKind* kind);
// The DC's resolution (96 x 96 for the screen and memory DCs of the screen).
bool dcResolution(HDC hdc, double* dpiX, double* dpiY);

// A DC over a surface another layer owns (a window's backing store, a printer page).
// Window and printer DCs are freed with DeleteDC (or ReleaseDC for window DCs).
HDC createSurfaceDc(std::shared_ptr<GdiSurface> surface, DcKind kind);
// A printer page: a white 32-bpp top-down surface of the given pixel size and DPI.
HDC createPrinterDc(int32_t widthPx, int32_t heightPx, double dpiX, double dpiY);

// Where a printer's printable area lies on its sheet, in device pixels: HORZRES/VERTRES
// answer the area, PHYSICALWIDTH/HEIGHT the sheet (the area when 0) and PHYSICALOFFSETX/Y
// the area's top-left corner on the sheet.
struct PrinterDcGeometry {
    int32_t areaWidth = 0, areaHeight = 0;
    int32_t sheetWidth = 0, sheetHeight = 0;
    int32_t offsetX = 0, offsetY = 0;
};
// A printer DC that draws on `surface` (the printable area, its origin the area's corner)
// or, with a null surface, an information context: it answers GetDeviceCaps, and drawing
// on it fails. 0 for a resolution or area below 1.
HDC createPrinterDc(std::shared_ptr<GdiSurface> surface, const PrinterDcGeometry& geometry,
                    double dpiX, double dpiY);

// The window system registers how GetDC(hwnd) finds a window's surface; without it, or
// when it answers null, GetDC(hwnd) gives 0.
void setWindowSurfaceProvider(std::function<std::shared_ptr<GdiSurface>(HWND)> provider);

// The virtual screen (default 1920 x 1080, 32 bpp, 96 DPI). Resizing makes a new surface.
std::shared_ptr<GdiSurface> screenSurface();
void setScreenSize(int32_t width, int32_t height);

// Bitmaps.
std::shared_ptr<GdiSurface> bitmapSurface(HBITMAP bitmap);
bool isDibSection(HBITMAP bitmap);
// Registers a surface as a bitmap (a DIB section when `dibSection`, which makes GetObject
// report its bits and header). 0 for a null surface.
HBITMAP adoptBitmap(std::shared_ptr<GdiSurface> surface, bool dibSection);
// A new bitmap with a copy of the pixels (same depth, table and orientation); 0 when the
// handle is unknown or memory runs out.
HBITMAP copyBitmap(HBITMAP bitmap);

// Icons: a colour surface (32 bpp, top-down; null for a monochrome icon) and a 1-bpp AND
// mask (for a monochrome icon twice the height: AND half, then XOR half).
struct IconData {
    bool isIcon = true;
    uint32_t xHotspot = 0;
    uint32_t yHotspot = 0;
    bool hasAlpha = false; // a 32-bpp colour image with some non-zero alpha: alpha rules
    std::shared_ptr<GdiSurface> color;
    std::shared_ptr<GdiSurface> mask;
    int32_t width() const { return mask ? mask->width() : 0; }
    int32_t height() const { return mask ? (color ? mask->height() : mask->height() / 2) : 0; }
};
// The icon's contents (shared, do not modify), or null for an unknown icon.
std::shared_ptr<const IconData> iconData(HICON icon);
HICON adoptIcon(std::shared_ptr<IconData> data);

// Palette entries, or false for an unknown palette.
bool paletteEntries(HPALETTE palette, std::vector<PALETTEENTRY>* entries);

// Counts of live objects, for leak checks in tests.
struct GdiObjectCounts {
    size_t dcs = 0, bitmaps = 0, icons = 0, palettes = 0;
};
GdiObjectCounts gdiObjectCounts();

} // namespace win
