#include "core/image_info.h"

#include "platform/win/guid.h"

#include <algorithm>
#include <cctype>

namespace tavimo {

namespace {

int32_t listedBits(gp::PixelFormat format) {
    switch (format) {
    case 0x21005: case 0x21006: case 0x61007: case 0x101004:
        return 16;
    case 0x21808:
        return 24;
    case 0x22009: case 0xE200B: case 0x26200A:
        return 32;
    case 0x30101:
        return 1;
    case 0x30402:
        return 4;
    case 0x30803:
        return 8;
    case 0x10300C:
        return 48;
    case 0x1C400E: case 0x34400D:
        return 64;
    default:
        return -1;
    }
}

} // namespace

int32_t PixelFormatBitDepth(gp::PixelFormat format) {
    int32_t bits = listedBits(format);
    if (bits >= 0)
        return bits;
    return format == 0 ? 0 : 32;
}

int32_t PixelFormatBitsPerPixel(gp::PixelFormat format) { return std::max(listedBits(format), 0); }

int32_t ForceValidation(ImageId id) {
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    return gp::GdipImageForceValidation(GetGdiImage(id));
}

int32_t GetImagePixelFormat(ImageId id, gp::PixelFormat& format) {
    format = 0;
    return gp::GdipGetImagePixelFormat(GetGdiImage(id), &format);
}

gp::PixelFormat ImagePixelFormat(ImageId id) {
    gp::PixelFormat format = 0;
    return GetImagePixelFormat(id, format) == OK ? format : 0;
}

int32_t GetImageBitDepth(ImageId id, int32_t& bits) {
    bits = 0;
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    gp::PixelFormat format = 0;
    int32_t status = GetImagePixelFormat(id, format);
    if (status == OK)
        bits = PixelFormatBitDepth(format);
    return status;
}

int32_t ImageBitDepth(ImageId id) {
    if (FindImageIndex(id) < 0)
        return 0;
    return PixelFormatBitsPerPixel(ImagePixelFormat(id));
}

namespace {

int32_t readWholeImageLock(ImageId id, gp::BitmapData& data) {
    gp::GpImage image = GetGdiImage(id);
    uint32_t width = 0, height = 0;
    gp::PixelFormat format = 0;
    int32_t status = gp::GdipGetImageWidth(image, &width);
    if (status == OK)
        status = gp::GdipGetImageHeight(image, &height);
    if (status == OK)
        status = gp::GdipGetImagePixelFormat(image, &format);
    if (status != OK)
        return status;
    gp::Rect rect{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
    status = gp::GdipBitmapLockBits(image, &rect, gp::ImageLockModeRead, format, &data);
    if (status == OK)
        gp::GdipBitmapUnlockBits(image, &data);
    return status;
}

} // namespace

int32_t GetImageStride(ImageId id, int32_t& stride) {
    stride = 0;
    gp::BitmapData data{};
    int32_t status = readWholeImageLock(id, data);
    if (status == OK)
        stride = data.Stride;
    return status;
}

int32_t GetImageScan0(ImageId id, void*& address) {
    address = nullptr;
    gp::BitmapData data{};
    int32_t status = readWholeImageLock(id, data);
    if (status == OK)
        address = data.Scan0;
    return status;
}

std::string RawFormatName(const win::Guid& g) {
    win::Guid base = gp::ImageFormatUndefined;
    bool family = g.data2 == base.data2 && g.data3 == base.data3 && g.data4 == base.data4 &&
                  (g.data1 & 0xFFFFFF00u) == (base.data1 & 0xFFFFFF00u);
    if (!family)
        return "Undefined";
    switch (g.data1 & 0xFF) {
    case 0xA9: return "UNKNOWN";
    case 0xAA: return "Memory BMP";
    case 0xAB: return "BMP";
    case 0xAC: return "EMF";
    case 0xAD: return "WMF";
    case 0xAE: return "JPEG";
    case 0xAF: return "PNG";
    case 0xB0: return "GIF";
    case 0xB1: return "TIFF";
    case 0xB2: return "EXIF";
    case 0xB5: return "ICON";
    default: return "Undefined";
    }
}

int32_t GetRawFormatName(ImageId id, std::string& name) {
    name.clear();
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    win::Guid raw;
    int32_t status = gp::GdipGetImageRawFormat(GetGdiImage(id), &raw);
    if (status != OK)
        return status;
    name = RawFormatName(raw);
    return OK;
}

std::string DetectImageFormatName(ImageId id) {
    std::string name;
    GetRawFormatName(id, name);
    return name;
}

} // namespace tavimo
