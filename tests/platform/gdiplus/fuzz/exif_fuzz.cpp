// libFuzzer target: the EXIF/TIFF tag reader on arbitrary blocks, and the writer on what the
// reader produced.

#include "platform/gdiplus/exif.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> block(data, size);
    std::vector<gp::PropertyItem> items;
    if (!gp::exif::readExif(block, items))
        return 0;
    std::vector<gp::PropertyItem> page;
    uint64_t offset =
        size >= 8
            ? (data[0] == 'M' ? (uint64_t(data[4]) << 24 | data[5] << 16 | data[6] << 8 | data[7])
                              : (uint64_t(data[7]) << 24 | data[6] << 16 | data[5] << 8 | data[4]))
            : 0;
    gp::exif::readTiffDirectory(block, offset, page);
    std::vector<uint8_t> written = gp::exif::buildExif(items);
    if (!written.empty()) {
        std::vector<gp::PropertyItem> again;
        if (!gp::exif::readExif(written, again))
            __builtin_trap(); // what we write must read back
    }
    return 0;
}
