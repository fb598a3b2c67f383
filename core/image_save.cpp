#include "core/image_save.h"

#include "core/encoders.h"
#include "core/image_convert.h"
#include "core/image_info.h"
#include "core/image_picture.h"
#include "core/plugin.h"
#include "core/plugin_metadata.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win/clipboard.h"
#include "platform/win/files.h"
#include "platform/win/global_memory.h"
#include "platform/win/vb_number.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <new>

namespace tavimo {

namespace {

// Up to 16 parameters, each one 32-bit value, in the counted layout the encoders read:
// the head's one-entry array continues into the room behind it.
class ParameterBlock {
public:
    void add(const win::Guid& guid, uint32_t value) {
        m_values[m_count] = value;
        block()->Parameter[m_count] =
            gp::EncoderParameter{guid, 1, gp::EncoderParameterValueTypeLong, &m_values[m_count]};
        block()->Count = ++m_count;
    }
    const gp::EncoderParameters* get() const {
        return m_count == 0 ? nullptr : reinterpret_cast<const gp::EncoderParameters*>(m_buffer);
    }

private:
    gp::EncoderParameters* block() { return reinterpret_cast<gp::EncoderParameters*>(m_buffer); }

    alignas(gp::EncoderParameters) unsigned char m_buffer[sizeof(gp::EncoderParameters) +
                                                          15 * sizeof(gp::EncoderParameter)] = {};
    uint32_t m_values[16] = {};
    uint32_t m_count = 0;
};

std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

int32_t saveWith(ImageId id, const std::string& path, int32_t encoder,
                 const ParameterBlock& params) {
    win::Guid clsid;
    GetEncoderClsid(clsid, encoder);
    return SaveImageFileWithParams(id, path, clsid, params.get());
}

bool isGreyJpegCandidate(ImageId id) {
    return ImageBitDepth(id) == 8 && IsGreyPalette(id);
}

} // namespace

int32_t SaveImageFile(ImageId id, const std::string& path, const win::Guid& clsid) {
    return gp::GdipSaveImageToFile(GetGdiImage(id), path, &clsid, nullptr);
}

int32_t SaveImageFileWithParams(ImageId id, const std::string& path, const win::Guid& clsid,
                                const gp::EncoderParameters* params) {
    return gp::GdipSaveImageToFile(GetGdiImage(id), path, &clsid, params);
}

int32_t SaveAsPng(ImageId id, const std::string& path, bool) {
    int32_t encoder = FindEncoder("*.png");
    if (encoder < 0)
        return UnknownImageFormat;
    ReapplyResolution(id);
    return saveWith(id, path, encoder, ParameterBlock{});
}

int32_t SaveAsTiff(ImageId id, const std::string& path, int32_t compression, int32_t colorDepth,
                   bool) {
    int32_t encoder = FindEncoder("*.tif");
    if (encoder < 0)
        return UnknownImageFormat;
    PrepareImageForSave(id);
    ReapplyResolution(id);
    int32_t bits = 0;
    GetImageBitDepth(id, bits);
    if (colorDepth == 16)
        colorDepth = 24;
    if (!GdiplusVersionAtLeast6() && colorDepth >= 1 && colorDepth <= 23)
        colorDepth = 0;
    int32_t outputBits = colorDepth != 0 ? colorDepth : bits;
    if ((compression == 3 || compression == 4 || compression == 5) && outputBits > 1)
        compression = 2;
    ParameterBlock params;
    if (compression != 0)
        params.add(gp::EncoderCompression, static_cast<uint32_t>(compression));
    if (colorDepth != 0)
        params.add(gp::EncoderColorDepth, static_cast<uint32_t>(colorDepth));
    return saveWith(id, path, encoder, params);
}

int32_t SaveAsJpeg(ImageId id, const std::string& path, int32_t quality, int32_t, bool noPlugin) {
    if (!noPlugin && isGreyJpegCandidate(id)) {
        ReapplyResolution(id);
        KelvraHandle bitmap = 0;
        if (PrepareForPluginSave(bitmap, id) == OK) {
            const KelvraApi* k = plugin();
            int32_t saved = k ? k->KELVRA_SaveU(KELVRA_FIF_JPEG, bitmap, path.c_str(), quality) : 0;
            if (k)
                k->KELVRA_Unload(bitmap);
            if (saved == 1)
                return OK;
        }
    }
    int32_t encoder = FindEncoder("*.jpg");
    if (encoder < 0)
        return UnknownImageFormat;
    PrepareImageForSave(id);
    ReapplyResolution(id);
    ParameterBlock params;
    if (quality >= 0)
        params.add(gp::EncoderQuality, static_cast<uint32_t>(std::min(quality, 100)));
    return saveWith(id, path, encoder, params);
}

int32_t SaveToStream(ImageId id, win::RefPtr<win::IStream>& stream, const std::string& format,
                     int32_t parameter, int32_t) {
    std::string extension = lower(trimmed(format));
    int32_t encoder = FindEncoder("*." + extension);
    if (encoder < 0) {
        extension = "bmp";
        encoder = FindEncoder("*.bmp");
    }
    ParameterBlock params;
    if (parameter != 0) {
        if (extension == "jpg" || extension == "jpeg") {
            params.add(gp::EncoderQuality, static_cast<uint32_t>(parameter > 0 ? parameter : 75));
        } else if (extension == "tif" || extension == "tiff") {
            int32_t compression = parameter;
            if ((compression == 3 || compression == 4 || compression == 5) &&
                ImageBitDepth(id) >= 2)
                compression = 2;
            params.add(gp::EncoderCompression, static_cast<uint32_t>(compression));
        }
    }
    stream.reset();
    if (win::CreateStreamOnHGlobal(0, true, stream.put()) != win::S_OK || !stream)
        return GenericError;
    ReapplyResolution(id);
    win::Guid clsid;
    GetEncoderClsid(clsid, encoder);
    return gp::GdipSaveImageToStream(GetGdiImage(id), stream.get(), &clsid, params.get());
}

int32_t SaveToByteArray(ImageId id, int32_t& length, std::vector<uint8_t>& bytes,
                        const std::string& format, int32_t quality) {
    std::string upper = trimmed(format);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    if ((upper == "JPEG" || upper == "JPG") && isGreyJpegCandidate(id)) {
        std::string file = win::MakeTempFileName();
        if (!file.empty()) {
            // The temporary file goes on every path, not only after a successful read.
            win::TempFile owner(file);
            if (SaveAsJpeg(id, file, quality, 0, false) == OK) {
                std::vector<uint8_t> data;
                if (win::readWholeFile(file, data) && !data.empty()) {
                    bytes = std::move(data);
                    length = static_cast<int32_t>(bytes.size());
                    return OK;
                }
            }
        }
    }

    win::RefPtr<win::IStream> stream;
    int32_t status = SaveToStream(id, stream, format, quality);
    if (status != OK)
        return status;
    win::HGLOBAL memory = 0;
    if (!stream || win::GetHGlobalFromStream(stream.get(), &memory) != win::S_OK || memory == 0)
        return GenericError;
    // The stream's own size is the encoded data's length; a memory block may be larger.
    uint64_t end = 0;
    if (stream->Seek(0, win::STREAM_SEEK_END, &end) != win::S_OK)
        return GenericError;
    size_t size = static_cast<size_t>(std::min<uint64_t>(end, win::GlobalSize(memory)));
    if (size == 0 || size > static_cast<size_t>(INT32_MAX))
        return GenericError;
    bytes.assign(size, 0);
    stream->Seek(0, win::STREAM_SEEK_SET, nullptr);
    uint32_t read = 0;
    stream->Read(bytes.data(), static_cast<uint32_t>(size), &read);
    length = static_cast<int32_t>(size);
    return OK;
}

int32_t PrepareForPluginSave(KelvraHandle& bitmap, ImageId id) {
    bitmap = 0;
    const KelvraApi* k = plugin();
    if (!k)
        return Aborted;
    int32_t status = OK;
    try {
        gp::PixelFormat format = ImagePixelFormat(id);
        int32_t bits = PixelFormatBitsPerPixel(format);
        uint32_t width = 0, height = 0;
        gp::GpImage image = GetGdiImage(id);
        gp::GdipGetImageHeight(image, &height);
        gp::GdipGetImageWidth(image, &width);
        if (bits > 32)
            return UnsupportedImageFormat;

        gp::BitmapData data{};
        gp::Rect whole{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
        status = LockImageBits(id, &whole, gp::ImageLockModeRead, format, data);
        if (status != OK)
            return GenericError;
        bitmap = k->KELVRA_ConvertFromRawBits(
            static_cast<const uint8_t*>(data.Scan0), static_cast<int32_t>(width),
            static_cast<int32_t>(height), data.Stride, static_cast<uint32_t>(bits), 0, 0, 0, 1);
        UnlockImageBits(id, data);
        if (bitmap == 0)
            return OutOfMemory;

        if (bits <= 8) {
            int32_t size = 0;
            if (GetImagePaletteSize(id, size) == OK &&
                size >= static_cast<int32_t>(sizeof(gp::ColorPalette))) {
                std::vector<uint8_t> buffer(static_cast<size_t>(size));
                auto* palette = reinterpret_cast<gp::ColorPalette*>(buffer.data());
                if (GetImagePalette(id, palette, size) == OK) {
                    // Never read past the entries the record holds.
                    uint32_t room = static_cast<uint32_t>(
                        (static_cast<size_t>(size) - offsetof(gp::ColorPalette, Entries)) /
                        sizeof(gp::ARGB));
                    uint32_t count = std::min<uint32_t>({palette->Count, 256, room});
                    uint32_t used = k->KELVRA_GetColorsUsed(bitmap);
                    uint32_t* target = k->KELVRA_GetPalette(bitmap);
                    // A bitmap that uses more colours than the image's palette holds gets
                    // opaque black for the rest, not whatever the plug-in had there.
                    for (uint32_t i = 0; target && i < used && i < 256; ++i)
                        target[i] = i < count ? palette->Entries[i] : 0xFF000000u;
                    for (uint32_t i = 0; i < count; ++i)
                        if ((palette->Entries[i] >> 24) == 0)
                            k->KELVRA_SetTransparentIndex(bitmap, static_cast<int32_t>(i));
                }
            }
        }

        if (format == gp::PixelFormat32bppRGB ||
            (format == gp::PixelFormat32bppARGB && !k->KELVRA_IsTransparent(bitmap))) {
            KelvraHandle converted = k->KELVRA_ConvertTo24Bits(bitmap);
            if (converted != 0) {
                k->KELVRA_Unload(bitmap);
                bitmap = converted;
            }
        }
        WriteMetadataToPlugin(id, bitmap);
        return OK;
    } catch (const std::bad_alloc&) {
        status = OutOfMemory;
    } catch (const win::VbError& e) {
        status = e.number() == win::kVbOutOfMemory ? OutOfMemory : GenericError;
    } catch (...) {
        status = GenericError;
    }
    // A failed preparation hands nothing out: the caller would not know to unload it.
    if (bitmap != 0) {
        k->KELVRA_Unload(bitmap);
        bitmap = 0;
    }
    return status;
}

int32_t CopyToClipboard(ImageId id) {
    try {
        win::PicturePtr picture;
        int32_t status = GetImageStdPicture(id, picture);
        if (status != OK)
            return status;
        win::Clipboard::Clear();
        return win::Clipboard::SetData(picture.get(), win::CF_BITMAP) ? OK : GenericError;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (const win::VbError& e) {
        return e.number() == win::kVbOutOfMemory ? OutOfMemory : GenericError;
    } catch (...) {
        return GenericError;
    }
}

} // namespace tavimo
