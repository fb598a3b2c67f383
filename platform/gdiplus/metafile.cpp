#include "platform/gdiplus/metafile.h"

#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/metafile_object.h"
#include "platform/gdiplus/session.h"
#include "platform/win/gdi_metafile.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace gp {

namespace {

Status registerMetafile(std::unique_ptr<Image> image, uint32_t ownedHandle, GpMetafile* out) {
    if (!image)
        return InvalidParameter;
    static_cast<MetafileExtension*>(image->extension.get())->ownedHandle = ownedHandle;
    *out = addImage(std::move(image));
    return Ok;
}

} // namespace

Status GdipCreateMetafileFromWmf(win::HMETAFILE hWmf, BOOL deleteWmf,
                                 const WmfPlaceableFileHeader* header, GpMetafile* metafile) {
    return guarded([&]() -> Status {
        if (!metafile)
            return InvalidParameter;
        *metafile = 0;
        if (!isStarted())
            return GdiplusNotInitialized;
        std::vector<uint8_t> bytes;
        if (!header || !win::metafileBytes(hWmf, &bytes))
            return InvalidParameter;
        WmfPlaceable frame;
        frame.left = header->BoundingBox.Left;
        frame.top = header->BoundingBox.Top;
        frame.right = header->BoundingBox.Right;
        frame.bottom = header->BoundingBox.Bottom;
        frame.inch = header->Inch;
        return registerMetafile(makeMetafileImage(bytes.data(), bytes.size(), &frame),
                                deleteWmf ? hWmf : 0, metafile);
    });
}

Status GdipCreateMetafileFromEmf(win::HENHMETAFILE hEmf, BOOL deleteEmf, GpMetafile* metafile) {
    return guarded([&]() -> Status {
        if (!metafile)
            return InvalidParameter;
        *metafile = 0;
        if (!isStarted())
            return GdiplusNotInitialized;
        std::vector<uint8_t> bytes;
        if (!win::enhMetafileBytes(hEmf, &bytes))
            return InvalidParameter;
        return registerMetafile(makeMetafileImage(bytes.data(), bytes.size(), nullptr),
                                deleteEmf ? hEmf : 0, metafile);
    });
}

Status GdipCreateMetafileFromFile(const std::string& path, GpMetafile* metafile) {
    return guarded([&]() -> Status {
        if (!metafile)
            return InvalidParameter;
        *metafile = 0;
        if (!isStarted())
            return GdiplusNotInitialized;
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return FileNotFound;
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
        // A file needs its placeable header: without it the picture has no frame.
        bool placeable = bytes.size() >= 4 && bytes[0] == 0xD7 && bytes[1] == 0xCD &&
                         bytes[2] == 0xC6 && bytes[3] == 0x9A;
        bool emf = bytes.size() >= 44 && bytes[0] == 1 && std::memcmp(&bytes[40], " EMF", 4) == 0;
        if (!placeable && !emf)
            return UnknownImageFormat;
        auto image = makeMetafileImage(bytes.data(), bytes.size(), nullptr);
        if (!image)
            return UnknownImageFormat;
        return registerMetafile(std::move(image), 0, metafile);
    });
}

Status readMetafileAsBitmap(std::span<const uint8_t> bytes, ImageKind kind, DecodedImage& out) {
    return guarded([&]() -> Status {
        if (kind != ImageKind::Wmf && kind != ImageKind::Emf)
            return UnknownImageFormat;
        auto image = makeMetafileImage(bytes.data(), bytes.size(), nullptr);
        if (!image)
            return UnknownImageFormat;
        const auto& ext = static_cast<const MetafileExtension&>(*image->extension);
        if (int64_t(ext.widthPx) * ext.heightPx > (int64_t(1) << 28))
            return OutOfMemory;
        Frame frame;
        Status s = makeOwnedFrame(ext.widthPx, ext.heightPx, PixelFormat32bppARGB, frame);
        if (s != Ok)
            return s;
        if (!ext.rasterize(frame))
            return UnknownImageFormat;
        frame.dpiX = ext.dpiX;
        frame.dpiY = ext.dpiY;
        out = DecodedImage{};
        out.rawFormat = image->rawFormat;
        out.frames.push_back(std::move(static_cast<FrameData&>(frame)));
        return Ok;
    });
}

void installMetafileReader() {
    setMetafileReader(&readMetafileAsBitmap);
}

} // namespace gp
