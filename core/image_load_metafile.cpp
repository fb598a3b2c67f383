#include "core/image_load_metafile.h"

#include "core/file_helpers.h"
#include "core/image_convert.h"
#include "core/image_draw.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/quennet_status.h"
#include "platform/win/gdi.h"
#include "platform/win/vb_number.h"

namespace tavimo {

namespace {

int32_t registerMetafile(ImageId& id, gp::GpMetafile metafile, int32_t status) {
    id = 0;
    if (metafile == 0)
        return status != OK ? status : GenericError;
    try {
        RegisterImage(id, metafile, "", "", SourceKindGdiImage);
    } catch (...) {
        gp::GdipDisposeImage(metafile);
        id = 0;
        return OutOfMemory;
    }
    return status;
}

// A disposable metafile image for one scope.
struct MetafileHolder {
    gp::GpMetafile handle = 0;
    ~MetafileHolder() {
        if (handle != 0)
            gp::GdipDisposeImage(handle);
    }
};

} // namespace

int32_t CreateMetafileFromWmf(win::HMETAFILE metafile, bool deleteHandle,
                              const gp::WmfPlaceableFileHeader* header, ImageId& id) {
    gp::GpMetafile image = 0;
    int32_t status = gp::GdipCreateMetafileFromWmf(metafile, deleteHandle ? 1 : 0, header, &image);
    return registerMetafile(id, image, status);
}

int32_t CreateMetafileFromEmf(win::HENHMETAFILE metafile, bool deleteHandle, ImageId& id) {
    gp::GpMetafile image = 0;
    int32_t status = gp::GdipCreateMetafileFromEmf(metafile, deleteHandle ? 1 : 0, &image);
    return registerMetafile(id, image, status);
}

int32_t LoadMetafileFromFile(ImageId& id, const std::string& path, double scale, bool allowed) {
    id = 0;
    std::string file = NormalizePath(path);
    if (file.empty() || FileExists(file).empty())
        return FileNotFound;
    if (!allowed)
        return Aborted;
    return RasterizeMetafileFile(file, scale, id);
}

int32_t RasterizeMetafileFile(const std::string& path, double scale, ImageId& id) {
    id = 0;
    try {
        MetafileHolder metafile;
        int32_t status = gp::GdipCreateMetafileFromFile(path, &metafile.handle);
        if (status != OK)
            return status;
        gp::UINT w = 0, h = 0;
        gp::GdipGetImageWidth(metafile.handle, &w);
        gp::GdipGetImageHeight(metafile.handle, &h);
        int32_t width = 0, height = 0;
        if (!win::tryToInt32(scale * w, width) || !win::tryToInt32(scale * h, height))
            return InvalidParameter;
        status = LoadFromRawBits(width, height, 0, gp::PixelFormat32bppARGB, nullptr, id, false);
        if (status == OK) {
            gp::GpGraphics graphics = 0;
            status = GetImageGraphics(id, graphics, gp::PixelFormat32bppARGB);
            if (status == OK) {
                status = gp::GdipDrawImageRectI(graphics, metafile.handle, 0, 0, width, height);
                DeleteGraphics(graphics);
            }
        }
        if (status != OK && id != 0) {
            ReleaseImage(id);
            id = 0;
        }
        return status;
    } catch (...) {
        if (id != 0)
            ReleaseImage(id);
        id = 0;
        return GenericError;
    }
}

int32_t RasterizeMetafileImage(ImageId metafile, ImageId& id) {
    id = 0;
    int32_t width = 0, height = 0;
    float dpiX = 0, dpiY = 0;
    GetImageWidth(metafile, width);
    GetImageHeight(metafile, height);
    GetImageHorizontalResolution(metafile, dpiX);
    GetImageVerticalResolution(metafile, dpiY);

    win::HDC screen = win::GetDC(0);
    win::HDC dc = win::CreateCompatibleDC(screen);
    win::HBITMAP bitmap = win::CreateCompatibleBitmap(screen, width, height);
    win::ReleaseDC(0, screen);
    win::HGDIOBJ old = bitmap != 0 ? win::SelectObject(dc, bitmap) : 0;
    auto freeSurface = [&] {
        if (old != 0)
            win::SelectObject(dc, old);
        win::DeleteDC(dc);
        if (bitmap != 0)
            win::DeleteObject(bitmap);
    };

    gp::GpGraphics graphics = 0;
    int32_t status = bitmap != 0 ? CreateGraphicsFromHdc(dc, graphics) : int32_t{OutOfMemory};
    if (status != OK) {
        ReleaseImage(metafile);
        freeSurface();
        return status;
    }
    ClearGraphics(graphics, 0xFFFFFFFFu);
    status = DrawImageRect(graphics, metafile, 0, 0, width, height);
    DeleteGraphics(graphics);
    ReleaseImage(metafile);
    if (status != OK) {
        freeSurface();
        return status;
    }
    win::SelectObject(dc, old);
    old = 0;
    win::DeleteDC(dc);
    dc = 0;
    status = LoadFromHBitmap(bitmap, 0, id);
    win::DeleteObject(bitmap);
    bitmap = 0;
    if (status == OK)
        SetResolution(id, dpiX, dpiY, true);
    return status;
}

} // namespace tavimo
