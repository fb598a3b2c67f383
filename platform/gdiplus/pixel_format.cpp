#include "platform/gdiplus/pixel_format.h"

namespace gp {

bool isKnownPixelFormat(PixelFormat format) {
    switch (format) {
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
    case PixelFormat16bppGrayScale:
    case PixelFormat16bppRGB555:
    case PixelFormat16bppRGB565:
    case PixelFormat16bppARGB1555:
    case PixelFormat24bppRGB:
    case PixelFormat32bppRGB:
    case PixelFormat32bppARGB:
    case PixelFormat32bppPARGB:
    case PixelFormat48bppRGB:
    case PixelFormat64bppARGB:
    case PixelFormat64bppPARGB:
        return true;
    default:
        return false;
    }
}

Palette defaultPalette(PixelFormat format) {
    Palette palette;
    switch (format) {
    case PixelFormat1bppIndexed:
        palette.entries = {0xFF000000u, 0xFFFFFFFFu};
        break;
    case PixelFormat4bppIndexed:
        palette.entries = {0xFF000000u, 0xFF800000u, 0xFF008000u, 0xFF808000u,
                           0xFF000080u, 0xFF800080u, 0xFF008080u, 0xFF808080u,
                           0xFFC0C0C0u, 0xFFFF0000u, 0xFF00FF00u, 0xFFFFFF00u,
                           0xFF0000FFu, 0xFFFF00FFu, 0xFF00FFFFu, 0xFFFFFFFFu};
        break;
    case PixelFormat8bppIndexed: {
        palette.flags = PaletteFlagsHalftone;
        palette.entries.reserve(256);
        for (uint32_t r = 0; r < 6; ++r)
            for (uint32_t g = 0; g < 6; ++g)
                for (uint32_t b = 0; b < 6; ++b)
                    palette.entries.push_back(0xFF000000u | (r * 51) << 16 | (g * 51) << 8 |
                                              b * 51);
        // Greys between the cube's six: i * 255 / 41 never lands on a multiple of 51, so
        // every entry is distinct and maps back to itself.
        for (uint32_t i = 1; i <= 40; ++i) {
            uint32_t v = (i * 255 + 20) / 41;
            palette.entries.push_back(0xFF000000u | v << 16 | v << 8 | v);
        }
        break;
    }
    default:
        break;
    }
    return palette;
}

} // namespace gp
