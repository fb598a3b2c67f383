#pragma once

// Drawing by ImageId: graphics objects on device contexts, their quality modes, image
// attributes, the draw calls, the draw onto a device context with fixed quality modes
// and a fallback, graphics on an image, and HBITMAPs of an image. Every call returns the
// GDI+ status unchanged unless it says otherwise; for a container the current page is
// drawn.

#include "core/image_table.h"
#include "platform/gdiplus/graphics.h"
#include "platform/win/gdi_types.h"

namespace tavimo {

int32_t CreateGraphicsFromHdc(win::HDC hdc, gp::GpGraphics& graphics);
int32_t DeleteGraphics(gp::GpGraphics graphics); // 2 for a null graphics
int32_t ClearGraphics(gp::GpGraphics graphics, gp::ARGB color);
int32_t SetInterpolationMode(gp::GpGraphics graphics, int32_t mode);
int32_t SetSmoothingMode(gp::GpGraphics graphics, int32_t mode);
int32_t SetCompositingQuality(gp::GpGraphics graphics, int32_t quality);
int32_t SetPixelOffsetMode(gp::GpGraphics graphics, int32_t mode);

int32_t CreateImageAttributes(gp::GpImageAttributes& attributes);
int32_t DisposeImageAttributes(gp::GpImageAttributes attributes);
int32_t SetAttributesGamma(gp::GpImageAttributes attributes, int32_t adjustType, bool enable,
                           float gamma);
int32_t SetAttributesRemapTable(gp::GpImageAttributes attributes, int32_t adjustType, bool enable,
                                uint32_t mapSize, const gp::ColorMap* map);

// The whole image into a rectangle of integer page units.
int32_t DrawImageRect(gp::GpGraphics graphics, ImageId id, int32_t x, int32_t y, int32_t width,
                      int32_t height);
// A source rectangle (in `sourceUnit`) into a destination rectangle, with optional
// attributes (0 for none).
int32_t DrawImageRectRect(gp::GpGraphics graphics, ImageId id, int32_t dstX, int32_t dstY,
                          int32_t dstWidth, int32_t dstHeight, int32_t srcX, int32_t srcY,
                          int32_t srcWidth, int32_t srcHeight, int32_t sourceUnit,
                          gp::GpImageAttributes attributes);

// Draws the image into the rectangle of a device context: page unit as given, smoothing
// 0..4 (else 3, none), interpolation 0..7 (else 5, nearest neighbour), compositing
// quality gamma-corrected and pixel offset half. When that draw fails it is tried once
// more with the fastest modes (smoothing none, nearest neighbour, high-speed
// compositing, no pixel offset). 2 unknown image; the graphics' creation status; else the
// status of the last draw.
int32_t DrawImageToDC(ImageId id, win::HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height,
                      int32_t smoothing, int32_t interpolation, int32_t pageUnit);

// A graphics object drawing on the image; the image is marked modified. With GDI+ below
// version 6 an indexed image (judged by `format`, or by its own format when 0) is first
// converted to 32bppARGB (a failing conversion is returned). 2 unknown image.
int32_t GetImageGraphics(ImageId id, gp::GpGraphics& graphics, gp::PixelFormat format);

// A new 32-bpp HBITMAP of the image over `background`; the caller deletes it.
int32_t CreateHBitmapFromImage(ImageId id, win::HBITMAP& bitmap, gp::ARGB background);

} // namespace tavimo
