#pragma once

// Value types and constants of the GDI stand-in: 32-bit object handles, the bitmap and
// palette records that callers fill in or read back, and the numbers callers pass.
// The record layouts are the documented ones (they are also the BMP file format), with
// handles as 32-bit values.

#include <cstdint>

namespace win {

using BOOL = int32_t;
using HRESULT = int32_t;
using COLORREF = uint32_t; // 0x00BBGGRR
using HGDIOBJ = uint32_t;
using HDC = uint32_t;
using HBITMAP = uint32_t;
using HICON = uint32_t;
using HCURSOR = uint32_t;
using HPALETTE = uint32_t;
using HMETAFILE = uint32_t;
using HENHMETAFILE = uint32_t;
using HWND = uint32_t;

inline constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}
inline constexpr uint8_t GetRValue(COLORREF c) {
    return uint8_t(c);
}
inline constexpr uint8_t GetGValue(COLORREF c) {
    return uint8_t(c >> 8);
}
inline constexpr uint8_t GetBValue(COLORREF c) {
    return uint8_t(c >> 16);
}

#pragma pack(push, 1)
struct RGBQUAD {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
};

// The 40-byte device-independent bitmap header.
struct BITMAPINFOHEADER {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0; // > 0: rows bottom-up; < 0: rows top-down
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0; // BI_RGB or BI_BITFIELDS
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

// A header followed by its colour table (or, for BI_BITFIELDS, three masks). Callers that
// pass a BITMAPINFO may allocate only the entries the header needs.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct PALETTEENTRY {
    uint8_t peRed = 0;
    uint8_t peGreen = 0;
    uint8_t peBlue = 0;
    uint8_t peFlags = 0;
};

// palVersion 0x300, then palNumEntries entries (the array runs past its declared size).
struct LOGPALETTE {
    uint16_t palVersion = 0x300;
    uint16_t palNumEntries = 0;
    PALETTEENTRY palPalEntry[1];
};
#pragma pack(pop)

struct BITMAP {
    int32_t bmType = 0;
    int32_t bmWidth = 0;
    int32_t bmHeight = 0;
    int32_t bmWidthBytes = 0;
    uint16_t bmPlanes = 1;
    uint16_t bmBitsPixel = 0;
    void* bmBits = nullptr; // the pixels of a DIB section; null for a device bitmap
};

struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    uint32_t dsBitfields[3] = {0, 0, 0};
    uint32_t dshSection = 0;
    uint32_t dsOffset = 0;
};

struct ICONINFO {
    BOOL fIcon = 1; // 1 icon, 0 cursor
    uint32_t xHotspot = 0;
    uint32_t yHotspot = 0;
    HBITMAP hbmMask = 0;  // 1 bpp AND mask (twice the height for a monochrome icon)
    HBITMAP hbmColor = 0; // colour image, 0 for a monochrome icon
};

inline constexpr uint32_t BI_RGB = 0;
inline constexpr uint32_t BI_RLE8 = 1;
inline constexpr uint32_t BI_RLE4 = 2;
inline constexpr uint32_t BI_BITFIELDS = 3;

inline constexpr uint32_t DIB_RGB_COLORS = 0;
inline constexpr uint32_t DIB_PAL_COLORS = 1;

inline constexpr uint32_t SRCCOPY = 0x00CC0020;
inline constexpr uint32_t SRCPAINT = 0x00EE0086;
inline constexpr uint32_t SRCAND = 0x008800C6;
inline constexpr uint32_t SRCINVERT = 0x00660046;
inline constexpr uint32_t NOTSRCCOPY = 0x00330008;
inline constexpr uint32_t BLACKNESS = 0x00000042;
inline constexpr uint32_t WHITENESS = 0x00FF0062;

// GetDeviceCaps indexes.
inline constexpr int HORZSIZE = 4;
inline constexpr int VERTSIZE = 6;
inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int TECHNOLOGY = 2;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;
inline constexpr int PHYSICALWIDTH = 110;
inline constexpr int PHYSICALHEIGHT = 111;
inline constexpr int PHYSICALOFFSETX = 112;
inline constexpr int PHYSICALOFFSETY = 113;

inline constexpr int DT_RASDISPLAY = 1;
inline constexpr int DT_RASPRINTER = 2;

inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

} // namespace win
