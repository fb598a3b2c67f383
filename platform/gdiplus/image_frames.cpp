#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"

namespace gp {

namespace {

// An image decoded without a dimension reports time when it is a GIF and page otherwise,
// as GDI+ does.
win::Guid ownDimension(const Image& image) {
    if (!image.frameDimension.isZero())
        return image.frameDimension;
    return image.rawFormat == ImageFormatGIF ? FrameDimensionTime : FrameDimensionPage;
}

} // namespace

Status GdipImageGetFrameDimensionsCount(GpImage image, UINT* count) {
    return guarded([&] {
        if (!findImage(image) || !count)
            return InvalidParameter;
        *count = 1;
        return Ok;
    });
}

Status GdipImageGetFrameDimensionsList(GpImage image, win::Guid* dimensions, UINT count) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !dimensions || count != 1)
            return InvalidParameter;
        dimensions[0] = ownDimension(*i);
        return Ok;
    });
}

Status GdipImageGetFrameCount(GpImage image, const win::Guid* dimension, UINT* count) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !dimension || !count || *dimension != ownDimension(*i))
            return InvalidParameter;
        *count = static_cast<UINT>(i->frames.size());
        return Ok;
    });
}

Status GdipImageSelectActiveFrame(GpImage image, const win::Guid* dimension, UINT index) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !dimension || *dimension != ownDimension(*i) || index >= i->frames.size())
            return InvalidParameter;
        if (i->isLocked())
            return ObjectBusy;
        i->activeFrame = index;
        return Ok;
    });
}

} // namespace gp
