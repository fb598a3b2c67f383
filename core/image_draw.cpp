#include "core/image_draw.h"

#include "core/image_convert.h"
#include "core/image_info.h"
#include "core/quennet_status.h"
#include "platform/gdiplus/hbitmap.h"

namespace tavimo {

int32_t CreateGraphicsFromHdc(win::HDC hdc, gp::GpGraphics& graphics) {
    graphics = 0;
    return gp::GdipCreateFromHDC(hdc, &graphics);
}

int32_t DeleteGraphics(gp::GpGraphics graphics) {
    if (graphics == 0)
        return InvalidParameter;
    return gp::GdipDeleteGraphics(graphics);
}

int32_t ClearGraphics(gp::GpGraphics graphics, gp::ARGB color) {
    return gp::GdipGraphicsClear(graphics, color);
}

int32_t SetInterpolationMode(gp::GpGraphics graphics, int32_t mode) {
    return gp::GdipSetInterpolationMode(graphics, static_cast<gp::InterpolationMode>(mode));
}

int32_t SetSmoothingMode(gp::GpGraphics graphics, int32_t mode) {
    return gp::GdipSetSmoothingMode(graphics, static_cast<gp::SmoothingMode>(mode));
}

int32_t SetCompositingQuality(gp::GpGraphics graphics, int32_t quality) {
    return gp::GdipSetCompositingQuality(graphics, static_cast<gp::CompositingQuality>(quality));
}

int32_t SetPixelOffsetMode(gp::GpGraphics graphics, int32_t mode) {
    return gp::GdipSetPixelOffsetMode(graphics, static_cast<gp::PixelOffsetMode>(mode));
}

int32_t CreateImageAttributes(gp::GpImageAttributes& attributes) {
    attributes = 0;
    return gp::GdipCreateImageAttributes(&attributes);
}

int32_t DisposeImageAttributes(gp::GpImageAttributes attributes) {
    return gp::GdipDisposeImageAttributes(attributes);
}

int32_t SetAttributesGamma(gp::GpImageAttributes attributes, int32_t adjustType, bool enable,
                           float gamma) {
    return gp::GdipSetImageAttributesGamma(attributes, static_cast<gp::ColorAdjustType>(adjustType),
                                           enable ? 1 : 0, gamma);
}

int32_t SetAttributesRemapTable(gp::GpImageAttributes attributes, int32_t adjustType, bool enable,
                                uint32_t mapSize, const gp::ColorMap* map) {
    return gp::GdipSetImageAttributesRemapTable(
        attributes, static_cast<gp::ColorAdjustType>(adjustType), enable ? 1 : 0, mapSize, map);
}

int32_t DrawImageRect(gp::GpGraphics graphics, ImageId id, int32_t x, int32_t y, int32_t width,
                      int32_t height) {
    return gp::GdipDrawImageRectI(graphics, GetGdiImage(id), x, y, width, height);
}

int32_t DrawImageRectRect(gp::GpGraphics graphics, ImageId id, int32_t dstX, int32_t dstY,
                          int32_t dstWidth, int32_t dstHeight, int32_t srcX, int32_t srcY,
                          int32_t srcWidth, int32_t srcHeight, int32_t sourceUnit,
                          gp::GpImageAttributes attributes) {
    return gp::GdipDrawImageRectRectI(
        graphics, GetGdiImage(id), dstX, dstY, dstWidth, dstHeight, srcX, srcY, srcWidth, srcHeight,
        static_cast<gp::Unit>(sourceUnit), attributes, nullptr, nullptr);
}

namespace {

int32_t drawWithModes(gp::GpGraphics graphics, gp::GpImage image, int32_t x, int32_t y,
                      int32_t width, int32_t height, int32_t smoothing, int32_t interpolation,
                      int32_t compositing, int32_t pixelOffset) {
    SetSmoothingMode(graphics, smoothing);
    SetInterpolationMode(graphics, interpolation);
    SetCompositingQuality(graphics, compositing);
    SetPixelOffsetMode(graphics, pixelOffset);
    return gp::GdipDrawImageRect(graphics, image, static_cast<float>(x), static_cast<float>(y),
                                 static_cast<float>(width), static_cast<float>(height));
}

} // namespace

int32_t DrawImageToDC(ImageId id, win::HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height,
                      int32_t smoothing, int32_t interpolation, int32_t pageUnit) {
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    gp::GpGraphics graphics = 0;
    int32_t status = CreateGraphicsFromHdc(hdc, graphics);
    if (status != OK)
        return status;
    if (smoothing < 0 || smoothing > 4)
        smoothing = gp::SmoothingModeNone;
    if (interpolation < 0 || interpolation > 7)
        interpolation = gp::InterpolationModeNearestNeighbor;
    gp::GdipSetPageUnit(graphics, static_cast<gp::Unit>(pageUnit));
    gp::GpImage image = GetGdiImage(id);
    status = drawWithModes(graphics, image, x, y, width, height, smoothing, interpolation,
                           gp::CompositingQualityGammaCorrected, gp::PixelOffsetModeHalf);
    if (status != OK)
        status = drawWithModes(graphics, image, x, y, width, height, gp::SmoothingModeNone,
                               gp::InterpolationModeNearestNeighbor,
                               gp::CompositingQualityHighSpeed, gp::PixelOffsetModeNone);
    DeleteGraphics(graphics);
    return status;
}

int32_t GetImageGraphics(ImageId id, gp::GpGraphics& graphics, gp::PixelFormat format) {
    graphics = 0;
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    if (!GdiplusVersionAtLeast6()) {
        gp::PixelFormat judged = format != 0 ? format : ImagePixelFormat(id);
        if (IsIndexedPixelFormat(judged)) {
            int32_t status = ConvertTo32bppArgb(id);
            if (status != OK)
                return status;
        }
    }
    int32_t status = gp::GdipGetImageGraphicsContext(GetGdiImage(id), &graphics);
    if (status == OK)
        MarkImageModified(id);
    return status;
}

int32_t CreateHBitmapFromImage(ImageId id, win::HBITMAP& bitmap, gp::ARGB background) {
    bitmap = 0;
    return gp::GdipCreateHBITMAPFromBitmap(GetGdiImage(id), &bitmap, background);
}

} // namespace tavimo
