// libFuzzer target: WMF headers and playback, with and without a placeable header.
#include "tests/platform/gdiplus/fuzz/metafile_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= 4 && data[0] == 0xD7 && data[1] == 0xCD) {
        fuzzMetafile(data, size, nullptr);
    } else {
        gp::WmfPlaceable frame{0, 0, 200, 100, 96};
        fuzzMetafile(data, size, &frame);
    }
    return 0;
}
