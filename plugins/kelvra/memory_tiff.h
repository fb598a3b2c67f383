#pragma once

// TIFF files in memory, for the plug-in's own uses of libtiff.

#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace kelvra {

struct MemoryFile {
    std::vector<uint8_t> data;
    uint64_t pos = 0;
};

// Opens the memory file with libtiff ("r" or "w"); null on failure. The file must outlive
// the TIFF handle.
TIFF* openMemory(MemoryFile& file, const char* mode);

struct TiffCloser {
    void operator()(TIFF* tif) const {
        if (tif)
            TIFFClose(tif);
    }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// True when libtiff (with the tag extensions registered in the process) knows the tag in a
// TIFF's main directory.
bool libtiffKnowsTag(uint32_t tag);

} // namespace kelvra
