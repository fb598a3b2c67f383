#include "core/image_convert.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/image_metadata.h"
#include "core/quennet_status.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/session.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace tavimo;
using tavimo::testing::CoreSessionTest;
using tavimo::testing::readArgb;
using tavimo::testing::readOwnRows;
using tavimo::testing::registerBitmap;

using ImageConvert = CoreSessionTest;

int liveEntries() {
    int n = 0;
    for (const ImageRecord& r : imageTable())
        n += r.ImageId != 0;
    return n;
}

std::vector<uint32_t> rational(ImageId id, uint32_t tag) {
    std::optional<cGDIPPropertyItem> item = CreatePropertyItem(id, tag);
    if (!item || item->Length() != 8 || item->ItemType() != gp::PropertyTagTypeRational)
        return {};
    uint32_t v[2];
    std::memcpy(v, item->DataPtr(), 8);
    return {v[0], v[1]};
}

// A 3 x 2 24-bit image with six distinct colours.
ImageId colourImage() {
    std::vector<uint8_t> rows = {1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0,
                                 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
    return registerBitmap(3, 2, gp::PixelFormat24bppRGB, rows);
}

TEST_F(ImageConvert, ReplacingConversionKeepsIdPixelsResolutionAndTags) {
    ImageId id = colourImage();
    ASSERT_EQ(SetResolution(id, 150, 75, true), OK);
    const char text[] = "hello";
    ASSERT_EQ(SetTagFromPointer(id, 0x010E, gp::PropertyTagTypeASCII, 6, text, false), OK);
    std::vector<uint32_t> before = readArgb(id);

    ImageId same = 0;
    ASSERT_EQ(ConvertPixelFormat(id, gp::PixelFormat32bppARGB, false, same), OK);
    EXPECT_EQ(same, id);
    EXPECT_EQ(ImagePixelFormat(id), gp::PixelFormat32bppARGB);
    EXPECT_EQ(readArgb(id), before);
    const ImageRecord* r = FindImageRecord(id);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->SourceKind, SourceKindOwnedBits);
    EXPECT_TRUE(r->OwnsPixelMemory);
    void* scan0 = nullptr;
    ASSERT_EQ(GetImageScan0(id, scan0), OK);
    EXPECT_EQ(scan0, r->PixelMemory); // the image draws from the handed-over buffer
    float x = 0, y = 0;
    GetImageHorizontalResolution(id, x);
    GetImageVerticalResolution(id, y);
    EXPECT_EQ(x, 150.0f);
    EXPECT_EQ(y, 75.0f);
    std::optional<cGDIPPropertyItem> item = CreatePropertyItem(id, 0x010E);
    ASSERT_TRUE(item);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(item->DataPtr())), "hello");
    EXPECT_EQ(liveEntries(), 1);
}

TEST_F(ImageConvert, ReturnNewLeavesTheOriginal) {
    ImageId id = colourImage();
    ImageId copy = 0;
    ASSERT_EQ(ConvertPixelFormat(id, gp::PixelFormat32bppRGB, true, copy), OK);
    EXPECT_NE(copy, id);
    EXPECT_EQ(ImagePixelFormat(id), gp::PixelFormat24bppRGB);
    EXPECT_EQ(ImagePixelFormat(copy), gp::PixelFormat32bppRGB);
    EXPECT_EQ(readArgb(copy), readArgb(id));
}

TEST_F(ImageConvert, Failures) {
    ImageId none = 0;
    EXPECT_EQ(ConvertPixelFormat(999, gp::PixelFormat32bppARGB, true, none), InvalidParameter);
    EXPECT_EQ(DuplicateImage(999, none), InvalidParameter);
    EXPECT_EQ(RotateFlip(999, 1, false), InvalidParameter);
    EXPECT_EQ(SetResolution(999, 72, 72, false), InvalidParameter);
    // An image registered without a GDI+ image has no size.
    ImageId empty = 0;
    RegisterImage(empty, 0, "", "", SourceKindGdiImage);
    EXPECT_EQ(ConvertPixelFormat(empty, gp::PixelFormat32bppARGB, true, none), GenericError);
    ImageId id = colourImage();
    EXPECT_EQ(ConvertPixelFormat(id, 0, true, none), InvalidParameter);
    // A failing read of the pixels frees the buffer (the sanitizer build sees a leak
    // otherwise) and leaves the image as it was.
    gp::test::FailNext(gp::FaultPoint::Lock, 1, gp::Win32Error);
    EXPECT_EQ(ConvertPixelFormat(id, gp::PixelFormat32bppARGB, false, none), Win32Error);
    EXPECT_EQ(ImagePixelFormat(id), gp::PixelFormat24bppRGB);
    EXPECT_EQ(none, 0);
    EXPECT_EQ(liveEntries(), 2);
}

TEST_F(ImageConvert, DuplicateOfAnIndexedImageCarriesItsPalette) {
    ImageId id = registerBitmap(4, 1, gp::PixelFormat8bppIndexed, {0, 1, 2, 3});
    gp::Palette palette;
    palette.entries = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF123456u};
    ASSERT_EQ(WriteImagePalette(id, palette), OK);
    ImageId copy = 0;
    ASSERT_EQ(DuplicateImage(id, copy), OK);
    EXPECT_EQ(ImagePixelFormat(copy), gp::PixelFormat8bppIndexed);
    gp::Palette copied;
    ASSERT_EQ(ReadImagePalette(copy, copied), OK);
    EXPECT_EQ(copied.entries, palette.entries);
    EXPECT_EQ(readArgb(copy), readArgb(id));
    EXPECT_EQ(GetImageSourceKind(copy), SourceKindOwnedBits);
}

TEST_F(ImageConvert, SetResolutionWritesDecimalRationals) {
    ImageId id = colourImage();
    ASSERT_EQ(SetResolution(id, 96, 72, false), OK);
    EXPECT_EQ(rational(id, 282), (std::vector<uint32_t>{96, 1}));
    EXPECT_EQ(rational(id, 283), (std::vector<uint32_t>{72, 1}));
    EXPECT_TRUE(FindImageRecord(id)->Modified);

    ImageId other = colourImage();
    ASSERT_EQ(SetResolution(other, 72.5f, 0.3f, true), OK);
    EXPECT_EQ(rational(other, 282), (std::vector<uint32_t>{725, 10}));
    EXPECT_EQ(rational(other, 283), (std::vector<uint32_t>{3, 10}));
    EXPECT_FALSE(FindImageRecord(other)->Modified);
    // A resolution GDI+ refuses leaves the DPI as it was.
    EXPECT_EQ(SetResolution(other, -1, 72, true), InvalidParameter);
    float x = 0;
    GetImageHorizontalResolution(other, x);
    EXPECT_EQ(x, 72.5f);
}

TEST_F(ImageConvert, ReapplyResolutionMakesTagsMatchTheDpi) {
    ImageId id = colourImage();
    ASSERT_EQ(gp::GdipBitmapSetResolution(GetGdiImage(id), 300, 150), gp::Ok);
    ReapplyResolution(id);
    EXPECT_EQ(rational(id, 282), (std::vector<uint32_t>{300, 1}));
    EXPECT_EQ(rational(id, 283), (std::vector<uint32_t>{150, 1}));
    EXPECT_FALSE(FindImageRecord(id)->Modified);
}

TEST_F(ImageConvert, PrepareImageForSaveRaisesTinyResolutionsAndDropsTimeZoneTags) {
    ImageId id = colourImage();
    ASSERT_EQ(gp::GdipBitmapSetResolution(GetGdiImage(id), 0.2f, 0.3f), gp::Ok);
    int16_t offset = 2;
    ASSERT_EQ(SetTagFromPointer(id, 0x882A, gp::PropertyTagTypeSShort, 2, &offset, false), OK);
    PrepareImageForSave(id);
    float x = 0, y = 0;
    GetImageHorizontalResolution(id, x);
    GetImageVerticalResolution(id, y);
    // The factor is the first of 1.0, 1.1, ... that lifts 0.2 to 0.5: 2.5.
    EXPECT_NEAR(x, 0.5f, 1e-5);
    EXPECT_NEAR(y, 0.75f, 1e-5);
    EXPECT_TRUE(FindImageRecord(id)->Modified);
    EXPECT_FALSE(CreatePropertyItem(id, 0x882A));

    // A vanishing resolution does not walk billions of steps.
    ImageId tiny = colourImage();
    ASSERT_EQ(gp::GdipBitmapSetResolution(GetGdiImage(tiny), 1e-12f, 1e-12f), gp::Ok);
    PrepareImageForSave(tiny);
    GetImageHorizontalResolution(tiny, x);
    EXPECT_GE(x, 0.5f);
    EXPECT_LT(x, 0.51f);

    // Ordinary resolutions are left alone.
    ImageId plain = colourImage();
    PrepareImageForSave(plain);
    GetImageHorizontalResolution(plain, x);
    EXPECT_EQ(x, 96.0f);
    EXPECT_FALSE(FindImageRecord(plain)->Modified);
}

TEST_F(ImageConvert, RotatingA24BitImageReplacesItByAnOwningCopy) {
    ImageId id = colourImage();
    std::vector<uint32_t> before = readArgb(id);
    ASSERT_EQ(RotateFlip(id, gp::Rotate90FlipNone, false), OK);
    int32_t w = 0, h = 0;
    GetImageWidth(id, w);
    GetImageHeight(id, h);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 3);
    std::vector<uint32_t> after = readArgb(id);
    // Clockwise: the bottom-left source pixel is now the top-left one.
    EXPECT_EQ(after[0], before[3]);
    EXPECT_EQ(after[1], before[0]);
    const ImageRecord* r = FindImageRecord(id);
    EXPECT_EQ(r->SourceKind, SourceKindOwnedBits);
    EXPECT_TRUE(r->OwnsPixelMemory);
    EXPECT_TRUE(r->Modified == false); // the replacing copy starts unmodified
    EXPECT_EQ(liveEntries(), 1);
}

TEST_F(ImageConvert, OneBitHalfTurnIsTwoQuarterTurns) {
    // 10 x 3 pixels, an asymmetric pattern.
    std::vector<uint8_t> rows = {0xC1, 0x40, 0, 0, 0x20, 0x80, 0, 0, 0xFF, 0x00, 0, 0};
    ImageId half = registerBitmap(10, 3, gp::PixelFormat1bppIndexed, rows);
    ImageId quarters = registerBitmap(10, 3, gp::PixelFormat1bppIndexed, rows);
    std::vector<uint32_t> original = readArgb(half);
    ASSERT_EQ(RotateFlip(half, gp::Rotate180FlipNone, false), OK);
    ASSERT_EQ(RotateFlip(quarters, gp::Rotate90FlipNone, false), OK);
    ASSERT_EQ(RotateFlip(quarters, gp::Rotate90FlipNone, false), OK);
    EXPECT_EQ(ImagePixelFormat(half), gp::PixelFormat1bppIndexed);
    std::vector<uint32_t> turned = readArgb(half);
    EXPECT_EQ(turned, readArgb(quarters));
    ASSERT_EQ(turned.size(), original.size());
    for (size_t i = 0; i < turned.size(); ++i)
        EXPECT_EQ(turned[i], original[original.size() - 1 - i]);
}

TEST_F(ImageConvert, TurningAnIndexedRawBitsImageForgetsTheMovedBuffer) {
    // An 8-bit image over a handed-over buffer; indexed results are not replaced, so the
    // entry itself sees the layer move the pixels.
    int32_t stride = GetStride(4, 8);
    auto* buffer = static_cast<uint8_t*>(gp::GdipAlloc(static_cast<size_t>(stride) * 2));
    std::memset(buffer, 1, static_cast<size_t>(stride) * 2);
    ImageId id = 0;
    ASSERT_EQ(LoadFromRawBits(4, 2, stride, gp::PixelFormat8bppIndexed, buffer, id, true), OK);
    ASSERT_EQ(RotateFlip(id, gp::Rotate90FlipNone, true), OK);
    const ImageRecord* r = FindImageRecord(id);
    EXPECT_EQ(r->SourceKind, SourceKindRawBits);
    EXPECT_FALSE(r->OwnsPixelMemory);
    EXPECT_EQ(r->PixelMemory, nullptr);
    EXPECT_FALSE(r->Modified);
    EXPECT_EQ(ReleaseImage(id), OK); // frees nothing twice (the sanitizer build checks)
}

} // namespace
