#include "platform/gdiplus/graphics.h"

#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/hbitmap.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/pixel_convert.h"
#include "platform/gdiplus/session.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_objects.h"
#include "platform/win/picture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using namespace gp;

class GraphicsTest : public ::testing::Test {
protected:
    void SetUp() override { test::StartExternally(); }
    void TearDown() override {
        for (GpImage i : m_images)
            GdipDisposeImage(i);
        test::ResetSession();
    }

    // A 32bppARGB bitmap owning its pixels, filled from `pixels` (row-major).
    GpImage bitmap(int32_t w, int32_t h, const std::vector<uint32_t>& pixels,
                   PixelFormat format = PixelFormat32bppARGB) {
        GpImage img = 0;
        EXPECT_EQ(GdipCreateBitmapFromScan0(w, h, 0, format, nullptr, &img), Ok);
        Frame& f = findBitmap(img)->active();
        for (int32_t y = 0; y < h && !pixels.empty(); ++y)
            std::memcpy(f.row(y), &pixels[size_t(y) * w], size_t(w) * 4);
        m_images.push_back(img);
        return img;
    }

    std::vector<GpImage> m_images;
};

// A memory DC with a 32-bpp bitmap, cleared to one colour.
struct MemorySurface {
    win::HDC dc = 0;
    win::HBITMAP bmp = 0;
    win::HGDIOBJ old = 0;
    MemorySurface(int32_t w, int32_t h) {
        dc = win::CreateCompatibleDC(0);
        bmp = win::CreateCompatibleBitmap(dc, w, h);
        old = win::SelectObject(dc, bmp);
    }
    ~MemorySurface() {
        win::SelectObject(dc, old);
        win::DeleteObject(bmp);
        win::DeleteDC(dc);
    }
    uint32_t at(int32_t x, int32_t y) const { return win::dcSurface(dc)->pixel(x, y); }
};

TEST_F(GraphicsTest, NearestDoubleIntoAMemoryDcReplicatesBlocksAndKeepsTheRest) {
    GpImage img = bitmap(2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456});
    MemorySurface s(8, 8);
    GpGraphics g = 0;
    ASSERT_EQ(GdipCreateFromHDC(s.dc, &g), Ok);
    ASSERT_EQ(GdipGraphicsClear(g, 0xFFFFFFFF), Ok);
    ASSERT_EQ(GdipSetInterpolationMode(g, InterpolationModeNearestNeighbor), Ok);
    ASSERT_EQ(GdipSetPixelOffsetMode(g, PixelOffsetModeHalf), Ok);
    ASSERT_EQ(GdipDrawImageRectI(g, img, 2, 3, 4, 4), Ok);
    const uint32_t src[2][2] = {{0xFFFF0000, 0xFF00FF00}, {0xFF0000FF, 0xFF123456}};
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x) {
            bool inside = x >= 2 && x < 6 && y >= 3 && y < 7;
            uint32_t expected = inside ? src[(y - 3) / 2][(x - 2) / 2] : 0xFFFFFFFF;
            ASSERT_EQ(s.at(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(GdipDeleteGraphics(g), Ok);
    EXPECT_EQ(GdipDeleteGraphics(g), InvalidParameter);
    EXPECT_EQ(GdipDeleteGraphics(0), InvalidParameter);
}

TEST_F(GraphicsTest, BottomUpDibsAreDrawnTopRowFirstOnBothSides) {
    // The source wraps a bottom-up DIB in place; the target is a bottom-up DIB section.
    struct {
        win::BITMAPINFOHEADER h;
    } info{};
    info.h.biWidth = 1;
    info.h.biHeight = 2;
    info.h.biBitCount = 32;
    uint32_t srcBits[2] = {0x00000022, 0x00000011}; // memory order: bottom row first
    GpBitmap src = 0;
    ASSERT_EQ(GdipCreateBitmapFromGdiDib(reinterpret_cast<win::BITMAPINFO*>(&info), srcBits, &src),
              Ok);
    m_images.push_back(src);
    void* bits = nullptr;
    win::HBITMAP dib = win::CreateDIBSection(0, reinterpret_cast<win::BITMAPINFO*>(&info),
                                             win::DIB_RGB_COLORS, &bits);
    win::HDC dc = win::CreateCompatibleDC(0);
    win::HGDIOBJ old = win::SelectObject(dc, dib);
    GpGraphics g = 0;
    ASSERT_EQ(GdipCreateFromHDC(dc, &g), Ok);
    GdipSetInterpolationMode(g, InterpolationModeNearestNeighbor);
    ASSERT_EQ(GdipDrawImageRectI(g, src, 0, 0, 1, 2), Ok);
    auto* out = static_cast<uint32_t*>(bits);
    EXPECT_EQ(out[0], 0xFF000022u); // the bottom row stays at the lowest address
    EXPECT_EQ(out[1], 0xFF000011u);
    GdipDeleteGraphics(g);
    win::SelectObject(dc, old);
    win::DeleteDC(dc);
    win::DeleteObject(dib);
}

TEST_F(GraphicsTest, PageUnitsMapOnTheDcResolution) {
    GpImage img = bitmap(1, 1, {0xFF000000});
    struct Case {
        Unit unit;
        double dpi;
        bool printer;
        float size;        // page units
        int32_t lastDrawn; // last device pixel covered on each axis
    };
    const Case cases[] = {
        {UnitPixel, 300, true, 10, 9},        {UnitDisplay, 96, false, 10, 9},
        {UnitDisplay, 300, true, 10, 29},     {UnitInch, 96, false, 1, 95},
        {UnitPoint, 96, false, 72, 95},       {UnitDocument, 300, true, 300, 299},
        {UnitMillimeter, 300, true, 10, 117}, // 118.11 pixels
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.unit));
        win::HDC dc = c.printer ? win::createPrinterDc(400, 400, c.dpi, c.dpi) : 0;
        std::unique_ptr<MemorySurface> mem;
        if (!c.printer) {
            mem = std::make_unique<MemorySurface>(400, 400);
            dc = mem->dc;
        }
        GpGraphics g = 0;
        ASSERT_EQ(GdipCreateFromHDC(dc, &g), Ok);
        ASSERT_EQ(GdipGraphicsClear(g, 0xFFFFFFFF), Ok);
        ASSERT_EQ(GdipSetPageUnit(g, c.unit), Ok);
        ASSERT_EQ(GdipSetPixelOffsetMode(g, PixelOffsetModeHalf), Ok);
        ASSERT_EQ(GdipDrawImageRect(g, img, 0, 0, c.size, c.size), Ok);
        auto surface = win::dcSurface(dc);
        EXPECT_EQ(surface->pixel(c.lastDrawn, c.lastDrawn), 0xFF000000u);
        EXPECT_EQ(surface->pixel(c.lastDrawn + 1, 0), 0xFFFFFFFFu);
        EXPECT_EQ(surface->pixel(0, c.lastDrawn + 1), 0xFFFFFFFFu);
        GdipDeleteGraphics(g);
        if (c.printer)
            win::DeleteDC(dc);
    }
}

TEST_F(GraphicsTest, SourceRectangleOutsideTheImageIsCutKeepingTheScale) {
    std::vector<uint32_t> px(16);
    for (int i = 0; i < 16; ++i)
        px[size_t(i)] = 0xFF000000u | uint32_t(i);
    GpImage img = bitmap(4, 4, px);
    MemorySurface s(8, 8);
    GpGraphics g = 0;
    ASSERT_EQ(GdipCreateFromHDC(s.dc, &g), Ok);
    GdipGraphicsClear(g, 0xFFFFFFFF);
    GdipSetInterpolationMode(g, InterpolationModeNearestNeighbor);
    GdipSetPixelOffsetMode(g, PixelOffsetModeHalf);
    // Source x from -2: the first two source columns do not exist, so the first four
    // destination columns stay untouched.
    ASSERT_EQ(
        GdipDrawImageRectRectI(g, img, 0, 0, 8, 8, -2, 0, 4, 4, UnitPixel, 0, nullptr, nullptr),
        Ok);
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 4; ++x)
            ASSERT_EQ(s.at(x, y), 0xFFFFFFFFu) << x << "," << y;
        for (int32_t x = 4; x < 8; ++x)
            ASSERT_EQ(s.at(x, y), 0xFF000000u | uint32_t((y / 2) * 4 + (x - 4) / 2)) << x;
    }
    EXPECT_EQ(GdipDrawImageRectRectI(g, img, 0, 0, 8, 8, 0, 0, 4, 4, UnitInch, 0, nullptr, nullptr),
              NotImplemented);
    GdipDeleteGraphics(g);
}

TEST_F(GraphicsTest, RemapBeforeGammaMakesTheMaskColourTransparent) {
    const ARGB mask = 0xFF00FF00;
    GpImage img = bitmap(2, 1, {mask, 0xFF808080});
    GpImage target = bitmap(2, 1, {});
    GpGraphics g = 0;
    ASSERT_EQ(GdipGetImageGraphicsContext(target, &g), Ok);
    ASSERT_EQ(GdipGraphicsClear(g, 0xFF0000FF), Ok);
    GpImageAttributes a = 0;
    ASSERT_EQ(GdipCreateImageAttributes(&a), Ok);
    ColorMap map{mask, 0x00000000};
    ASSERT_EQ(GdipSetImageAttributesRemapTable(a, ColorAdjustTypeDefault, 1, 1, &map), Ok);
    ASSERT_EQ(GdipSetImageAttributesGamma(a, ColorAdjustTypeDefault, 1, 0.5f), Ok);
    GdipSetInterpolationMode(g, InterpolationModeNearestNeighbor);
    ASSERT_EQ(
        GdipDrawImageRectRectI(g, img, 0, 0, 2, 1, 0, 0, 2, 1, UnitPixel, a, nullptr, nullptr), Ok);
    const Frame& f = findBitmap(target)->active();
    uint32_t p0, p1;
    std::memcpy(&p0, f.row(0), 4);
    std::memcpy(&p1, f.row(0) + 4, 4);
    EXPECT_EQ(p0, 0xFF0000FFu); // the background shows through the keyed colour
    EXPECT_EQ(p1, 0xFFB5B5B5u); // 255 * (128 / 255) ^ 0.5 = 180.6
    EXPECT_EQ(GdipSetImageAttributesGamma(a, ColorAdjustTypeDefault, 1, 0.0f), InvalidParameter);
    EXPECT_EQ(GdipSetImageAttributesRemapTable(a, ColorAdjustTypeDefault, 1, 0, &map),
              InvalidParameter);
    EXPECT_EQ(GdipDisposeImageAttributes(a), Ok);
    EXPECT_EQ(
        GdipDrawImageRectRectI(g, img, 0, 0, 2, 1, 0, 0, 2, 1, UnitPixel, a, nullptr, nullptr),
        InvalidParameter);
    GdipDeleteGraphics(g);
}

TEST_F(GraphicsTest, DrawingIntoAPictureKeepsTheKeyedColourTransparent) {
    // The transparent-control path: draw into a transparent 32bppARGB view bitmap with the
    // mask colour keyed out, hand it over as an HBITMAP and wrap it in a picture.
    const ARGB mask = 0xFFFF00FF;
    GpImage img = bitmap(2, 2, {mask, 0xFF102030, 0xFF405060, mask});
    GpImage view = bitmap(4, 4, {});
    GpGraphics g = 0;
    ASSERT_EQ(GdipGetImageGraphicsContext(view, &g), Ok);
    GpImageAttributes a = 0;
    GdipCreateImageAttributes(&a);
    ColorMap map{mask, 0};
    GdipSetImageAttributesRemapTable(a, ColorAdjustTypeDefault, 1, 1, &map);
    GdipSetInterpolationMode(g, InterpolationModeNearestNeighbor);
    GdipSetPixelOffsetMode(g, PixelOffsetModeHalf);
    ASSERT_EQ(
        GdipDrawImageRectRectI(g, img, 0, 0, 4, 4, 0, 0, 2, 2, UnitPixel, a, nullptr, nullptr), Ok);
    GdipDeleteGraphics(g);
    GdipDisposeImageAttributes(a);
    win::HBITMAP hbm = 0;
    ASSERT_EQ(GdipCreateHBITMAPFromBitmap(view, &hbm, 0), Ok);
    win::PICTDESC d;
    d.picType = win::PICTYPE_BITMAP;
    d.bmp.hbitmap = hbm;
    d.bmp.hpal = 0;
    win::PicturePtr picture;
    ASSERT_EQ(win::OleCreatePictureIndirect(&d, true, &picture), win::S_OK);
    auto s = win::bitmapSurface(picture->Handle());
    uint32_t keyed, kept;
    std::memcpy(&keyed, s->row(0), 4);
    std::memcpy(&kept, s->row(0) + 8, 4);
    EXPECT_EQ(keyed, 0u);
    EXPECT_EQ(kept, 0xFF102030u);
    EXPECT_EQ(picture->Width(), win::pixelsToHimetric(4));
}

TEST_F(GraphicsTest, ImageGraphicsNeedsANonIndexedBitmap) {
    GpImage indexed = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(4, 4, 0, PixelFormat8bppIndexed, nullptr, &indexed), Ok);
    m_images.push_back(indexed);
    GpGraphics g = 123;
    EXPECT_EQ(GdipGetImageGraphicsContext(indexed, &g), InvalidParameter);
    EXPECT_EQ(g, 0u);
    EXPECT_EQ(GdipGetImageGraphicsContext(0, &g), InvalidParameter);
    for (PixelFormat f : {PixelFormat24bppRGB, PixelFormat16bppRGB565, PixelFormat32bppPARGB,
                          PixelFormat64bppARGB}) {
        GpImage img = 0;
        ASSERT_EQ(GdipCreateBitmapFromScan0(3, 2, 0, f, nullptr, &img), Ok);
        m_images.push_back(img);
        ASSERT_EQ(GdipGetImageGraphicsContext(img, &g), Ok) << f;
        ASSERT_EQ(GdipGraphicsClear(g, 0xFFFF0000), Ok);
        GpImage src = bitmap(1, 1, {0xFF0000FF});
        ASSERT_EQ(GdipDrawImageRectI(g, src, 1, 0, 1, 1), Ok);
        const Frame& fr = findBitmap(img)->active();
        EXPECT_EQ(pixelToArgb(fr.row(0), 0, f, nullptr), 0xFFFF0000u) << f;
        EXPECT_EQ(pixelToArgb(fr.row(0), 1, f, nullptr), 0xFF0000FFu) << f;
        GdipDeleteGraphics(g);
    }
    test::ResetSession();
    EXPECT_EQ(GdipGetImageGraphicsContext(indexed, &g), GdiplusNotInitialized);
    test::StartExternally();
}

TEST_F(GraphicsTest, ModeSettersRefuseValuesOutsideTheirEnumerations) {
    MemorySurface s(1, 1);
    GpGraphics g = 0;
    ASSERT_EQ(GdipCreateFromHDC(s.dc, &g), Ok);
    EXPECT_EQ(GdipSetInterpolationMode(g, InterpolationMode(8)), InvalidParameter);
    EXPECT_EQ(GdipSetInterpolationMode(g, InterpolationMode(-1)), InvalidParameter);
    EXPECT_EQ(GdipSetSmoothingMode(g, SmoothingMode(5)), InvalidParameter);
    EXPECT_EQ(GdipSetPixelOffsetMode(g, PixelOffsetMode(5)), InvalidParameter);
    EXPECT_EQ(GdipSetCompositingQuality(g, CompositingQuality(5)), InvalidParameter);
    EXPECT_EQ(GdipSetPageUnit(g, UnitWorld), InvalidParameter);
    EXPECT_EQ(GdipSetPageUnit(g, Unit(7)), InvalidParameter);
    EXPECT_EQ(GdipSetSmoothingMode(g, SmoothingModeAntiAlias), Ok);
    SmoothingMode sm;
    EXPECT_EQ(GdipGetSmoothingMode(g, &sm), Ok);
    EXPECT_EQ(sm, SmoothingModeAntiAlias);
    EXPECT_EQ(GdipSetInterpolationMode(0, InterpolationModeBilinear), InvalidParameter);
    GdipDeleteGraphics(g);
    EXPECT_EQ(GdipCreateFromHDC(0x07FFFFFF, &g), InvalidParameter);
}

TEST_F(GraphicsTest, FaultSeamFailsTheNextDrawsOnly) {
    GpImage img = bitmap(1, 1, {0xFF000000});
    MemorySurface s(2, 2);
    GpGraphics g = 0;
    ASSERT_EQ(GdipCreateFromHDC(s.dc, &g), Ok);
    test::FailNext(FaultPoint::Draw, 2, OutOfMemory);
    EXPECT_EQ(GdipDrawImageRectI(g, img, 0, 0, 1, 1), OutOfMemory);
    EXPECT_EQ(
        GdipDrawImageRectRectI(g, img, 0, 0, 1, 1, 0, 0, 1, 1, UnitPixel, 0, nullptr, nullptr),
        OutOfMemory);
    EXPECT_EQ(GdipDrawImageRectI(g, img, 0, 0, 1, 1), Ok);
    EXPECT_EQ(s.at(0, 0), 0xFF000000u);
    GdipDeleteGraphics(g);
}

TEST_F(GraphicsTest, DrawsIndexedSourcesAndOntoPaletteDibSections) {
    GpImage src = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 1, 0, PixelFormat1bppIndexed, nullptr, &src), Ok);
    m_images.push_back(src);
    findBitmap(src)->active().row(0)[0] = 0x40; // pixel 1 white, pixel 0 black

    struct {
        win::BITMAPINFOHEADER h;
        win::RGBQUAD c[2];
    } info{};
    info.h.biWidth = 4;
    info.h.biHeight = 1;
    info.h.biBitCount = 1;
    info.c[1] = {255, 255, 255, 0};
    void* bits = nullptr;
    win::HBITMAP dib = win::CreateDIBSection(0, reinterpret_cast<win::BITMAPINFO*>(&info),
                                             win::DIB_RGB_COLORS, &bits);
    win::HDC dc = win::CreateCompatibleDC(0);
    win::HGDIOBJ old = win::SelectObject(dc, dib);
    GpGraphics g = 0;
    ASSERT_EQ(GdipCreateFromHDC(dc, &g), Ok);
    GdipSetInterpolationMode(g, InterpolationModeNearestNeighbor);
    GdipSetPixelOffsetMode(g, PixelOffsetModeHalf);
    ASSERT_EQ(GdipDrawImageRectI(g, src, 0, 0, 4, 1), Ok);
    EXPECT_EQ(static_cast<uint8_t*>(bits)[0], 0x30); // 0 0 1 1
    GdipDeleteGraphics(g);
    win::SelectObject(dc, old);
    win::DeleteDC(dc);
    win::DeleteObject(dib);
}

} // namespace
