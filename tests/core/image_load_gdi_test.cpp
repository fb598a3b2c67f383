#include "core/image_convert.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/quennet_status.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win/gdi.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace tavimo;
using tavimo::testing::CoreSessionTest;
using tavimo::testing::readArgb;

using LoadGdi = CoreSessionTest;

// A top-down 24-bpp DIB section holding the given BGR pixels (one row).
win::HBITMAP dibSection(int32_t width, const std::vector<uint8_t>& bgr) {
    win::BITMAPINFO info{};
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    win::HBITMAP bitmap = win::CreateDIBSection(0, &info, 0, &bits);
    if (bitmap && bits)
        std::memcpy(bits, bgr.data(), bgr.size());
    return bitmap;
}

TEST_F(LoadGdi, HBitmapsAreCopied) {
    win::HBITMAP bitmap = dibSection(2, {0, 0, 255, 0, 255, 0, 0, 0});
    ASSERT_NE(bitmap, 0u);
    ImageId id = 0;
    ASSERT_EQ(LoadFromHBitmap(bitmap, 0, id), OK);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindHBitmap);
    EXPECT_TRUE(win::DeleteObject(bitmap)); // the image keeps its own copy
    std::vector<uint32_t> px = readArgb(id);
    ASSERT_EQ(px.size(), 2u);
    EXPECT_EQ(px[0] & 0xFFFFFFu, 0xFF0000u);
    EXPECT_EQ(px[1] & 0xFFFFFFu, 0x00FF00u);

    EXPECT_EQ(LoadFromHBitmap(0x02FFFFF0u, 0, id), InvalidParameter);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(LoadFromHIcon(0, id), InvalidParameter);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(CreateBitmapFromGdiDib(nullptr, nullptr, id), InvalidParameter);
}

TEST_F(LoadGdi, OneBitHBitmapImagesAreCopiedBeforeAQuarterTurn) {
    // 16 x 2 monochrome: the first row starts with a black pixel followed by white ones.
    const uint8_t rows[] = {0x7F, 0xFF, 0x00, 0x00};
    win::HBITMAP bitmap = win::CreateBitmap(16, 2, 1, 1, rows);
    ASSERT_NE(bitmap, 0u);
    ImageId id = 0;
    ASSERT_EQ(LoadFromHBitmap(bitmap, 0, id), OK);
    win::DeleteObject(bitmap);
    ASSERT_EQ(ImagePixelFormat(id), gp::PixelFormat1bppIndexed);
    std::vector<uint32_t> before = readArgb(id);

    ASSERT_EQ(RotateFlip(id, gp::Rotate90FlipNone, false), OK);
    // The entry no longer stands for the HBITMAP: it holds a copy of its own, turned.
    EXPECT_NE(GetImageSourceKind(id), SourceKindHBitmap);
    EXPECT_EQ(ImagePixelFormat(id), gp::PixelFormat1bppIndexed);
    int32_t w = 0, h = 0;
    GetImageWidth(id, w);
    GetImageHeight(id, h);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 16);
    std::vector<uint32_t> after = readArgb(id);
    // Clockwise: source (0, 0) lands at (w - 1, 0).
    EXPECT_EQ(after[1], before[0]);
    EXPECT_EQ(after[0], before[16]);
    EXPECT_TRUE(FindImageRecord(id)->Modified);
    EXPECT_EQ(ReleaseImage(id), OK);

    // A flip keeps the size: no copy first.
    bitmap = win::CreateBitmap(16, 2, 1, 1, rows);
    ASSERT_EQ(LoadFromHBitmap(bitmap, 0, id), OK);
    win::DeleteObject(bitmap);
    ASSERT_EQ(RotateFlip(id, gp::RotateNoneFlipX, true), OK);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindHBitmap);
}

TEST_F(LoadGdi, IconsBecomeArgbImages) {
    win::HBITMAP colour = dibSection(2, {255, 0, 0, 0, 255, 0, 0, 0});
    const uint8_t mask[] = {0x00, 0x00, 0x00, 0x00}; // nothing transparent
    win::HBITMAP andMask = win::CreateBitmap(2, 1, 1, 1, mask);
    win::ICONINFO info;
    info.hbmColor = colour;
    info.hbmMask = andMask;
    win::HICON icon = win::CreateIconIndirect(&info);
    ASSERT_NE(icon, 0u);
    ImageId id = 0;
    ASSERT_EQ(LoadFromHIcon(icon, id), OK);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindHIcon);
    EXPECT_EQ(ImagePixelFormat(id), gp::PixelFormat32bppARGB);
    EXPECT_EQ(readArgb(id)[0], 0xFF0000FFu);
    win::DestroyIcon(icon);
    win::DeleteObject(colour);
    win::DeleteObject(andMask);
}

} // namespace
