// libFuzzer target: EMF headers and playback.
#include "tests/platform/gdiplus/fuzz/metafile_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzMetafile(data, size, nullptr);
    return 0;
}
