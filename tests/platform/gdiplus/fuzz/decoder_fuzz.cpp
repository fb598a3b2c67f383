// libFuzzer target: arbitrary bytes through the loader's decode path, then the first frame
// through every encoder, as a load-and-save round trip would.

#include "platform/gdiplus/codec_registry.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gp::DecodedImage image;
    gp::DecodeOptions options;
    // A few bytes can legitimately declare gigapixels; keep the fuzzer within its memory.
    options.maxPixels = int64_t(1) << 22;
    options.applyIcm = size > 0 && (data[size - 1] & 1);
    if (gp::decodeImage({data, size}, image, options) != gp::Ok)
        return 0;
    if (image.frames.empty())
        __builtin_trap(); // Ok must come with a frame
    const gp::FrameData& frame = image.frames.front();
    // Encoding large frames only slows the fuzzer down without covering more code.
    if (int64_t(frame.width) * frame.height > 512 * 512)
        return 0;
    for (const gp::CodecInfo& info : gp::encoderList()) {
        std::vector<uint8_t> bytes;
        if (gp::encodeImage(info.clsid, frame, nullptr, bytes) == gp::Ok) {
            gp::DecodedImage again;
            (void)gp::decodeImage(bytes, again);
        }
    }
    return 0;
}
