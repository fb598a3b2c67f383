// Black-and-white clean-up and geometric operations on small fixtures.

#include "filters/filter_ops.h"
#include "tests/filters/filter_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tavimo {
namespace {

using namespace testing;

// A page from rows of '#' (black), '.' (white) and 'g' (grey 128).
TestFrame page(std::vector<std::string> rows) {
    TestFrame t(static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y) {
        for (size_t x = 0; x < rows[y].size(); ++x) {
            char c = rows[y][x];
            t.at(static_cast<int32_t>(x), static_cast<int32_t>(y)) =
                grey(c == '#' ? 0 : (c == 'g' ? 128 : 255));
        }
    }
    return t;
}

std::vector<std::string> text(const TestFrame& t) {
    std::vector<std::string> rows;
    for (int32_t y = 0; y < t.height; ++y) {
        std::string row;
        for (int32_t x = 0; x < t.width; ++x) {
            uint32_t b = t.pixels[static_cast<size_t>(y) * t.width + x] & 0xFF;
            row += b == 0 ? '#' : (b == 255 ? '.' : 'g');
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(Cleanup, SingleDotsGrowShrinkAndVanish) {
    const std::vector<std::string> dot = {".....", ".....", "..#..", ".....", "....."};
    struct Row {
        int32_t sel;
        double P, F;
        std::vector<std::string> out;
    } rows[] = {
        {64, 0, 0, {".....", ".....", ".....", ".....", "....."}},
        {69, 1, 1, {".....", ".....", ".....", ".....", "....."}},
        {69, 2, 1, {".....", ".....", ".....", ".....", "....."}},
        {65, 1, 0, {".....", ".....", ".....", ".....", "....."}},
        {62, 1, 0, {".....", ".###.", ".###.", ".###.", "....."}},
        {62, 2, 0, {".....", "..#..", ".###.", "..#..", "....."}},
        {62, 3, 0, {".....", "..#..", "..#..", "..#..", "....."}},
        {62, 4, 0, dot},
        {62, 0, 0, dot},
    };
    for (const Row& r : rows) {
        TestFrame t = page(dot);
        FilterParams a;
        a.P = r.P;
        a.F = r.F;
        ASSERT_TRUE(runOn(r.sel, t, a));
        EXPECT_EQ(text(t), r.out) << "selector " << r.sel << " P=" << r.P;
    }
}

TEST(Cleanup, ThinRunsLinesGapsAndSpecks) {
    FilterParams columns;
    columns.P = 2;
    columns.F = 1;
    TestFrame line = page({".....", "#####", ".....", "#####"});
    ASSERT_TRUE(runOn(69, line, columns));
    // The line inside the scan area goes; the one in the last row stays.
    EXPECT_EQ(text(line), (std::vector<std::string>{".....", ".....", ".....", "#####"}));
    FilterParams rows = columns;
    rows.P = 1;
    TestFrame kept = page({".....", "#####", "....."});
    ASSERT_TRUE(runOn(69, kept, rows));
    EXPECT_EQ(text(kept), (std::vector<std::string>{".....", "#####", "....."}));

    rows.F = 3;
    TestFrame fromColumn2 = page({".###....."}), fromColumn3 = page({"..###...."});
    ASSERT_TRUE(runOn(69, fromColumn2, rows));
    ASSERT_TRUE(runOn(69, fromColumn3, rows));
    EXPECT_EQ(text(fromColumn2)[0], ".###.....");
    EXPECT_EQ(text(fromColumn3)[0], ".........");

    TestFrame gaps = page({"#.#g#", "....."});
    ASSERT_TRUE(runOn(66, gaps, withP(1)));
    EXPECT_EQ(text(gaps)[0], "###g#"); // a grey pixel is not white, so never filled

    TestFrame specks = page({"......", ".##...", ".##...", "......", "......"});
    TestFrame greyRing = page({"......", ".##...", ".##...", "...g..", "......"});
    ASSERT_TRUE(runOn(70, specks));
    ASSERT_TRUE(runOn(70, greyRing));
    EXPECT_EQ(text(specks)[1], "......");
    EXPECT_EQ(text(greyRing)[1], ".##...");

    TestFrame shrink = page({"....", ".g#.", "...."});
    ASSERT_TRUE(runOn(65, shrink, withP(2)));
    EXPECT_EQ(text(shrink)[1], "....");
}

TEST(Geometric, MosaicBlocksAndWaves) {
    TestFrame row(5, 1, std::vector<uint32_t>{grey(10), grey(20), grey(30), grey(40), grey(50)});
    TestFrame same = row, asThree = row;
    ASSERT_TRUE(runOn(15, row, withP(3)));
    ASSERT_TRUE(runOn(15, same, withP(1)));
    ASSERT_TRUE(runOn(15, asThree, withP(0)));
    EXPECT_EQ(row.pixels,
              (std::vector<uint32_t>{grey(20), grey(20), grey(20), grey(45), grey(45)}));
    EXPECT_EQ(same.pixels,
              (std::vector<uint32_t>{grey(10), grey(20), grey(30), grey(40), grey(50)}));
    EXPECT_EQ(asThree.pixels, row.pixels);

    // Amplitude 3, and a period below 1 taken as 1: offsets round(3 sin x) = 3, 3, 0, -2.
    TestFrame wave(4, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 4; ++x) {
            wave.at(x, y) = grey(static_cast<uint32_t>(y * 10 + x), 1);
        }
    }
    FilterParams a;
    a.F = 3;
    a.G = 0.5;
    TestFrame before = wave;
    ASSERT_TRUE(runOn(37, wave, a));
    EXPECT_EQ(wave.at(0, 0), before.at(0, 3)); // column 1 moved up by 3
    EXPECT_EQ(wave.at(0, 7), before.at(0, 7)); // received nothing
    EXPECT_EQ(wave.at(2, 4), before.at(2, 4));
    EXPECT_EQ(wave.at(3, 2), before.at(3, 0)); // column 4 moved down by 2
    EXPECT_EQ(wave.at(3, 1), before.at(3, 1));

    // Vertical: row 1 shifts left by g = round(sin(1) * 2) = 2, dropping its first two
    // pixels; row 2 (g = 2 as well) lands partly at the end of row 1.
    TestFrame v(4, 2,
                std::vector<uint32_t>{grey(1), grey(2), grey(3), grey(4), grey(5), grey(6), grey(7),
                                      grey(8)});
    FilterParams b;
    b.F = 2;
    b.G = 1;
    ASSERT_TRUE(runOn(38, v, b));
    EXPECT_EQ(v.pixels, (std::vector<uint32_t>{grey(3), grey(4), grey(5), grey(6), grey(7), grey(8),
                                               grey(7), grey(8)}));
}

TEST(Geometric, SqueezeSwirlAndTwirl) {
    // Middle row of a 10-wide rectangle: stretched, so columns 2 and 8 receive nothing.
    TestFrame t(10, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 10; ++x) {
            t.at(x, y) = grey(static_cast<uint32_t>(10 + x));
        }
    }
    TestFrame covered = t;
    ASSERT_TRUE(runOn(56, t));
    std::vector<uint32_t> middle(t.pixels.begin() + 10, t.pixels.begin() + 20);
    // Source columns go to 0, 0, 1, 3, 4, 5, 6, 7, 9, 9; later ones win.
    EXPECT_EQ(middle, (std::vector<uint32_t>{grey(11), grey(12), grey(12), grey(13), grey(14),
                                             grey(15), grey(16), grey(17), grey(18), grey(19)}));
    FilterContext whole;
    whole.coversWholeImage = true;
    ASSERT_TRUE(runOn(56, covered, {}, whole));
    EXPECT_EQ(covered.at(2, 1), grey(255));
    EXPECT_EQ(covered.at(8, 1), grey(255));
    TestFrame flat(5, 1, grey(3));
    EXPECT_FALSE(runOn(56, flat)); // half height 0 divides by zero

    TestFrame swirl(7, 7);
    swirl.pixels = randomPixels(7, 7, 3);
    TestFrame swirlKeep = swirl;
    const uint32_t centre = swirl.at(2, 2); // (cx, cy) = (3, 3), 1-based
    ASSERT_TRUE(runOn(55, swirl, withP(50), whole));
    ASSERT_TRUE(runOn(55, swirlKeep, withP(50)));
    EXPECT_EQ(swirl.at(2, 2), centre);
    int whites = 0, kept = 0;
    for (size_t i = 0; i < swirl.pixels.size(); ++i) {
        whites += (swirl.pixels[i] & 0xFFFFFF) == 0xFFFFFF;
        kept += swirlKeep.pixels[i] == swirlKeep.source[i];
    }
    EXPECT_GT(whites, 0);
    EXPECT_GT(kept, 0);

    TestFrame twirl(6, 4);
    twirl.pixels = randomPixels(6, 4, 4);
    const std::vector<uint32_t> src = twirl.pixels;
    ASSERT_TRUE(runOn(57, twirl, withP(3)));
    EXPECT_EQ(twirl.at(5, 3), src[3 * 6 + 5]); // exactly at the radius: kept
    EXPECT_EQ(twirl.at(2, 1), src[1 * 6 + 2]); // the centre takes itself, alpha included

    EXPECT_EQ(fx::PolarAngle(0, 0), 0.0);
    EXPECT_EQ(fx::PolarAngle(1, 0), std::atan(10000.0));
    EXPECT_EQ(fx::PolarAngle(0, -1), 3.141592657);
}

TEST(Geometric, DiffuseChainsThroughMovedPixelsAndPatternsReplace) {
    TestFrame t(7, 7);
    t.pixels = randomPixels(7, 7, 11);
    const std::vector<uint32_t> src = t.pixels;
    ScriptedUniform zero({0.0f});
    {
        UseUniform use(zero);
        ASSERT_TRUE(runOn(4, t, withP(0)));
    }
    // Every draw 0 moves by (-3, -3) where possible: the top-left 3x3 block tiles the
    // image, because each pixel copies one that has already moved.
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 7; ++x) {
            uint32_t expected = src[static_cast<size_t>(y % 3) * 7 + x % 3];
            EXPECT_EQ(t.at(x, y) & 0xFFFFFF, expected & 0xFFFFFF) << x << "," << y;
            EXPECT_EQ(t.at(x, y) >> 24, src[static_cast<size_t>(y) * 7 + x] >> 24);
        }
    }
    ScriptedUniform half({0.5f});
    UseUniform use(half);
    TestFrame still(5, 5);
    still.pixels = randomPixels(5, 5, 12);
    const std::vector<uint32_t> before = still.pixels;
    ASSERT_TRUE(runOn(4, still, withP(6)));
    EXPECT_EQ(still.pixels, before);

    TestFrame black(4, 4, bgra(0, 0, 0, 9));
    ASSERT_TRUE(runOn(52, black)); // the all-zero pattern replaces black by black
    EXPECT_EQ(black.pixels, std::vector<uint32_t>(16, bgra(0, 0, 0, 9)));
    FilterPattern pattern{};
    for (int k = 9; k < 18; ++k) {
        pattern[k] = bgra(1, 2, 3, 200);
    }
    SetFilterPattern(pattern);
    TestFrame one(3, 4, grey(0, 9));
    one.at(0, 3) = grey(5, 9);
    ASSERT_TRUE(runOn(52, one));
    SetFilterPattern(FilterPattern{});
    EXPECT_EQ(one.at(0, 0), bgra(1, 2, 3, 9)); // replaced, alpha kept
    EXPECT_EQ(one.at(0, 3), grey(5, 9));       // the window over row 4 does not match
}

} // namespace
} // namespace tavimo
