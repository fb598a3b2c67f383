#pragma once

// Writing images of the table out: to files through the GDI+ encoders (JPEG with a
// quality, PNG, TIFF with compression and colour depth), to streams and byte arrays, and
// 8-bit grey JPEG through the codec plug-in. For a container every call saves its current
// page. Results are statuses; GDI+'s encoder statuses pass through unchanged.

#include "core/image_table.h"
#include "platform/gdiplus/codec_registry.h"
#include "platform/win/stream.h"

#include <string>
#include <vector>

namespace tavimo {

int32_t SaveImageFile(ImageId id, const std::string& path, const win::Guid& clsid);
int32_t SaveImageFileWithParams(ImageId id, const std::string& path, const win::Guid& clsid,
                                const gp::EncoderParameters* params);

// Quality above 100 writes at 100; below 0 writes with the encoder's default. An 8-bit
// grey-ramp image goes to the plug-in first unless `noPlugin`; a failing plug-in save
// falls back to GDI+. 13 when there is no JPEG encoder.
int32_t SaveAsJpeg(ImageId id, const std::string& path, int32_t quality, int32_t unused,
                   bool noPlugin);
int32_t SaveAsPng(ImageId id, const std::string& path, bool unused = false);
// Compression 2 LZW, 3 CCITT3, 4 CCITT4, 5 RLE, 6 none, 0 the encoder's choice; the CCITT
// and RLE schemes become LZW for output of more than 1 bit per pixel. Colour depth 16 is
// written as 24; 0 keeps the image's.
int32_t SaveAsTiff(ImageId id, const std::string& path, int32_t compression, int32_t colorDepth,
                   bool unused = false);

// Encodes into a new stream on global memory, by format text ("jpg", "png", "tif", ...;
// an unknown one writes BMP). `parameter` is a JPEG quality (0 or less: 75) or a TIFF
// compression; 0 means none. The stream comes back in every case where it was made.
int32_t SaveToStream(ImageId id, win::RefPtr<win::IStream>& stream, const std::string& format,
                     int32_t parameter, int32_t unused = 0);

// Encodes into `bytes`; `length` is the byte count, exactly the encoded data. 8-bit grey
// JPEG goes through the plug-in and a temporary file, which is deleted whatever happens.
int32_t SaveToByteArray(ImageId id, int32_t& length, std::vector<uint8_t>& bytes,
                        const std::string& format, int32_t quality);

// A plug-in bitmap holding a copy of the image (the caller unloads it): the pixels, for
// indexed images the palette (as many entries as the plug-in bitmap uses; entries the
// image's palette lacks are opaque black) and its fully transparent indices, and 32-bit
// images without transparency as 24 bits, then the image's property items and resolution
// as plug-in tags. 22 above 32 bits per pixel, 3 when the plug-in
// cannot make it, 1 for other failures, 9 without plug-in; `bitmap` is 0 on every failure.
int32_t PrepareForPluginSave(KelvraHandle& bitmap, ImageId id);

// Puts a copy of the image (a container's current page) on the clipboard as a bitmap,
// replacing what it held. 2 for an unknown image, leaving the clipboard as it was; the
// status of making the bitmap; 1 when the clipboard refuses it.
int32_t CopyToClipboard(ImageId id);

} // namespace tavimo
