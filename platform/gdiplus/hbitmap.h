#pragma once

// Bitmaps to and from GDI objects: device-independent bitmaps in memory, HBITMAPs (device
// bitmaps and DIB sections) and HICONs. Every call answers GdiplusNotInitialized (18)
// while the layer is not started, InvalidParameter (2) for null arguments and unknown
// handles, and never throws.

#include "platform/gdiplus/gdiplus.h"
#include "platform/win/gdi_types.h"

namespace gp {

// A bitmap over the DIB's bits, used in place (never copied, never freed): later writes
// to the bits show in the bitmap and the other way round, so the caller keeps the bits
// alive while the bitmap lives. Rows are bottom-up for a positive height, top-down for a
// negative one. 1/4/8 bpp give indexed formats with the colour table (biClrUsed entries,
// or 2^bpp when 0) as the palette, alpha 255; 16 bpp BI_RGB is RGB555, BI_BITFIELDS
// 5-6-5 or 5-5-5; 24 bpp is 24bppRGB; 32 bpp is 32bppRGB. The resolution comes from the
// pixels per metre (96 dpi when 0). Compressed or other layouts: 2.
Status GdipCreateBitmapFromGdiDib(const win::BITMAPINFO* info, void* bits, GpBitmap* bitmap);

// A bitmap with a copy of the HBITMAP's pixels. A DIB section of 1, 4 or 8 bpp keeps its
// indexed format and colour table; a device bitmap of those depths takes `palette` when
// given (else its own table). 16 bpp gives RGB555 or RGB565 by the masks, 24 bpp
// 24bppRGB, 32 bpp 32bppRGB. Resolution 96 dpi.
Status GdipCreateBitmapFromHBITMAP(win::HBITMAP hbm, win::HPALETTE palette, GpBitmap* bitmap);

// A 32bppARGB bitmap of the icon: a colour image with alpha keeps its alpha; otherwise
// the AND mask decides (set bits transparent). For a monochrome icon the XOR half gives
// black or white; pixels that would invert the screen become transparent.
Status GdipCreateBitmapFromHICON(win::HICON icon, GpBitmap* bitmap);

// A new 32-bpp bottom-up DIB section of the active frame composited over `background`:
// the pixels are premultiplied, so a background of 0 keeps the image's transparency and
// an opaque background gives an opaque bitmap. The caller owns (and deletes) the handle.
// Metafiles: 2; a locked bitmap: 4.
Status GdipCreateHBITMAPFromBitmap(GpBitmap bitmap, win::HBITMAP* hbm, ARGB background);

// A new 32-bpp icon of the active frame: the colour image with its alpha, and a mask set
// where alpha is 0. The caller destroys it.
Status GdipCreateHICONFromBitmap(GpBitmap bitmap, win::HICON* icon);

} // namespace gp
