#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/pixel_format.h"
#include "platform/gdiplus/session.h"

#include <cstdlib>

namespace gp {

Status GdipCreateBitmapFromScan0(int32_t width, int32_t height, int32_t stride, PixelFormat format,
                                 uint8_t* scan0, GpBitmap* bitmap) {
    try {
        if (!isStarted())
            return GdiplusNotInitialized;
        if (!bitmap)
            return InvalidParameter;
        *bitmap = 0;
        if (width < 1 || height < 1 || !isKnownPixelFormat(format))
            return InvalidParameter;
        auto image = std::make_unique<Image>();
        image->rawFormat = ImageFormatMemoryBMP;
        Frame frame;
        if (!scan0) {
            Status status = makeOwnedFrame(width, height, format, frame);
            if (status != Ok)
                return status;
        } else {
            const int64_t need = rowBytes(width, format);
            int64_t rowStride = stride == 0 ? alignedStride(width, format) : stride;
            if (std::llabs(rowStride) < need || rowStride > INT32_MAX)
                return InvalidParameter;
            frame.width = width;
            frame.height = height;
            frame.format = format;
            frame.stride = static_cast<int32_t>(rowStride);
            frame.external = scan0;
            frame.palette = defaultPalette(format);
        }
        image->frames.push_back(std::move(frame));
        *bitmap = addImage(std::move(image));
        return Ok;
    } catch (...) {
        return OutOfMemory;
    }
}

Status GdipDisposeImage(GpImage image) {
    try {
        return takeImage(image) ? Ok : InvalidParameter;
    } catch (...) {
        return GenericError;
    }
}

} // namespace gp
