#include "platform/gdiplus/metafile.h"

#include "platform/gdiplus/graphics.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/session.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_metafile.h"
#include "platform/win/gdi_objects.h"
#include "tests/support/gdi_metafile_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>

// Cairo and fontconfig keep font caches for the life of the process; they are not leaks.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libcairo.so\n";
}

namespace {

using namespace gp;
using testsupport::EmfWriter;
using testsupport::WmfWriter;

class MetafileTest : public ::testing::Test {
protected:
    void SetUp() override { test::StartExternally(); }
    void TearDown() override { test::ResetSession(); }
};

// A placeable WMF, 1000 x 500 units at 1000 units per inch: 96 x 48 pixels. A red
// rectangle on the left, a blue ellipse on the right, black text at the top right.
std::vector<uint8_t> wmfFixture() {
    WmfWriter w;
    w.setWindowOrg(0, 0);
    w.setWindowExt(1000, 500);
    w.createBrush(0x0000FF); // red (COLORREF is 0x00BBGGRR)
    w.createPen(5, 0, 0);    // null pen
    w.selectObject(0);
    w.selectObject(1);
    w.rectangle(100, 100, 400, 400);
    w.deleteObject(0);
    w.createBrush(0xFF0000); // blue, in the freed slot 0
    w.selectObject(0);
    w.record(0x7777, {1, 2, 3}); // an unknown record is skipped
    w.ellipse(600, 250, 900, 450);
    w.createFont(-150, 700);
    w.selectObject(2);
    w.setBkMode(1);
    w.setTextColor(0);
    w.textOut(550, 20, "Hi");
    return w.bytes(0, 0, 1000, 500, 1000);
}

// An EMF of 20 x 10 mm on a 4 pixels/mm reference device: 80 x 40 pixels at 101.6 dpi.
std::vector<uint8_t> emfFixture() {
    EmfWriter e(2000, 1000, 1000, 500, 250, 125);
    e.createBrush(1, 0x00FF00); // green
    e.selectObject(1);
    e.selectObject(0x80000008); // NULL_PEN
    e.rectangle(4, 4, 36, 36);
    e.record(0x4242, {7, 7, 7}); // unknown
    e.createBrush(2, 0x0000FF);  // red
    e.selectObject(2);
    e.polygon16({44, 4, 76, 4, 60, 20});
    e.stretchDib(44, 24, 32, 12, 2, 1, {0x00FFFF00, 0x000000FF}); // yellow, blue
    e.font(3, -12);
    e.selectObject(3);
    e.setBkMode(1);
    e.textOutW(4, 38, u"x");
    return e.bytes();
}

// Draws a metafile image into a white w x h memory DC and returns pixel probes.
struct Rendered {
    std::shared_ptr<win::GdiSurface> surface;
    uint32_t at(int32_t x, int32_t y) const { return surface->pixel(x, y) & 0xFFFFFF; }
    int darkPixels(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
        int n = 0;
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x)
                n += (at(x, y) & 0xFF) < 100 && ((at(x, y) >> 16) & 0xFF) < 100;
        return n;
    }
};

Rendered render(GpImage image, int32_t w, int32_t h) {
    win::HDC dc = win::CreateCompatibleDC(0);
    win::HBITMAP bmp = win::CreateCompatibleBitmap(dc, w, h);
    win::HGDIOBJ old = win::SelectObject(dc, bmp);
    GpGraphics g = 0;
    EXPECT_EQ(GdipCreateFromHDC(dc, &g), Ok);
    GdipGraphicsClear(g, 0xFFFFFFFF);
    EXPECT_EQ(GdipDrawImageRectI(g, image, 0, 0, w, h), Ok);
    GdipDeleteGraphics(g);
    Rendered r{win::bitmapSurface(bmp)};
    win::SelectObject(dc, old);
    win::DeleteDC(dc);
    win::DeleteObject(bmp);
    return r;
}

TEST_F(MetafileTest, PlaceableWmfFileReportsItsFrameAndRendersTheShapes) {
    std::string path = testsupport::writeTempFile(wmfFixture(), ".wmf");
    GpMetafile mf = 0;
    ASSERT_EQ(GdipCreateMetafileFromFile(path, &mf), Ok);
    std::remove(path.c_str());
    const Image* img = findImage(mf);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->type, ImageTypeMetafile);
    EXPECT_EQ(img->rawFormat, ImageFormatWMF);
    EXPECT_EQ(img->active().width, 96);
    EXPECT_EQ(img->active().height, 48);
    EXPECT_EQ(img->active().format, PixelFormat32bppRGB);

    for (int scale : {1, 3}) {
        SCOPED_TRACE(scale);
        Rendered r = render(mf, 96 * scale, 48 * scale);
        EXPECT_EQ(r.at(24 * scale, 24 * scale), 0xFF0000u); // inside the rectangle
        EXPECT_EQ(r.at(5 * scale, 45 * scale), 0xFFFFFFu);  // outside everything
        EXPECT_EQ(r.at(72 * scale, 34 * scale), 0x0000FFu); // the ellipse's centre
        EXPECT_EQ(r.at(59 * scale, 26 * scale), 0xFFFFFFu); // its bounding box corner
        EXPECT_GT(r.darkPixels(52 * scale, 0, 80 * scale, 20 * scale), 5 * scale * scale);
    }
    EXPECT_EQ(GdipDisposeImage(mf), Ok);
}

TEST_F(MetafileTest, EmfHandleRendersAtTheReferenceResolution) {
    auto bytes = emfFixture();
    win::HENHMETAFILE h = win::SetEnhMetaFileBits(uint32_t(bytes.size()), bytes.data());
    ASSERT_NE(h, 0u);
    const size_t before = win::liveMetafileCount();
    GpMetafile mf = 0;
    ASSERT_EQ(GdipCreateMetafileFromEmf(h, 1, &mf), Ok);
    const Image* img = findImage(mf);
    EXPECT_EQ(img->rawFormat, ImageFormatEMF);
    EXPECT_EQ(img->active().width, 80);
    EXPECT_EQ(img->active().height, 40);
    EXPECT_NEAR(img->active().dpiX, 101.6, 1e-9);

    Rendered r = render(mf, 160, 80);
    EXPECT_EQ(r.at(40, 40), 0x00FF00u);  // green rectangle, 2x
    EXPECT_EQ(r.at(120, 14), 0xFF0000u); // red triangle
    EXPECT_EQ(r.at(100, 60), 0xFFFF00u); // left DIB pixel
    EXPECT_EQ(r.at(140, 60), 0x0000FFu); // right DIB pixel
    EXPECT_EQ(r.at(4, 4), 0xFFFFFFu);
    // The image owned the handle: disposing it deletes the handle.
    EXPECT_EQ(GdipDisposeImage(mf), Ok);
    EXPECT_EQ(win::liveMetafileCount(), before - 1);
    EXPECT_EQ(win::DeleteEnhMetaFile(h), 0);
}

TEST_F(MetafileTest, WmfHandleTakesTheGivenFrame) {
    auto file = wmfFixture();
    win::HMETAFILE h = win::SetMetaFileBitsEx(uint32_t(file.size()), file.data());
    ASSERT_NE(h, 0u);
    WmfPlaceableFileHeader header;
    header.BoundingBox = {0, 0, 2000, 1000};
    header.Inch = 1000;
    GpMetafile mf = 0;
    ASSERT_EQ(GdipCreateMetafileFromWmf(h, 0, &header, &mf), Ok);
    EXPECT_EQ(findImage(mf)->active().width, 192);
    EXPECT_EQ(GdipDisposeImage(mf), Ok);
    EXPECT_EQ(GdipCreateMetafileFromWmf(h, 0, nullptr, &mf), InvalidParameter);
    // Not owned: the handle survives.
    EXPECT_EQ(win::DeleteMetaFile(h), 1);
    EXPECT_EQ(GdipCreateMetafileFromWmf(h, 0, &header, &mf), InvalidParameter);
}

TEST_F(MetafileTest, DecoderHookRasterisesToAnArgbFrame) {
    DecodedImage out;
    auto bytes = wmfFixture();
    ASSERT_EQ(readMetafileAsBitmap(bytes, ImageKind::Wmf, out), Ok);
    ASSERT_EQ(out.frames.size(), 1u);
    const FrameData& f = out.frames[0];
    EXPECT_EQ(out.rawFormat, ImageFormatWMF);
    EXPECT_EQ(f.format, PixelFormat32bppARGB);
    EXPECT_EQ(f.width, 96);
    uint32_t inside, outside;
    std::memcpy(&inside, &f.pixels[size_t(24) * f.stride + 24 * 4], 4);
    std::memcpy(&outside, &f.pixels[size_t(45) * f.stride + 5 * 4], 4);
    EXPECT_EQ(inside, 0xFFFF0000u);
    EXPECT_EQ(outside, 0u); // transparent where nothing is drawn
    EXPECT_EQ(metafileReader(), &readMetafileAsBitmap);
}

TEST_F(MetafileTest, DamagedMetafilesNeverCrash) {
    for (auto make : {std::function<std::vector<uint8_t>()>(wmfFixture),
                      std::function<std::vector<uint8_t>()>(emfFixture)}) {
        const auto good = make();
        ImageKind kind = good[0] == 1 ? ImageKind::Emf : ImageKind::Wmf;
        for (size_t cut = 0; cut < good.size(); cut += 7) {
            std::vector<uint8_t> bad(good.begin(), good.begin() + long(cut));
            DecodedImage out;
            readMetafileAsBitmap(bad, kind, out);
        }
        for (size_t i = 0; i < good.size(); i += 3) {
            std::vector<uint8_t> bad = good;
            bad[i] ^= 0xA5;
            DecodedImage out;
            readMetafileAsBitmap(bad, kind, out);
        }
    }
    GpMetafile mf = 0;
    EXPECT_EQ(GdipCreateMetafileFromFile("/nonexistent/x.wmf", &mf), FileNotFound);
    std::string path = testsupport::writeTempFile({1, 2, 3, 4, 5}, ".emf");
    EXPECT_EQ(GdipCreateMetafileFromFile(path, &mf), UnknownImageFormat);
    std::remove(path.c_str());
}

} // namespace
