#pragma once

// Facts about pixel formats: which values are formats, row sizes, default palettes.

#include "platform/gdiplus/types.h"

#include <cstdint>

namespace gp {

// True for the fourteen formats of types.h (PixelFormatUndefined is not a format).
bool isKnownPixelFormat(PixelFormat format);

inline constexpr bool hasAlphaChannel(PixelFormat format) {
    return (format & (PixelFormatAlpha | PixelFormatPAlpha)) != 0;
}

// Bytes a row of `width` pixels needs (no padding).
inline constexpr int64_t rowBytes(int64_t width, PixelFormat format) {
    return (width * bitsPerPixel(format) + 7) / 8;
}

// The row size the layer uses for stores and buffers it allocates: padded to 4 bytes.
inline constexpr int64_t alignedStride(int64_t width, PixelFormat format) {
    return (width * bitsPerPixel(format) + 31) / 32 * 4;
}

// Palette a new bitmap of an indexed format starts with: 1 bpp black and white, 4 bpp the
// sixteen VGA colours, 8 bpp a halftone set (6x6x6 colour cube followed by 40 greys).
// Non-indexed formats: an empty palette.
Palette defaultPalette(PixelFormat format);

} // namespace gp
