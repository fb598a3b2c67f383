#include "core/filter_access.h"
#include "core/image_draw.h"
#include "core/image_info.h"
#include "core/quennet_status.h"
#include "platform/gdiplus/session.h"
#include "platform/win/gdi.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace tavimo;
using tavimo::testing::CoreSessionTest;
using tavimo::testing::registerBitmap;

// A memory DC with a 4 x 1 bitmap selected, freed at the end.
class MemoryDc {
public:
    MemoryDc() {
        m_dc = win::CreateCompatibleDC(0);
        m_bitmap = win::CreateCompatibleBitmap(m_dc, 4, 1);
        m_old = win::SelectObject(m_dc, m_bitmap);
    }
    ~MemoryDc() {
        win::SelectObject(m_dc, m_old);
        win::DeleteObject(m_bitmap);
        win::DeleteDC(m_dc);
    }
    win::HDC dc() const { return m_dc; }
    win::COLORREF pixel(int x) const { return win::GetPixel(m_dc, x, 0); }

private:
    win::HDC m_dc = 0;
    win::HBITMAP m_bitmap = 0;
    win::HGDIOBJ m_old = 0;
};

using Draw = CoreSessionTest;

// Red then blue, two pixels wide.
ImageId redBlue() {
    return registerBitmap(2, 1, gp::PixelFormat24bppRGB, {0, 0, 255, 255, 0, 0, 0, 0});
}

TEST_F(Draw, OutOfRangeModesBecomeNoSmoothingAndNearestNeighbour) {
    ImageId id = redBlue();
    MemoryDc target;
    ASSERT_EQ(DrawImageToDC(id, target.dc(), 0, 0, 4, 1, 9, -1, gp::UnitPixel), OK);
    EXPECT_EQ(target.pixel(0), win::RGB(255, 0, 0));
    EXPECT_EQ(target.pixel(1), win::RGB(255, 0, 0));
    EXPECT_EQ(target.pixel(2), win::RGB(0, 0, 255));
    EXPECT_EQ(target.pixel(3), win::RGB(0, 0, 255));

    // Bilinear, as asked, blends the two colours in the middle.
    MemoryDc blended;
    ASSERT_EQ(DrawImageToDC(id, blended.dc(), 0, 0, 4, 1, 0, gp::InterpolationModeBilinear,
                            gp::UnitPixel),
              OK);
    EXPECT_NE(blended.pixel(1), win::RGB(255, 0, 0));
}

TEST_F(Draw, AFailedDrawIsRetriedOnceWithTheFastestModes) {
    ImageId id = redBlue();
    MemoryDc once;
    gp::test::FailNext(gp::FaultPoint::Draw, 1, gp::GenericError);
    EXPECT_EQ(DrawImageToDC(id, once.dc(), 0, 0, 4, 1, 2, 7, gp::UnitPixel), OK);
    EXPECT_EQ(once.pixel(3), win::RGB(0, 0, 255));

    MemoryDc twice;
    gp::test::FailNext(gp::FaultPoint::Draw, 2, gp::OutOfMemory);
    EXPECT_EQ(DrawImageToDC(id, twice.dc(), 0, 0, 4, 1, 2, 7, gp::UnitPixel), OutOfMemory);
    EXPECT_EQ(twice.pixel(3), win::RGB(0, 0, 0));

    EXPECT_EQ(DrawImageToDC(424242, once.dc(), 0, 0, 4, 1, 0, 0, gp::UnitPixel), InvalidParameter);
    EXPECT_EQ(DrawImageToDC(id, 0x07FFFFFFu, 0, 0, 4, 1, 0, 0, gp::UnitPixel), InvalidParameter);
}

TEST_F(Draw, WrappersPassGdiplusStatuses) {
    ImageId id = redBlue();
    MemoryDc target;
    gp::GpGraphics g = 0;
    ASSERT_EQ(CreateGraphicsFromHdc(target.dc(), g), OK);
    EXPECT_EQ(ClearGraphics(g, 0xFF00FF00u), OK);
    EXPECT_EQ(SetInterpolationMode(g, 42), InvalidParameter);
    gp::GpImageAttributes a = 0;
    ASSERT_EQ(CreateImageAttributes(a), OK);
    EXPECT_EQ(SetAttributesGamma(a, gp::ColorAdjustTypeBitmap, true, 0.0f), InvalidParameter);
    gp::ColorMap map{0xFFFF0000u, 0xFF00FFFFu};
    EXPECT_EQ(SetAttributesRemapTable(a, gp::ColorAdjustTypeBitmap, true, 1, &map), OK);
    EXPECT_EQ(DrawImageRectRect(g, id, 0, 0, 2, 1, 0, 0, 1, 1, gp::UnitPixel, a), OK);
    EXPECT_EQ(target.pixel(1), win::RGB(0, 255, 255)); // red remapped
    EXPECT_EQ(target.pixel(3), win::RGB(0, 255, 0));   // the cleared colour
    EXPECT_EQ(DrawImageRect(g, id, 2, 0, 2, 1), OK);
    EXPECT_EQ(target.pixel(3), win::RGB(0, 0, 255));
    EXPECT_EQ(DrawImageRect(g, 777, 0, 0, 2, 1), InvalidParameter);
    EXPECT_EQ(DisposeImageAttributes(a), OK);
    EXPECT_EQ(DeleteGraphics(g), OK);
    EXPECT_EQ(DeleteGraphics(0), InvalidParameter);
}

TEST_F(Draw, ImageGraphicsMarksTheImageAndOldGdiplusConvertsIndexedImages) {
    ImageId rgb = redBlue();
    gp::GpGraphics g = 0;
    ASSERT_EQ(GetImageGraphics(rgb, g, 0), OK);
    EXPECT_TRUE(FindImageRecord(rgb)->Modified);
    ClearGraphics(g, 0xFF010203u);
    DeleteGraphics(g);
    EXPECT_EQ(tavimo::testing::readArgb(rgb)[1], 0xFF010203u);

    ImageId indexed = registerBitmap(2, 2, gp::PixelFormat8bppIndexed);
    EXPECT_EQ(GetImageGraphics(indexed, g, 0), InvalidParameter); // GDI+ 6 refuses it
    EXPECT_EQ(GetImageGraphics(31337, g, 0), InvalidParameter);

    restartWithVersion("5.1.3102.2180");
    indexed = registerBitmap(2, 2, gp::PixelFormat8bppIndexed);
    ASSERT_EQ(GetImageGraphics(indexed, g, 0), OK);
    EXPECT_EQ(ImagePixelFormat(indexed), gp::PixelFormat32bppARGB);
    DeleteGraphics(g);
}

TEST_F(Draw, HBitmapOfAnImage) {
    ImageId id = redBlue();
    win::HBITMAP bitmap = 0;
    ASSERT_EQ(CreateHBitmapFromImage(id, bitmap, 0xFF000000u), OK);
    ASSERT_NE(bitmap, 0u);
    win::BITMAP info{};
    ASSERT_GT(win::GetObject(bitmap, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 2);
    EXPECT_TRUE(win::DeleteObject(bitmap));
    EXPECT_EQ(CreateHBitmapFromImage(999, bitmap, 0), InvalidParameter);
    EXPECT_EQ(bitmap, 0u);
}

} // namespace

namespace {

using FilterEngine = tavimo::testing::CoreSessionTest;

TEST_F(FilterEngine, ApplyFilterReachesTheTableAfterStart) {
    using namespace tavimo;
    ImageId id = tavimo::testing::registerBitmap(2, 1, gp::PixelFormat24bppRGB,
                                                 {10, 20, 30, 200, 100, 0, 0, 0});
    FilterRect all{0, 0, 2, 1};
    double result = 0;
    ASSERT_EQ(ApplyFilter(2, id, 0, all, 0, 0, 0, 0, 0, 0, result), gp::Ok);
    std::vector<uint32_t> px = tavimo::testing::readArgb(id);
    EXPECT_EQ(px[0], 0xFFE1EBF5u); // 255 - 30, 255 - 20, 255 - 10
    EXPECT_TRUE(FindImageRecord(id)->Modified);
}

} // namespace
