// Neighbourhood, rank and dither operations on small fixtures with exact expectations.

#include "tests/filters/filter_fixtures.h"

#include <gtest/gtest.h>

namespace tavimo {
namespace {

using namespace testing;

// The blue bytes of a frame, row by row.
std::vector<uint32_t> blues(const TestFrame& t) {
    std::vector<uint32_t> out;
    for (uint32_t p : t.pixels) {
        out.push_back(p & 0xFF);
    }
    return out;
}

TEST(Neighbourhood, InPlaceBlurReadsRewrittenNeighbours) {
    TestFrame t(5, 5, grey(0));
    t.at(2, 2) = grey(255);
    ASSERT_TRUE(runOn(3, t));
    // A copy-based blur would give 31 all round a centre of 0.
    EXPECT_EQ(blues(t), (std::vector<uint32_t>{0, 0,  0,  0,  0, //
                                               0, 31, 35, 36, 0, //
                                               0, 40, 17, 11, 0, //
                                               0, 7,  9,  4,  0, //
                                               0, 0,  0,  0,  0}));
    for (uint32_t p : t.pixels) {
        EXPECT_EQ(p >> 8, (p & 0xFF) * 0x10101u / 0x100u + 0xFF0000u) << "channels and alpha";
    }
}

TEST(Neighbourhood, UniformImagesAndDiagonalRelief) {
    for (int32_t sel : {1, 3, 5, 6, 33}) {
        TestFrame t(4, 4, grey(77, 5));
        ASSERT_TRUE(runOn(sel, t, withP(sel == 33 ? 20 : 3)));
        EXPECT_EQ(t.pixels, std::vector<uint32_t>(16, grey(77, 5))) << "selector " << sel;
    }
    TestFrame black(3, 3, grey(0)), white(3, 3, grey(255));
    ASSERT_TRUE(runOn(13, black));
    ASSERT_TRUE(runOn(13, white));
    EXPECT_EQ(black.at(1, 1), grey(50));
    EXPECT_EQ(white.at(1, 1), grey(177));

    TestFrame dot(7, 7, grey(0));
    dot.at(3, 3) = grey(255);
    ASSERT_TRUE(runOn(13, dot));
    auto v = [&](int x, int y) { return dot.at(x, y) & 0xFF; };
    EXPECT_EQ(v(3, 3), 177u);
    EXPECT_EQ(v(4, 3), 177u);
    EXPECT_EQ(v(3, 4), 177u);
    EXPECT_EQ(v(4, 4), 255u);
    EXPECT_EQ(v(2, 3), 0u);
    EXPECT_EQ(v(3, 2), 0u);
    EXPECT_EQ(v(2, 2), 0u);
    EXPECT_EQ(v(4, 2), 50u);
    EXPECT_EQ(v(2, 4), 50u);
    EXPECT_EQ(v(0, 0), 0u); // the frame keeps its value
}

TEST(Neighbourhood, RowShadingEmbossChannelsAndWeightedCross) {
    TestFrame rows(
        2, 3,
        std::vector<uint32_t>{grey(100), grey(213), grey(100), grey(212), grey(100), grey(9)});
    ASSERT_TRUE(runOn(32, rows));
    EXPECT_EQ(blues(rows), (std::vector<uint32_t>{120, 255, 80, 170, 100, 9}));

    // Diagonal emboss: red from the blue difference, green and blue from the green one.
    TestFrame emboss(2, 2, std::vector<uint32_t>{bgra(50, 40, 200), 0, 0, bgra(10, 70, 0)});
    ASSERT_TRUE(runOn(8, emboss, withP(0)));
    EXPECT_EQ(emboss.at(0, 0), bgra(30, 30, 40));
    TestFrame relief(2, 2, std::vector<uint32_t>{grey(50), 0, 0, grey(80)});
    ASSERT_TRUE(runOn(10, relief, withP(0)));
    EXPECT_EQ(relief.at(0, 0), grey(30));

    TestFrame cross(
        3, 3, std::vector<uint32_t>{0, grey(10), 0, grey(20), grey(200), grey(30), 0, grey(41), 0});
    ASSERT_TRUE(runOn(33, cross, withP(101))); // pixel weight 0: (N + S + W + E) \ 4
    EXPECT_EQ(cross.at(1, 1), grey(25));
}

TEST(Neighbourhood, LaplaceAndEmbossesWithTheirBiasesAndChannelSwap) {
    TestFrame flat(3, 3, grey(90, 6)), biased(3, 3, grey(90, 6));
    ASSERT_TRUE(runOn(7, flat, withP(0)));
    ASSERT_TRUE(runOn(7, biased, withP(0x102030)));
    EXPECT_EQ(flat.at(1, 1), grey(0, 6));
    EXPECT_EQ(biased.at(1, 1), bgra(0x30, 0x20, 0x10, 6)); // blue c0, green c1, red c2
    EXPECT_EQ(biased.at(0, 0), grey(90, 6));

    // A left column of (blue 10, green 20, red 30): the blue difference lands in red.
    auto edge = [] {
        TestFrame t(3, 3, bgra(0, 0, 0, 6));
        for (int y = 0; y < 3; ++y) {
            t.at(0, y) = bgra(10, 20, 30, 6);
        }
        return t;
    };
    TestFrame leftRight = edge(), rightLeft = edge();
    ASSERT_TRUE(runOn(9, leftRight, withP(0)));
    ASSERT_TRUE(runOn(11, rightLeft, withP(0x646464)));
    EXPECT_EQ(leftRight.at(1, 1), bgra(90, 60, 30, 6));
    EXPECT_EQ(rightLeft.at(1, 1), bgra(10, 40, 70, 6));
}

TEST(Neighbourhood, ZeroDivisorsAndUnstorableResultsFail) {
    auto sample = [] {
        TestFrame t(3, 3, grey(0));
        t.at(1, 1) = grey(250); // under P = 200: 250 * 99 \ 95 = 260
        return t;
    };
    for (auto [sel, P] : {std::pair{1, -8.0}, {6, -1.0}, {33, 105.0}, {33, 200.0}}) {
        TestFrame t = sample();
        EXPECT_FALSE(runOn(sel, t, withP(P))) << "selector " << sel << " P=" << P;
    }
    // Too small for an interior: nothing is computed, so nothing fails.
    TestFrame thin(2, 5, grey(9));
    EXPECT_TRUE(runOn(1, thin, withP(-8)));
}

TEST(RankFilters, BrightDotFramesAndUniformImages) {
    auto dot = [] {
        TestFrame t(7, 7, grey(10, 99));
        t.at(3, 3) = grey(250, 99);
        return t;
    };
    for (int32_t sel : {61, 63, 26}) {
        TestFrame t = dot();
        ASSERT_TRUE(runOn(sel, t));
        EXPECT_EQ(t.pixels, std::vector<uint32_t>(49, grey(10, 99))) << "selector " << sel;
    }
    TestFrame grown = dot();
    ASSERT_TRUE(runOn(25, grown));
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 7; ++x) {
            bool inside = x >= 2 && x <= 4 && y >= 2 && y <= 4;
            EXPECT_EQ(grown.at(x, y), grey(inside ? 250 : 10, 99)) << x << "," << y;
        }
    }
    // The frame keeps its colours; the interior of a flat area has no edge.
    TestFrame edge(5, 5, bgra(40, 50, 60, 7));
    ASSERT_TRUE(runOn(27, edge));
    EXPECT_EQ(edge.at(0, 0), bgra(40, 50, 60, 7));
    EXPECT_EQ(edge.at(2, 2), bgra(0, 0, 0, 7));
    EXPECT_EQ(edge.at(1, 3), bgra(0, 0, 0, 7));
    // Windows larger than the frame write nothing.
    TestFrame small(4, 9, std::vector<uint32_t>(36, 0));
    small.pixels = randomPixels(4, 9, 5);
    std::vector<uint32_t> before = small.pixels;
    ASSERT_TRUE(runOn(63, small));
    ASSERT_TRUE(runOn(24, small));
    EXPECT_EQ(small.pixels, before);
}

TEST(RankFilters, EdgePreservingSmoothTruncatesAndPrefersLowerSubWindows) {
    // Blue: sub-window 1 (upper left) holds eight 0 and one 17 at its corner, mean 1;
    // the other three sub-windows are rougher. Red: flat except the lower right, so the
    // tie of the three flat sub-windows goes to sub-window 1, and the channels choose
    // independently.
    TestFrame t(5, 5, bgra(0, 0, 90));
    t.at(0, 0) = bgra(17, 0, 90);
    for (int x = 3; x < 5; ++x) {
        for (int y = 0; y < 5; ++y) {
            t.at(x, y) = bgra(static_cast<uint32_t>(200 + x * 10 + y), 0, 90);
        }
    }
    for (int x = 0; x < 5; ++x) {
        for (int y = 3; y < 5; ++y) {
            t.at(x, y) = bgra(static_cast<uint32_t>(100 + x + y * 7), 0, 0);
        }
    }
    ASSERT_TRUE(runOn(24, t));
    EXPECT_EQ(t.at(2, 2), bgra(1, 0, 90));
}

TEST(Dither, OrderedPatternCountsAndAnchor) {
    auto whites = [](uint32_t v) {
        TestFrame t(4, 4, grey(v));
        EXPECT_TRUE(runOn(19, t));
        std::vector<int> at;
        for (int i = 0; i < 16; ++i) {
            if ((t.pixels[i] & 0xFF) == 255) {
                at.push_back(i);
            }
        }
        return at;
    };
    // Mid grey: level 9, white where the pattern holds 1 to 9.
    EXPECT_EQ(whites(128), (std::vector<int>{0, 2, 4, 5, 7, 8, 10, 13, 15}));
    EXPECT_EQ(whites(15), (std::vector<int>{0}));     // sum 45: level 1
    EXPECT_EQ(whites(16), (std::vector<int>{0, 10})); // sum 48: level 2
    EXPECT_EQ(whites(240).size(), 16u);

    TestFrame burkesWhite(6, 3, grey(255)), burkesBlack(6, 3, grey(0)), mid(6, 3, grey(128, 3));
    ASSERT_TRUE(runOn(20, burkesWhite, withP(10)));
    ASSERT_TRUE(runOn(20, burkesBlack, withP(10)));
    ASSERT_TRUE(runOn(20, mid, withP(10)));
    EXPECT_EQ(burkesWhite.pixels, std::vector<uint32_t>(18, grey(255)));
    EXPECT_EQ(burkesBlack.pixels, std::vector<uint32_t>(18, grey(0)));
    EXPECT_EQ(mid.pixels[0], grey(255, 3));
    EXPECT_EQ(mid.pixels[1], grey(0, 3));
    TestFrame zero(2, 2, grey(9));
    EXPECT_FALSE(runOn(20, zero, withP(0)));
}

} // namespace
} // namespace tavimo
