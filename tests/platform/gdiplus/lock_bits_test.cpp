#include "format_table.h"
#include "image_fixture.h"
#include "session_fixture.h"

#include <cstring>

using namespace gp;

namespace {

using LockBitsTest = GdiplusSessionTest;

TEST_F(LockBitsTest, OwnFormatReadReturnsTheStoresFirstRow) {
    for (PixelFormat format : kAllFormats) {
        GpBitmap bitmap = makeRandomBitmap(9, 4, format, 5);
        BitmapData data{};
        ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, format, &data), Ok);
        const Frame& frame = findBitmap(bitmap)->active();
        EXPECT_EQ(data.Scan0, frame.scan0()) << std::hex << format;
        EXPECT_EQ(data.Stride, frame.stride);
        EXPECT_EQ(data.Width, 9u);
        EXPECT_EQ(data.Height, 4u);
        EXPECT_EQ(data.PixelFormat, format);
        EXPECT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
        EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    }
}

TEST_F(LockBitsTest, CallerMemoryIsLockedInPlaceAndWrittenThrough) {
    // Bottom-up memory with a negative stride, as a DIB section has it.
    std::vector<uint8_t> memory(3 * 8, 0);
    uint8_t* top = memory.data() + 2 * 8;
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 3, -8, PixelFormat32bppARGB, top, &bitmap), Ok);
    BitmapData data{};
    ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead | ImageLockModeWrite,
                                 PixelFormat32bppARGB, &data),
              Ok);
    EXPECT_EQ(data.Scan0, top);
    EXPECT_EQ(data.Stride, -8);
    static_cast<uint8_t*>(data.Scan0)[data.Stride * 2] = 0x77; // bottom row
    EXPECT_EQ(memory[0], 0x77);
    EXPECT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    EXPECT_EQ(memory[0], 0x77);
}

TEST_F(LockBitsTest, ConvertedReadsAndWriteBack) {
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(3, 2, 0, PixelFormat24bppRGB, nullptr, &bitmap), Ok);
    Rect rect{1, 1, 2, 1};
    BitmapData data{};
    ASSERT_EQ(GdipBitmapLockBits(bitmap, &rect, ImageLockModeWrite, PixelFormat32bppARGB, &data),
              Ok);
    EXPECT_EQ(data.Stride, 8);
    auto* pixels = static_cast<uint32_t*>(data.Scan0);
    EXPECT_EQ(pixels[0], 0xFF000000u); // a write-only buffer still holds the current pixels
    pixels[0] = 0x80102030u;
    pixels[1] = 0xFFABCDEFu;
    ASSERT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
    const std::vector<uint32_t> argb = readArgb(bitmap);
    EXPECT_EQ(argb, (std::vector<uint32_t>{0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF000000u,
                                           0xFF102030u, 0xFFABCDEFu}));
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(LockBitsTest, CallerBuffersTakeAnyStrideAndIgnoreWidthAndHeight) {
    // 1 bpp rows of ceil(W / 8) bytes and 24 bpp rows of 3 W bytes, as a PDF writer uses.
    struct Case {
        PixelFormat imageFormat;
        PixelFormat lockFormat;
        int32_t stride;
    };
    const Case cases[] = {{PixelFormat1bppIndexed, PixelFormat1bppIndexed, 2},
                          {PixelFormat32bppARGB, PixelFormat24bppRGB, 27},
                          {PixelFormat8bppIndexed, PixelFormat32bppPARGB, 41},
                          {PixelFormat48bppRGB, PixelFormat24bppRGB, 29}};
    for (const Case& c : cases) {
        GpBitmap bitmap = makeRandomBitmap(9, 3, c.imageFormat, 9);
        const std::vector<uint8_t> before = frameBytes(bitmap);
        std::vector<uint8_t> buffer(static_cast<size_t>(c.stride) * 3, 0xEE);
        BitmapData data{};
        data.Width = 0;
        data.Height = 0;
        data.Stride = c.stride;
        data.Scan0 = buffer.data();
        ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead | ImageLockModeUserInputBuf,
                                     c.lockFormat, &data),
                  Ok);
        EXPECT_EQ(data.Scan0, buffer.data());
        EXPECT_EQ(data.Width, 9u);
        ASSERT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
        // Bytes past each row stay as the caller left them.
        const size_t row = static_cast<size_t>(rowBytes(9, c.lockFormat));
        for (size_t y = 0; y < 3; ++y)
            for (size_t k = row; k < static_cast<size_t>(c.stride); ++k)
                EXPECT_EQ(buffer[y * c.stride + k], 0xEE);
        // Mode 6 writes the buffer back; converting back gives the original pixels where
        // the lock format keeps them exactly.
        ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr,
                                     ImageLockModeWrite | ImageLockModeUserInputBuf, c.lockFormat,
                                     &data),
                  Ok);
        ASSERT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
        if (c.imageFormat != PixelFormat32bppARGB) {
            EXPECT_EQ(frameBytes(bitmap), before) << std::hex << c.imageFormat;
        }
        EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    }
}

TEST_F(LockBitsTest, CallerBufferWriteOnlyUsesTheCallersPixels) {
    GpBitmap bitmap = makeRandomBitmap(2, 2, PixelFormat32bppARGB, 2);
    uint8_t rgb[2 * 6] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    BitmapData data{};
    data.Stride = 6;
    data.Scan0 = rgb;
    ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeWrite | ImageLockModeUserInputBuf,
                                 PixelFormat24bppRGB, &data),
              Ok);
    EXPECT_EQ(rgb[0], 1); // not overwritten by the lock
    ASSERT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
    EXPECT_EQ(readArgb(bitmap),
              (std::vector<uint32_t>{0xFF030201u, 0xFF060504u, 0xFF090807u, 0xFF0C0B0Au}));
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

// Writes through sub-rectangles of packed formats at every start column must change the
// rectangle's pixels and no bit outside it, whichever buffer serves the lock.
TEST_F(LockBitsTest, PackedSubRectanglesLeaveEverythingOutsideUntouched) {
    for (PixelFormat format : {PixelFormat1bppIndexed, PixelFormat4bppIndexed}) {
        const int bpp = bitsPerPixel(format);
        const UINT last = (1u << bpp) - 1;
        for (int32_t x = 0; x < 9; ++x) {
            for (int32_t w : {1, 2, 3, 5, 8, 11}) {
                for (UINT mode :
                     {UINT(ImageLockModeWrite), UINT(ImageLockModeRead | ImageLockModeWrite),
                      UINT(ImageLockModeWrite | ImageLockModeUserInputBuf)}) {
                    GpBitmap bitmap =
                        makeRandomBitmap(23, 3, format, static_cast<uint32_t>(x * 31 + w));
                    const Frame& frame = findBitmap(bitmap)->active();
                    std::vector<std::vector<uint8_t>> before;
                    for (int32_t y = 0; y < 3; ++y)
                        before.emplace_back(frame.row(y), frame.row(y) + frame.stride);
                    std::vector<uint8_t> own(16, 0);
                    BitmapData data{};
                    data.Stride = 16;
                    data.Scan0 = own.data();
                    Rect rect{x, 1, w, 1};
                    ASSERT_EQ(GdipBitmapLockBits(bitmap, &rect, mode, format, &data), Ok);
                    auto* buffer = static_cast<uint8_t*>(data.Scan0);
                    // Fill the rectangle with the last palette index, padding bits too.
                    std::memset(buffer, 0xFF, static_cast<size_t>(rowBytes(w, format)));
                    ASSERT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
                    const Frame& after = findBitmap(bitmap)->active();
                    for (int32_t y = 0; y < 3; ++y) {
                        for (int32_t px = 0; px < 23; ++px) {
                            const bool inside = y == 1 && px >= x && px < x + w;
                            UINT got, was;
                            if (bpp == 1) {
                                got = (after.row(y)[px >> 3] >> (7 - (px & 7))) & 1;
                                was = (before[y][px >> 3] >> (7 - (px & 7))) & 1;
                            } else {
                                got = (after.row(y)[px >> 1] >> ((px & 1) ? 0 : 4)) & 15;
                                was = (before[y][px >> 1] >> ((px & 1) ? 0 : 4)) & 15;
                            }
                            EXPECT_EQ(got, inside ? last : was)
                                << bpp << "bpp x=" << x << " w=" << w << " mode=" << mode << " at "
                                << px << "," << y;
                        }
                    }
                    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
                }
            }
        }
    }
}

TEST_F(LockBitsTest, PackedReadAtAnOddColumnShiftsIntoTheTopBits) {
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(16, 1, 0, PixelFormat1bppIndexed, nullptr, &bitmap), Ok);
    Frame& frame = findBitmap(bitmap)->active();
    frame.row(0)[0] = 0x1D; // 0001 1101
    frame.row(0)[1] = 0x80; // 1000 0000
    Rect rect{3, 0, 6, 1};  // pixels 3..8: 1 1 1 0 1 1
    BitmapData data{};
    ASSERT_EQ(GdipBitmapLockBits(bitmap, &rect, ImageLockModeRead, PixelFormat1bppIndexed, &data),
              Ok);
    EXPECT_EQ(static_cast<uint8_t*>(data.Scan0)[0] & 0xFC, 0xEC);
    ASSERT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
    GpBitmap nibbles = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(5, 1, 0, PixelFormat4bppIndexed, nullptr, &nibbles), Ok);
    findBitmap(nibbles)->active().row(0)[0] = 0x12;
    findBitmap(nibbles)->active().row(0)[1] = 0x34;
    findBitmap(nibbles)->active().row(0)[2] = 0x50;
    Rect odd{1, 0, 3, 1};
    ASSERT_EQ(GdipBitmapLockBits(nibbles, &odd, ImageLockModeRead, PixelFormat4bppIndexed, &data),
              Ok);
    EXPECT_EQ(static_cast<uint8_t*>(data.Scan0)[0], 0x23);
    EXPECT_EQ(static_cast<uint8_t*>(data.Scan0)[1] & 0xF0, 0x40);
    ASSERT_EQ(GdipBitmapUnlockBits(nibbles, &data), Ok);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    EXPECT_EQ(GdipDisposeImage(nibbles), Ok);
}

TEST_F(LockBitsTest, IndexedTargetsMapToThePalette) {
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 1, 0, PixelFormat8bppIndexed, nullptr, &bitmap), Ok);
    uint32_t colours[2] = {0xFFFFFFFFu, 0xFF330066u};
    BitmapData data{};
    data.Stride = 8;
    data.Scan0 = colours;
    ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeWrite | ImageLockModeUserInputBuf,
                                 PixelFormat32bppARGB, &data),
              Ok);
    ASSERT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
    const Frame& frame = findBitmap(bitmap)->active();
    EXPECT_EQ(frame.row(0)[0], 215); // white of the 6x6x6 cube
    EXPECT_EQ(frame.row(0)[1], 1 * 36 + 0 * 6 + 2);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(LockBitsTest, StateAndArgumentErrors) {
    GpBitmap bitmap = makeRandomBitmap(4, 4, PixelFormat32bppARGB, 1);
    BitmapData data{}, other{};
    const Rect bad[] = {{-1, 0, 2, 2}, {0, 0, 5, 1}, {3, 3, 2, 1}, {0, 0, 0, 1}, {2, 0, 3, 1}};
    for (const Rect& r : bad)
        EXPECT_EQ(GdipBitmapLockBits(bitmap, &r, ImageLockModeRead, PixelFormat32bppARGB, &data),
                  InvalidParameter)
            << r.X << "," << r.Y << " " << r.Width << "x" << r.Height;
    EXPECT_EQ(GdipBitmapLockBits(bitmap, nullptr, 0, PixelFormat32bppARGB, &data),
              InvalidParameter);
    EXPECT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormatUndefined, &data),
              InvalidParameter);
    EXPECT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat32bppARGB, nullptr),
              InvalidParameter);
    data.Scan0 = nullptr;
    data.Stride = 16;
    EXPECT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead | ImageLockModeUserInputBuf,
                                 PixelFormat32bppARGB, &data),
              InvalidParameter);
    uint8_t small[15 * 4];
    data.Scan0 = small;
    data.Stride = 15;
    EXPECT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead | ImageLockModeUserInputBuf,
                                 PixelFormat32bppARGB, &data),
              InvalidParameter);
    EXPECT_EQ(GdipBitmapUnlockBits(bitmap, &data), InvalidParameter); // not locked
    ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &data),
              Ok);
    EXPECT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &other),
              ObjectBusy);
    EXPECT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
    EXPECT_EQ(GdipBitmapUnlockBits(bitmap, &data), InvalidParameter);
    test::FailNext(FaultPoint::Lock, 1, Win32Error);
    EXPECT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &data),
              Win32Error);
    ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &data),
              Ok);
    // Disposing a locked image frees its buffer too.
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    EXPECT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &data),
              InvalidParameter);
}

TEST_F(LockBitsTest, WriteLockOfAMultiFrameImageKeepsTheActiveFrame) {
    DecodedImage decoded;
    decoded.rawFormat = ImageFormatGIF;
    decoded.frameDimension = FrameDimensionTime;
    for (int i = 0; i < 3; ++i) {
        Frame frame;
        ASSERT_EQ(makeOwnedFrame(1 + i, 1, PixelFormat32bppARGB, frame), Ok);
        decoded.frames.push_back(std::move(frame));
    }
    GpImage image = addImage(imageFromDecoded(std::move(decoded)));
    ASSERT_EQ(GdipImageSelectActiveFrame(image, &FrameDimensionTime, 1), Ok);
    BitmapData data{};
    ASSERT_EQ(GdipBitmapLockBits(image, nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data),
              Ok);
    ASSERT_EQ(GdipBitmapUnlockBits(image, &data), Ok);
    UINT count = 0;
    GdipImageGetFrameCount(image, &FrameDimensionTime, &count);
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(GdipBitmapLockBits(image, nullptr, ImageLockModeWrite, PixelFormat32bppARGB, &data),
              Ok);
    EXPECT_EQ(data.Width, 2u);
    ASSERT_EQ(GdipBitmapUnlockBits(image, &data), Ok);
    GdipImageGetFrameCount(image, &FrameDimensionTime, &count);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

} // namespace

namespace {

// Every pair of image and lock formats, through a sub-rectangle at an odd position: each
// pixel of the lock buffer is the image pixel at the same place, converted.
TEST_F(LockBitsTest, ConvertedSubRectanglesLineUpForEveryFormatPair) {
    std::mt19937 rng(5);
    for (PixelFormat imageFormat : kAllFormats) {
        for (PixelFormat lockFormat : kAllFormats) {
            GpBitmap bitmap = makeRandomBitmap(19, 7, imageFormat, rng());
            const Frame& frame = findBitmap(bitmap)->active();
            const Palette lockPalette = paletteFor(lockFormat, frame);
            const Rect rect{3, 2, 13, 4};
            BitmapData data{};
            ASSERT_EQ(GdipBitmapLockBits(bitmap, &rect, ImageLockModeRead, lockFormat, &data), Ok);
            for (int32_t y = 0; y < rect.Height; ++y) {
                const uint8_t* row = static_cast<const uint8_t*>(data.Scan0) + y * data.Stride;
                for (int32_t x = 0; x < rect.Width; ++x) {
                    const ARGB source = pixelToArgb(frame.row(rect.Y + y), rect.X + x, frame.format,
                                                    &frame.palette);
                    uint8_t converted[8] = {};
                    if (lockFormat == imageFormat) {
                        // Same format: the stored value itself, not a re-mapping of it.
                        RowConverter copy(imageFormat, nullptr, lockFormat, nullptr);
                        copy.convert(frame.row(rect.Y + y), rect.X + x, converted, 0, 1);
                    } else {
                        pixelFromArgb(source, converted, 0, lockFormat, &lockPalette);
                    }
                    ASSERT_EQ(pixelToArgb(row, x, lockFormat, &lockPalette),
                              pixelToArgb(converted, 0, lockFormat, &lockPalette))
                        << std::hex << imageFormat << " -> " << lockFormat << std::dec << " at "
                        << x << "," << y;
                }
            }
            ASSERT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
            EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
        }
    }
}

} // namespace
