#pragma once

// Flate (zlib) compression of page content and image data.

#include <string>
#include <string_view>

namespace tavimo::pdf {

// Compresses `input` at `level` (0 to 9) into `output`. False, with `output` empty, for an
// empty input or when zlib fails; the caller then writes the data uncompressed.
bool CompressBytes(std::string_view input, std::string& output, int level);

} // namespace tavimo::pdf
