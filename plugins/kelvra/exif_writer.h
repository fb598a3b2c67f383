#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <vector>

namespace kelvra {

// The EXIF block of a JPEG file (the APP1 payload, starting "Exif\0\0") holding the bitmap's
// EXIF-main, EXIF and GPS tags, or empty when it has none or they do not fit in one segment.
// Tags of unusual types, with inconsistent lengths or describing a TIFF file's layout are
// left out.
std::vector<uint8_t> buildExifBlock(FIBITMAP* dib);

} // namespace kelvra
