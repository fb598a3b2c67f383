#include "safe/cAutoDeskew.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "core/image_info.h"
#include "core/quennet_status.h"
#include "tests/support/core_fixtures.h"

namespace tavimo {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Ink mask of a page of text-like lines rotated by `degrees` about the page centre
// (positive: the lines go down towards the right). Each line is a row of 5 x 9 "letters"
// two pixels apart, grouped into words, some with a descender; lines are 24 pixels apart.
std::vector<uint8_t> textPage(int w, int h, double degrees, uint32_t seed = 7) {
    std::mt19937 random(seed);
    constexpr int kLinePitch = 24, kTextHeight = 9, kCell = 7, kLetter = 5;
    int lines = (w + h) / kLinePitch + 2;
    int cells = (w + h) / kCell + 2;
    // letters[line][cell]: 0 space, 1 letter, 2 letter with a descender.
    std::vector<std::vector<uint8_t>> letters(static_cast<size_t>(lines));
    for (auto& line : letters) {
        line.assign(static_cast<size_t>(cells), 0);
        for (int c = 0; c < cells;) {
            int word = 2 + static_cast<int>(random() % 7);
            for (int k = 0; k < word && c < cells; ++k, ++c)
                line[static_cast<size_t>(c)] = random() % 7 == 0 ? 2 : 1;
            c += 1 + static_cast<int>(random() % 2);
        }
    }
    double s = std::sin(degrees * kPi / 180), co = std::cos(degrees * kPi / 180);
    double cx = w / 2.0, cy = h / 2.0, half = (w + h) / 2.0;
    std::vector<uint8_t> ink(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double u = (x - cx) * co + (y - cy) * s;
            double v = -(x - cx) * s + (y - cy) * co;
            if (std::fabs(u) > 0.42 * w) // margins
                continue;
            double along = u + half, across = v + half;
            int line = static_cast<int>(std::floor(across / kLinePitch));
            int cell = static_cast<int>(std::floor(along / kCell));
            double t = across - line * kLinePitch, p = along - cell * kCell;
            if (line < 0 || line >= lines || cell < 0 || cell >= cells)
                continue;
            uint8_t kind = letters[static_cast<size_t>(line)][static_cast<size_t>(cell)];
            bool on = kind != 0 && p < kLetter &&
                      (t < kTextHeight || (kind == 2 && t < kTextHeight + 3 && p < 2));
            ink[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = on;
        }
    }
    return ink;
}

// Full-width horizontal lines, 3 pixels thick, every `pitch` rows.
std::vector<uint8_t> horizontalLines(int w, int h, int pitch) {
    std::vector<uint8_t> ink(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    for (int y = 0; y < h; ++y)
        if (y % pitch < 3)
            std::fill_n(ink.begin() + static_cast<ptrdiff_t>(y) * w, w, uint8_t{1});
    return ink;
}

ImageId colourImage(int w, int h, const std::vector<uint8_t>& ink, uint32_t inkArgb,
                    uint32_t paperArgb) {
    std::vector<uint8_t> rows(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    for (size_t i = 0; i < ink.size(); ++i) {
        uint32_t p = ink[i] ? inkArgb : paperArgb;
        for (int b = 0; b < 4; ++b)
            rows[i * 4 + static_cast<size_t>(b)] = static_cast<uint8_t>(p >> (8 * b));
    }
    return testing::registerBitmap(w, h, gp::PixelFormat32bppARGB, rows);
}

// A 1-bit image whose palette entry 0 is the paper and entry 1 the ink.
ImageId bilevelImage(int w, int h, const std::vector<uint8_t>& ink, uint32_t inkArgb,
                     uint32_t paperArgb) {
    size_t stride = static_cast<size_t>((w + 31) / 32 * 4);
    std::vector<uint8_t> rows(stride * static_cast<size_t>(h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (ink[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)])
                rows[static_cast<size_t>(y) * stride + static_cast<size_t>(x / 8)] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
    ImageId id = testing::registerBitmap(w, h, gp::PixelFormat1bppIndexed, rows);
    gp::Palette palette;
    palette.entries = {paperArgb, inkArgb};
    if (id && WriteImagePalette(id, palette) != OK)
        return 0;
    return id;
}

constexpr uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;

class AutoDeskewTest : public testing::CoreSessionTest {};

struct PageCase {
    const char* name;
    double degrees;
    bool bilevel;
    uint32_t ink, paper;
    double maxAngleOfResearch;
    std::optional<double> expected; // nullopt: no angle (SkewAngle 0)
};

TEST_F(AutoDeskewTest, FindsTheTiltOfTextLines) {
    const PageCase cases[] = {
        {"colour +3.0", 3.0, false, kBlack, kWhite, 20, 3.0},
        {"colour -5.0 dark blue on cream", -5.0, false, 0xFF141EA0, 0xFFFFFAC8, 20, -5.0},
        {"colour +11.3", 11.3, false, kBlack, kWhite, 20, 11.3},
        {"colour +1.5", 1.5, false, 0xFF303030, 0xFFF0F0F0, 20, 1.5},
        {"colour -17.9", -17.9, false, kBlack, kWhite, 20, -17.9},
        {"bilevel -7.5", -7.5, true, kBlack, kWhite, 20, -7.5},
        {"bilevel +2.2", 2.2, true, kBlack, kWhite, 20, 2.2},
        // A red byte of 0 is dark on a 1-bit page whatever green and blue hold; on a colour
        // page the same cyan is light.
        {"bilevel cyan ink", 4.0, true, 0xFF00FFFF, kWhite, 20, 4.0},
        {"colour cyan ink", 4.0, false, 0xFF00FFFF, kWhite, 20, std::nullopt},
        {"bilevel red ink", 4.0, true, 0xFFFF0000, kWhite, 20, std::nullopt},
        {"colour red ink", 4.0, false, 0xFFFF0000, kWhite, 20, 4.0},
        // The search range is always 40 degrees; MaxAngleOfResearch shifts it.
        {"+25 with range -10..29.8", 25.0, false, kBlack, kWhite, 10, 25.0},
        {"-4 with range -10..29.8", -4.0, false, kBlack, kWhite, 10, -4.0},
    };
    constexpr int w = 800, h = 800;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto ink = textPage(w, h, c.degrees);
        ImageId id = c.bilevel ? bilevelImage(w, h, ink, c.ink, c.paper)
                               : colourImage(w, h, ink, c.ink, c.paper);
        ASSERT_NE(id, 0);
        cAutoDeskew deskew;
        deskew.MaxAngleOfResearch = c.maxAngleOfResearch;
        EXPECT_EQ(deskew.GetSkewAngle(id), OK);
        if (c.expected)
            EXPECT_NEAR(deskew.SkewAngle, *c.expected, 0.3);
        else
            EXPECT_EQ(deskew.SkewAngle, 0.0);
        ReleaseImage(id);
    }
}

TEST_F(AutoDeskewTest, TiltsOutsideTheRangeAreNotReported) {
    auto ink = textPage(800, 800, 25.0);
    ImageId id = colourImage(800, 800, ink, kBlack, kWhite);
    cAutoDeskew deskew;
    EXPECT_EQ(deskew.GetSkewAngle(id), OK);
    EXPECT_GT(std::fabs(deskew.SkewAngle - 25.0), 1.0);
}

TEST_F(AutoDeskewTest, HorizontalLinesGiveTheAngleOfStepHundred) {
    cAutoDeskew deskew;
    EXPECT_EQ(deskew.MaxAngleOfResearch, 20.0);
    EXPECT_EQ(deskew.SkewAngle, 0.0);
    ImageId id = colourImage(300, 400, horizontalLines(300, 400, 12), kBlack, kWhite);
    deskew.SkewAngle = 99;
    EXPECT_EQ(deskew.GetSkewAngle(id), OK);
    EXPECT_EQ(deskew.SkewAngle, 100 * 0.2 - 20.0);
    EXPECT_NEAR(deskew.SkewAngle, 0.0, 1e-12);
}

TEST_F(AutoDeskewTest, SmallUnknownAndBlankImages) {
    cAutoDeskew deskew;
    ImageId tilted = colourImage(400, 400, textPage(400, 400, 6.0), kBlack, kWhite);
    ASSERT_EQ(deskew.GetSkewAngle(tilted), OK);
    ASSERT_NE(deskew.SkewAngle, 0.0);

    struct SizeCase {
        int w, h;
        int32_t status;
    } sizes[] = {
        {50, 1000, Aborted}, {1000, 50, Aborted}, {50, 50, Aborted}, {51, 51, OK}, {51, 300, OK}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
        deskew.SkewAngle = 5;
        ImageId id =
            colourImage(s.w, s.h, std::vector<uint8_t>(size_t(s.w) * s.h, 0), kBlack, kWhite);
        EXPECT_EQ(deskew.GetSkewAngle(id), s.status);
        EXPECT_EQ(deskew.SkewAngle, 0.0);
    }
    deskew.SkewAngle = 5;
    EXPECT_EQ(deskew.GetSkewAngle(123456789), Aborted);
    EXPECT_EQ(deskew.SkewAngle, 0.0);

    // A blank page has no edge point, so no line and no tilt (not -MaxAngleOfResearch).
    for (bool bilevel : {false, true}) {
        std::vector<uint8_t> none(600u * 500u, 0);
        ImageId blank = bilevel ? bilevelImage(600, 500, none, kBlack, kWhite)
                                : colourImage(600, 500, none, kBlack, kWhite);
        deskew.SkewAngle = 5;
        EXPECT_EQ(deskew.GetSkewAngle(blank), OK);
        EXPECT_EQ(deskew.SkewAngle, 0.0);
    }

    deskew.MaxAngleOfResearch = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(deskew.GetSkewAngle(tilted), GenericError);
    EXPECT_EQ(deskew.SkewAngle, 0.0);
}

TEST(AutoDeskewDecisionTest, MeanOfTenAnglesWhenTheyAgree) {
    auto fiveAndFive = [](double a, double b) {
        return std::array<double, 10>{a, a, a, a, a, b, b, b, b, b};
    };
    struct Case {
        const char* name;
        std::array<double, 10> angles;
        double expected;
    } cases[] = {
        {"spread 0.6 above mean 0.5", fiveAndFive(0.2, 0.8), 0.0},
        {"spread 0.2 below mean 0.5", fiveAndFive(0.4, 0.6), 0.5},
        {"spread 4 with a large mean", fiveAndFive(10.0, 14.0), 0.0},
        {"spread just under 4", fiveAndFive(10.0, 13.8), 11.9},
        {"negative mean", fiveAndFive(-3.0, -3.4), -3.2},
        {"one outlier", {2, 2, 2, 2, 2, 2, 2, 2, 2, -2.2}, 0.0},
        {"all equal", fiveAndFive(-20.0, -20.0), -20.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(AcceptedSkewAngle(c.angles), c.expected, 1e-9);
    }
    EXPECT_EQ(MaxDouble(1, 2), 2);
    EXPECT_EQ(MaxDouble(2, 1), 2);
}

} // namespace
} // namespace tavimo
