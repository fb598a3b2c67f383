// ApplyFilter end to end on a fake image table: the pixel transfer for every pixel format,
// palette mode, results of the tests and counts, and the failure statuses.

#include "filters/filters.h"
#include "tests/filters/filter_fixtures.h"
#include "tests/support/filters_fake_images.h"

#include <gtest/gtest.h>

#include <random>

namespace tavimo {
namespace {

using testing::FakeFilterImages;
using testing::grey;

std::vector<gp::ARGB> greyRamp(int n, bool inverted = false) {
    std::vector<gp::ARGB> p;
    for (int i = 0; i < n; ++i) {
        uint32_t v = static_cast<uint32_t>(i * 255 / (n - 1));
        p.push_back(grey(inverted ? 255 - v : v));
    }
    return p;
}

std::vector<gp::ARGB> colours(int n) {
    std::vector<gp::ARGB> p;
    for (int i = 0; i < n; ++i) {
        p.push_back(testing::bgra(static_cast<uint32_t>(i * 7 % 256),
                                  static_cast<uint32_t>(i * 31 % 256),
                                  static_cast<uint32_t>(255 - i), 255));
    }
    return p;
}

class ApplyFilterTest : public ::testing::Test {
protected:
    // Fills an image with random content: indices below the palette size, or opaque colours.
    void randomise(ImageId id, uint32_t seed) {
        std::mt19937 rng(seed);
        auto& img = images.image(id);
        for (int32_t y = 0; y < img.height; ++y) {
            for (int32_t x = 0; x < img.width; ++x) {
                if (gp::isIndexed(img.format)) {
                    images.setIndex(id, x, y, rng() % img.palette.entries.size());
                } else {
                    images.setArgb(id, x, y, 0xFF000000u | (rng() & 0xFFFFFF));
                }
            }
        }
        img.modified = false;
    }
    gp::Status apply(int32_t sel, ImageId id, FilterRect rect, double P = 0, double F = 0,
                     float e = 1.0f) {
        return ApplyFilter(images, sel, id, P, rect, 0.0f, 0.5f, e, F, 0, 0, result);
    }
    FilterRect whole(ImageId id) {
        auto& img = images.image(id);
        return FilterRect{0, 0, img.width, img.height};
    }

    FakeFilterImages images;
    double result = -7.0;
};

TEST_F(ApplyFilterTest, NoOperationRoundTripsEveryFormatAndMarksTheImage) {
    struct Row {
        gp::PixelFormat format;
        std::vector<gp::ARGB> palette;
        const char* name;
    } rows[] = {
        {gp::PixelFormat1bppIndexed, {grey(0), grey(255)}, "1 bpp black-white"},
        {gp::PixelFormat1bppIndexed, {grey(255), grey(0)}, "1 bpp white-black"},
        {gp::PixelFormat1bppIndexed, {0xFFFF0000u, 0xFF0000FFu}, "1 bpp red-blue"},
        {gp::PixelFormat4bppIndexed, colours(16), "4 bpp"},
        {gp::PixelFormat8bppIndexed, greyRamp(256), "8 bpp grey ramp"},
        {gp::PixelFormat8bppIndexed, greyRamp(16), "8 bpp 16 greys"},
        {gp::PixelFormat8bppIndexed, greyRamp(256, true), "8 bpp inverted ramp"},
        {gp::PixelFormat8bppIndexed, colours(200), "8 bpp colours"},
        {gp::PixelFormat24bppRGB, {}, "24 bpp"},
        {gp::PixelFormat32bppRGB, {}, "32 bpp RGB"},
        {gp::PixelFormat32bppARGB, {}, "32 bpp ARGB"},
        {gp::PixelFormat32bppPARGB, {}, "32 bpp PARGB"},
        {gp::PixelFormat16bppRGB565, {}, "16 bpp 565"},
    };
    for (int version : {6, 5}) {
        images.setVersion(version);
        for (const Row& r : rows) {
            for (int32_t sel : {21, 0, 71}) {
                ImageId id = images.add(13, 5, r.format, r.palette);
                randomise(id, static_cast<uint32_t>(sel + version));
                const auto before = images.image(id).data;
                ASSERT_EQ(apply(sel, id, whole(id)), gp::Ok) << r.name;
                if (!(version < 6 && r.format == gp::PixelFormat4bppIndexed)) {
                    EXPECT_EQ(images.image(id).data, before) << r.name << " version " << version;
                }
                EXPECT_TRUE(images.image(id).modified) << r.name;
            }
        }
    }
}

TEST_F(ApplyFilterTest, SubRectanglesLeaveEverythingOutsideAlone) {
    for (gp::PixelFormat format :
         {gp::PixelFormat32bppARGB, gp::PixelFormat1bppIndexed, gp::PixelFormat24bppRGB}) {
        for (int32_t sel : {2, 12}) {
            std::vector<gp::ARGB> pal;
            if (format == gp::PixelFormat1bppIndexed) {
                pal = {grey(0), grey(255)};
            }
            ImageId id = images.add(21, 6, format, pal);
            randomise(id, 5);
            ImageId copy = images.add(21, 6, format, pal);
            images.image(copy).data = images.image(id).data;
            const FilterRect rect{3, 1, 9, 3};
            ASSERT_EQ(apply(sel, id, rect), gp::Ok);
            for (int32_t y = 0; y < 6; ++y) {
                for (int32_t x = 0; x < 21; ++x) {
                    bool inside = x >= 3 && x < 12 && y >= 1 && y < 4;
                    uint32_t now = images.argb(id, x, y), was = images.argb(copy, x, y);
                    if (!inside) {
                        ASSERT_EQ(now, was) << x << "," << y;
                    } else if (sel == 2) {
                        ASSERT_EQ(now & 0xFFFFFF, ~was & 0xFFFFFF) << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST_F(ApplyFilterTest, OneBitNegativeComplementsThePackedBitsOnly) {
    ImageId id = images.add(13, 3, gp::PixelFormat1bppIndexed, {grey(255), grey(0)});
    randomise(id, 9);
    const auto before = images.image(id).data;
    ASSERT_EQ(apply(2, id, whole(id)), gp::Ok);
    for (size_t i = 0; i < before.size(); ++i) {
        // Whole bytes of the rectangle's rows, padding bits of the rows' last bytes
        // included, come back complemented.
        if (i % 4 < 2) {
            EXPECT_EQ(images.image(id).data[i],
                      static_cast<uint8_t>(~before[i] & (i % 4 ? 0xF8 : 0xFF)) |
                          (before[i] & (i % 4 ? 0x07 : 0x00)));
        }
    }
    EXPECT_EQ(images.image(id).palette.entries, (std::vector<gp::ARGB>{grey(255), grey(0)}));
}

TEST_F(ApplyFilterTest, PaletteModeEditsThePaletteOnlyWhenTheRectangleCoversTheImage) {
    const auto pal = colours(8);
    ImageId id = images.add(6, 4, gp::PixelFormat8bppIndexed, pal);
    randomise(id, 3);
    const auto indices = images.image(id).data;
    ASSERT_EQ(apply(2, id, whole(id)), gp::Ok);
    EXPECT_EQ(images.image(id).data, indices);
    for (size_t i = 0; i < pal.size(); ++i) {
        EXPECT_EQ(images.image(id).palette.entries[i], pal[i] ^ 0x00FFFFFFu);
    }
    EXPECT_TRUE(images.image(id).modified);

    ImageId bright = images.add(6, 4, gp::PixelFormat8bppIndexed, {testing::bgra(10, 20, 100, 9)});
    ASSERT_EQ(apply(14, bright, whole(bright), 100), gp::Ok);
    EXPECT_EQ(images.image(bright).palette.entries[0], testing::bgra(20, 40, 200, 9));

    // A partial rectangle takes the pixel path: the palette stays, pixels inside map to
    // the nearest entry of their new colour, pixels outside keep their indices.
    ImageId part = images.add(6, 4, gp::PixelFormat8bppIndexed, {grey(0), grey(255), 0xFFFF0000u});
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 6; ++x) {
            images.setIndex(part, x, y, 0);
        }
    }
    ASSERT_EQ(apply(2, part, FilterRect{0, 0, 3, 4}), gp::Ok);
    EXPECT_EQ(images.image(part).palette.entries.size(), 3u);
    EXPECT_EQ(images.index(part, 0, 0), 1u);
    EXPECT_EQ(images.index(part, 5, 0), 0u);

    // An unreadable palette is never rewritten.
    ImageId unread = images.add(2, 2, gp::PixelFormat8bppIndexed, colours(4));
    images.image(unread).paletteUnreadable = true;
    apply(2, unread, whole(unread));
    EXPECT_EQ(images.image(unread).palette.entries, colours(4));
}

TEST_F(ApplyFilterTest, GreyPalettesAndNearestEntryTies) {
    ImageId ramp = images.add(4, 1, gp::PixelFormat8bppIndexed, greyRamp(256));
    for (int x = 0; x < 4; ++x) {
        images.setIndex(ramp, x, 0, static_cast<uint32_t>(x * 60));
    }
    ASSERT_EQ(apply(2, ramp, whole(ramp)), gp::Ok);
    EXPECT_EQ(images.index(ramp, 2, 0), 255u - 120u);

    ImageId sixteen = images.add(2, 1, gp::PixelFormat8bppIndexed, greyRamp(16));
    images.setIndex(sixteen, 0, 0, 3); // grey 51
    ASSERT_EQ(apply(2, sixteen, whole(sixteen)), gp::Ok);
    EXPECT_EQ(images.index(sixteen, 0, 0), 12u); // 204 is entry 12, not index 204

    for (int version : {6, 5}) {
        images.setVersion(version);
        // Grey of entry 2 is (33, 33, 33); entries 0 and 1 are equally far from it.
        ImageId tie = images.add(
            1, 1, gp::PixelFormat8bppIndexed,
            {testing::bgra(33, 33, 43), testing::bgra(33, 33, 23), testing::bgra(0, 0, 99)});
        images.setIndex(tie, 0, 0, 2);
        ASSERT_EQ(apply(12, tie, whole(tie)), gp::Ok);
        if (version >= 6) {
            EXPECT_EQ(images.index(tie, 0, 0), 0u);
        } else {
            EXPECT_EQ(images.index(tie, 0, 0), 0u);
            EXPECT_EQ(images.image(tie).format, gp::PixelFormat8bppIndexed);
        }
    }
}

TEST_F(ApplyFilterTest, ResultsOfTestsAndCounts) {
    ImageId id = images.add(3, 2, gp::PixelFormat32bppARGB);
    for (int x = 0; x < 3; ++x) {
        images.setArgb(id, x, 0, testing::bgra(1, 2, 3, 0));
        images.setArgb(id, x, 1, grey(255));
    }
    images.image(id).modified = false;
    ASSERT_EQ(apply(59, id, whole(id)), gp::Ok);
    EXPECT_EQ(result, 0.0);
    ASSERT_EQ(apply(59, id, FilterRect{0, 1, 3, 1}), gp::Ok);
    EXPECT_EQ(result, 1.0);
    EXPECT_FALSE(images.image(id).modified); // tests are not written back

    ASSERT_EQ(apply(60, id, whole(id), 0, static_cast<double>(grey(255) - 0x100000000LL)), gp::Ok);
    EXPECT_EQ(result, 3.0);
    EXPECT_TRUE(images.image(id).modified);
    ASSERT_EQ(apply(67, id, whole(id)), gp::Ok);
    EXPECT_EQ(result, 3.0);
    EXPECT_EQ(images.argb(id, 0, 0), 0x000000FFu); // the recolouring is written back
    ASSERT_EQ(apply(68, id, FilterRect{1, 1, 1, 1}), gp::Ok);
    EXPECT_EQ(result, -1.0);

    // 1 bpp pages count a pixel as dark by its blue byte.
    ImageId page = images.add(10, 1, gp::PixelFormat1bppIndexed, {grey(0), grey(255)});
    for (int x = 0; x < 10; ++x) {
        images.setIndex(page, x, 0, 1);
    }
    ASSERT_EQ(apply(53, page, whole(page), 0, 99.9), gp::Ok);
    EXPECT_EQ(result, 1.0);

    // An ordered dither is anchored at the rectangle, not at the image.
    ImageId dither = images.add(6, 6, gp::PixelFormat32bppARGB);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
            images.setArgb(dither, x, y, grey(10));
        }
    }
    ASSERT_EQ(apply(19, dither, FilterRect{1, 2, 4, 4}), gp::Ok);
    EXPECT_EQ(images.argb(dither, 1, 2), grey(255));
    EXPECT_EQ(images.argb(dither, 0, 0), grey(10));
    EXPECT_EQ(images.argb(dither, 2, 2), grey(0));
}

TEST_F(ApplyFilterTest, StatusesOfEmptyOutsideAndFailingCalls) {
    ImageId id = images.add(5, 5, gp::PixelFormat32bppARGB);
    EXPECT_EQ(apply(36, id, FilterRect{0, 0, 0, 5}), gp::Ok);
    EXPECT_EQ(result, 0.0);
    EXPECT_FALSE(images.image(id).modified);
    result = -7;
    EXPECT_EQ(apply(36, 9999, FilterRect{0, 0, 5, 5}), gp::InvalidParameter);
    EXPECT_EQ(result, 0.0);
    for (FilterRect outside :
         {FilterRect{1, 0, 5, 5}, FilterRect{-1, 0, 2, 2}, FilterRect{0, 0, 2147483647, 2147483647},
          FilterRect{2147483600, 0, 100, 1}}) {
        EXPECT_EQ(apply(61, id, outside), gp::InvalidParameter);
    }
    EXPECT_EQ(images.locks(), 0);

    images.failLock(1, gp::Win32Error);
    result = -7;
    EXPECT_EQ(apply(36, id, whole(id)), gp::Win32Error);
    EXPECT_EQ(result, 0.0);
    images.failLock(2, gp::ObjectBusy); // the write-back
    EXPECT_EQ(apply(12, id, whole(id)), gp::ObjectBusy);

    ImageId pal = images.add(2, 2, gp::PixelFormat8bppIndexed, colours(4));
    images.failSetPalette(gp::AccessDenied);
    EXPECT_EQ(apply(2, pal, whole(pal)), gp::AccessDenied);
    EXPECT_FALSE(images.image(pal).modified);

    SetFilterImageAccess(nullptr);
    FilterRect r{0, 0, 5, 5};
    EXPECT_EQ(ApplyFilter(36, id, 0, r, 0, 0, 0, 0, 0, 0, result), gp::InvalidParameter);
    SetFilterImageAccess(&images);
    EXPECT_EQ(ApplyFilter(21, id, 0, r, 0, 0, 0, 0, 0, 0, result), gp::Ok);
    SetFilterImageAccess(nullptr);
}

TEST_F(ApplyFilterTest, RunTimeFailuresReturnOneAndLeaveTheImageUntouched) {
    struct Row {
        int32_t sel;
        double P;
        float e;
        int32_t height;
    } rows[] = {{1, -8, 1, 5}, {6, -1, 1, 5},    {33, 105, 1, 5}, {33, 200, 1, 5},
                {20, 0, 1, 5}, {56, 0, 1, 1},    {31, -50, 1, 5}, {47, -1, 1, 5},
                {34, 0, 2, 5}, {14, 1e10, 1, 5}, {4, 1e300, 1, 5}};
    for (const Row& r : rows) {
        ImageId id = images.add(5, r.height, gp::PixelFormat24bppRGB);
        randomise(id, 4);
        images.setArgb(id, 2, r.height / 2, grey(250));
        images.image(id).modified = false;
        const auto before = images.image(id).data;
        result = -7;
        EXPECT_EQ(apply(r.sel, id, whole(id), r.P, 0, r.e), gp::GenericError)
            << "selector " << r.sel;
        EXPECT_EQ(images.image(id).data, before) << "selector " << r.sel;
        EXPECT_FALSE(images.image(id).modified) << "selector " << r.sel;
        EXPECT_EQ(result, -7.0);
    }
}

} // namespace
} // namespace tavimo
