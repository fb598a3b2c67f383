#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/pixel_format.h"

namespace gp {

namespace {

// Looks the image up and hands its active frame to `read`; 2 for an unknown image or a
// null output.
template <class Out, class Read> Status readActive(GpImage handle, Out* out, Read&& read) {
    return guarded([&] {
        Image* image = findImage(handle);
        if (!image || !out)
            return InvalidParameter;
        read(*image, *out);
        return Ok;
    });
}

} // namespace

Status GdipGetImageWidth(GpImage image, UINT* width) {
    return readActive(image, width,
                      [](const Image& i, UINT& out) { out = static_cast<UINT>(i.active().width); });
}

Status GdipGetImageHeight(GpImage image, UINT* height) {
    return readActive(image, height, [](const Image& i, UINT& out) {
        out = static_cast<UINT>(i.active().height);
    });
}

Status GdipGetImageHorizontalResolution(GpImage image, REAL* dpi) {
    return readActive(image, dpi,
                      [](const Image& i, REAL& out) { out = static_cast<REAL>(i.active().dpiX); });
}

Status GdipGetImageVerticalResolution(GpImage image, REAL* dpi) {
    return readActive(image, dpi,
                      [](const Image& i, REAL& out) { out = static_cast<REAL>(i.active().dpiY); });
}

Status GdipGetImagePixelFormat(GpImage image, PixelFormat* format) {
    return readActive(image, format,
                      [](const Image& i, PixelFormat& out) { out = i.active().format; });
}

Status GdipGetImageRawFormat(GpImage image, win::Guid* format) {
    return readActive(image, format, [](const Image& i, win::Guid& out) { out = i.rawFormat; });
}

Status GdipGetImageType(GpImage image, int32_t* type) {
    return readActive(image, type, [](const Image& i, int32_t& out) { out = i.type; });
}

Status GdipGetImageFlags(GpImage image, UINT* flags) {
    return readActive(image, flags, [](const Image& i, UINT& out) {
        const Frame& frame = i.active();
        UINT value = ImageFlagsNone;
        if (!i.isBitmap())
            value |= ImageFlagsScalable;
        bool alpha = hasAlphaChannel(frame.format);
        if (isIndexed(frame.format) && (frame.palette.flags & PaletteFlagsHasAlpha))
            alpha = true;
        if (alpha)
            value |= ImageFlagsHasAlpha;
        const bool grey =
            frame.format == PixelFormat16bppGrayScale ||
            (isIndexed(frame.format) && (frame.palette.flags & PaletteFlagsGrayScale));
        value |= grey ? ImageFlagsColorSpaceGRAY : ImageFlagsColorSpaceRGB;
        // Images that came from a file or stream know their real size and resolution.
        if (i.rawFormat != ImageFormatMemoryBMP && i.rawFormat != ImageFormatUndefined)
            value |= ImageFlagsHasRealPixelSize | ImageFlagsHasRealDPI;
        out = value;
    });
}

Status GdipGetImageDimension(GpImage image, REAL* width, REAL* height) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !width || !height)
            return InvalidParameter;
        const Frame& frame = i->active();
        if (i->isBitmap()) {
            *width = static_cast<REAL>(frame.width);
            *height = static_cast<REAL>(frame.height);
        } else {
            *width = static_cast<REAL>(frame.width / frame.dpiX * 2540.0);
            *height = static_cast<REAL>(frame.height / frame.dpiY * 2540.0);
        }
        return Ok;
    });
}

Status GdipGetImageBounds(GpImage image, RectF* bounds, Unit* unit) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !bounds || !unit)
            return InvalidParameter;
        *bounds = RectF{0, 0, static_cast<REAL>(i->active().width),
                        static_cast<REAL>(i->active().height)};
        *unit = UnitPixel;
        return Ok;
    });
}

Status GdipBitmapSetResolution(GpBitmap bitmap, REAL xdpi, REAL ydpi) {
    return guarded([&] {
        Image* image = findBitmap(bitmap);
        // The negated comparisons also refuse NaN.
        if (!image || !(xdpi > 0) || !(ydpi > 0))
            return InvalidParameter;
        image->active().dpiX = xdpi;
        image->active().dpiY = ydpi;
        return Ok;
    });
}

Status GdipImageForceValidation(GpImage image) {
    return guarded([&] { return findImage(image) ? Ok : InvalidParameter; });
}

} // namespace gp
