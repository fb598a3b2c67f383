#pragma once

// Image information by ImageId: thin wrappers over the GDI+ layer (for a container they
// act on its current page) and the bit-depth tables.

#include "core/image_table.h"

#include <string>

namespace tavimo {

// Bits per pixel of a pixel format. PixelFormatBitDepth answers 0 for format 0 and 32 for
// any other unlisted value; PixelFormatBitsPerPixel answers 0 for every unlisted value.
int32_t PixelFormatBitDepth(gp::PixelFormat format);
int32_t PixelFormatBitsPerPixel(gp::PixelFormat format);
inline bool IsIndexedPixelFormat(gp::PixelFormat format) { return (format & 0x10000) != 0; }

int32_t ForceValidation(ImageId id); // unknown: 2
int32_t GetImagePixelFormat(ImageId id, gp::PixelFormat& format);
gp::PixelFormat ImagePixelFormat(ImageId id); // 0 on failure
int32_t GetImageBitDepth(ImageId id, int32_t& bits);
int32_t ImageBitDepth(ImageId id);

// Lock the whole image for reading in its own format and report the stride or the
// address of the first row (the store's own memory, not a copy).
int32_t GetImageStride(ImageId id, int32_t& stride);
int32_t GetImageScan0(ImageId id, void*& address);

// The image's raw format named: "JPEG", "PNG", "Memory BMP", ... ("Undefined" for a GUID
// outside the table). GetRawFormatName returns the status of reading the raw format.
int32_t GetRawFormatName(ImageId id, std::string& name);
std::string DetectImageFormatName(ImageId id);
std::string RawFormatName(const win::Guid& rawFormat);

} // namespace tavimo
