#pragma once

// Image information by ImageId: thin wrappers over the GDI+ layer (for a container they
// act on its current page) and the bit-depth tables.

#include "core/image_table.h"

#include <string>
#include <vector>

namespace tavimo {

// Bits per pixel of a pixel format. PixelFormatBitDepth answers 0 for format 0 and 32 for
// any other unlisted value; PixelFormatBitsPerPixel answers 0 for every unlisted value.
int32_t PixelFormatBitDepth(gp::PixelFormat format);
int32_t PixelFormatBitsPerPixel(gp::PixelFormat format);
inline bool IsIndexedPixelFormat(gp::PixelFormat format) {
    return (format & 0x10000) != 0;
}

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

// ---- Size, resolution and palette --------------------------------------------------------
// The out value is 0 first and again when the call fails; an unknown identifier gives 2.
int32_t GetImageWidth(ImageId id, int32_t& pixels);
int32_t GetImageHeight(ImageId id, int32_t& pixels);
int32_t GetImageHorizontalResolution(ImageId id, float& dpi);
int32_t GetImageVerticalResolution(ImageId id, float& dpi);

// The palette record's size in bytes (8 + 4 x entries) and the record itself; GDI+'s own
// statuses (2 for an unknown identifier, or a buffer smaller than the size).
int32_t GetImagePaletteSize(ImageId id, int32_t& bytes);
int32_t GetImagePalette(ImageId id, gp::ColorPalette* palette, int32_t bytes);
// The palette as entries (empty for an image without one).
int32_t ReadImagePalette(ImageId id, gp::Palette& palette);

// WriteImagePalette is for loaders on fresh images and marks nothing; SetImagePalette
// marks the image modified on success.
int32_t WriteImagePalette(ImageId id, const gp::ColorPalette* palette);
int32_t SetImagePalette(ImageId id, const gp::ColorPalette* palette);
// The same from entries (at most 256).
int32_t WriteImagePalette(ImageId id, const gp::Palette& palette);
int32_t SetImagePalette(ImageId id, const gp::Palette& palette);

// True when the palette can be read, has exactly 256 entries and entry i has blue, green
// and red all equal to i (alpha is not looked at). False for an unknown identifier.
bool IsGreyPalette(ImageId id);

// ---- Pixels -------------------------------------------------------------------------------

// Row size in bytes of caller buffers for `bits` per pixel: 4 x ceil(w / 32) for 1 bpp,
// 16 x ceil(w / 32) for 4 bpp, 4 x ceil(w / 4) for 8 bpp, rows of 16, 24 and 48 bpp
// padded to 4 bytes, 4w and 8w for 32 and 64 bpp. 0 when the width or the depth is below
// 1 or the depth is not one of these. The 1 and 4 bpp results must fit 16-bit signed
// arithmetic (widths up to 262,112 and 65,504), the others 32-bit: beyond that the result
// is 0 and `status` (when given) is ValueOverflow (11); otherwise `status` is OK.
int32_t GetStride(int32_t width, int32_t bits);
int32_t GetStride(int32_t width, int32_t bits, int32_t& status);

// Locks `rect` (null: the whole image) in `format`. Modes: 1 read, 2 write, 4 caller's
// buffer (5 = read into it, 6 = write from it). With GDI+ below version 6 a mode-6 lock
// of an indexed image in another format first converts the image to 32bppARGB (its
// failure is returned and nothing is locked). A successful mode-6 lock without that
// conversion marks the image modified. GDI+'s statuses otherwise.
int32_t LockImageBits(ImageId id, const gp::Rect* rect, uint32_t mode, gp::PixelFormat format,
                      gp::BitmapData& data);
int32_t UnlockImageBits(ImageId id, gp::BitmapData& data);

// True when the GDI+ version text kept at start-up begins with a number (read up to its
// second point) of at least 6; false also for a text that does not start with a number.
bool GdiplusVersionAtLeast6();

} // namespace tavimo
