// Pixel-format conversions and LockBits copies of a 24-megapixel image, reported in GB/s
// (bytes written) next to a plain memcpy of the same number of bytes, measured in the
// same run. Run: build/bench/platform/gdiplus/bench_gdiplus_pixels_bench

#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/pixel_convert.h"
#include "platform/gdiplus/pixel_format.h"
#include "platform/gdiplus/session.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

using namespace gp;

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000; // 24 MP

struct Pair {
    const char* name;
    PixelFormat src;
    PixelFormat dst;
};

constexpr Pair kPairs[] = {
    {"24bppRGB_to_32bppARGB", PixelFormat24bppRGB, PixelFormat32bppARGB},
    {"32bppARGB_to_24bppRGB", PixelFormat32bppARGB, PixelFormat24bppRGB},
    {"32bppARGB_to_32bppPARGB", PixelFormat32bppARGB, PixelFormat32bppPARGB},
    {"32bppPARGB_to_32bppARGB", PixelFormat32bppPARGB, PixelFormat32bppARGB},
    {"32bppRGB_to_32bppARGB", PixelFormat32bppRGB, PixelFormat32bppARGB},
    {"8bppIndexed_to_32bppARGB", PixelFormat8bppIndexed, PixelFormat32bppARGB},
    {"1bppIndexed_to_32bppARGB", PixelFormat1bppIndexed, PixelFormat32bppARGB},
    {"16bppRGB565_to_32bppARGB", PixelFormat16bppRGB565, PixelFormat32bppARGB},
    {"48bppRGB_to_32bppARGB", PixelFormat48bppRGB, PixelFormat32bppARGB},
    {"64bppPARGB_to_32bppARGB", PixelFormat64bppPARGB, PixelFormat32bppARGB},
    {"32bppARGB_to_16bppRGB565", PixelFormat32bppARGB, PixelFormat16bppRGB565},
    {"32bppARGB_to_8bppIndexed", PixelFormat32bppARGB, PixelFormat8bppIndexed},
};

std::vector<uint8_t> randomStore(PixelFormat format) {
    std::vector<uint8_t> store(static_cast<size_t>(alignedStride(kWidth, format)) * kHeight);
    std::mt19937 rng(1);
    for (size_t i = 0; i + 4 <= store.size(); i += 4) {
        const uint32_t v = rng();
        std::memcpy(store.data() + i, &v, 4);
    }
    return store;
}

void setPixelsCounter(benchmark::State& state, PixelFormat dst) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * alignedStride(kWidth, dst) *
                            kHeight);
}

void BM_Memcpy(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(state.range(0)) * kWidth * kHeight / 8;
    std::vector<uint8_t> a(bytes, 1), b(bytes, 0);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}
BENCHMARK(BM_Memcpy)->Arg(24)->Arg(32)->ArgName("bpp")->Unit(benchmark::kMillisecond);

void BM_Convert(benchmark::State& state) {
    const Pair& pair = kPairs[state.range(0)];
    test::ForceGenericPixelPaths(state.range(1) != 0);
    state.SetLabel(std::string(pair.name) + (state.range(1) ? " generic" : " fast"));
    std::vector<uint8_t> src = randomStore(pair.src);
    if (pair.dst == PixelFormat8bppIndexed) {
        // 4096 distinct colours.
        for (size_t i = 0; i + 4 <= src.size(); i += 4)
            src[i + 3] = 0xFF, src[i] &= 0xF0, src[i + 1] &= 0xF0, src[i + 2] &= 0xF0;
    }
    std::vector<uint8_t> dst(static_cast<size_t>(alignedStride(kWidth, pair.dst)) * kHeight);
    const Palette srcPalette = defaultPalette(pair.src), dstPalette = defaultPalette(pair.dst);
    for (auto _ : state) {
        convertRect(src.data(), alignedStride(kWidth, pair.src), pair.src, &srcPalette, 0,
                    dst.data(), alignedStride(kWidth, pair.dst), pair.dst, &dstPalette, 0, kWidth,
                    kHeight);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    setPixelsCounter(state, pair.dst);
    test::ForceGenericPixelPaths(false);
}
BENCHMARK(BM_Convert)
    ->ArgsProduct({benchmark::CreateDenseRange(0, std::size(kPairs) - 1, 1), {0, 1}})
    ->ArgNames({"pair", "generic"})
    ->Unit(benchmark::kMillisecond);

// LockBits of the whole image: read into a caller buffer (mode 5), and a converted
// read + write-back through the layer's buffer (mode 3).
void BM_LockBits(benchmark::State& state) {
    test::StartExternally();
    const PixelFormat imageFormat = state.range(0) ? PixelFormat24bppRGB : PixelFormat32bppARGB;
    const bool readWrite = state.range(1) != 0;
    // A read-write lock of a 32bppARGB image in its own format hands out the store itself:
    // no bytes move, which the rate shows as absurdly high.
    state.SetLabel(std::string(state.range(0) ? "24bpp image" : "32bppARGB image") +
                   (readWrite ? (state.range(0) ? ", read-write 32bppARGB (converted both ways)"
                                                : ", read-write 32bppARGB (in place, no copy)")
                              : ", mode 5 into 32bppARGB"));
    GpBitmap bitmap = 0;
    GdipCreateBitmapFromScan0(kWidth, kHeight, 0, imageFormat, nullptr, &bitmap);
    std::vector<uint8_t> buffer(static_cast<size_t>(kWidth) * 4 * kHeight);
    for (auto _ : state) {
        BitmapData data{};
        data.Stride = kWidth * 4;
        data.Scan0 = buffer.data();
        const UINT mode = readWrite ? ImageLockModeRead | ImageLockModeWrite
                                    : ImageLockModeRead | ImageLockModeUserInputBuf;
        GdipBitmapLockBits(bitmap, nullptr, mode, PixelFormat32bppARGB, &data);
        benchmark::DoNotOptimize(data.Scan0);
        GdipBitmapUnlockBits(bitmap, &data);
        benchmark::ClobberMemory();
    }
    // A read-write lock moves the pixels twice (out and back).
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * 4 * kHeight *
                            (readWrite ? 2 : 1));
    GdipDisposeImage(bitmap);
    test::StopExternally();
}
BENCHMARK(BM_LockBits)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"image24", "readwrite"})
    ->Unit(benchmark::kMillisecond);

} // namespace
