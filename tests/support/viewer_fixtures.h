#pragma once

// Small image files for the viewer's tests, written by the tests themselves.

#include <cstdint>
#include <functional>
#include <string>

namespace viewer_test {

// The colour of pixel (x, y) as 0xAARRGGBB.
using PixelFn = std::function<uint32_t(int x, int y)>;

// A 24-bit BMP with the given resolution in pixels per metre (0 leaves it unset).
bool writeBmp(const std::string& path, int width, int height, const PixelFn& pixel,
              int32_t xPelsPerMetre = 0, int32_t yPelsPerMetre = 0);
// An RGBA PNG (alpha kept).
bool writePng(const std::string& path, int width, int height, const PixelFn& pixel);

// A left-to-right, top-to-bottom pattern whose four quadrants differ in colour.
uint32_t quadrants(int x, int y, int width, int height);

} // namespace viewer_test
