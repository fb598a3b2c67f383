#include "platform/gdiplus/codec_registry.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/session.h"
#include "platform/win/files.h"
#include "platform/win/stream.h"

namespace gp {

namespace {

Status decodeBytes(const std::vector<uint8_t>& bytes, bool icm, GpImage* out) {
    const Status fault = takeFault(FaultPoint::Decode);
    if (fault != Ok)
        return fault;
    if (bytes.empty())
        return UnknownImageFormat;
    DecodedImage decoded;
    DecodeOptions options;
    options.applyIcm = icm;
    Status status = decodeImage(bytes, decoded, options);
    if (status == InvalidParameter)
        status = UnknownImageFormat; // only empty input gets here
    if (status != Ok)
        return status;
    std::unique_ptr<Image> image = imageFromDecoded(std::move(decoded));
    if (!image)
        return UnknownImageFormat;
    *out = addImage(std::move(image));
    return Ok;
}

Status loadFile(const std::string& path, bool icm, GpImage* out) {
    return guarded([&] {
        if (!isStarted())
            return GdiplusNotInitialized;
        if (!out)
            return InvalidParameter;
        *out = 0;
        std::vector<uint8_t> bytes;
        if (path.empty() || !win::readWholeFile(path, bytes))
            return FileNotFound;
        return decodeBytes(bytes, icm, out);
    });
}

Status loadStream(win::IStream* stream, bool icm, GpImage* out) {
    return guarded([&] {
        if (!isStarted())
            return GdiplusNotInitialized;
        if (!out || !stream)
            return InvalidParameter;
        *out = 0;
        std::vector<uint8_t> bytes;
        if (!win::ReadStreamToEnd(stream, bytes))
            return Win32Error;
        return decodeBytes(bytes, icm, out);
    });
}

} // namespace

Status GdipCreateBitmapFromFile(const std::string& path, GpBitmap* bitmap) {
    return loadFile(path, false, bitmap);
}

Status GdipCreateBitmapFromFileICM(const std::string& path, GpBitmap* bitmap) {
    return loadFile(path, true, bitmap);
}

Status GdipLoadImageFromFile(const std::string& path, GpImage* image) {
    return loadFile(path, false, image);
}

Status GdipLoadImageFromFileICM(const std::string& path, GpImage* image) {
    return loadFile(path, true, image);
}

Status GdipCreateBitmapFromStream(win::IStream* stream, GpBitmap* bitmap) {
    return loadStream(stream, false, bitmap);
}

Status GdipCreateBitmapFromStreamICM(win::IStream* stream, GpBitmap* bitmap) {
    return loadStream(stream, true, bitmap);
}

Status GdipLoadImageFromStream(win::IStream* stream, GpImage* image) {
    return loadStream(stream, false, image);
}

Status GdipLoadImageFromStreamICM(win::IStream* stream, GpImage* image) {
    return loadStream(stream, true, image);
}

} // namespace gp
