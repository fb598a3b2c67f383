#include "platform/gdiplus/hbitmap.h"

#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/pixel_convert.h"
#include "platform/gdiplus/session.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_objects.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace gp;

struct DibInfo {
    win::BITMAPINFOHEADER header;
    win::RGBQUAD colors[256];
};

class HBitmapTest : public ::testing::Test {
protected:
    void SetUp() override { test::StartExternally(); }
    void TearDown() override { test::ResetSession(); }
};

ARGB pixelOf(GpImage img, int32_t x, int32_t y) {
    const Frame& f = findImage(img)->active();
    return pixelToArgb(f.row(y), x, f.format, &f.palette);
}

TEST_F(HBitmapTest, GdiDibWrapsTheBitsInPlaceWithItsPaletteAndOrientation) {
    DibInfo info{};
    info.header.biWidth = 3;
    info.header.biHeight = 2; // bottom-up
    info.header.biBitCount = 8;
    info.header.biClrUsed = 3;
    info.header.biXPelsPerMeter = 3937;
    info.colors[0] = {0, 0, 255, 0};
    info.colors[1] = {0, 255, 0, 0};
    info.colors[2] = {255, 0, 0, 0};
    uint8_t bits[8] = {2, 2, 2, 0, 0, 1, 0, 0}; // memory row 0 is the bottom row
    GpBitmap bmp = 0;
    ASSERT_EQ(GdipCreateBitmapFromGdiDib(reinterpret_cast<win::BITMAPINFO*>(&info), bits, &bmp),
              Ok);
    const Frame& f = findImage(bmp)->active();
    EXPECT_EQ(f.format, PixelFormat8bppIndexed);
    EXPECT_EQ(f.palette.entries.size(), 3u);
    EXPECT_EQ(f.palette.entries[0], 0xFFFF0000u); // alpha forced opaque
    EXPECT_NEAR(f.dpiX, 100.0, 0.001);
    EXPECT_EQ(f.dpiY, 96.0);
    EXPECT_EQ(pixelOf(bmp, 1, 0), 0xFF00FF00u);
    EXPECT_EQ(pixelOf(bmp, 1, 1), 0xFF0000FFu);
    bits[4] = 1; // a later write to the DIB shows in the bitmap
    EXPECT_EQ(pixelOf(bmp, 0, 0), 0xFF00FF00u);
    EXPECT_EQ(GdipDisposeImage(bmp), Ok);
    EXPECT_EQ(bits[4], 1);

    info.header.biCompression = win::BI_RLE8;
    EXPECT_EQ(GdipCreateBitmapFromGdiDib(reinterpret_cast<win::BITMAPINFO*>(&info), bits, &bmp),
              InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromGdiDib(nullptr, bits, &bmp), InvalidParameter);
}

TEST_F(HBitmapTest, HBitmapConversionKeepsFormatAndCopiesPixels) {
    struct Case {
        uint16_t bpp;
        uint32_t compression;
        uint32_t masks[3];
        PixelFormat expected;
    };
    const Case cases[] = {
        {1, win::BI_RGB, {}, PixelFormat1bppIndexed},
        {4, win::BI_RGB, {}, PixelFormat4bppIndexed},
        {8, win::BI_RGB, {}, PixelFormat8bppIndexed},
        {16, win::BI_RGB, {}, PixelFormat16bppRGB555},
        {16, win::BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, PixelFormat16bppRGB565},
        {24, win::BI_RGB, {}, PixelFormat24bppRGB},
        {32, win::BI_RGB, {}, PixelFormat32bppRGB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bpp);
        DibInfo info{};
        info.header.biWidth = 5;
        info.header.biHeight = -2;
        info.header.biBitCount = c.bpp;
        info.header.biCompression = c.compression;
        std::memcpy(info.colors, c.masks, sizeof c.masks);
        if (c.bpp <= 8)
            for (int i = 0, n = 1 << c.bpp; i < n; ++i) {
                uint8_t v = uint8_t(i * 255 / (n - 1));
                info.colors[i] = {v, v, v, 0};
            }
        void* bits = nullptr;
        win::HBITMAP h = win::CreateDIBSection(0, reinterpret_cast<win::BITMAPINFO*>(&info),
                                               win::DIB_RGB_COLORS, &bits);
        ASSERT_NE(h, 0u);
        auto surface = win::bitmapSurface(h);
        surface->setPixel(1, 1, 0xFFFFFFFF);
        GpBitmap bmp = 0;
        ASSERT_EQ(GdipCreateBitmapFromHBITMAP(h, 0, &bmp), Ok);
        EXPECT_EQ(findImage(bmp)->active().format, c.expected);
        EXPECT_EQ(pixelOf(bmp, 1, 1), 0xFFFFFFFFu);
        EXPECT_EQ(pixelOf(bmp, 0, 1) & 0xFFFFFF, 0u);
        // A copy: later changes to the HBITMAP do not reach the bitmap.
        surface->setPixel(0, 1, 0xFFFFFFFF);
        EXPECT_EQ(pixelOf(bmp, 0, 1) & 0xFFFFFF, 0u);
        GdipDisposeImage(bmp);
        win::DeleteObject(h);
    }
    win::HBITMAP ddb = win::CreateCompatibleBitmap(0, 2, 2);
    GpBitmap bmp = 0;
    ASSERT_EQ(GdipCreateBitmapFromHBITMAP(ddb, 0, &bmp), Ok);
    EXPECT_EQ(findImage(bmp)->active().format, PixelFormat32bppRGB);
    GdipDisposeImage(bmp);
    win::DeleteObject(ddb);
    EXPECT_EQ(GdipCreateBitmapFromHBITMAP(ddb, 0, &bmp), InvalidParameter);
}

TEST_F(HBitmapTest, IconTransparencyComesFromTheMaskOrTheAlpha) {
    win::HBITMAP color = win::CreateCompatibleBitmap(0, 2, 1);
    win::bitmapSurface(color)->setPixel(0, 0, 0xFF112233);
    win::bitmapSurface(color)->setPixel(1, 0, 0xFF445566);
    uint8_t maskBits[2] = {0x40, 0}; // pixel 1 transparent
    win::HBITMAP mask = win::CreateBitmap(2, 1, 1, 1, maskBits);
    win::ICONINFO ii{1, 0, 0, mask, color};
    win::HICON icon = win::CreateIconIndirect(&ii);
    GpBitmap bmp = 0;
    ASSERT_EQ(GdipCreateBitmapFromHICON(icon, &bmp), Ok);
    EXPECT_EQ(findImage(bmp)->active().format, PixelFormat32bppARGB);
    EXPECT_EQ(pixelOf(bmp, 0, 0), 0xFF112233u);
    EXPECT_EQ(pixelOf(bmp, 1, 0) >> 24, 0u);

    // Back to an icon with alpha, and again to a bitmap: the alpha rules now.
    win::HICON again = 0;
    ASSERT_EQ(GdipCreateHICONFromBitmap(bmp, &again), Ok);
    GpBitmap bmp2 = 0;
    ASSERT_EQ(GdipCreateBitmapFromHICON(again, &bmp2), Ok);
    EXPECT_EQ(pixelOf(bmp2, 0, 0), 0xFF112233u);
    EXPECT_EQ(pixelOf(bmp2, 1, 0) >> 24, 0u);
    GdipDisposeImage(bmp);
    GdipDisposeImage(bmp2);
    win::DestroyIcon(icon);
    win::DestroyIcon(again);
    win::DeleteObject(color);
    win::DeleteObject(mask);
    EXPECT_EQ(GdipCreateBitmapFromHICON(icon, &bmp), InvalidParameter);
}

TEST_F(HBitmapTest, HBitmapFromBitmapIsPremultipliedOverTheBackground) {
    GpBitmap bmp = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 1, 0, PixelFormat32bppARGB, nullptr, &bmp), Ok);
    uint32_t px[2] = {0x80FF0000, 0xFF00FF00};
    std::memcpy(findImage(bmp)->active().row(0), px, 8);
    struct Case {
        ARGB background;
        uint32_t first;
    };
    for (Case c : {Case{0x00000000, 0x80800000}, Case{0xFF0000FF, 0xFF80007F}}) {
        win::HBITMAP h = 0;
        ASSERT_EQ(GdipCreateHBITMAPFromBitmap(bmp, &h, c.background), Ok);
        win::DIBSECTION ds{};
        ASSERT_EQ(win::GetObject(h, sizeof ds, &ds), int(sizeof ds));
        EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
        EXPECT_GT(ds.dsBmih.biHeight, 0);
        auto s = win::bitmapSurface(h);
        uint32_t v[2];
        std::memcpy(v, s->row(0), 8);
        EXPECT_EQ(v[0], c.first) << std::hex << c.background;
        EXPECT_EQ(v[1], 0xFF00FF00u);
        EXPECT_EQ(win::DeleteObject(h), 1);
    }
    win::HBITMAP h = 5;
    EXPECT_EQ(GdipCreateHBITMAPFromBitmap(0, &h, 0), InvalidParameter);
    EXPECT_EQ(h, 0u);
    GdipDisposeImage(bmp);
}

} // namespace
