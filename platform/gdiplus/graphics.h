#pragma once

// The drawing half of the GDI+ flat API: graphics objects on device contexts and on
// bitmaps, their quality modes and page unit, image attributes, and drawing an image (the
// active frame of a bitmap, or a metafile played into the rectangle) into a rectangle.
//
// Conventions (as in gdiplus.h): graphics and attributes are 32-bit handles; 0, a deleted
// or a forged handle answers InvalidParameter; no exception leaves a call; calls that
// create objects answer GdiplusNotInitialized (18) while the layer is not started.
//
// Drawing always composites source-over and is clipped to the target surface. A DC target
// is treated as opaque: its pixels are blended as colours and written with alpha 255.
// Colours blend in sRGB whatever the compositing quality.

#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/types.h"
#include "platform/win/gdi_types.h"

#include <cstdint>

namespace gp {

using GpGraphics = uint32_t;
using GpImageAttributes = uint32_t;
using INT = int32_t;

// Page units are gdiplus.h's `Unit`: UnitDisplay is pixels on screens, memory DCs and
// bitmaps and 1/100 inch on printers; UnitPoint 1/72 inch; UnitDocument 1/300 inch.

enum InterpolationMode : int32_t {
    InterpolationModeDefault = 0,     // bilinear
    InterpolationModeLowQuality = 1,  // bilinear
    InterpolationModeHighQuality = 2, // high-quality bicubic
    InterpolationModeBilinear = 3,
    InterpolationModeBicubic = 4,
    InterpolationModeNearestNeighbor = 5,
    InterpolationModeHighQualityBilinear = 6, // prefiltered when shrinking
    InterpolationModeHighQualityBicubic = 7,  // prefiltered when shrinking
};

// Stored and reported; image drawing does not depend on it.
enum SmoothingMode : int32_t {
    SmoothingModeDefault = 0,
    SmoothingModeHighSpeed = 1,
    SmoothingModeHighQuality = 2,
    SmoothingModeNone = 3,
    SmoothingModeAntiAlias = 4,
};

// Half and HighQuality put pixel centres at +0.5; the others at whole coordinates.
enum PixelOffsetMode : int32_t {
    PixelOffsetModeDefault = 0,
    PixelOffsetModeHighSpeed = 1,
    PixelOffsetModeHighQuality = 2,
    PixelOffsetModeNone = 3,
    PixelOffsetModeHalf = 4,
};

enum CompositingQuality : int32_t {
    CompositingQualityDefault = 0,
    CompositingQualityHighSpeed = 1,
    CompositingQualityHighQuality = 2,
    CompositingQualityGammaCorrected = 3,
    CompositingQualityAssumeLinear = 4,
};

enum ColorAdjustType : int32_t {
    ColorAdjustTypeDefault = 0,
    ColorAdjustTypeBitmap = 1,
    ColorAdjustTypeBrush = 2,
    ColorAdjustTypePen = 3,
    ColorAdjustTypeText = 4,
};

struct ColorMap {
    ARGB oldColor;
    ARGB newColor;
};

// ---------------------------------------------------------------------------------------
// Graphics objects

// A graphics object drawing on the DC's surface (screen, window, memory DC with its
// selected bitmap, printer page) at the DC's resolution. The DC is looked up again on
// every call, so a bitmap selected later is drawn on. Null output: 2; unknown DC: 2.
Status GdipCreateFromHDC(win::HDC hdc, GpGraphics* graphics);

// A graphics object drawing on the bitmap's active frame (a multi-frame bitmap keeps only
// that frame, as an edited image does). Indexed formats and metafiles: 2; a locked
// bitmap: 4 (ObjectBusy). The resolution is the bitmap's.
Status GdipGetImageGraphicsContext(GpImage image, GpGraphics* graphics);

// 2 for a null or unknown graphics.
Status GdipDeleteGraphics(GpGraphics graphics);

// Sets every pixel of the target to the colour (no blending).
Status GdipGraphicsClear(GpGraphics graphics, ARGB color);

// Page unit for destination coordinates; UnitWorld and values outside 1..6 give 2.
// Default UnitDisplay.
Status GdipSetPageUnit(GpGraphics graphics, Unit unit);
Status GdipGetPageUnit(GpGraphics graphics, Unit* unit);

// Mode setters: values outside the enumerations give 2. Defaults: interpolation Bilinear
// (reported as 3), smoothing None, pixel offset Default (whole coordinates), compositing
// Default.
Status GdipSetInterpolationMode(GpGraphics graphics, InterpolationMode mode);
Status GdipGetInterpolationMode(GpGraphics graphics, InterpolationMode* mode);
Status GdipSetSmoothingMode(GpGraphics graphics, SmoothingMode mode);
Status GdipGetSmoothingMode(GpGraphics graphics, SmoothingMode* mode);
Status GdipSetPixelOffsetMode(GpGraphics graphics, PixelOffsetMode mode);
Status GdipGetPixelOffsetMode(GpGraphics graphics, PixelOffsetMode* mode);
Status GdipSetCompositingQuality(GpGraphics graphics, CompositingQuality quality);
Status GdipGetCompositingQuality(GpGraphics graphics, CompositingQuality* quality);

// The target's resolution as the graphics uses it.
Status GdipGetDpiX(GpGraphics graphics, REAL* dpi);
Status GdipGetDpiY(GpGraphics graphics, REAL* dpi);

// ---------------------------------------------------------------------------------------
// Drawing

// Draws the whole image into the rectangle (page units). A zero width or height draws
// nothing; a negative one mirrors. Unknown graphics or image: 2; a locked image: 4
// (ObjectBusy); the fault seam's Draw point can make the call answer any status.
Status GdipDrawImageRectI(GpGraphics graphics, GpImage image, INT x, INT y, INT width, INT height);
Status GdipDrawImageRect(GpGraphics graphics, GpImage image, REAL x, REAL y, REAL width,
                         REAL height);

// Draws the source rectangle (pixels of the image; only UnitPixel, other units give 6)
// into the destination rectangle (page units). The part of the source rectangle outside
// the image is cut off, and the destination with it, so the scale stays. Attributes may
// be 0. The abort callback is not supported: a non-null one gives 6.
Status GdipDrawImageRectRectI(GpGraphics graphics, GpImage image, INT dstx, INT dsty, INT dstwidth,
                              INT dstheight, INT srcx, INT srcy, INT srcwidth, INT srcheight,
                              Unit srcUnit, GpImageAttributes attributes, void* callback,
                              void* callbackData);
Status GdipDrawImageRectRect(GpGraphics graphics, GpImage image, REAL dstx, REAL dsty,
                             REAL dstwidth, REAL dstheight, REAL srcx, REAL srcy, REAL srcwidth,
                             REAL srcheight, Unit srcUnit, GpImageAttributes attributes,
                             void* callback, void* callbackData);

// ---------------------------------------------------------------------------------------
// Image attributes

Status GdipCreateImageAttributes(GpImageAttributes* attributes);
Status GdipDisposeImageAttributes(GpImageAttributes attributes);

// Gamma per colour channel: c' = 255 * (c / 255) ^ gamma (alpha untouched). Disabling
// clears it. A gamma that is not above 0 (when enabling) or an unknown adjust type: 2.
// Images use the Bitmap settings when any are set, else the Default ones.
Status GdipSetImageAttributesGamma(GpImageAttributes attributes, ColorAdjustType type,
                                   BOOL enableFlag, REAL gamma);

// Exact-colour replacement: a source pixel whose 32-bit ARGB value equals an old colour is
// replaced by the new one, before gamma. Disabling clears the table. Enabling with no
// entries or a null map: 2.
Status GdipSetImageAttributesRemapTable(GpImageAttributes attributes, ColorAdjustType type,
                                        BOOL enableFlag, UINT mapSize, const ColorMap* map);

} // namespace gp
