#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"

namespace gp {

namespace {

// A plain single-frame image reports the page dimension, as GDI+ does for bitmaps.
win::Guid ownDimension(const Image& image) {
    return image.frameDimension.isZero() ? FrameDimensionPage : image.frameDimension;
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
