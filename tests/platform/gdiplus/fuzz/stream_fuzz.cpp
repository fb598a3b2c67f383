// libFuzzer target: arbitrary bytes loaded through the stream loader
// (GdipLoadImageFromStream over a memory stream), then every frame selected and read
// through LockBits, and the active frame saved through every encoder.

#include "platform/gdiplus/gdiplus.h"
#include "platform/win/stream.h"

#include <cstddef>
#include <cstdint>

namespace {

struct Session {
    uintptr_t token = 0;
    Session() {
        // A few bytes can legitimately declare gigapixels; keep the fuzzer within its memory.
        gp::setDefaultMaxPixels(int64_t(1) << 22);
        gp::GdiplusStartupInput input;
        gp::GdiplusStartup(&token, &input, nullptr);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Session session;
    win::IStream* stream = nullptr;
    if (win::CreateStreamOnMemory(data, size, &stream) != 0 || !stream)
        return 0;
    gp::GpImage image = 0;
    const bool icm = size > 0 && (data[size - 1] & 1);
    const gp::Status status = icm ? gp::GdipLoadImageFromStreamICM(stream, &image)
                                  : gp::GdipLoadImageFromStream(stream, &image);
    stream->Release();
    if (status != gp::Ok)
        return 0;
    gp::UINT width = 0, height = 0;
    gp::GdipGetImageWidth(image, &width);
    gp::GdipGetImageHeight(image, &height);
    // Large images only slow the fuzzer down without covering more code.
    if (uint64_t(width) * height <= 256 * 256) {
        const win::Guid dimensions[] = {
            {0x6AEDBD6D, 0x3FB5, 0x418A, {0x83, 0xA6, 0x7F, 0x45, 0x22, 0x9D, 0xC8, 0x72}},
            {0x7462DC86, 0x6180, 0x4C7E, {0x8E, 0x3F, 0xEE, 0x73, 0x33, 0xA7, 0xA4, 0x83}}};
        for (const win::Guid& dimension : dimensions) {
            gp::UINT frames = 0;
            if (gp::GdipImageGetFrameCount(image, &dimension, &frames) != gp::Ok)
                continue;
            for (gp::UINT i = 0; i < frames && i < 8; ++i) {
                gp::GdipImageSelectActiveFrame(image, &dimension, i);
                gp::BitmapData locked{};
                if (gp::GdipBitmapLockBits(image, nullptr, gp::ImageLockModeRead,
                                           gp::PixelFormat32bppARGB, &locked) == gp::Ok)
                    gp::GdipBitmapUnlockBits(image, &locked);
            }
        }
        for (const gp::CodecInfo& info : gp::encoderList()) {
            win::IStream* out = nullptr;
            if (win::CreateStreamOnHGlobal(0, true, &out) != 0 || !out)
                continue;
            gp::GdipSaveImageToStream(image, out, &info.clsid, nullptr);
            out->Release();
        }
    }
    gp::GdipDisposeImage(image);
    return 0;
}
