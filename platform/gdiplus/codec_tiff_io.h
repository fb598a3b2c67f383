#pragma once

// libtiff over memory: a read-only view of bytes, or a growing output buffer, with error and
// warning handlers that stay quiet and never touch libtiff's process-wide handlers.

#include <tiffio.h>

#include <cstdint>
#include <span>
#include <vector>

namespace gp::codec {

struct TiffMemory {
    std::span<const uint8_t> input;
    std::vector<uint8_t>* output = nullptr;
    uint64_t pos = 0;
};

// Opens `memory` ("r" for input, "w" for output). Null when libtiff refuses the content.
TIFF* openTiff(TiffMemory& memory, const char* mode);

// Closes on scope exit.
struct TiffCloser {
    TIFF* tif;
    ~TiffCloser() {
        if (tif)
            TIFFClose(tif);
    }
};

} // namespace gp::codec
