#include "core/image_load.h"

#include "core/quennet_status.h"
#include "platform/gdiplus/gdiplus.h"

namespace tavimo {

int32_t LoadFromRawBits(int32_t width, int32_t height, int32_t stride, gp::PixelFormat format,
                        void* memory, ImageId& id, bool handOver) {
    id = 0;
    void* pixels = memory;
    if (handOver)
        pixels = win::GlobalLock(reinterpret_cast<uintptr_t>(memory));
    gp::GpBitmap bitmap = 0;
    int32_t status = gp::GdipCreateBitmapFromScan0(width, height, stride, format,
                                                   static_cast<uint8_t*>(pixels), &bitmap);
    if (handOver)
        win::GlobalUnlock(reinterpret_cast<uintptr_t>(memory));
    if (bitmap == 0)
        return status != OK ? status : GenericError;
    try {
        RegisterImage(id, bitmap, "", "", handOver ? SourceKindOwnedBits : SourceKindRawBits);
    } catch (...) {
        gp::GdipDisposeImage(bitmap);
        id = 0;
        return OutOfMemory;
    }
    if (ImageRecord* r = FindImageRecord(id)) {
        r->PixelMemory = memory;
        r->OwnsPixelMemory = handOver;
    }
    return status;
}

namespace {

// Registers what GDI+ made, also nothing: thumbnails and copies hand back an entry even
// when the call failed.
int32_t registerDerived(ImageId& id, gp::GpImage image, int32_t status, int32_t kind) {
    try {
        RegisterImage(id, image, "", "", kind);
    } catch (...) {
        if (image != 0)
            gp::GdipDisposeImage(image);
        id = 0;
        return OutOfMemory;
    }
    return status;
}

} // namespace

int32_t CreateThumbnail(ImageId source, int32_t width, int32_t height, ImageId& id) {
    id = 0;
    gp::GpImage thumbnail = 0;
    int32_t status =
        gp::GdipGetImageThumbnail(GetGdiImage(source), static_cast<gp::UINT>(width),
                                  static_cast<gp::UINT>(height), &thumbnail, nullptr, nullptr);
    if (source == 0) {
        if (thumbnail != 0)
            gp::GdipDisposeImage(thumbnail);
        return status;
    }
    return registerDerived(id, thumbnail, status, SourceKindRawBits);
}

int32_t CloneImage(ImageId& newId, ImageId id) {
    newId = 0;
    gp::GpImage clone = 0;
    int32_t status = gp::GdipCloneImage(GetGdiImage(id), &clone);
    return registerDerived(newId, clone, status, SourceKindGdiImage);
}

int32_t CloneImageArea(int32_t x, int32_t y, int32_t width, int32_t height, gp::PixelFormat format,
                       ImageId id, ImageId& newId) {
    newId = 0;
    gp::GpBitmap clone = 0;
    int32_t status = gp::GdipCloneBitmapAreaI(x, y, width, height, format, GetGdiImage(id), &clone);
    return registerDerived(newId, clone, status, SourceKindGdiImage);
}

int32_t RegisterValidatedImage(ImageId& id, gp::GpImage image) {
    id = 0;
    if (image == 0)
        return InvalidParameter;
    int32_t status = gp::GdipImageForceValidation(image);
    if (status != OK)
        return status;
    return registerDerived(id, image, OK, SourceKindGdiImage);
}

} // namespace tavimo
