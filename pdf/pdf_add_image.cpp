#include "pdf/cPDF.h"

#include "core/encoders.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/image_table.h"
#include "core/plugin.h"
#include "platform/gdiplus/codec_registry.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win/global_memory.h"
#include "platform/win/stream.h"
#include "platform/win/vb_number.h"

#include <cstring>

namespace tavimo {

namespace {

constexpr gp::PixelFormat kIndexed1 = 0x30101;
constexpr gp::PixelFormat kIndexed4 = 0x30402;
constexpr gp::PixelFormat kIndexed8 = 0x30803;
constexpr gp::PixelFormat kRgb24 = 0x21808;

// The image as a JPEG file at `quality`, through the image core's JPEG encoder; empty when
// there is no encoder or it fails.
std::string encodeJpeg(ImageId id, std::int32_t quality) {
    win::Guid clsid;
    if (!GetEncoderClsid(clsid, FindEncoder("*.JPG")))
        return {};
    gp::GpImage image = GetGdiImage(id);
    if (!image)
        return {};
    win::IStream* stream = nullptr;
    if (win::CreateStreamOnHGlobal(0, true, &stream) != 0 || !stream)
        return {};
    std::uint32_t value = std::uint32_t(quality);
    gp::EncoderParameters params;
    params.Count = 1;
    params.Parameter[0].Guid = gp::EncoderQuality;
    params.Parameter[0].NumberOfValues = 1;
    params.Parameter[0].Type = 4; // Long
    params.Parameter[0].Value = &value;
    std::string bytes;
    if (gp::GdipSaveImageToStream(image, stream, &clsid, &params) == gp::Ok) {
        win::HGLOBAL memory = 0;
        if (win::GetHGlobalFromStream(stream, &memory) == 0 && memory) {
            std::size_t size = win::GlobalSize(memory);
            if (const void* data = win::GlobalLock(memory)) {
                bytes.assign(static_cast<const char*>(data), size);
                win::GlobalUnlock(memory);
            }
        }
    }
    stream->Release();
    return bytes;
}

// The number of colour components of a JPEG file (from its start-of-frame marker), 0 when
// none is found.
int jpegComponents(const std::string& jpeg) {
    std::size_t p = 2;
    while (p + 9 < jpeg.size()) {
        if (static_cast<unsigned char>(jpeg[p]) != 0xFF)
            return 0;
        auto marker = static_cast<unsigned char>(jpeg[p + 1]);
        std::size_t length = std::size_t(static_cast<unsigned char>(jpeg[p + 2])) << 8 |
                             static_cast<unsigned char>(jpeg[p + 3]);
        bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame)
            return static_cast<unsigned char>(jpeg[p + 9]);
        p += 2 + length;
    }
    return 0;
}

} // namespace

std::int32_t cPDF::PdfAddImage(const std::string& ImgSrc, std::int32_t nSrcType) {
    try {
        if (!m_file || nSrcType != 1)
            return 0;
        ImageId id = 0;
        if (LoadImageFromFile(id, ImgSrc, false, false, false, 0, true, false) != 0 || id == 0) {
            if (id != 0)
                ReleaseImage(id);
            return 0;
        }
        std::int32_t result = addImage(id);
        ReleaseImage(id);
        return result;
    } catch (...) {
        return 0;
    }
}

std::int32_t cPDF::PdfAddImage(std::int32_t ImgSrc, std::int32_t nSrcType) {
    try {
        if (!m_file || nSrcType != 2 || ImgSrc == 0)
            return 0;
        return addImage(ImgSrc);
    } catch (...) {
        return 0;
    }
}

std::int32_t cPDF::addImage(std::int32_t id) {
    std::int32_t width = 0, height = 0, depth = 0;
    float dpiX = 0, dpiY = 0;
    if (GetImageWidth(id, width) != 0 || GetImageHeight(id, height) != 0 ||
        GetImageBitDepth(id, depth) != 0)
        return 0;
    if (width <= 0 || height <= 0 || depth <= 0)
        return 0;
    GetImageHorizontalResolution(id, dpiX);
    GetImageVerticalResolution(id, dpiY);

    PdfImageData image;
    image.width = width;
    image.height = height;
    image.resolutionX = std::int32_t(win::roundHalfEven(dpiX));
    image.resolutionY = std::int32_t(win::roundHalfEven(dpiY));

    bool grey = depth == 8 && IsGreyPalette(id);
    int mode;
    if (!m_compressData)
        mode = 0;
    else if (depth == 8)
        mode = grey ? (PluginAvailable() ? 3 : 0) : 1;
    else if (depth == 1)
        mode = 2;
    else if (depth == 4)
        mode = 1;
    else
        mode = 3;

    gp::PixelFormat format;
    switch (depth) {
    case 1:
        format = kIndexed1;
        break;
    case 4:
        format = kIndexed4;
        break;
    case 8:
        format = kIndexed8;
        break;
    case 16:
    case 24:
    case 32:
    case 48:
    case 64:
        format = kRgb24;
        depth = 24;
        break;
    default:
        // No image dictionary describes other depths.
        return 0;
    }
    image.depth = depth;

    if (mode == 3) {
        image.jpeg = encodeJpeg(id, m_jpegQuality);
        // A grey image keeps its indexed colour space only as a one-component JPEG; without
        // a usable JPEG the samples are written instead, so the image is never lost.
        bool usable = !image.jpeg.empty() && (depth != 8 || jpegComponents(image.jpeg) == 1);
        if (usable)
            image.mode = 3;
        else
            mode = depth == 8 ? 0 : 1;
    }
    if (mode != 3) {
        image.mode = mode;
        std::size_t rowBytes = depth == 1   ? (std::size_t(width) + 7) / 8
                               : depth == 4 ? (std::size_t(width) + 1) / 2
                               : depth == 8 ? std::size_t(width)
                                            : 3 * std::size_t(width);
        image.samples.assign(rowBytes * std::size_t(height), '\0');
        gp::BitmapData data{};
        data.Width = gp::UINT(width);
        data.Height = gp::UINT(height);
        data.Stride = std::int32_t(rowBytes);
        data.PixelFormat = format;
        data.Scan0 = image.samples.data();
        if (LockImageBits(id, nullptr, gp::ImageLockModeRead | gp::ImageLockModeUserInputBuf,
                          format, data) != 0)
            return 0;
        UnlockImageBits(id, data);
        if (depth == 24) {
            char* p = image.samples.data();
            for (std::size_t i = 0; i + 2 < image.samples.size(); i += 3)
                std::swap(p[i], p[i + 2]);
        }
    }
    if (depth <= 8) {
        gp::Palette palette;
        if (ReadImagePalette(id, palette) != 0)
            return 0;
        image.palette = palette.entries;
        if (image.palette.size() > (std::size_t(1) << depth))
            image.palette.resize(std::size_t(1) << depth);
    }
    return AddImageData(image);
}

} // namespace tavimo
