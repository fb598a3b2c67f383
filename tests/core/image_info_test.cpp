#include "core/image_info.h"
#include "core/image_table.h"
#include "core/quennet_status.h"
#include "platform/gdiplus/gdiplus.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace tavimo;
using tavimo::testing::CoreSessionTest;
using tavimo::testing::registerBitmap;

TEST(GetStride, Table) {
    struct Case {
        int32_t width, bits, stride, status;
    } cases[] = {
        {10, 4, 16, OK},
        {10, 1, 4, OK},
        {3, 24, 12, OK},
        {0, 8, 0, OK},
        {10, 12, 0, OK},
        {-5, 32, 0, OK},
        {10, 0, 0, OK},
        {33, 1, 8, OK},
        {33, 4, 32, OK},
        {5, 8, 8, OK},
        {1, 16, 4, OK},
        {2, 16, 4, OK},
        {3, 16, 8, OK},
        {1, 24, 4, OK},
        {4, 24, 12, OK},
        {7, 32, 28, OK},
        {1, 48, 8, OK},
        {2, 48, 16, OK},
        {3, 48, 24, OK},
        {3, 64, 24, OK},
        // The 1 and 4 bpp sizes are 16-bit values: the last widths that fit, and the next.
        {262112, 1, 32764, OK},
        {262113, 1, 0, ValueOverflow},
        {65504, 4, 32752, OK},
        {65505, 4, 0, ValueOverflow},
        {700000000, 32, 0, ValueOverflow},
        {500000000, 32, 2000000000, OK},
    };
    for (const Case& c : cases) {
        int32_t status = -1;
        EXPECT_EQ(GetStride(c.width, c.bits, status), c.stride) << c.width << " x " << c.bits;
        EXPECT_EQ(status, c.status) << c.width << " x " << c.bits;
        if (c.stride > 0) {
            EXPECT_EQ(c.stride % 4, 0);
            EXPECT_GE(int64_t{c.stride} * 8, int64_t{c.width} * c.bits);
        }
    }
}

TEST(BitDepthTables, DifferOnlyOnUnlistedFormats) {
    EXPECT_EQ(PixelFormatBitDepth(0), 0);
    EXPECT_EQ(PixelFormatBitsPerPixel(0), 0);
    EXPECT_EQ(PixelFormatBitDepth(0x12345), 32);
    EXPECT_EQ(PixelFormatBitsPerPixel(0x12345), 0);
    EXPECT_EQ(PixelFormatBitDepth(gp::PixelFormat64bppARGB), 64);
    EXPECT_EQ(PixelFormatBitsPerPixel(gp::PixelFormat4bppIndexed), 4);
}

using ImageInfo = CoreSessionTest;

TEST_F(ImageInfo, UnknownImagesGiveInvalidParameterAndZeroes) {
    int32_t w = 7, h = 7;
    float dpi = 7;
    EXPECT_EQ(GetImageWidth(12345, w), InvalidParameter);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(GetImageHeight(12345, h), InvalidParameter);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(GetImageHorizontalResolution(12345, dpi), InvalidParameter);
    EXPECT_EQ(dpi, 0);
    EXPECT_FALSE(IsGreyPalette(12345));
    gp::BitmapData data{};
    EXPECT_EQ(LockImageBits(12345, nullptr, 1, gp::PixelFormat32bppARGB, data), InvalidParameter);
}

TEST_F(ImageInfo, SizeAndResolution) {
    ImageId id = registerBitmap(5, 3, gp::PixelFormat24bppRGB);
    int32_t w = 0, h = 0;
    float x = 0, y = 0;
    EXPECT_EQ(GetImageWidth(id, w), OK);
    EXPECT_EQ(GetImageHeight(id, h), OK);
    EXPECT_EQ(GetImageHorizontalResolution(id, x), OK);
    EXPECT_EQ(GetImageVerticalResolution(id, y), OK);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 3);
    EXPECT_EQ(x, 96.0f);
    EXPECT_EQ(y, 96.0f);
}

TEST_F(ImageInfo, GreyPaletteNeedsExactly256IdentityEntries) {
    ImageId grey = registerBitmap(2, 2, gp::PixelFormat8bppIndexed);
    gp::Palette palette;
    for (uint32_t i = 0; i < 256; ++i)
        palette.entries.push_back(0x7F000000u | i << 16 | i << 8 | i); // alpha not looked at
    ASSERT_EQ(WriteImagePalette(grey, palette), OK);
    EXPECT_TRUE(IsGreyPalette(grey));
    EXPECT_FALSE(FindImageRecord(grey)->Modified); // loaders' palette writes mark nothing

    palette.entries[200] = 0xFF00C8C9u;
    ASSERT_EQ(SetImagePalette(grey, palette), OK);
    EXPECT_FALSE(IsGreyPalette(grey));
    EXPECT_TRUE(FindImageRecord(grey)->Modified);

    ImageId sixteen = registerBitmap(2, 2, gp::PixelFormat4bppIndexed);
    gp::Palette small;
    for (uint32_t i = 0; i < 16; ++i)
        small.entries.push_back(0xFF000000u | i << 16 | i << 8 | i);
    ASSERT_EQ(WriteImagePalette(sixteen, small), OK);
    EXPECT_FALSE(IsGreyPalette(sixteen));
    EXPECT_FALSE(IsGreyPalette(registerBitmap(2, 2, gp::PixelFormat24bppRGB)));
}

TEST_F(ImageInfo, WriteLockMarksTheImageModified) {
    ImageId id = registerBitmap(4, 2, gp::PixelFormat32bppARGB);
    gp::BitmapData data{};
    ASSERT_EQ(LockImageBits(id, nullptr, 1, gp::PixelFormat32bppARGB, data), OK);
    UnlockImageBits(id, data);
    EXPECT_FALSE(FindImageRecord(id)->Modified);

    std::vector<uint32_t> pixels(8, 0xFF112233u);
    data = {};
    data.Stride = 16;
    data.Scan0 = pixels.data();
    ASSERT_EQ(LockImageBits(id, nullptr, 6, gp::PixelFormat32bppARGB, data), OK);
    UnlockImageBits(id, data);
    EXPECT_TRUE(FindImageRecord(id)->Modified);
    EXPECT_EQ(tavimo::testing::readArgb(id)[5], 0xFF112233u);
}

TEST_F(ImageInfo, VersionTextDecidesTheOldGdiplusBranches) {
    EXPECT_TRUE(GdiplusVersionAtLeast6()); // the layer reports 6.1.7601.0
    restartWithVersion("5.2.6001.22319");
    EXPECT_FALSE(GdiplusVersionAtLeast6());
    restartWithVersion("not a version");
    EXPECT_FALSE(GdiplusVersionAtLeast6());
    restartWithVersion("6.0.6001.0");
    EXPECT_TRUE(GdiplusVersionAtLeast6());
}

TEST_F(ImageInfo, OldGdiplusConvertsIndexedImagesBeforeForeignWrites) {
    restartWithVersion("5.1.3102.0");
    ImageId id = registerBitmap(4, 1, gp::PixelFormat8bppIndexed);
    std::vector<uint32_t> pixels(4, 0xFF405060u);
    gp::BitmapData data{};
    data.Stride = 16;
    data.Scan0 = pixels.data();
    ASSERT_EQ(LockImageBits(id, nullptr, 6, gp::PixelFormat32bppARGB, data), OK);
    UnlockImageBits(id, data);
    // Same identifier, now a 32-bit image holding the exact colour.
    EXPECT_EQ(ImagePixelFormat(id), gp::PixelFormat32bppARGB);
    EXPECT_EQ(tavimo::testing::readArgb(id)[2], 0xFF405060u);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindOwnedBits);

    // With GDI+ 6 the indexed image stays indexed.
    restartWithVersion("");
    ImageId modern = registerBitmap(4, 1, gp::PixelFormat8bppIndexed);
    data.Scan0 = pixels.data();
    ASSERT_EQ(LockImageBits(modern, nullptr, 6, gp::PixelFormat32bppARGB, data), OK);
    UnlockImageBits(modern, data);
    EXPECT_EQ(ImagePixelFormat(modern), gp::PixelFormat8bppIndexed);
}

} // namespace
