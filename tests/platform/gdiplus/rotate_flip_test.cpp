#include "format_table.h"
#include "image_fixture.h"
#include "session_fixture.h"

#include <cstring>

using namespace gp;

namespace {

using RotateFlipTest = GdiplusSessionTest;

TEST_F(RotateFlipTest, FourQuarterTurnsAreTheIdentityForEveryFormat) {
    for (PixelFormat format : kAllFormats) {
        GpBitmap bitmap = makeRandomBitmap(13, 7, format, 3);
        const std::vector<uint8_t> before = frameBytes(bitmap);
        for (int turn = 0; turn < 4; ++turn) {
            ASSERT_EQ(GdipImageRotateFlip(bitmap, Rotate90FlipNone), Ok);
            UINT width = 0;
            GdipGetImageWidth(bitmap, &width);
            EXPECT_EQ(width, turn % 2 == 0 ? 7u : 13u);
        }
        EXPECT_EQ(frameBytes(bitmap), before) << std::hex << format;
        // Rotate270 undoes Rotate90, and a flip undoes itself.
        ASSERT_EQ(GdipImageRotateFlip(bitmap, Rotate90FlipNone), Ok);
        ASSERT_EQ(GdipImageRotateFlip(bitmap, Rotate270FlipNone), Ok);
        ASSERT_EQ(GdipImageRotateFlip(bitmap, Rotate90FlipX), Ok);
        ASSERT_EQ(GdipImageRotateFlip(bitmap, Rotate90FlipX), Ok);
        EXPECT_EQ(frameBytes(bitmap), before) << std::hex << format;
        EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    }
}

// Every type against the pixel each destination position must show, on a 3 x 2 image
// whose pixels are numbered 0..5 row by row.
TEST_F(RotateFlipTest, EveryTypeMovesPixelsWhereExpected) {
    struct Case {
        RotateFlipType type;
        int width, height;
        std::vector<uint32_t> expected;
    };
    // Source:  0 1 2
    //          3 4 5
    const Case cases[] = {
        {RotateNoneFlipNone, 3, 2, {0, 1, 2, 3, 4, 5}},
        {Rotate90FlipNone, 2, 3, {3, 0, 4, 1, 5, 2}},
        {Rotate180FlipNone, 3, 2, {5, 4, 3, 2, 1, 0}},
        {Rotate270FlipNone, 2, 3, {2, 5, 1, 4, 0, 3}},
        {RotateNoneFlipX, 3, 2, {2, 1, 0, 5, 4, 3}},
        {Rotate90FlipX, 2, 3, {0, 3, 1, 4, 2, 5}},
        {Rotate180FlipX, 3, 2, {3, 4, 5, 0, 1, 2}}, // = FlipY
        {Rotate270FlipX, 2, 3, {5, 2, 4, 1, 3, 0}},
    };
    for (const Case& c : cases) {
        for (PixelFormat format : {PixelFormat32bppARGB, PixelFormat4bppIndexed,
                                   PixelFormat24bppRGB, PixelFormat64bppARGB}) {
            GpBitmap bitmap = 0;
            ASSERT_EQ(GdipCreateBitmapFromScan0(3, 2, 0, format, nullptr, &bitmap), Ok);
            Frame& frame = findBitmap(bitmap)->active();
            for (uint32_t i = 0; i < 6; ++i)
                pixelFromArgb(frame.palette.entries.empty() ? 0xFF000000u | (i * 40) << 16
                                                            : frame.palette.entries[i],
                              frame.row(static_cast<int32_t>(i / 3)), static_cast<int32_t>(i % 3),
                              format, &frame.palette);
            const std::vector<uint32_t> source = readArgb(bitmap);
            ASSERT_EQ(GdipImageRotateFlip(bitmap, c.type), Ok);
            UINT width = 0, height = 0;
            GdipGetImageWidth(bitmap, &width);
            GdipGetImageHeight(bitmap, &height);
            EXPECT_EQ(width, static_cast<UINT>(c.width));
            EXPECT_EQ(height, static_cast<UINT>(c.height));
            const std::vector<uint32_t> result = readArgb(bitmap);
            for (size_t k = 0; k < 6; ++k)
                EXPECT_EQ(result[k], source[c.expected[k]])
                    << "type " << c.type << " format " << std::hex << format << " at " << k;
            EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
        }
    }
}

TEST_F(RotateFlipTest, QuarterTurnsSwapTheResolutions) {
    GpBitmap bitmap = makeRandomBitmap(4, 3, PixelFormat1bppIndexed, 1);
    ASSERT_EQ(GdipBitmapSetResolution(bitmap, 200, 100), Ok);
    ASSERT_EQ(GdipImageRotateFlip(bitmap, Rotate270FlipX), Ok);
    REAL x = 0, y = 0;
    GdipGetImageHorizontalResolution(bitmap, &x);
    GdipGetImageVerticalResolution(bitmap, &y);
    EXPECT_EQ(x, 100.0f);
    EXPECT_EQ(y, 200.0f);
    ASSERT_EQ(GdipImageRotateFlip(bitmap, Rotate180FlipNone), Ok);
    GdipGetImageHorizontalResolution(bitmap, &x);
    EXPECT_EQ(x, 100.0f);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(RotateFlipTest, ResultMovesOutOfCallerMemory) {
    std::vector<uint8_t> memory(4 * 4 * 2, 0);
    memory[0] = 0x12;
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(4, 2, 16, PixelFormat32bppRGB, memory.data(), &bitmap), Ok);
    ASSERT_EQ(GdipImageRotateFlip(bitmap, Rotate180FlipNone), Ok);
    const Frame& frame = findBitmap(bitmap)->active();
    EXPECT_FALSE(frame.isExternal());
    EXPECT_EQ(frame.row(1)[12], 0x12);
    EXPECT_EQ(memory[0], 0x12); // the caller's memory is not written
    EXPECT_EQ(memory[28], 0x00);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(RotateFlipTest, RefusesBadTypesLockedImagesAndStaleHandles) {
    GpBitmap bitmap = makeRandomBitmap(2, 2, PixelFormat24bppRGB, 1);
    EXPECT_EQ(GdipImageRotateFlip(bitmap, static_cast<RotateFlipType>(8)), InvalidParameter);
    EXPECT_EQ(GdipImageRotateFlip(bitmap, static_cast<RotateFlipType>(-1)), InvalidParameter);
    BitmapData data{};
    ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &data),
              Ok);
    EXPECT_EQ(GdipImageRotateFlip(bitmap, Rotate90FlipNone), ObjectBusy);
    EXPECT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    EXPECT_EQ(GdipImageRotateFlip(bitmap, Rotate90FlipNone), InvalidParameter);
}

TEST_F(RotateFlipTest, MultiFrameImageKeepsOnlyTheActiveFrame) {
    DecodedImage decoded;
    decoded.rawFormat = ImageFormatTIFF;
    decoded.frameDimension = FrameDimensionPage;
    for (int i = 0; i < 3; ++i) {
        Frame frame;
        ASSERT_EQ(makeOwnedFrame(2 + i, 1, PixelFormat24bppRGB, frame), Ok);
        decoded.frames.push_back(std::move(frame));
    }
    GpImage image = addImage(imageFromDecoded(std::move(decoded)));
    ASSERT_EQ(GdipImageSelectActiveFrame(image, &FrameDimensionPage, 2), Ok);
    ASSERT_EQ(GdipImageRotateFlip(image, Rotate90FlipNone), Ok);
    UINT count = 0, height = 0;
    ASSERT_EQ(GdipImageGetFrameCount(image, &FrameDimensionPage, &count), Ok);
    EXPECT_EQ(count, 1u);
    GdipGetImageHeight(image, &height);
    EXPECT_EQ(height, 4u);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

} // namespace
