#include "core/image_picture.h"

#include "core/file_helpers.h"
#include "core/image_draw.h"
#include "core/image_load.h"
#include "core/image_load_metafile.h"
#include "core/quennet_status.h"
#include "platform/win/clipboard.h"
#include "platform/win/files.h"
#include "platform/win/gdi.h"
#include "platform/win/vb_number.h"

#include <algorithm>
#include <cstdlib>

namespace tavimo {

namespace {

constexpr uint16_t kHimetricPerInchAsDeclared = 1440;

thread_local bool t_failIconConversion = false;

// The placeable header of a WMF picture: its HIMETRIC size as the bounding box. Sizes
// beyond 16 bits are scaled down, and the units per inch with them, so the proportions
// and the physical size stay.
gp::WmfPlaceableFileHeader placeableFor(int32_t width, int32_t height) {
    gp::WmfPlaceableFileHeader header;
    double w = std::abs(static_cast<double>(width));
    double h = std::abs(static_cast<double>(height));
    double largest = std::max(w, h);
    double scale = largest > 32767.0 ? 32767.0 / largest : 1.0;
    header.BoundingBox.Left = 0;
    header.BoundingBox.Top = 0;
    header.BoundingBox.Right = static_cast<int16_t>(win::roundHalfEven(w * scale));
    header.BoundingBox.Bottom = static_cast<int16_t>(win::roundHalfEven(h * scale));
    header.Inch = static_cast<uint16_t>(
        std::max(1.0, win::roundHalfEven(kHimetricPerInchAsDeclared * scale)));
    return header;
}

int32_t loadIconThroughFile(ImageId& id, const win::Picture* picture) {
    id = 0;
    std::string file = MakeTempFileName();
    if (file.empty())
        return GenericError;
    if (win::SavePicture(picture, file) != win::S_OK) {
        win::deleteFileQuietly(file);
        return GenericError;
    }
    int32_t status = LoadImageFromFile(id, file, false, false, true, 0, false, true);
    if (status != OK) {
        win::deleteFileQuietly(file);
        id = 0;
        return status;
    }
    SetTempSourceFile(id, file);
    return OK;
}

} // namespace

int32_t LoadFromPicture(ImageId& id, const win::Picture* picture) {
    id = 0;
    if (!picture)
        return InvalidParameter;
    try {
        switch (picture->Type()) {
        case win::PICTYPE_BITMAP:
            return LoadFromHBitmap(picture->Handle(), picture->hPal(), id);
        case win::PICTYPE_METAFILE: {
            gp::WmfPlaceableFileHeader header = placeableFor(picture->Width(), picture->Height());
            ImageId metafile = 0;
            int32_t status = CreateMetafileFromWmf(picture->Handle(), false, &header, metafile);
            if (status != OK)
                return status;
            return RasterizeMetafileImage(metafile, id);
        }
        case win::PICTYPE_ICON: {
            if (!t_failIconConversion && LoadFromHIcon(picture->Handle(), id) == OK)
                return OK;
            return loadIconThroughFile(id, picture);
        }
        case win::PICTYPE_ENHMETAFILE: {
            ImageId metafile = 0;
            int32_t status = CreateMetafileFromEmf(picture->Handle(), false, metafile);
            if (status != OK)
                return status;
            return RasterizeMetafileImage(metafile, id);
        }
        default:
            return InvalidParameter;
        }
    } catch (...) {
        if (id != 0)
            ReleaseImage(id);
        id = 0;
        return GenericError;
    }
}

int32_t LoadThroughPicture(ImageId& id, const std::string& path) {
    id = 0;
    try {
        win::PicturePtr picture;
        if (win::LoadPicture(path, &picture) != win::S_OK || !picture)
            return UnknownImageFormat;
        if (LoadFromPicture(id, picture.get()) != OK) {
            id = 0;
            return UnknownImageFormat;
        }
        // Pictures carry no format of their own.
        SetImageFormatName(id, "");
        return OK;
    } catch (...) {
        if (id != 0)
            ReleaseImage(id);
        id = 0;
        return UnknownImageFormat;
    }
}

int32_t LoadFromClipboard(ImageId& id) {
    id = 0;
    try {
        for (uint32_t format :
             {win::CF_DIB, win::CF_BITMAP, win::CF_PALETTE, win::CF_METAFILEPICT}) {
            if (!win::Clipboard::GetFormat(format))
                continue;
            win::PicturePtr picture = win::Clipboard::GetData(format);
            return LoadFromPicture(id, picture.get());
        }
        return GenericError;
    } catch (...) {
        id = 0;
        return GenericError;
    }
}

int32_t GetImageStdPicture(ImageId id, win::PicturePtr& picture) {
    picture.reset();
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    win::HBITMAP bitmap = 0;
    int32_t status = CreateHBitmapFromImage(id, bitmap, 0);
    if (status != OK)
        return status;
    win::PICTDESC desc;
    desc.picType = win::PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    desc.bmp.hpal = 0;
    if (win::OleCreatePictureIndirect(&desc, true, &picture) != win::S_OK || !picture) {
        win::DeleteObject(bitmap);
        picture.reset();
        return GenericError;
    }
    return OK;
}

namespace test {

void FailNextIconConversion(bool fail) {
    t_failIconConversion = fail;
}

} // namespace test

win::PicturePtr ImageToStdPicture(ImageId id) {
    win::PicturePtr picture;
    if (GetImageStdPicture(id, picture) != OK)
        return nullptr;
    return picture;
}

} // namespace tavimo
