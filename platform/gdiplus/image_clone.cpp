#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/pixel_convert.h"
#include "platform/gdiplus/pixel_format.h"
#include "platform/gdiplus/resample.h"
#include "platform/gdiplus/session.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace gp {

namespace {

constexpr UINT kDefaultThumbnailSize = 120;

// Scales a frame into an owned 32bppPARGB frame with the high-quality bicubic filter.
// The resampler reads the 32- and 24-bit layouts directly; other formats are converted
// to 32bppPARGB first.
Status scaleFrame(const Frame& src, int32_t width, int32_t height, Frame& out) {
    Status status = makeOwnedFrame(width, height, PixelFormat32bppPARGB, out);
    if (status != Ok)
        return status;
    ConstPixelView view;
    view.width = src.width;
    view.height = src.height;
    std::vector<uint8_t> converted;
    switch (src.format) {
    case PixelFormat32bppPARGB:
        view.layout = PixelLayout::PARGB32;
        break;
    case PixelFormat32bppARGB:
        view.layout = PixelLayout::ARGB32;
        break;
    case PixelFormat32bppRGB:
        view.layout = PixelLayout::RGB32;
        break;
    case PixelFormat24bppRGB:
        view.layout = PixelLayout::RGB24;
        break;
    default:
        view.layout = PixelLayout::PARGB32;
        converted.resize(static_cast<size_t>(src.width) * 4 * src.height);
        convertRect(src.row(0), src.stride, src.format, &src.palette, 0, converted.data(),
                    static_cast<ptrdiff_t>(src.width) * 4, PixelFormat32bppPARGB, nullptr, 0,
                    src.width, src.height);
        break;
    }
    if (converted.empty()) {
        view.top = src.row(0);
        view.step = src.stride;
    } else {
        view.top = converted.data();
        view.step = static_cast<ptrdiff_t>(src.width) * 4;
    }
    PixelView dest;
    dest.top = out.scan0();
    dest.step = out.stride;
    dest.width = width;
    dest.height = height;
    dest.layout = PixelLayout::PARGB32;
    ResampleRequest request;
    request.srcW = src.width;
    request.srcH = src.height;
    request.dstW = width;
    request.dstH = height;
    request.filter = ResampleFilter::HighQualityBicubic;
    // The store starts transparent, so drawing source-over leaves exactly the scaled image.
    return resampleDraw(view, dest, request) ? Ok : InvalidParameter;
}

} // namespace

Status GdipCloneImage(GpImage image, GpImage* clone) {
    return guarded([&] {
        if (!isStarted())
            return GdiplusNotInitialized;
        Image* source = findImage(image);
        if (!source || !clone)
            return InvalidParameter;
        *clone = 0;
        std::unique_ptr<Image> copy = source->clone();
        if (!copy)
            return NotImplemented;
        *clone = addImage(std::move(copy));
        return Ok;
    });
}

Status GdipCloneBitmapAreaI(int32_t x, int32_t y, int32_t width, int32_t height, PixelFormat format,
                            GpBitmap source, GpBitmap* clone) {
    return guarded([&] {
        if (!isStarted())
            return GdiplusNotInitialized;
        Image* image = findBitmap(source);
        if (!image || !clone)
            return InvalidParameter;
        *clone = 0;
        const Frame& src = image->active();
        if (format == PixelFormatUndefined)
            format = src.format;
        if (!isKnownPixelFormat(format) || width < 1 || height < 1 || x < 0 || y < 0 ||
            x > src.width - width || y > src.height - height)
            return InvalidParameter;
        Frame frame;
        Status status = makeOwnedFrame(width, height, format, frame);
        if (status != Ok)
            return status;
        frame.palette = paletteFor(format, src);
        frame.dpiX = src.dpiX;
        frame.dpiY = src.dpiY;
        convertRect(src.row(y), src.stride, src.format, &src.palette, x, frame.scan0(),
                    frame.stride, format, &frame.palette, 0, width, height);
        auto copy = std::make_unique<Image>();
        copy->rawFormat = ImageFormatMemoryBMP;
        copy->frames.push_back(std::move(frame));
        *clone = addImage(std::move(copy));
        return Ok;
    });
}

Status GdipCloneBitmapArea(REAL x, REAL y, REAL width, REAL height, PixelFormat format,
                           GpBitmap source, GpBitmap* clone) {
    auto toInt = [](REAL v) {
        // NaN and values beyond int32 become an invalid coordinate.
        if (!(std::fabs(v) < 2.0e9f))
            return INT32_MIN;
        return static_cast<int32_t>(std::nearbyint(v));
    };
    return GdipCloneBitmapAreaI(toInt(x), toInt(y), toInt(width), toInt(height), format, source,
                                clone);
}

Status GdipGetImageThumbnail(GpImage image, UINT width, UINT height, GpImage* thumbnail,
                             GetThumbnailImageAbort, void*) {
    return guarded([&] {
        if (!isStarted())
            return GdiplusNotInitialized;
        Image* source = findImage(image);
        if (!source || !thumbnail)
            return InvalidParameter;
        *thumbnail = 0;
        if (width == 0 && height == 0)
            width = height = kDefaultThumbnailSize;
        if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX)
            return InvalidParameter;
        Frame frame;
        Status status = Ok;
        if (source->isBitmap()) {
            status = scaleFrame(source->active(), static_cast<int32_t>(width),
                                static_cast<int32_t>(height), frame);
        } else {
            Frame raster;
            status = makeOwnedFrame(static_cast<int32_t>(width), static_cast<int32_t>(height),
                                    PixelFormat32bppARGB, raster);
            if (status == Ok && !(source->extension && source->extension->rasterize(raster)))
                status = NotImplemented;
            if (status == Ok)
                status = scaleFrame(raster, raster.width, raster.height, frame);
        }
        if (status != Ok)
            return status;
        frame.dpiX = source->active().dpiX;
        frame.dpiY = source->active().dpiY;
        auto thumb = std::make_unique<Image>();
        thumb->rawFormat = ImageFormatMemoryBMP;
        thumb->frames.push_back(std::move(frame));
        *thumbnail = addImage(std::move(thumb));
        return Ok;
    });
}

} // namespace gp
