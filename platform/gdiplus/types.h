#pragma once

// Value types shared by the whole GDI+ layer: statuses, pixel formats, palettes,
// property items, and the decoded-frame record that decoders produce, encoders consume
// and bitmaps hold.

#include "platform/win/guid.h"

#include <cstdint>
#include <vector>

namespace gp {

enum Status : int32_t {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
    ProfileNotFound = 21,
};

using ARGB = uint32_t;
using PixelFormat = int32_t;

// Pixel format values. Bits per pixel = (format >> 8) & 0xFF; the high bits are flags.
inline constexpr PixelFormat PixelFormatIndexed = 0x00010000;
inline constexpr PixelFormat PixelFormatGDI = 0x00020000;
inline constexpr PixelFormat PixelFormatAlpha = 0x00040000;
inline constexpr PixelFormat PixelFormatPAlpha = 0x00080000;
inline constexpr PixelFormat PixelFormatExtended = 0x00100000;
inline constexpr PixelFormat PixelFormatCanonical = 0x00200000;

inline constexpr PixelFormat PixelFormatUndefined = 0;
inline constexpr PixelFormat PixelFormat1bppIndexed = 0x00030101;
inline constexpr PixelFormat PixelFormat4bppIndexed = 0x00030402;
inline constexpr PixelFormat PixelFormat8bppIndexed = 0x00030803;
inline constexpr PixelFormat PixelFormat16bppGrayScale = 0x00101004;
inline constexpr PixelFormat PixelFormat16bppRGB555 = 0x00021005;
inline constexpr PixelFormat PixelFormat16bppRGB565 = 0x00021006;
inline constexpr PixelFormat PixelFormat16bppARGB1555 = 0x00061007;
inline constexpr PixelFormat PixelFormat24bppRGB = 0x00021808;
inline constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
inline constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
inline constexpr PixelFormat PixelFormat32bppPARGB = 0x000E200B;
inline constexpr PixelFormat PixelFormat48bppRGB = 0x0010300C;
// The flag bits decide: 0x1C400E carries PAlpha, so it is the premultiplied one.
inline constexpr PixelFormat PixelFormat64bppARGB = 0x0034400D;
inline constexpr PixelFormat PixelFormat64bppPARGB = 0x001C400E;

inline constexpr int bitsPerPixel(PixelFormat format) { return (format >> 8) & 0xFF; }
inline constexpr bool isIndexed(PixelFormat format) { return (format & PixelFormatIndexed) != 0; }

// Palette flags.
inline constexpr uint32_t PaletteFlagsHasAlpha = 1;
inline constexpr uint32_t PaletteFlagsGrayScale = 2;
inline constexpr uint32_t PaletteFlagsHalftone = 4;

struct Palette {
    uint32_t flags = 0;
    std::vector<ARGB> entries;
};

// Property item types.
enum PropertyTagType : uint16_t {
    PropertyTagTypeByte = 1,
    PropertyTagTypeASCII = 2,
    PropertyTagTypeShort = 3,
    PropertyTagTypeLong = 4,
    PropertyTagTypeRational = 5,
    PropertyTagTypeSByte = 6,
    PropertyTagTypeUndefined = 7,
    PropertyTagTypeSShort = 8,
    PropertyTagTypeSLong = 9,
    PropertyTagTypeSRational = 10,
    PropertyTagTypeFloat = 11,
    PropertyTagTypeDouble = 12,
};

// One property (tag) of an image; its length is value.size().
struct PropertyItem {
    uint32_t id = 0;
    uint16_t type = PropertyTagTypeUndefined;
    std::vector<uint8_t> value;
};

// One decoded frame: rows top-down, `stride` bytes apart (stride >= row bytes, a multiple
// of 4 for frames the layer allocates), pixels in `format`.
struct FrameData {
    int32_t width = 0;
    int32_t height = 0;
    PixelFormat format = PixelFormat32bppARGB;
    int32_t stride = 0;
    std::vector<uint8_t> pixels;
    Palette palette; // for indexed formats
    double dpiX = 96.0;
    double dpiY = 96.0;
    std::vector<PropertyItem> properties; // in decoder order
};

// Raw formats {B96B3Cxx-0728-11D3-9D7B-0000F81EF32E}.
inline constexpr win::Guid rawFormatGuid(uint8_t xx) {
    return win::Guid{0xB96B3CA9u - 0xA9u + xx, 0x0728, 0x11D3,
                     std::array<uint8_t, 8>{0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}
inline constexpr win::Guid ImageFormatUndefined = rawFormatGuid(0xA9);
inline constexpr win::Guid ImageFormatMemoryBMP = rawFormatGuid(0xAA);
inline constexpr win::Guid ImageFormatBMP = rawFormatGuid(0xAB);
inline constexpr win::Guid ImageFormatEMF = rawFormatGuid(0xAC);
inline constexpr win::Guid ImageFormatWMF = rawFormatGuid(0xAD);
inline constexpr win::Guid ImageFormatJPEG = rawFormatGuid(0xAE);
inline constexpr win::Guid ImageFormatPNG = rawFormatGuid(0xAF);
inline constexpr win::Guid ImageFormatGIF = rawFormatGuid(0xB0);
inline constexpr win::Guid ImageFormatTIFF = rawFormatGuid(0xB1);
inline constexpr win::Guid ImageFormatEXIF = rawFormatGuid(0xB2);
inline constexpr win::Guid ImageFormatIcon = rawFormatGuid(0xB5);

// What a decoder yields: every frame of one frame dimension, and the container format.
struct DecodedImage {
    win::Guid rawFormat = ImageFormatUndefined;
    win::Guid frameDimension; // time (GIF), page (TIFF) or zero for a single frame
    std::vector<FrameData> frames;
};

} // namespace gp
