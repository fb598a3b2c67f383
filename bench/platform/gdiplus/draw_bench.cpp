// Drawing a 6000 x 4000 image into a 1920 x 1080 window through the graphics calls: at fit
// (1620 x 1080) and a 1920 x 1080 part at zoom 1 (the scroll case), in every interpolation
// mode, on one thread and on all of them. Each case reports, next to its time, the ratio
// against pixman doing the same fit single-threaded (bilinear filter and separable
// convolution), measured in the same process, and the scroll case against memcpy.

#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/graphics.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/resample.h"
#include "platform/gdiplus/session.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_objects.h"

#include <benchmark/benchmark.h>

#ifdef TAVIMO_HAVE_PIXMAN
#include <pixman.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int32_t kSrcW = 6000, kSrcH = 4000;
constexpr int32_t kDstW = 1920, kDstH = 1080;
constexpr int32_t kFitW = 1620, kFitH = 1080;

using Clock = std::chrono::steady_clock;

struct Fixture {
    gp::GpImage image = 0;
    gp::GpImage pargb = 0; // the same pixels premultiplied, as the viewer keeps for speed
    win::HDC dc = 0;
    win::HBITMAP bmp = 0;
    gp::GpGraphics graphics = 0;
    std::vector<uint32_t> pixmanDst;

    Fixture() {
        gp::test::StartExternally();
        gp::GdipCreateBitmapFromScan0(kSrcW, kSrcH, 0, gp::PixelFormat32bppARGB, nullptr, &image);
        gp::Frame& f = gp::findBitmap(image)->active();
        std::mt19937 rng(1);
        for (int32_t y = 0; y < kSrcH; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(f.row(y));
            for (int32_t x = 0; x < kSrcW; ++x)
                row[x] = 0xFF000000u | ((x * 255 / kSrcW) << 16) | ((y * 255 / kSrcH) << 8) |
                         (rng() & 0xFF);
        }
        gp::GdipCreateBitmapFromScan0(kSrcW, kSrcH, 0, gp::PixelFormat32bppPARGB, nullptr, &pargb);
        gp::Frame& p = gp::findBitmap(pargb)->active();
        for (int32_t y = 0; y < kSrcH; ++y)
            std::memcpy(p.row(y), f.row(y), size_t(kSrcW) * 4); // opaque: the same bytes
        dc = win::CreateCompatibleDC(0);
        bmp = win::CreateCompatibleBitmap(dc, kDstW, kDstH);
        win::SelectObject(dc, bmp);
        gp::GdipCreateFromHDC(dc, &graphics);
        gp::GdipSetPixelOffsetMode(graphics, gp::PixelOffsetModeHalf);
        pixmanDst.resize(size_t(kDstW) * kDstH);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

double secondsOf(const std::function<void()>& f, int runs = 3) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        auto a = Clock::now();
        f();
        t.push_back(std::chrono::duration<double>(Clock::now() - a).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

#ifdef TAVIMO_HAVE_PIXMAN
// pixman scaling the whole source to the fit size, one thread.
double pixmanFit(bool convolution) {
    Fixture& fx = fixture();
    gp::Frame& f = gp::findBitmap(fx.image)->active();
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSrcW, kSrcH,
                                                   reinterpret_cast<uint32_t*>(f.row(0)), f.stride);
    pixman_image_t* dst =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, kDstW, kDstH, fx.pixmanDst.data(), kDstW * 4);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(double(kSrcW) / kFitW),
                                pixman_double_to_fixed(double(kSrcH) / kFitH));
    pixman_image_set_transform(src, &t);
    if (convolution) {
        int n = 0;
        pixman_fixed_t* params = pixman_filter_create_separable_convolution(
            &n, pixman_double_to_fixed(double(kSrcW) / kFitW),
            pixman_double_to_fixed(double(kSrcH) / kFitH), PIXMAN_KERNEL_CUBIC, PIXMAN_KERNEL_CUBIC,
            PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 1, 1);
        pixman_image_set_filter(src, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
        free(params);
    } else {
        pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    }
    // The median of several runs: one run on a busy machine says little. The slow
    // convolution gets fewer.
    double s = secondsOf(
        [&] {
            pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kFitW,
                                     kFitH);
        },
        convolution ? 3 : 9);
    pixman_image_unref(src);
    pixman_image_unref(dst);
    return s;
}

double pixmanSeconds(bool convolution) {
    static double bilinear = pixmanFit(false);
    static double conv = pixmanFit(true);
    return convolution ? conv : bilinear;
}

void BM_PixmanFit(benchmark::State& state) {
    bool conv = state.range(0) != 0;
    for (auto _ : state)
        state.SetIterationTime(pixmanSeconds(conv));
    state.SetLabel(conv ? "separable convolution (cubic/box)" : "bilinear");
    state.SetItemsProcessed(int64_t(state.iterations()) * kFitW * kFitH);
}
BENCHMARK(BM_PixmanFit)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
#endif

double memcpySeconds() {
    static double s = [] {
        std::vector<uint8_t> a(size_t(kDstW) * kDstH * 4, 1), b(a.size());
        return secondsOf(
            [&] {
                std::memcpy(b.data(), a.data(), a.size());
                benchmark::DoNotOptimize(b.data());
            },
            7);
    }();
    return s;
}

void BM_Memcpy1920x1080(benchmark::State& state) {
    for (auto _ : state)
        state.SetIterationTime(memcpySeconds());
    state.SetBytesProcessed(int64_t(state.iterations()) * kDstW * kDstH * 4);
}
BENCHMARK(BM_Memcpy1920x1080)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Args: interpolation mode, threads, source premultiplied (1) or straight (0).
void BM_DrawFit(benchmark::State& state) {
    Fixture& fx = fixture();
    const gp::GpImage image = state.range(2) ? fx.pargb : fx.image;
    gp::setResampleThreads(int(state.range(1)));
    gp::GdipSetInterpolationMode(fx.graphics, gp::InterpolationMode(state.range(0)));
    double total = 0;
    for (auto _ : state) {
        auto a = Clock::now();
        gp::GdipDrawImageRectI(fx.graphics, image, 0, 0, kFitW, kFitH);
        double s = std::chrono::duration<double>(Clock::now() - a).count();
        total += s;
        state.SetIterationTime(s);
    }
    double per = total / double(state.iterations());
    state.SetItemsProcessed(int64_t(state.iterations()) * kFitW * kFitH);
#ifdef TAVIMO_HAVE_PIXMAN
    state.counters["x_pixman_bilinear"] = pixmanSeconds(false) / per;
    state.counters["x_pixman_convolution"] = pixmanSeconds(true) / per;
#endif
    gp::setResampleThreads(0);
}

// Args: interpolation mode, threads. Zoom 1: a window of the image, no scaling.
void BM_DrawScroll(benchmark::State& state) {
    Fixture& fx = fixture();
    gp::setResampleThreads(int(state.range(1)));
    gp::GdipSetInterpolationMode(fx.graphics, gp::InterpolationMode(state.range(0)));
    double total = 0;
    for (auto _ : state) {
        auto a = Clock::now();
        gp::GdipDrawImageRectRectI(fx.graphics, fx.image, 0, 0, kDstW, kDstH, 2000, 1500, kDstW,
                                   kDstH, gp::UnitPixel, 0, nullptr, nullptr);
        double s = std::chrono::duration<double>(Clock::now() - a).count();
        total += s;
        state.SetIterationTime(s);
    }
    double per = total / double(state.iterations());
    state.SetItemsProcessed(int64_t(state.iterations()) * kDstW * kDstH);
    state.counters["x_memcpy"] = memcpySeconds() / per;
    gp::setResampleThreads(0);
}

void modes(benchmark::internal::Benchmark* b) {
    for (int threads : {1, 8})
        for (int mode = 0; mode <= 7; ++mode)
            b->Args({mode, threads});
}

void fitModes(benchmark::internal::Benchmark* b) {
    for (int premultiplied : {0, 1})
        for (int threads : {1, 8})
            for (int mode = 0; mode <= 7; ++mode)
                b->Args({mode, threads, premultiplied});
}

BENCHMARK(BM_DrawFit)->Apply(fitModes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawScroll)->Apply(modes)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
