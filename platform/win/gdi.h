#pragma once

// The GDI stand-in: device contexts, bitmaps (device bitmaps and DIB sections), icons and
// palettes, named by 32-bit handles. Objects are process-wide, as GDI objects are; each is
// used by one thread at a time. Every call refuses 0, stale and forged handles with its
// failure value (0, FALSE, or CLR_INVALID) and never throws.
//
// Device contexts come in three kinds:
// - the screen (GetDC(0)): a virtual 32-bpp surface at 96 DPI (see gdi_objects.h for its
//   size), and window DCs (GetDC(hwnd)) over the surface the window system registers;
// - memory DCs (CreateCompatibleDC): a drawing surface only while a bitmap is selected
//   into them; until then they hold a 1x1 monochrome stock bitmap, as GDI does;
// - printer DCs (made by the printer layer) with the printer's page size and DPI.

#include "platform/win/gdi_types.h"

namespace win {

// Screen and window DCs. GetDC(0) gives a new screen DC each call; ReleaseDC frees a DC
// that GetDC made (1) and answers 0 for any other handle.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);

// A memory DC with the resolution of `hdc` (the screen's for 0); 0 for an unknown DC.
HDC CreateCompatibleDC(HDC hdc);
// Frees a memory or printer DC made by this layer; a selected bitmap is deselected, not
// deleted. FALSE for an unknown handle.
BOOL DeleteDC(HDC hdc);

// A zero-filled (black) top-down 32-bpp device bitmap, whatever the DC: every surface this
// layer draws on is 32 bpp. 0 for a width or height below 1, an unknown DC, or no memory.
HBITMAP CreateCompatibleBitmap(HDC hdc, int32_t width, int32_t height);
// A device bitmap of 1, 4, 8, 16, 24 or 32 bpp (planes must be 1) initialised from `bits`
// (rows padded to 2 bytes, top-down, as GDI expects) or zero when `bits` is null. A 1-bpp
// bitmap has the monochrome table [black, white].
HBITMAP CreateBitmap(int32_t width, int32_t height, uint32_t planes, uint32_t bitCount,
                     const void* bits);
// A DIB section laid out as the header says: its depth, its orientation (positive height:
// bottom-up), its colour table (biClrUsed entries, or 2^bpp when 0; none above 8 bpp)
// and its BI_BITFIELDS masks. `*bits` receives the pixel memory (lowest address), which
// lives as long as the bitmap. `usage` must be DIB_RGB_COLORS. Gives 0 (and null bits)
// for a null info, a compressed or unknown format, a size below 1, or no memory.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, uint32_t usage, void** bits,
                         uint32_t section = 0, uint32_t offset = 0);

// Selects a bitmap into a memory DC and returns the one it replaces (at first the stock
// bitmap). 0 when the DC is not a memory DC, the object is not a bitmap, or the bitmap is
// selected into another DC.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
// Which object of a kind is selected (OBJ_BITMAP only); 0 otherwise.
inline constexpr uint32_t OBJ_BITMAP = 7;
HGDIOBJ GetCurrentObject(HDC hdc, uint32_t type);

// Deletes a bitmap, palette or icon. A bitmap still selected into a DC is refused (FALSE);
// the stock bitmap is never deleted (TRUE, nothing done); an unknown handle does nothing
// and answers FALSE.
BOOL DeleteObject(HGDIOBJ object);

// Bitmaps: with a null buffer, the size the record needs. Otherwise fills a DIBSECTION
// when the buffer holds one and the bitmap is a DIB section, else a BITMAP, and returns
// the bytes written. Palettes: writes the entry count as a 16-bit value (2 bytes).
// 0 for an unknown handle or a buffer too small.
int GetObject(HGDIOBJ object, int size, void* buffer);

// GDI device capabilities of the DC's surface (HORZRES, VERTRES, BITSPIXEL, PLANES,
// LOGPIXELSX/Y, HORZSIZE/VERTSIZE in mm, PHYSICAL*, TECHNOLOGY); 0 for unknown values.
int GetDeviceCaps(HDC hdc, int index);

// Copies between DC surfaces (any depths), clipped to both surfaces. Raster operations:
// SRCCOPY, SRCPAINT, SRCAND, SRCINVERT, NOTSRCCOPY, BLACKNESS, WHITENESS; others FALSE.
// StretchBlt samples the nearest source pixel; negative sizes mirror.
BOOL BitBlt(HDC dest, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t sx,
            int32_t sy, uint32_t rop);
BOOL StretchBlt(HDC dest, int32_t x, int32_t y, int32_t width, int32_t height, HDC source,
                int32_t sx, int32_t sy, int32_t sw, int32_t sh, uint32_t rop);

// One pixel of the DC's surface; CLR_INVALID outside it or for an unknown DC.
COLORREF GetPixel(HDC hdc, int32_t x, int32_t y);
COLORREF SetPixel(HDC hdc, int32_t x, int32_t y, COLORREF color);

// Palettes: palNumEntries entries (1 to 1024) copied; 0 otherwise.
HPALETTE CreatePalette(const LOGPALETTE* palette);
// Copies up to `count` entries from `start`; returns the number copied, or the palette's
// entry count when `entries` is null; 0 for an unknown handle.
uint32_t GetPaletteEntries(HPALETTE palette, uint32_t start, uint32_t count, PALETTEENTRY* entries);

// Icons and cursors: the icon keeps copies of the mask and colour bitmaps (the caller
// still owns and deletes its own). A missing colour bitmap makes a monochrome icon whose
// mask holds the AND half above the XOR half. 0 for a missing or unknown mask.
HICON CreateIconIndirect(const ICONINFO* info);
// Hands out new copies of the icon's bitmaps; the caller deletes them. FALSE for an
// unknown icon.
BOOL GetIconInfo(HICON icon, ICONINFO* info);
HICON CopyIcon(HICON icon);
BOOL DestroyIcon(HICON icon);
inline BOOL DestroyCursor(HCURSOR cursor) {
    return DestroyIcon(cursor);
}

} // namespace win
