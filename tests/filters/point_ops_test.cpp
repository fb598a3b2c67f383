// Point, colour and test operations on small hand-made frames with exact expectations.

#include "filters/filter_ops.h"
#include "tests/filters/filter_fixtures.h"

#include <gtest/gtest.h>

#include <cfenv>

namespace tavimo {
namespace {

using namespace testing;

// Runs a selector on one pixel and returns it.
uint32_t onePixel(int32_t sel, uint32_t px, const FilterParams& params = {}) {
    TestFrame t(1, 1, px);
    EXPECT_TRUE(runOn(sel, t, params));
    return t.pixels[0];
}

TEST(PointOps, BrightnessHoldsItsFactorAsASingleAndRoundsHalvesToEven) {
    struct Row {
        double P;
        uint32_t in, out;
    } rows[] = {{10, 15, 17}, {30, 15, 19},    {-30, 5, 3},   {70, 5, 9},    {50, 1, 2},
                {50, 3, 4},   {100, 200, 255}, {0, 123, 123}, {-100, 200, 0}};
    for (const Row& r : rows) {
        EXPECT_EQ(onePixel(14, grey(r.in, 7), withP(r.P)), grey(r.out, 7)) << "P=" << r.P;
    }
}

TEST(PointOps, RoundingIsHalfEvenWhateverTheCallersRoundingMode) {
    for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        for (int threads : {1, 8}) {
            SetFilterThreadCount(threads);
            TestFrame t(64, 64, grey(3));
            EXPECT_TRUE(runOn(14, t, withP(50))); // 4.5 -> 4
            EXPECT_EQ(t.pixels.back(), grey(4));
        }
        EXPECT_EQ(std::fegetround(), mode);
        std::fesetround(FE_TONEAREST);
    }
    SetFilterThreadCount(0);
}

TEST(PointOps, SaturationContrastAndLevels) {
    EXPECT_EQ(onePixel(30, bgra(9, 10, 11), withP(50)), bgra(8, 10, 12));
    EXPECT_EQ(onePixel(30, bgra(9, 10, 11), withP(-100)), grey(10));
    EXPECT_EQ(onePixel(30, bgra(9, 10, 11), withP(0)), bgra(9, 10, 11));
    // One pixel: the mean is its own grey; the excess of red is handed to the others.
    EXPECT_EQ(onePixel(17, bgra(0, 100, 200), withP(100)), bgra(0, 83, 216));
    EXPECT_EQ(onePixel(17, bgra(10, 10, 250), withP(100)), bgra(7, 7, 255));
    EXPECT_EQ(onePixel(17, bgra(3, 100, 201), withP(0)), bgra(3, 100, 201));

    TestFrame t(3, 1, std::vector<uint32_t>{bgra(50, 7, 1), bgra(75, 7, 2), bgra(100, 7, 3)});
    ASSERT_TRUE(runOn(28, t));
    // Blue stretches 50..100 to 0..255 (75 -> 127.5 -> 128); a flat green uses 0..255.
    EXPECT_EQ(t.pixels,
              (std::vector<uint32_t>{bgra(0, 7, 0), bgra(128, 7, 128), bgra(255, 7, 255)}));
}

TEST(PointOps, ChannelOperationsAndSwaps) {
    const uint32_t p = bgra(3, 2, 1, 9); // red 1, green 2, blue 3
    struct Row {
        int32_t sel;
        double P;
        uint32_t out;
    } rows[] = {
        {16, 1, bgra(1, 3, 2, 9)},
        {16, 2, bgra(2, 1, 3, 9)},
        {16, 3, bgra(3, 1, 2, 9)},
        {16, 4, bgra(1, 2, 3, 9)},
        {16, 5, bgra(2, 3, 1, 9)},
        {16, 0, p},
        {16, 6, p},
        {41, 0, bgra(0, 0, 1, 9)},
        {43, 0, bgra(3, 0, 0, 9)},
        {45, 0, bgra(3, 0, 1, 9)},
        {2, 0, bgra(252, 253, 254, 9)},
        {12, 0, grey(2, 9)},
        {47, 1.5, bgra(3, 2, 2, 9)},
        {49, 100, bgra(255, 2, 1, 9)},
        {35, 300, bgra(3, 2, 1, 255)},
        {35, -10, bgra(3, 2, 1, 0)},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(onePixel(r.sel, p, withP(r.P)), r.out) << "selector " << r.sel << " P=" << r.P;
    }
    FilterParams rgb;
    rgb.F = 300;
    rgb.G = -5;
    rgb.X = 10;
    EXPECT_EQ(onePixel(39, p, rgb), bgra(13, 0, 255, 9));
}

TEST(PointOps, EqualizeMapsTheCumulativeBrightness) {
    TestFrame t(4, 1, std::vector<uint32_t>{grey(0, 1), grey(0, 2), grey(100, 3), grey(200, 4)});
    ASSERT_TRUE(runOn(58, t));
    // Cumulative shares 2/4, 3/4, 4/4 of 255: 127.5 (to even 128), 191.25, 255.
    EXPECT_EQ(t.pixels,
              (std::vector<uint32_t>{grey(128, 1), grey(128, 2), grey(191, 3), grey(255, 4)}));
}

TEST(PointOps, ThresholdColourMatchesAndWarmShift) {
    // Thresholds blue 0x30, green 0x20, red 0x10: black only when all three are below.
    EXPECT_EQ(onePixel(18, bgra(0x2F, 0x1F, 0x0F, 5), withP(0x102030)), bgra(0, 0, 0, 5));
    EXPECT_EQ(onePixel(18, bgra(0x2F, 0x20, 0x0F, 5), withP(0x102030)), grey(255, 5));
    EXPECT_EQ(onePixel(18, bgra(0, 0, 0), withP(-1)), grey(255));

    FilterParams exact;
    exact.F = static_cast<int32_t>(0xFF804020u); // colour red 0x80, green 0x40, blue 0x20
    exact.P = 100;
    EXPECT_EQ(onePixel(50, bgra(0x20, 0x40, 0x80, 200), exact), bgra(0x20, 0x40, 0x80, 0));
    EXPECT_EQ(onePixel(50, bgra(0x21, 0x40, 0x80, 200), exact), bgra(0x21, 0x40, 0x80, 200));
    exact.P = 0;
    EXPECT_EQ(onePixel(50, bgra(255, 0, 0, 200), exact), bgra(255, 0, 0, 0));
    exact.P = 101;
    EXPECT_EQ(onePixel(50, bgra(0x20, 0x40, 0x80, 200), exact), bgra(0x20, 0x40, 0x80, 200));

    FilterParams replace;
    replace.F = static_cast<int32_t>(bgra(1, 2, 3, 4));
    replace.G = static_cast<int32_t>(bgra(9, 9, 9, 9));
    replace.P = 100;
    EXPECT_EQ(onePixel(51, bgra(1, 2, 3, 4), replace), bgra(9, 9, 9, 9));
    EXPECT_EQ(onePixel(51, bgra(1, 2, 3, 5), replace), bgra(1, 2, 3, 5)); // alpha counts

    EXPECT_EQ(onePixel(54, grey(100)), bgra(67, 100, 200));
    EXPECT_EQ(onePixel(54, grey(200)), bgra(133, 200, 255));
    EXPECT_EQ(onePixel(54, bgra(0, 0, 255)), bgra(0, 0, 255));
    // Red eye: red 200 against a luminance of 77 becomes the mean of blue and green.
    EXPECT_EQ(onePixel(40, bgra(20, 30, 200, 8)), grey(25, 8));
}

TEST(PointOps, NoiseDrawsRedGreenBlueInOrder) {
    ScriptedUniform half({0.5f});
    {
        UseUniform use(half);
        EXPECT_EQ(onePixel(29, bgra(10, 11, 255), withP(5)), bgra(10, 12, 255));
    }
    ScriptedUniform ordered({0.0f, 0.5f, 0.999f});
    UseUniform use(ordered);
    // Span 21: red gets -10, green +0.5 (to even), blue about +11.
    EXPECT_EQ(onePixel(29, bgra(100, 101, 100, 3), withP(10)), bgra(111, 102, 90, 3));
}

TEST(PointOps, ColorizeThroughHsl) {
    uint32_t r = 0, g = 0, b = 0;
    fx::HSLToRGB(0.0f, 1.0f, 0.5f, r, g, b);
    EXPECT_EQ((std::vector<uint32_t>{r, g, b}), (std::vector<uint32_t>{255, 0, 0}));
    fx::HSLToRGB(4.0f, 0.0f, 0.2f, r, g, b);
    EXPECT_EQ((std::vector<uint32_t>{r, g, b}), (std::vector<uint32_t>{51, 51, 51}));

    FilterParams colour;
    colour.c = 0;
    colour.d = 1;
    colour.e = 0.5f; // white has lightness 1, scaled to 0.5: pure hue
    TestFrame t(1, 1, grey(255, 4));
    ASSERT_TRUE(runOn(34, t, colour));
    EXPECT_EQ(t.pixels[0], bgra(0, 0, 255, 4));
    colour.e = 2; // lightness above 1 cannot be stored
    TestFrame bright(1, 1, grey(255));
    EXPECT_FALSE(runOn(34, bright, colour));
}

TEST(PointOps, FailuresOfByteConversions) {
    auto sample = [] { return TestFrame(2, 1, std::vector<uint32_t>{grey(0), grey(128)}); };
    struct Row {
        int32_t sel;
        double P;
        bool ok;
    } rows[] = {
        {31, -50, false},  // 0 to a negative power
        {47, -1, false},   // a negative product
        {14, 1e10, false}, // P does not fit 32 bits
        {12, 1e300, true}, // Grayscale does not read P
        {31, 100, true},
    };
    for (const Row& r : rows) {
        TestFrame t = sample();
        EXPECT_EQ(runOn(r.sel, t, withP(r.P)), r.ok) << "selector " << r.sel;
    }
    TestFrame zeros(2, 1, grey(0));
    EXPECT_TRUE(runOn(47, zeros, withP(-1))); // -0 is still 0
    TestFrame identity = sample();
    ASSERT_TRUE(runOn(31, identity, withP(100)));
    EXPECT_EQ(identity.pixels, sample().pixels);
}

TEST(PointOps, TestsCountsAndAverages) {
    FilterOutcome o;
    TestFrame white(4, 4, grey(255));
    FilterParams confidence;
    confidence.F = 99.9;
    ASSERT_TRUE(runOn(53, white, confidence, {}, &o));
    EXPECT_TRUE(o.test);
    ASSERT_TRUE(runOn(36, white, {}, {}, &o));
    EXPECT_TRUE(o.test);
    ASSERT_TRUE(runOn(59, white, {}, {}, &o));
    EXPECT_TRUE(o.test);

    // One pixel of 1000 dark: a light share of 99.9, which does not exceed 99.9.
    TestFrame page(1000, 1, grey(255));
    page.pixels[10] = grey(100);
    ASSERT_TRUE(runOn(53, page, confidence, {}, &o));
    EXPECT_FALSE(o.test);
    // On a 1 bpp image only blue 0 counts as dark.
    FilterContext packed;
    packed.packedOneBit = true;
    ASSERT_TRUE(runOn(53, page, confidence, packed, &o));
    EXPECT_TRUE(o.test);

    TestFrame mixed(2, 1, std::vector<uint32_t>{grey(0), bgra(1, 1, 2)});
    ASSERT_TRUE(runOn(36, mixed, {}, {}, &o));
    EXPECT_FALSE(o.test);
    ASSERT_TRUE(runOn(59, mixed, {}, {}, &o));
    EXPECT_FALSE(o.test);

    TestFrame one(1, 1, bgra(10, 20, 30, 255));
    ASSERT_TRUE(runOn(68, one, {}, {}, &o));
    EXPECT_TRUE(o.hasValue);
    EXPECT_EQ(o.value, static_cast<double>(static_cast<int32_t>(0xFF1E140Au)));

    TestFrame clear(3, 1,
                    std::vector<uint32_t>{bgra(1, 2, 3, 0), bgra(1, 2, 3, 1), bgra(0, 0, 0, 0)});
    ASSERT_TRUE(runOn(67, clear, {}, {}, &o));
    EXPECT_EQ(o.value, 2.0);
    EXPECT_EQ(clear.pixels, (std::vector<uint32_t>{0x000000FFu, bgra(1, 2, 3, 1), 0x000000FFu}));

    FilterParams colour;
    colour.F = static_cast<int32_t>(bgra(1, 2, 3, 1));
    ASSERT_TRUE(runOn(60, clear, colour, {}, &o));
    EXPECT_EQ(o.value, 1.0);
}

} // namespace
} // namespace tavimo
