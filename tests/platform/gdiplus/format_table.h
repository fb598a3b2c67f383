#pragma once

#include "platform/gdiplus/types.h"

#include <array>

inline constexpr std::array<gp::PixelFormat, 14> kAllFormats = {
    gp::PixelFormat1bppIndexed,    gp::PixelFormat4bppIndexed, gp::PixelFormat8bppIndexed,
    gp::PixelFormat16bppGrayScale, gp::PixelFormat16bppRGB555, gp::PixelFormat16bppRGB565,
    gp::PixelFormat16bppARGB1555,  gp::PixelFormat24bppRGB,    gp::PixelFormat32bppRGB,
    gp::PixelFormat32bppARGB,      gp::PixelFormat32bppPARGB,  gp::PixelFormat48bppRGB,
    gp::PixelFormat64bppARGB,      gp::PixelFormat64bppPARGB};
