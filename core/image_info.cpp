#include "core/image_info.h"

#include "core/image_convert.h"
#include "platform/win/guid.h"
#include "platform/win/vb_number.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

namespace tavimo {

namespace {

int32_t listedBits(gp::PixelFormat format) {
    switch (format) {
    case 0x21005:
    case 0x21006:
    case 0x61007:
    case 0x101004:
        return 16;
    case 0x21808:
        return 24;
    case 0x22009:
    case 0xE200B:
    case 0x26200A:
        return 32;
    case 0x30101:
        return 1;
    case 0x30402:
        return 4;
    case 0x30803:
        return 8;
    case 0x10300C:
        return 48;
    case 0x1C400E:
    case 0x34400D:
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

int32_t PixelFormatBitsPerPixel(gp::PixelFormat format) {
    return std::max(listedBits(format), 0);
}

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
    case 0xA9:
        return "UNKNOWN";
    case 0xAA:
        return "Memory BMP";
    case 0xAB:
        return "BMP";
    case 0xAC:
        return "EMF";
    case 0xAD:
        return "WMF";
    case 0xAE:
        return "JPEG";
    case 0xAF:
        return "PNG";
    case 0xB0:
        return "GIF";
    case 0xB1:
        return "TIFF";
    case 0xB2:
        return "EXIF";
    case 0xB5:
        return "ICON";
    default:
        return "Undefined";
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

// ---- Size, resolution and palette --------------------------------------------------------

namespace {

// The size and resolution getters share one shape: the out value is 0 first, an unknown
// identifier answers 2, and the value is written only when the layer's query succeeds.
template <class Out, class Value>
int32_t queryImageValue(ImageId id, Out& out, gp::Status (*query)(gp::GpImage, Value*)) {
    out = 0;
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    Value value = 0;
    int32_t status = query(GetGdiImage(id), &value);
    if (status == OK)
        out = static_cast<Out>(value);
    return status;
}

} // namespace

int32_t GetImageWidth(ImageId id, int32_t& pixels) {
    return queryImageValue(id, pixels, &gp::GdipGetImageWidth);
}

int32_t GetImageHeight(ImageId id, int32_t& pixels) {
    return queryImageValue(id, pixels, &gp::GdipGetImageHeight);
}

int32_t GetImageHorizontalResolution(ImageId id, float& dpi) {
    return queryImageValue(id, dpi, &gp::GdipGetImageHorizontalResolution);
}

int32_t GetImageVerticalResolution(ImageId id, float& dpi) {
    return queryImageValue(id, dpi, &gp::GdipGetImageVerticalResolution);
}

int32_t GetImagePaletteSize(ImageId id, int32_t& bytes) {
    bytes = 0;
    return gp::GdipGetImagePaletteSize(GetGdiImage(id), &bytes);
}

int32_t GetImagePalette(ImageId id, gp::ColorPalette* palette, int32_t bytes) {
    return gp::GdipGetImagePalette(GetGdiImage(id), palette, bytes);
}

namespace {

// A ColorPalette record with room for every entry of `count`.
struct PaletteRecord {
    std::vector<uint32_t> words; // flags, count, entries

    explicit PaletteRecord(size_t count) : words(2 + std::max<size_t>(count, 1), 0) {}
    gp::ColorPalette* get() { return reinterpret_cast<gp::ColorPalette*>(words.data()); }
    int32_t bytes() const { return static_cast<int32_t>(words.size() * 4); }
};

} // namespace

int32_t ReadImagePalette(ImageId id, gp::Palette& palette) {
    palette = {};
    int32_t size = 0;
    int32_t status = GetImagePaletteSize(id, size);
    if (status != OK)
        return status;
    if (size < 8)
        return GenericError;
    PaletteRecord record(static_cast<size_t>(size - 8) / 4);
    status = GetImagePalette(id, record.get(), record.bytes());
    if (status != OK)
        return status;
    const gp::ColorPalette* p = record.get();
    size_t count = std::min<size_t>(p->Count, record.words.size() - 2);
    palette.flags = p->Flags;
    palette.entries.assign(record.words.begin() + 2, record.words.begin() + 2 + count);
    return OK;
}

int32_t WriteImagePalette(ImageId id, const gp::ColorPalette* palette) {
    return gp::GdipSetImagePalette(GetGdiImage(id), palette);
}

int32_t SetImagePalette(ImageId id, const gp::ColorPalette* palette) {
    int32_t status = WriteImagePalette(id, palette);
    if (status == OK)
        MarkImageModified(id);
    return status;
}

namespace {

int32_t writePaletteEntries(ImageId id, const gp::Palette& palette, bool mark) {
    if (palette.entries.size() > 256)
        return InvalidParameter;
    PaletteRecord record(palette.entries.size());
    record.words[0] = palette.flags;
    record.words[1] = static_cast<uint32_t>(palette.entries.size());
    std::copy(palette.entries.begin(), palette.entries.end(), record.words.begin() + 2);
    return mark ? SetImagePalette(id, record.get()) : WriteImagePalette(id, record.get());
}

} // namespace

int32_t WriteImagePalette(ImageId id, const gp::Palette& palette) {
    return writePaletteEntries(id, palette, false);
}

int32_t SetImagePalette(ImageId id, const gp::Palette& palette) {
    return writePaletteEntries(id, palette, true);
}

bool IsGreyPalette(ImageId id) {
    if (FindImageIndex(id) < 0)
        return false;
    gp::Palette palette;
    if (ReadImagePalette(id, palette) != OK || palette.entries.size() != 256)
        return false;
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t e = palette.entries[i];
        if ((e & 0xFF) != i || ((e >> 8) & 0xFF) != i || ((e >> 16) & 0xFF) != i)
            return false;
    }
    return true;
}

// ---- Pixels -------------------------------------------------------------------------------

int32_t GetStride(int32_t width, int32_t bits, int32_t& status) {
    status = OK;
    if (width < 1 || bits < 1)
        return 0;
    const int64_t w = width;
    int64_t stride = 0;
    int64_t limit = INT32_MAX;
    switch (bits) {
    case 1:
        stride = 4 * ((w + 31) / 32);
        limit = INT16_MAX;
        break;
    case 4:
        // Sixteen bytes per 32 pixels, twice what the pixels need: the size callers have
        // always allocated for nibble rows.
        stride = 16 * ((w + 31) / 32);
        limit = INT16_MAX;
        break;
    case 8:
        stride = 4 * ((w + 3) / 4);
        break;
    case 16:
        stride = (2 * w + 2) & ~int64_t{2};
        break;
    case 24:
        stride = (3 * w + 3) & ~int64_t{3};
        break;
    case 32:
        stride = 4 * w;
        break;
    case 48:
        stride = (6 * w + 6) & ~int64_t{6};
        break;
    case 64:
        stride = 8 * w;
        break;
    default:
        return 0;
    }
    if (stride > limit) {
        status = ValueOverflow;
        return 0;
    }
    return static_cast<int32_t>(stride);
}

int32_t GetStride(int32_t width, int32_t bits) {
    int32_t status = OK;
    return GetStride(width, bits, status);
}

bool GdiplusVersionAtLeast6() {
    try {
        // Val reads the leading number with at most one point, so "6.1.7601.0" reads 6.1.
        return win::Val(GdiplusVersionText()) >= 6.0;
    } catch (...) {
        return false;
    }
}

int32_t LockImageBits(ImageId id, const gp::Rect* rect, uint32_t mode, gp::PixelFormat format,
                      gp::BitmapData& data) {
    gp::PixelFormat own = ImagePixelFormat(id);
    bool converted = false;
    if (!GdiplusVersionAtLeast6() && IsIndexedPixelFormat(own) && format != own && mode == 6) {
        // GDI+ before version 6 cannot write other formats into an indexed image.
        int32_t status = ConvertTo32bppArgb(id);
        if (status != OK)
            return status;
        converted = true;
    }
    int32_t status = gp::GdipBitmapLockBits(GetGdiImage(id), rect, mode, format, &data);
    if (status == OK && mode == 6 && !converted)
        MarkImageModified(id);
    return status;
}

int32_t UnlockImageBits(ImageId id, gp::BitmapData& data) {
    return gp::GdipBitmapUnlockBits(GetGdiImage(id), &data);
}

} // namespace tavimo
