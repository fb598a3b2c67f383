#include "core/image_load.h"

#include "core/quennet_status.h"
#include "platform/gdiplus/hbitmap.h"

namespace tavimo {

namespace {

// Registers an image GDI+ made; on a table failure the image is disposed again.
int32_t registerMade(ImageId& id, gp::GpImage image, int32_t status, int32_t kind) {
    id = 0;
    if (image == 0)
        return status != OK ? status : GenericError;
    try {
        RegisterImage(id, image, "", "", kind);
    } catch (...) {
        gp::GdipDisposeImage(image);
        id = 0;
        return OutOfMemory;
    }
    return status;
}

} // namespace

int32_t LoadFromHBitmap(win::HBITMAP bitmap, win::HPALETTE palette, ImageId& id) {
    gp::GpBitmap image = 0;
    int32_t status = gp::GdipCreateBitmapFromHBITMAP(bitmap, palette, &image);
    return registerMade(id, image, status, SourceKindHBitmap);
}

int32_t LoadFromHIcon(win::HICON icon, ImageId& id) {
    gp::GpBitmap image = 0;
    int32_t status = gp::GdipCreateBitmapFromHICON(icon, &image);
    return registerMade(id, image, status, SourceKindHIcon);
}

int32_t CreateBitmapFromGdiDib(const win::BITMAPINFO* info, void* bits, ImageId& id) {
    gp::GpBitmap image = 0;
    int32_t status = gp::GdipCreateBitmapFromGdiDib(info, bits, &image);
    return registerMade(id, image, status, SourceKindMemory);
}

} // namespace tavimo
