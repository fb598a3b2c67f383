#include "platform/gdiplus/image_object.h"
#include "session_fixture.h"

#include <cstring>
#include <vector>

using namespace gp;

namespace {

using Scan0Test = GdiplusSessionTest;

TEST_F(Scan0Test, OwnedStoreIsZeroFilledWithDefaults) {
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(5, 3, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
    Image* image = findBitmap(bitmap);
    ASSERT_NE(image, nullptr);
    const Frame& frame = image->active();
    EXPECT_FALSE(frame.isExternal());
    EXPECT_EQ(frame.stride, 20);
    EXPECT_EQ(frame.dpiX, 96.0);
    EXPECT_EQ(frame.dpiY, 96.0);
    EXPECT_EQ(image->rawFormat, ImageFormatMemoryBMP);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(frame.row(y)[x], 0);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(Scan0Test, OwnedRowsArePaddedToFourBytes) {
    struct Case {
        PixelFormat format;
        int width;
        int stride;
    };
    const Case cases[] = {{PixelFormat1bppIndexed, 33, 8}, {PixelFormat4bppIndexed, 9, 8},
                          {PixelFormat8bppIndexed, 5, 8},  {PixelFormat16bppRGB565, 3, 8},
                          {PixelFormat24bppRGB, 3, 12},    {PixelFormat48bppRGB, 3, 20},
                          {PixelFormat64bppPARGB, 3, 24}};
    for (const Case& c : cases) {
        GpBitmap bitmap = 0;
        ASSERT_EQ(GdipCreateBitmapFromScan0(c.width, 2, 0, c.format, nullptr, &bitmap), Ok);
        EXPECT_EQ(findBitmap(bitmap)->active().stride, c.stride) << std::hex << c.format;
        EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    }
}

TEST_F(Scan0Test, IndexedFormatsStartWithDefaultPalettes) {
    const std::pair<PixelFormat, size_t> cases[] = {
        {PixelFormat1bppIndexed, 2}, {PixelFormat4bppIndexed, 16}, {PixelFormat8bppIndexed, 256}};
    for (auto [format, count] : cases) {
        GpBitmap bitmap = 0;
        ASSERT_EQ(GdipCreateBitmapFromScan0(2, 2, 0, format, nullptr, &bitmap), Ok);
        const Palette& palette = findBitmap(bitmap)->active().palette;
        EXPECT_EQ(palette.entries.size(), count);
        EXPECT_EQ(palette.entries.front(), 0xFF000000u);
        EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    }
}

TEST_F(Scan0Test, ExternalMemoryIsUsedInPlaceAndNeverFreed) {
    // A GdipAlloc block is the typical caller memory; it must survive the disposal.
    auto* memory = static_cast<uint8_t*>(GdipAlloc(4 * 12));
    std::memset(memory, 0x5A, 4 * 12);
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(4, 4, 12, PixelFormat24bppRGB, memory, &bitmap), Ok);
    Image* image = findBitmap(bitmap);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->active().isExternal());
    EXPECT_EQ(image->active().scan0(), memory);
    image->active().row(1)[0] = 0x11;
    EXPECT_EQ(memory[12], 0x11);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    EXPECT_EQ(memory[0], 0x5A); // still ours and readable (ASan would flag a free)
    GdipFree(memory);
}

TEST_F(Scan0Test, BottomUpMemoryWithNegativeStride) {
    std::vector<uint8_t> memory(2 * 8);
    GpBitmap bitmap = 0;
    // Scan0 names the top row, which is the last row in memory.
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 2, -8, PixelFormat32bppRGB, memory.data() + 8, &bitmap),
              Ok);
    findBitmap(bitmap)->active().row(1)[0] = 7;
    EXPECT_EQ(memory[0], 7);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(Scan0Test, BadArgumentsAreRefused) {
    uint8_t memory[64] = {};
    GpBitmap bitmap = 99;
    EXPECT_EQ(GdipCreateBitmapFromScan0(1, 1, 0, PixelFormat24bppRGB, nullptr, nullptr),
              InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(0, 1, 0, PixelFormat24bppRGB, nullptr, &bitmap),
              InvalidParameter);
    EXPECT_EQ(bitmap, 0u);
    EXPECT_EQ(GdipCreateBitmapFromScan0(1, -1, 0, PixelFormat24bppRGB, nullptr, &bitmap),
              InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(1, 1, 0, PixelFormatUndefined, nullptr, &bitmap),
              InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(1, 1, 0, 0x12345, nullptr, &bitmap), InvalidParameter);
    // Four 24-bit pixels need 12 bytes per row.
    EXPECT_EQ(GdipCreateBitmapFromScan0(4, 2, 11, PixelFormat24bppRGB, memory, &bitmap),
              InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(4, 2, -11, PixelFormat24bppRGB, memory, &bitmap),
              InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(100000, 100000, 0, PixelFormat64bppARGB, nullptr, &bitmap),
              OutOfMemory);
}

TEST_F(Scan0Test, StaleAndForgedHandlesAreRefused) {
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(1, 1, 0, PixelFormat24bppRGB, nullptr, &bitmap), Ok);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    EXPECT_EQ(GdipDisposeImage(bitmap), InvalidParameter);
    EXPECT_EQ(GdipDisposeImage(0), InvalidParameter);
    EXPECT_EQ(GdipDisposeImage(bitmap + 1), InvalidParameter);
    EXPECT_EQ(GdipDisposeImage(0xDEADBEEF), InvalidParameter);
}

} // namespace
