// The engine's operations against the plain scalar references: bit-identical pixels,
// outcomes and failures, for many widths, heights and thread counts.

#include "filters/filter_engine.h"
#include "filters/filters.h"
#include "tests/filters/filter_fixtures.h"
#include "tests/filters/reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tavimo {
namespace {

using testing::randomPixels;
using testing::ScriptedUniform;
using testing::UseUniform;

struct Case {
    FilterParams params;
    FilterContext context;
};

FilterParams P(double p) {
    FilterParams a;
    a.P = p;
    return a;
}
FilterParams PF(double p, double f, double g = 0, double x = 0) {
    FilterParams a;
    a.P = p;
    a.F = f;
    a.G = g;
    a.X = x;
    return a;
}
FilterParams CDE(float c, float d, float e) {
    FilterParams a;
    a.c = c;
    a.d = d;
    a.e = e;
    return a;
}

std::vector<FilterParams> paramsFor(int32_t sel) {
    switch (sel) {
    case 1:
        return {P(0), P(5), P(-8), P(-7), P(3e7), P(-3e9)};
    case 6:
        return {P(0), P(3), P(-1), P(-2), P(2e7)};
    case 33:
        return {P(0), P(50), P(100), P(101), P(102), P(105), P(200), P(3e9), P(-2e7), P(9e6)};
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
        return {P(0), P(0x102030), P(-5000), P(255), P(70000)};
    case 14:
        return {P(0), P(10), P(-30), P(70), P(50), P(100), P(-100), P(2147483600.0)};
    case 15:
        return {P(0), P(1), P(2), P(3), P(7), P(1000)};
    case 16:
        return {P(0), P(1), P(2), P(3), P(4), P(5), P(6)};
    case 17:
        return {P(0), P(50), P(100), P(-50), P(1000), P(-300)};
    case 18:
        return {P(0x808080), P(-1), P(0x102030)};
    case 20:
        return {P(10), P(0), P(3), P(-7), P(100)};
    case 4:
        return {P(0), P(1), P(3), P(6), P(20)};
    case 29:
        return {P(0), P(5), P(100), P(2e9)};
    case 30:
        return {P(50), P(-100), P(0), P(250)};
    case 31:
        return {P(0), P(100), P(250), P(40), P(-50)};
    case 34:
        return {CDE(0, 1, 1),    CDE(2.5f, 0.5f, 1), CDE(4.5f, 0.3f, 0.8f), CDE(-0.5f, 1, 1),
                CDE(0, 0, 0.5f), CDE(1, 1, 2),       CDE(1.5f, 0.7f, 0.6f), CDE(3.5f, 0.2f, 0.9f)};
    case 35:
        return {P(10), P(-300), P(2147483647.0)};
    case 37:
    case 38:
        return {PF(0, 3, 2 / 3.141592657), PF(0, 0.5, 0), PF(0, 5, 1.7), PF(0, 40, 3),
                PF(0, 1e10, 1)};
    case 39:
        return {PF(0, 10, -20, 300), PF(0, 2147483647.0, 0, 0), PF(0, -5, 5, 0)};
    case 47:
    case 48:
    case 49:
        return {P(0.5), P(1.7), P(1e9), P(-1), P(0)};
    case 50:
        return {PF(100, 0x00FF8040), PF(0, 0x00FF8040), PF(101, 1), PF(90.5, 0x00808080)};
    case 51:
        return {PF(100, -16711681, 0x11223344), PF(80, 0x7F808080, -1), PF(0, 0, 5),
                PF(97.3, 0x40404040, 0x01020304)};
    case 53:
        return {PF(0, 99.9), PF(0, 50), PF(0, 0)};
    case 55:
    case 57:
        return {P(0), P(1), P(5), P(100), P(250)};
    case 60:
        return {PF(0, 0x00000000), PF(0, -1)};
    case 62:
    case 65:
    case 66:
        return {P(0), P(1), P(2), P(3), P(4)};
    case 69:
        return {PF(1, 1), PF(1, 2), PF(1, 3), PF(2, 1), PF(2, 2), PF(2, 3), PF(3, 1)};
    default:
        return {FilterParams{}};
    }
}

// Pixels fitting the selector: two-level pages for the clean-up, a few values for the
// colour matches, full random bytes otherwise.
std::vector<uint32_t> pixelsFor(int32_t sel, int32_t w, int32_t h, uint32_t seed) {
    switch (sel) {
    case 62:
    case 64:
    case 65:
    case 66:
    case 69:
    case 70:
        return randomPixels(w, h, seed, {0, 0, 255, 255, 255, 128}, true);
    case 36:
    case 59:
    case 52:
        return randomPixels(w, h, seed, {0, 255}, seed % 2 == 0);
    case 50:
    case 51:
    case 60:
    case 67:
        return randomPixels(w, h, seed, {0, 0x40, 0x80, 0xFF});
    case 61:
    case 63:
    case 24:
        // Few distinct values make many ties, which catch wrong ranks and sub-windows.
        return seed % 2 ? randomPixels(w, h, seed, {0, 1, 2, 200}) : randomPixels(w, h, seed);
    default:
        return randomPixels(w, h, seed);
    }
}

struct Result {
    bool ok = false;
    std::vector<uint32_t> pixels;
    FilterOutcome outcome;
};

template <class Run>
Result runWith(Run run, int32_t sel, const std::vector<uint32_t>& input, int32_t w, int32_t h,
               const FilterParams& params, const FilterContext& context) {
    ScriptedUniform uniform({}, 7);
    UseUniform use(uniform);
    Result r;
    r.pixels = input;
    std::vector<uint32_t> source = input;
    PixelFrame f{r.pixels.data(), source.data(), w, h};
    try {
        r.outcome = run(sel, f, params, context);
        r.ok = true;
    } catch (const FilterFault&) {
        r.ok = false;
    }
    return r;
}

std::string describe(int32_t sel, int32_t w, int32_t h, int threads, const FilterParams& a,
                     const FilterContext& c) {
    return "selector " + std::to_string(sel) + " " + std::to_string(w) + "x" + std::to_string(h) +
           " threads " + std::to_string(threads) + " P=" + std::to_string(a.P) +
           " F=" + std::to_string(a.F) + " G=" + std::to_string(a.G) +
           " covers=" + std::to_string(c.coversWholeImage) +
           " packed=" + std::to_string(c.packedOneBit);
}

class Differential : public ::testing::TestWithParam<int32_t> {
protected:
    void TearDown() override {
        SetFilterThreadCount(0);
        SetFilterPattern(FilterPattern{});
    }
};

TEST_P(Differential, MatchesScalarReferenceForAnyWidthAndThreadCount) {
    const int32_t sel = GetParam();
    const std::pair<int32_t, int32_t> shapes[] = {{1, 1},  {1, 6},   {6, 1},    {2, 3},
                                                  {3, 3},  {7, 5},   {5, 7},    {9, 9},
                                                  {64, 9}, {13, 64}, {1001, 7}, {3, 1001}};
    if (sel == 52) {
        // A pattern that occurs: black and white 3x3 blocks, replaced by colours.
        FilterPattern pat{};
        for (int k = 0; k < 9; ++k) {
            pat[k] = (k % 2) ? 0xFFFFFFFFu : 0xFF000000u;
            pat[9 + k] = 0x00102030u * (k + 1);
        }
        SetFilterPattern(pat);
    }
    uint32_t seed = 1000 + static_cast<uint32_t>(sel);
    for (auto [w, h] : shapes) {
        for (const FilterParams& params : paramsFor(sel)) {
            for (int variant = 0; variant < 2; ++variant) {
                FilterContext context;
                context.coversWholeImage = variant == 0;
                context.packedOneBit = variant == 1;
                std::vector<uint32_t> input = pixelsFor(sel, w, h, ++seed);
                Result expected =
                    runWith(ref::runFilterOperation, sel, input, w, h, params, context);
                for (int run = 0; run < 4; ++run) {
                    // Thread counts 1, 2 and 8 on the fastest variants, and 2 threads on
                    // the generic ones.
                    const int threads = run == 3 ? 2 : (run == 0 ? 1 : (run == 1 ? 2 : 8));
                    SetFilterThreadCount(threads);
                    fx::forceGenericPath(run == 3);
                    Result actual = runWith(runFilterOperation, sel, input, w, h, params, context);
                    fx::forceGenericPath(false);
                    SCOPED_TRACE(describe(sel, w, h, threads, params, context) +
                                 (run == 3 ? " generic" : ""));
                    ASSERT_EQ(expected.ok, actual.ok);
                    if (!expected.ok) {
                        continue;
                    }
                    ASSERT_EQ(expected.outcome.test, actual.outcome.test);
                    ASSERT_EQ(expected.outcome.hasValue, actual.outcome.hasValue);
                    ASSERT_EQ(expected.outcome.value, actual.outcome.value);
                    for (size_t i = 0; i < input.size(); ++i) {
                        ASSERT_EQ(expected.pixels[i], actual.pixels[i])
                            << "pixel " << i % w << "," << i / w;
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllSelectors, Differential, ::testing::Range(0, 72),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                             return "Selector" + std::to_string(info.param);
                         });

TEST(DifferentialLarge, InPlaceAndRankFiltersOnAWideImage) {
    // Large enough that the wavefront and the row ranges really split the work.
    const int32_t w = 1999, h = 61;
    for (int32_t sel : {1, 3, 5, 6, 33, 61, 63, 24, 25, 27, 13, 8, 10, 20, 58, 17}) {
        std::vector<uint32_t> input = randomPixels(w, h, 99 + sel);
        FilterParams params = P(sel == 33 ? 60 : 4);
        Result expected = runWith(ref::runFilterOperation, sel, input, w, h, params, {});
        for (int threads : {2, 8}) {
            SetFilterThreadCount(threads);
            fx::forceGenericPath(threads == 2);
            Result actual = runWith(runFilterOperation, sel, input, w, h, params, {});
            fx::forceGenericPath(false);
            ASSERT_EQ(expected.ok, actual.ok) << sel;
            ASSERT_EQ(expected.pixels, actual.pixels)
                << "selector " << sel << " threads " << threads;
        }
    }
    SetFilterThreadCount(0);
}

} // namespace
} // namespace tavimo
