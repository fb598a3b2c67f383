// Loads through the plug-in next to the same loads through FreeImage directly, and the
// group 4 encoder next to a plain copy of its input.

#include "plugins/kelvra/kelvra_api.h"

#include <FreeImage.h>
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Plugin {
#define KELVRA_MEMBER(ret, name, params) ret(*name) params = nullptr;
    KELVRA_FUNCTION_LIST(KELVRA_MEMBER)
#undef KELVRA_MEMBER
    bool ok = false;
};

const Plugin& plugin() {
    static const Plugin p = [] {
        Plugin k;
        const char* dir = std::getenv("TAVIMO_PLUGIN_PATH");
        std::string path =
            std::string(dir && *dir ? dir : KELVRA_BENCH_PLUGIN_DIR) + "/" + KELVRA_LIBRARY_NAME;
        void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!lib)
            return k;
        k.ok = true;
#define KELVRA_RESOLVE(ret, name, params)                                                          \
    k.name = reinterpret_cast<decltype(k.name)>(dlsym(lib, #name));                                \
    k.ok = k.ok && k.name;
        KELVRA_FUNCTION_LIST(KELVRA_RESOLVE)
#undef KELVRA_RESOLVE
        return k;
    }();
    return p;
}

// A 1600 x 1200 picture with detail, written once per format into the temporary folder.
const std::string& fixture(FREE_IMAGE_FORMAT fif, const char* name, int flags) {
    static std::string paths[64];
    std::string& path = paths[fif];
    if (path.empty()) {
        FIBITMAP* dib = FreeImage_Allocate(1600, 1200, 24);
        for (unsigned y = 0; y < 1200; ++y) {
            BYTE* row = FreeImage_GetScanLine(dib, y);
            for (unsigned x = 0; x < 1600; ++x) {
                row[3 * x] = static_cast<BYTE>(x ^ y);
                row[3 * x + 1] = static_cast<BYTE>((x * y) >> 4);
                row[3 * x + 2] = static_cast<BYTE>(x + 2 * y);
            }
        }
        path = (std::filesystem::temp_directory_path() / name).string();
        FreeImage_Save(fif, dib, path.c_str(), flags);
        FreeImage_Unload(dib);
    }
    return path;
}

void loadThroughPlugin(benchmark::State& state, int32_t code, FREE_IMAGE_FORMAT fif,
                       const char* name, int flags) {
    const Plugin& k = plugin();
    if (!k.ok) {
        state.SkipWithError("libkelvra.so not found");
        return;
    }
    const std::string& path = fixture(fif, name, flags);
    for (auto _ : state) {
        KelvraBitmap b = k.KELVRA_LoadU(code, path.c_str(), 0);
        benchmark::DoNotOptimize(b);
        k.KELVRA_Unload(b);
    }
}

void loadThroughFreeImage(benchmark::State& state, FREE_IMAGE_FORMAT fif, const char* name,
                          int flags) {
    const std::string& path = fixture(fif, name, flags);
    for (auto _ : state) {
        FIBITMAP* b = FreeImage_Load(fif, path.c_str(), 0);
        benchmark::DoNotOptimize(b);
        FreeImage_Unload(b);
    }
}

void BM_LoadJpeg_Plugin(benchmark::State& s) {
    loadThroughPlugin(s, KELVRA_FIF_JPEG, FIF_JPEG, "kelvra-bench.jpg", 90);
}
void BM_LoadJpeg_FreeImage(benchmark::State& s) {
    loadThroughFreeImage(s, FIF_JPEG, "kelvra-bench.jpg", 90);
}
void BM_LoadTiff_Plugin(benchmark::State& s) {
    loadThroughPlugin(s, KELVRA_FIF_TIFF, FIF_TIFF, "kelvra-bench.tif", TIFF_NONE);
}
void BM_LoadTiff_FreeImage(benchmark::State& s) {
    loadThroughFreeImage(s, FIF_TIFF, "kelvra-bench.tif", TIFF_NONE);
}
BENCHMARK(BM_LoadJpeg_Plugin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadJpeg_FreeImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTiff_Plugin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTiff_FreeImage)->Unit(benchmark::kMillisecond);

// A scanned-page sized 1-bit image (A4 at 200 dpi) with text-like runs.
std::vector<uint8_t>& page(int& width, int& height, int& rowBytes) {
    static std::vector<uint8_t> bits;
    width = 1654;
    height = 2339;
    rowBytes = (width + 7) / 8;
    if (bits.empty()) {
        bits.assign(static_cast<size_t>(rowBytes) * height, 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if ((y / 24) % 2 == 0 && ((x / 7) % 5 < 3) && ((x * 31 + y * 17) % 13 < 6))
                    bits[static_cast<size_t>(y) * rowBytes + x / 8] |= 0x80 >> (x % 8);
    }
    return bits;
}

void BM_CompressCCITT4_Plugin(benchmark::State& state) {
    const Plugin& k = plugin();
    if (!k.ok) {
        state.SkipWithError("libkelvra.so not found");
        return;
    }
    int width, height, rowBytes;
    std::vector<uint8_t>& bits = page(width, height, rowBytes);
    KelvraByteArray in{bits.data(), static_cast<int32_t>(bits.size())};
    for (auto _ : state) {
        KelvraByteArray out{nullptr, 0};
        k.KELVRA_VB_CompressCCITT4(&out, &in, width, height, rowBytes, 0);
        benchmark::DoNotOptimize(out.data);
        k.KELVRA_FreeByteArray(&out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bits.size());
}

void BM_CompressCCITT4_MemcpyBaseline(benchmark::State& state) {
    int width, height, rowBytes;
    std::vector<uint8_t>& bits = page(width, height, rowBytes);
    std::vector<uint8_t> copy(bits.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), bits.data(), bits.size());
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bits.size());
}
BENCHMARK(BM_CompressCCITT4_Plugin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompressCCITT4_MemcpyBaseline)->Unit(benchmark::kMillisecond);

} // namespace
