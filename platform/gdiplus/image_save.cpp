#include "platform/gdiplus/codec_registry.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/session.h"
#include "platform/win/files.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace gp {

namespace {

size_t textBytes(const char* text) {
    return text ? std::strlen(text) + 1 : 0;
}

size_t encoderListBytes() {
    size_t total = 0;
    for (const CodecInfo& info : encoderList()) {
        total += sizeof(ImageCodecInfo) + textBytes(info.codecName) +
                 textBytes(info.formatDescription) + textBytes(info.filenameExtension) +
                 textBytes(info.mimeType) + 2 * size_t{info.sigCount} * info.sigSize;
    }
    return total;
}

// The frame an encoder gets: the active frame as it is, or an owned copy when its pixels
// are a caller's memory (encoders read `pixels`), or the raster of a metafile.
Status frameForEncoding(const Image& image, Frame& scratch, const FrameData*& frame) {
    const Frame& active = image.active();
    if (!image.isBitmap()) {
        Status status = makeOwnedFrame(active.width, active.height, PixelFormat32bppARGB, scratch);
        if (status != Ok)
            return status;
        if (!image.extension || !image.extension->rasterize(scratch))
            return NotImplemented;
        scratch.dpiX = active.dpiX;
        scratch.dpiY = active.dpiY;
        frame = &scratch;
    } else if (active.isExternal()) {
        scratch = active.ownedCopy();
        frame = &scratch;
    } else {
        frame = &active;
    }
    return Ok;
}

Status encodeActiveFrame(GpImage handle, const win::Guid* clsid, const EncoderParameters* params,
                         std::vector<uint8_t>& bytes) {
    Image* image = findImage(handle);
    if (!image || !clsid || !findEncoder(*clsid))
        return InvalidParameter;
    const Status fault = takeFault(FaultPoint::Encode);
    if (fault != Ok)
        return fault;
    Frame scratch;
    const FrameData* frame = nullptr;
    Status status = frameForEncoding(*image, scratch, frame);
    if (status != Ok)
        return status;
    return encodeImage(*clsid, *frame, params, bytes);
}

// The parameter block of one encoder, values behind the entries.
struct ParameterSpec {
    win::Guid category;
    uint32_t type;
    std::vector<uint32_t> values; // a range is two values
    uint32_t count;               // NumberOfValues
};

std::vector<ParameterSpec> parametersOf(const CodecInfo& info) {
    if (info.formatId == ImageFormatJPEG)
        return {{EncoderQuality, EncoderParameterValueTypeLongRange, {0, 100}, 1}};
    if (info.formatId == ImageFormatTIFF)
        return {{EncoderCompression,
                 EncoderParameterValueTypeLong,
                 {EncoderValueCompressionLZW, EncoderValueCompressionCCITT3,
                  EncoderValueCompressionCCITT4, EncoderValueCompressionRle,
                  EncoderValueCompressionNone},
                 5},
                {EncoderColorDepth, EncoderParameterValueTypeLong, {1, 4, 8, 24, 32}, 5}};
    return {};
}

size_t parameterBlockBytes(const std::vector<ParameterSpec>& specs) {
    size_t total = offsetof(EncoderParameters, Parameter) + specs.size() * sizeof(EncoderParameter);
    for (const ParameterSpec& spec : specs)
        total += spec.values.size() * 4;
    return std::max(total, sizeof(EncoderParameters));
}

} // namespace

Status GdipGetImageEncodersSize(UINT* count, UINT* size) {
    return guarded([&] {
        if (!count || !size)
            return InvalidParameter;
        *count = static_cast<UINT>(encoderList().size());
        *size = static_cast<UINT>(encoderListBytes());
        return Ok;
    });
}

Status GdipGetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders) {
    return guarded([&] {
        const auto list = encoderList();
        if (!encoders || count != list.size() || size != encoderListBytes())
            return InvalidParameter;
        auto* tail = reinterpret_cast<uint8_t*>(encoders + list.size());
        auto copyText = [&](const char* text) -> const char* {
            if (!text)
                return nullptr;
            const size_t n = std::strlen(text) + 1;
            std::memcpy(tail, text, n);
            const char* copy = reinterpret_cast<const char*>(tail);
            tail += n;
            return copy;
        };
        auto copyBytes = [&](const uint8_t* bytes, size_t n) -> const uint8_t* {
            if (!bytes || n == 0)
                return nullptr;
            std::memcpy(tail, bytes, n);
            const uint8_t* copy = tail;
            tail += n;
            return copy;
        };
        for (size_t i = 0; i < list.size(); ++i) {
            const CodecInfo& info = list[i];
            ImageCodecInfo& out = encoders[i];
            out.Clsid = info.clsid;
            out.FormatID = info.formatId;
            out.CodecName = copyText(info.codecName);
            out.DllName = nullptr; // built in
            out.FormatDescription = copyText(info.formatDescription);
            out.FilenameExtension = copyText(info.filenameExtension);
            out.MimeType = copyText(info.mimeType);
            out.Flags = info.flags;
            out.Version = info.version;
            out.SigCount = info.sigCount;
            out.SigSize = info.sigSize;
            const size_t sigBytes = size_t{info.sigCount} * info.sigSize;
            out.SigPattern = copyBytes(info.sigPattern, sigBytes);
            out.SigMask = copyBytes(info.sigMask, sigBytes);
        }
        return Ok;
    });
}

Status GdipGetEncoderParameterListSize(GpImage image, const win::Guid* clsid, UINT* size) {
    return guarded([&] {
        const CodecInfo* info = clsid ? findEncoder(*clsid) : nullptr;
        if (!findImage(image) || !info || !size)
            return InvalidParameter;
        *size = static_cast<UINT>(parameterBlockBytes(parametersOf(*info)));
        return Ok;
    });
}

Status GdipGetEncoderParameterList(GpImage image, const win::Guid* clsid, UINT size,
                                   EncoderParameters* buffer) {
    return guarded([&] {
        const CodecInfo* info = clsid ? findEncoder(*clsid) : nullptr;
        if (!findImage(image) || !info || !buffer)
            return InvalidParameter;
        const std::vector<ParameterSpec> specs = parametersOf(*info);
        if (size < parameterBlockBytes(specs))
            return InvalidParameter;
        buffer->Count = static_cast<uint32_t>(specs.size());
        auto* values = reinterpret_cast<uint8_t*>(buffer) + offsetof(EncoderParameters, Parameter) +
                       specs.size() * sizeof(EncoderParameter);
        for (size_t i = 0; i < specs.size(); ++i) {
            EncoderParameter& p = buffer->Parameter[i];
            p.Guid = specs[i].category;
            p.NumberOfValues = specs[i].count;
            p.Type = specs[i].type;
            p.Value = values;
            std::memcpy(values, specs[i].values.data(), specs[i].values.size() * 4);
            values += specs[i].values.size() * 4;
        }
        return Ok;
    });
}

Status GdipSaveImageToFile(GpImage image, const std::string& path, const win::Guid* clsid,
                           const EncoderParameters* params) {
    return guarded([&] {
        std::vector<uint8_t> bytes;
        Status status = encodeActiveFrame(image, clsid, params, bytes);
        if (status != Ok)
            return status;
        if (path.empty() || !win::writeWholeFile(path, bytes))
            return Win32Error;
        return Ok;
    });
}

Status GdipSaveImageToStream(GpImage image, win::IStream* stream, const win::Guid* clsid,
                             const EncoderParameters* params) {
    return guarded([&] {
        if (!stream)
            return InvalidParameter;
        std::vector<uint8_t> bytes;
        Status status = encodeActiveFrame(image, clsid, params, bytes);
        if (status != Ok)
            return status;
        size_t done = 0;
        while (done < bytes.size()) {
            const uint32_t chunk =
                static_cast<uint32_t>(std::min<size_t>(bytes.size() - done, 1u << 30));
            uint32_t written = 0;
            if (!win::succeeded(stream->Write(bytes.data() + done, chunk, &written)) ||
                written != chunk)
                return Win32Error;
            done += chunk;
        }
        return Ok;
    });
}

} // namespace gp
