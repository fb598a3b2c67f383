// Whole ApplyFilter calls on a 6000 x 4000 32bppARGB image of the image table, eight
// threads, next to a memcpy of its 96 MB and, where OpenCV does the same job, OpenCV on
// the same pixels with eight threads. After the run a table of ratios (ours / peer) is
// printed.

#include "core/image_table.h"
#include "filters/filters.h"
#include "platform/gdiplus/gdiplus.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#ifdef TAVIMO_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using namespace tavimo;

constexpr int32_t kWidth = 6000, kHeight = 4000;
constexpr int kThreads = 8;

std::vector<uint32_t>& pixels() {
    static std::vector<uint32_t> px = [] {
        std::vector<uint32_t> v(static_cast<size_t>(kWidth) * kHeight);
        std::mt19937 rng(42);
        for (auto& p : v) {
            p = rng() | 0xFF000000u;
        }
        return v;
    }();
    return px;
}

// The best time per iteration of every case, for the ratio table.
std::map<std::string, double>& best() {
    static std::map<std::string, double> b;
    return b;
}

template <class Fn> void timed(benchmark::State& state, const std::string& name, Fn fn) {
    double fastest = 1e30;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        fn();
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(s);
        fastest = std::min(fastest, s);
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kWidth} * kHeight * 4);
    double& slot = best()[name];
    slot = slot == 0 ? fastest : std::min(slot, fastest);
}

class Session {
public:
    Session() {
        gp::GdiplusStartupInput input;
        gp::GdiplusStartup(&m_token, &input, nullptr);
        gp::GpBitmap b = 0;
        gp::GdipCreateBitmapFromScan0(kWidth, kHeight, 0, gp::PixelFormat32bppARGB, nullptr, &b);
        RegisterImage(m_id, b, "", "", SourceKindGdiImage);
        reset();
    }
    // Puts the benchmark pixels back, so each case starts from the same image.
    void reset() {
        gp::BitmapData bd{};
        bd.Stride = kWidth * 4;
        bd.Scan0 = pixels().data();
        gp::GdipBitmapLockBits(GetGdiImage(m_id), nullptr,
                               gp::ImageLockModeWrite | gp::ImageLockModeUserInputBuf,
                               gp::PixelFormat32bppARGB, &bd);
        gp::GdipBitmapUnlockBits(GetGdiImage(m_id), &bd);
    }
    ImageId id() const { return m_id; }

private:
    uintptr_t m_token = 0;
    ImageId m_id = 0;
};

Session& session() {
    static Session s;
    return s;
}

struct Case {
    int32_t selector;
    const char* name;
    double P = 0, F = 0, G = 0, X = 0;
    float c = 0, d = 0, e = 0;
};

const Case kCases[] = {
    {21, "Transfer (no operation)"},
    {1, "SharpenRingTwo", 4},
    {2, "Negative"},
    {3, "BlurNeighbours"},
    {4, "Diffuse", 6},
    {5, "BlurCross"},
    {6, "SharpenRingOne", 4},
    {7, "LaplaceRelief", 0x404040},
    {8, "DiagonalEmboss", 0x404040},
    {9, "EmbossLeftRight", 0x404040},
    {10, "AbsDiagonalRelief", 0x404040},
    {11, "EmbossRightLeft", 0x404040},
    {12, "Grayscale"},
    {13, "DiagonalRelief"},
    {14, "ApplyBrightness", 20},
    {15, "Mosaic", 8},
    {16, "SwapChannels", 1},
    {17, "ApplyContrast", 30},
    {18, "ThresholdToColor", 0x808080},
    {19, "DitherOrdered"},
    {20, "DitherBurkes", 10},
    {24, "EdgePreservingSmooth5"},
    {25, "MaximumFilter3"},
    {26, "MinimumFilter3"},
    {27, "MorphologicalEdge3"},
    {28, "AutoLevels"},
    {29, "AddNoise", 20},
    {30, "ApplySaturation", 50},
    {31, "ApplyGamma", 150},
    {32, "AlternateRowShading"},
    {33, "BlurCrossWeighted", 50},
    {34, "Colorize", 0, 0, 0, 0, 1.0f, 0.5f, 1.0f},
    {35, "AdjustAlpha", -10},
    {36, "IsGrayscale"},
    {37, "WaveHorizontal", 0, 5, 10},
    {38, "WaveVertical", 0, 5, 10},
    {39, "AdjustRGB", 0, 10, 10, 10},
    {40, "RedEyeReduction"},
    {41, "KeepRed"},
    {44, "RemoveRed"},
    {47, "ScaleRed", 1.2},
    {50, "ColorToTransparent", 90, -16777216},
    {51, "ReplaceColor", 90, -16777216, -1},
    {52, "ReplacePattern3x3"},
    {53, "IsBlank", 0, 50},
    {54, "RedBoostBlueDominant"},
    {55, "Swirl", 5},
    {56, "EllipseSqueeze"},
    {57, "Twirl", 3},
    {58, "EqualizeHistogram"},
    {59, "IsBlackWhite"},
    {60, "CountColor", 0, -1},
    {61, "MedianFilter3"},
    {62, "GrowBlack", 1},
    {63, "MedianFilter5"},
    {64, "RemoveIsolatedDots"},
    {65, "ShrinkBlack", 1},
    {66, "FillWhiteGaps", 1},
    {67, "CountTransparent"},
    {68, "AverageColor"},
    {69, "RemoveThinRuns", 1, 1},
    {70, "RemoveSpecks"},
};

void BM_Memcpy(benchmark::State& state) {
    std::vector<uint32_t> out(pixels().size());
    timed(state, "memcpy", [&] {
        std::memcpy(out.data(), pixels().data(), out.size() * 4);
        benchmark::DoNotOptimize(out.data());
    });
}

void BM_ApplyFilter(benchmark::State& state, Case c) {
    SetFilterThreadCount(kThreads);
    Session& s = session();
    s.reset();
    timed(state, c.name, [&] {
        FilterRect rect{0, 0, kWidth, kHeight};
        double result = 0;
        gp::Status st =
            ApplyFilter(c.selector, s.id(), c.P, rect, c.c, c.d, c.e, c.F, c.G, c.X, result);
        benchmark::DoNotOptimize(st);
    });
}

#ifdef TAVIMO_BENCH_OPENCV
cv::Mat& peerImage() {
    static cv::Mat m(kHeight, kWidth, CV_8UC4, pixels().data());
    return m;
}

template <class Fn> void peer(benchmark::State& state, const std::string& name, Fn fn) {
    cv::setNumThreads(kThreads);
    cv::Mat out;
    timed(state, "OpenCV " + name, [&] {
        fn(peerImage(), out);
        benchmark::DoNotOptimize(out.data);
    });
}

void BM_OpenCV(benchmark::State& state, std::string name) {
    const cv::Mat k3 = cv::getStructuringElement(cv::MORPH_RECT, {3, 3});
    cv::Mat lut(1, 256, CV_8U);
    for (int i = 0; i < 256; ++i) {
        lut.at<uint8_t>(i) = cv::saturate_cast<uint8_t>(i * 1.2);
    }
    const cv::Mat kernel = (cv::Mat_<float>(3, 3) << -1, -1, -1, -1, 8, -1, -1, -1, -1);
    if (name == "MedianFilter3") {
        peer(state, name, [](const cv::Mat& in, cv::Mat& out) { cv::medianBlur(in, out, 3); });
    } else if (name == "MedianFilter5") {
        peer(state, name, [](const cv::Mat& in, cv::Mat& out) { cv::medianBlur(in, out, 5); });
    } else if (name == "MinimumFilter3") {
        peer(state, name, [&](const cv::Mat& in, cv::Mat& out) { cv::erode(in, out, k3); });
    } else if (name == "MaximumFilter3") {
        peer(state, name, [&](const cv::Mat& in, cv::Mat& out) { cv::dilate(in, out, k3); });
    } else if (name == "ApplyBrightness") {
        peer(state, name, [&](const cv::Mat& in, cv::Mat& out) { cv::LUT(in, lut, out); });
    } else if (name == "Negative") {
        peer(state, name, [](const cv::Mat& in, cv::Mat& out) { cv::bitwise_not(in, out); });
    } else if (name == "LaplaceRelief") {
        peer(state, name,
             [&](const cv::Mat& in, cv::Mat& out) { cv::filter2D(in, out, -1, kernel); });
    } else if (name == "Mosaic") {
        peer(state, name, [](const cv::Mat& in, cv::Mat& out) {
            cv::Mat small;
            cv::resize(in, small, {kWidth / 8, kHeight / 8}, 0, 0, cv::INTER_AREA);
            cv::resize(small, out, {kWidth, kHeight}, 0, 0, cv::INTER_NEAREST);
        });
    }
}
const char* kPeered[] = {"MedianFilter3",   "MedianFilter5", "MinimumFilter3", "MaximumFilter3",
                         "ApplyBrightness", "Negative",      "LaplaceRelief",  "Mosaic"};
#endif

void registerAll() {
    benchmark::RegisterBenchmark("memcpy 96 MB", BM_Memcpy)
        ->UseManualTime()
        ->MinTime(0.3)
        ->Unit(benchmark::kMillisecond);
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark(
            (std::string("ApplyFilter ") + std::to_string(c.selector) + " " + c.name).c_str(),
            BM_ApplyFilter, c)
            ->UseManualTime()
            ->MinTime(0.3)
            ->Unit(benchmark::kMillisecond);
    }
#ifdef TAVIMO_BENCH_OPENCV
    for (const char* name : kPeered) {
        benchmark::RegisterBenchmark((std::string("OpenCV ") + name).c_str(), BM_OpenCV,
                                     std::string(name))
            ->UseManualTime()
            ->MinTime(0.3)
            ->Unit(benchmark::kMillisecond);
    }
#endif
}

void printRatios() {
    auto& b = best();
    std::printf("\n%-28s %10s %10s %10s %10s\n", "operation (24 MP, 8 threads)", "ours ms",
                "memcpy x", "peer ms", "ours/peer");
    const double copy = b.count("memcpy") ? b["memcpy"] : 0;
    for (const Case& c : kCases) {
        if (!b.count(c.name)) {
            continue;
        }
        double ours = b[c.name];
        std::string peerName = std::string("OpenCV ") + c.name;
        if (b.count(peerName)) {
            std::printf("%-28s %10.1f %10.1f %10.1f %10.2f\n", c.name, ours * 1e3,
                        copy > 0 ? ours / copy : 0, b[peerName] * 1e3, ours / b[peerName]);
        } else {
            std::printf("%-28s %10.1f %10.1f %10s %10s\n", c.name, ours * 1e3,
                        copy > 0 ? ours / copy : 0, "-", "-");
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    printRatios();
    benchmark::Shutdown();
    return 0;
}
