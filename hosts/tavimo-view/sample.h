#pragma once

#include <string>

namespace tavimo_view {

// Writes the built-in sample: a three-page TIFF (960 x 640, RGB) whose pages differ in
// colour and show their page number, with a grid for judging zoom and scrolling.
bool writeSampleImage(const std::string& path);

} // namespace tavimo_view
