#include "platform/gdiplus/codec_registry.h"

#include "platform/gdiplus/codec_internal.h"

#include <algorithm>
#include <atomic>
#include <new>

namespace gp {

namespace {

std::atomic<MetafileReader> g_metafileReader{nullptr};
std::atomic<int64_t> g_defaultMaxPixels{codec::kMaxPixels};

uint32_t le32(std::span<const uint8_t> b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

bool startsWith(std::span<const uint8_t> b, std::initializer_list<uint8_t> sig) {
    return b.size() >= sig.size() && std::equal(sig.begin(), sig.end(), b.begin());
}

// Signature tables for the encoder list: one pattern per encoder is enough to describe it.
constexpr uint8_t kBmpSig[] = {'B', 'M'};
constexpr uint8_t kJpegSig[] = {0xFF, 0xD8};
constexpr uint8_t kGifSig[] = {'G', 'I', 'F', '8'};
constexpr uint8_t kTiffSig[] = {'I', 'I', 0x2A, 0x00, 'M', 'M', 0x00, 0x2A};
constexpr uint8_t kPngSig[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint8_t kMask[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Our own class ids: {A1C4F6xx-5E0B-4C59-9F3B-6D2E8A7C1B40}, xx numbering the encoders.
constexpr win::Guid encoderClsid(uint8_t xx) {
    return win::Guid{0xA1C4F600u + xx, 0x5E0B, 0x4C59,
                     std::array<uint8_t, 8>{0x9F, 0x3B, 0x6D, 0x2E, 0x8A, 0x7C, 0x1B, 0x40}};
}

constexpr uint32_t kEncoderFlags = ImageCodecFlagsEncoder | ImageCodecFlagsDecoder |
                                   ImageCodecFlagsSupportBitmap | ImageCodecFlagsBuiltin;

const CodecInfo kEncoders[] = {
    {encoderClsid(1), ImageFormatBMP, "Built-in BMP Codec", "BMP", "*.BMP;*.DIB;*.RLE", "image/bmp",
     kEncoderFlags, 1, 1, 2, kBmpSig, kMask},
    {encoderClsid(2), ImageFormatJPEG, "Built-in JPEG Codec", "JPEG", "*.JPG;*.JPEG;*.JPE;*.JFIF",
     "image/jpeg", kEncoderFlags, 1, 1, 2, kJpegSig, kMask},
    {encoderClsid(3), ImageFormatGIF, "Built-in GIF Codec", "GIF", "*.GIF", "image/gif",
     kEncoderFlags, 1, 1, 4, kGifSig, kMask},
    {encoderClsid(4), ImageFormatTIFF, "Built-in TIFF Codec", "TIFF", "*.TIF;*.TIFF", "image/tiff",
     kEncoderFlags, 1, 2, 4, kTiffSig, kMask},
    {encoderClsid(5), ImageFormatPNG, "Built-in PNG Codec", "PNG", "*.PNG", "image/png",
     kEncoderFlags, 1, 1, 8, kPngSig, kMask},
};

// Reads the first value of a Long (or Short/Byte) parameter; false for other types.
bool paramValue(const EncoderParameter& p, int64_t& value) {
    if (p.NumberOfValues < 1 || p.Value == nullptr)
        return false;
    switch (p.Type) {
    case EncoderParameterValueTypeLong:
        value = *static_cast<const uint32_t*>(p.Value);
        // Quality arrives as a signed Long from callers that do not clamp.
        value = int32_t(uint32_t(value));
        return true;
    case EncoderParameterValueTypeShort:
        value = *static_cast<const uint16_t*>(p.Value);
        return true;
    case EncoderParameterValueTypeByte:
        value = *static_cast<const uint8_t*>(p.Value);
        return true;
    default:
        return false;
    }
}

Status readSettings(const EncoderParameters* params, codec::EncodeSettings& s) {
    if (params == nullptr)
        return Ok;
    for (uint32_t i = 0; i < params->Count; ++i) {
        const EncoderParameter& p = params->Parameter[i];
        int64_t v = 0;
        if (!paramValue(p, v))
            continue;
        if (p.Guid == EncoderQuality) {
            s.quality = int(std::clamp<int64_t>(v, 0, 100));
        } else if (p.Guid == EncoderCompression) {
            if (v < 2 || v > 6)
                return InvalidParameter;
            s.compression = int(v);
        } else if (p.Guid == EncoderColorDepth) {
            if (v != 1 && v != 4 && v != 8 && v != 24 && v != 32)
                return InvalidParameter;
            s.colorDepth = int(v);
        }
    }
    return Ok;
}

} // namespace

ImageKind sniffImageKind(std::span<const uint8_t> b) {
    if (startsWith(b, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}))
        return ImageKind::Png;
    if (startsWith(b, {0xFF, 0xD8, 0xFF}))
        return ImageKind::Jpeg;
    if (startsWith(b, {'G', 'I', 'F', '8', '7', 'a'}) ||
        startsWith(b, {'G', 'I', 'F', '8', '9', 'a'}))
        return ImageKind::Gif;
    // Classic TIFF, and BigTIFF (0x2B), which libtiff reads as well.
    if (startsWith(b, {'I', 'I', 0x2A, 0x00}) || startsWith(b, {'M', 'M', 0x00, 0x2A}) ||
        startsWith(b, {'I', 'I', 0x2B, 0x00}) || startsWith(b, {'M', 'M', 0x00, 0x2B}))
        return ImageKind::Tiff;
    if (startsWith(b, {'B', 'M'}) && b.size() >= 18) {
        uint32_t headerSize = le32(b, 14);
        if (headerSize == 12 || headerSize == 16 || headerSize == 40 || headerSize == 52 ||
            headerSize == 56 || headerSize == 64 || headerSize == 108 || headerSize == 124)
            return ImageKind::Bmp;
    }
    if (startsWith(b, {0xD7, 0xCD, 0xC6, 0x9A}))
        return ImageKind::Wmf;
    // EMF: record type 1 (EMR_HEADER) with " EMF" at offset 40.
    if (b.size() >= 44 && le32(b, 0) == 1 && le32(b, 40) == 0x464D4520)
        return ImageKind::Emf;
    // ICO/CUR: reserved 0, type 1 or 2, a non-zero count, and a plausible first entry.
    if (b.size() >= 22 && b[0] == 0 && b[1] == 0 && (b[2] == 1 || b[2] == 2) && b[3] == 0 &&
        (b[4] | b[5]) != 0 && b[9] == 0 && le32(b, 14) > 0 && le32(b, 18) >= 6)
        return ImageKind::Icon;
    return ImageKind::Unknown;
}

win::Guid rawFormatOf(ImageKind kind) {
    switch (kind) {
    case ImageKind::Bmp:
        return ImageFormatBMP;
    case ImageKind::Gif:
        return ImageFormatGIF;
    case ImageKind::Jpeg:
        return ImageFormatJPEG;
    case ImageKind::Png:
        return ImageFormatPNG;
    case ImageKind::Tiff:
        return ImageFormatTIFF;
    case ImageKind::Icon:
        return ImageFormatIcon;
    case ImageKind::Wmf:
        return ImageFormatWMF;
    case ImageKind::Emf:
        return ImageFormatEMF;
    case ImageKind::Unknown:
        break;
    }
    return ImageFormatUndefined;
}

Status decodeImage(std::span<const uint8_t> bytes, DecodedImage& out,
                   const DecodeOptions& options) {
    out = DecodedImage{};
    if (bytes.empty())
        return InvalidParameter;
    ImageKind kind = sniffImageKind(bytes);
    const int64_t allowance = options.maxPixels > 0 ? options.maxPixels : g_defaultMaxPixels.load();
    codec::resetPixelAllowance(std::min(allowance, codec::kMaxPixels));
    try {
        DecodedImage image;
        image.rawFormat = rawFormatOf(kind);
        switch (kind) {
        case ImageKind::Bmp:
            codec::decodeBmp(bytes, image);
            break;
        case ImageKind::Gif:
            codec::decodeGif(bytes, image);
            break;
        case ImageKind::Jpeg:
            codec::decodeJpeg(bytes, image, options);
            break;
        case ImageKind::Png:
            codec::decodePng(bytes, image, options);
            break;
        case ImageKind::Tiff:
            codec::decodeTiff(bytes, image, options);
            break;
        case ImageKind::Icon:
            codec::decodeIcon(bytes, image);
            break;
        case ImageKind::Wmf:
        case ImageKind::Emf: {
            MetafileReader reader = g_metafileReader.load();
            if (reader == nullptr)
                return UnknownImageFormat;
            Status s = reader(bytes, kind, image);
            if (s != Ok)
                return s;
            break;
        }
        case ImageKind::Unknown:
            return UnknownImageFormat;
        }
        if (image.frames.empty())
            return UnknownImageFormat;
        out = std::move(image);
        return Ok;
    } catch (const codec::CodecError& e) {
        return e.status;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return UnknownImageFormat;
    }
}

void setDefaultMaxPixels(int64_t pixels) {
    g_defaultMaxPixels.store(pixels > 0 ? std::min(pixels, codec::kMaxPixels) : codec::kMaxPixels);
}

int64_t defaultMaxPixels() {
    return g_defaultMaxPixels.load();
}

void setMetafileReader(MetafileReader reader) {
    g_metafileReader.store(reader);
}
MetafileReader metafileReader() {
    return g_metafileReader.load();
}

std::span<const CodecInfo> encoderList() {
    return kEncoders;
}

const CodecInfo* findEncoder(const win::Guid& clsid) {
    for (const CodecInfo& info : kEncoders)
        if (info.clsid == clsid)
            return &info;
    return nullptr;
}

Status encodeImage(const win::Guid& clsid, const FrameData& frame, const EncoderParameters* params,
                   std::vector<uint8_t>& out) {
    out.clear();
    const CodecInfo* info = findEncoder(clsid);
    if (info == nullptr)
        return InvalidParameter;
    if (!codec::frameIsValid(frame))
        return InvalidParameter;
    try {
        // Indexed frames without a palette are written with their depth's default palette.
        FrameData patched;
        const FrameData* source = &frame;
        if (isIndexed(frame.format) && frame.palette.entries.empty()) {
            patched = frame;
            const int bits = bitsPerPixel(frame.format);
            patched.palette = bits == 1   ? codec::greyPalette(2)
                              : bits == 4 ? codec::halftonePalette16()
                                          : codec::halftonePalette256();
            source = &patched;
        }
        const FrameData& input = *source;
        codec::EncodeSettings settings;
        if (Status s = readSettings(params, settings); s != Ok)
            return s;
        std::vector<uint8_t> bytes;
        if (info->formatId == ImageFormatBMP)
            codec::encodeBmp(input, bytes);
        else if (info->formatId == ImageFormatJPEG)
            codec::encodeJpeg(input, settings, bytes);
        else if (info->formatId == ImageFormatGIF)
            codec::encodeGif(input, bytes);
        else if (info->formatId == ImageFormatTIFF)
            codec::encodeTiff(input, settings, bytes);
        else
            codec::encodePng(input, bytes);
        out = std::move(bytes);
        return Ok;
    } catch (const codec::CodecError& e) {
        return e.status;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

} // namespace gp
