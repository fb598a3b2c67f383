#include <gtest/gtest.h>

#include "viewer/view_math.h"

using namespace tavimo::view;

namespace {

struct ZoomRow {
    const char* name;
    int32_t w, h;
    double aspect;
    int32_t sw, sh;
    int32_t mode;
    double zoom, maxZoom;
    bool force;
    int32_t areaL, areaT, areaW, areaH;
    double wantZoom;
    int32_t wantW, wantH;
};

TEST(ViewMath, ZoomPerModeTable) {
    const ZoomRow rows[] = {
        {"fit wide image", 1000, 500, 1, 400, 400, 2, 1, 100, false, 0, 0, 0, 0, 0.4, 400, 200},
        {"fit with aspect 2", 1000, 500, 2, 400, 400, 2, 1, 100, false, 0, 0, 0, 0, 0.4, 400, 100},
        {"fit tall image", 500, 1000, 1, 400, 400, 2, 1, 100, false, 0, 0, 0, 0, 0.4, 200, 400},
        {"fit tie fits width", 400, 400, 1, 400, 400, 2, 1, 100, false, 0, 0, 0, 0, 1, 400, 400},
        {"100 percent", 1000, 500, 1, 400, 400, 1, 0.3, 100, false, 0, 0, 0, 0, 1, 1000, 500},
        {"custom keeps zoom", 1000, 500, 1, 400, 400, 4, 0.25, 100, false, 0, 0, 0, 0, 0.25, 250,
         125},
        {"custom capped", 1000, 500, 1, 400, 400, 4, 9, 2, false, 0, 0, 0, 0, 2, 2000, 1000},
        // Width fills, the image is taller, so the view narrows by the bar and stays there.
        {"width, tall", 400, 1000, 1, 400, 400, 3, 1, 100, false, 0, 0, 0, 0, 383.0 / 400, 383,
         958},
        // Narrowing for the bar makes the image fit the height: the height fills instead.
        {"width, slightly tall", 400, 410, 1, 400, 400, 3, 1, 100, false, 0, 0, 0, 0, 400.0 / 410,
         390, 400},
        {"height, wide", 1000, 400, 1, 400, 400, 5, 1, 100, false, 0, 0, 0, 0, 383.0 / 400, 958,
         383},
        {"height, slightly wide", 410, 400, 1, 400, 400, 5, 1, 100, false, 0, 0, 0, 0, 400.0 / 410,
         400, 390},
        {"stretch", 1000, 500, 1, 400, 300, 6, 1, 100, false, 0, 0, 0, 0, 0.6, 400, 300},
        {"stretch with forced bars", 1000, 500, 1, 400, 300, 6, 1, 100, true, 0, 0, 0, 0, 0.6, 383,
         283},
        {"area", 1000, 1000, 1, 400, 400, 7, 1, 100, false, 100, 100, 200, 100, 2, 2000, 2000},
        // The area's height counts at the vertical scale zoom / aspect.
        {"area with aspect 0.5", 1000, 1000, 0.5, 400, 400, 7, 1, 100, false, 0, 0, 100, 400, 0.5,
         500, 1000},
    };
    for (const auto& r : rows) {
        ZoomInput in;
        in.imageWidth = r.w;
        in.imageHeight = r.h;
        in.aspect = r.aspect;
        in.sw = r.sw;
        in.sh = r.sh;
        in.vw = 17;
        in.hh = 17;
        in.mode = r.mode;
        in.zoom = r.zoom;
        in.maxZoom = r.maxZoom;
        in.forceScrollBars = r.force;
        in.areaLeft = r.areaL;
        in.areaTop = r.areaT;
        in.areaWidth = r.areaW;
        in.areaHeight = r.areaH;
        ZoomResult z = computeZoom(in);
        ASSERT_TRUE(z.valid) << r.name;
        EXPECT_DOUBLE_EQ(z.zoom, r.wantZoom) << r.name;
        EXPECT_EQ(z.zoomedWidth, r.wantW) << r.name;
        EXPECT_EQ(z.zoomedHeight, r.wantH) << r.name;
        EXPECT_EQ(z.areaPlacement, r.mode == 7) << r.name;
    }
}

TEST(ViewMath, ZoomNeedsAnImageAndRoom) {
    ZoomInput in;
    in.imageWidth = 10, in.imageHeight = 10, in.sw = 17, in.sh = 100, in.vw = 17, in.hh = 17;
    in.forceScrollBars = true;
    EXPECT_FALSE(computeZoom(in).valid);
    in.forceScrollBars = false;
    EXPECT_TRUE(computeZoom(in).valid);
    in.imageHeight = 0;
    EXPECT_FALSE(computeZoom(in).valid);
}

TEST(ViewMath, MaxZoomBoundsTheLongerSide) {
    // Wide image: the horizontal range at max zoom is exactly the bound.
    double z = maxZoom(500, 400, 17, 17, 1000, 10, 1.0);
    EXPECT_DOUBLE_EQ(z, (500 + 32765 - 17) / 1000.0);
    EXPECT_EQ(roundToInt(1000 * z) - 500 + 17, 32765);
    // Tall in display terms because of the aspect (10 / 0.005 = 2000 > 1000).
    EXPECT_DOUBLE_EQ(maxZoom(500, 400, 17, 17, 1000, 10, 0.005), (400 + 32765 - 17) / 2000.0);
    EXPECT_DOUBLE_EQ(maxZoom(500, 400, 17, 17, 0, 10, 1.0), 1.0);
}

TEST(ViewMath, AspectIsOneUnlessBothResolutionsAreUsable) {
    EXPECT_DOUBLE_EQ(aspectRatio(72, 0, false), 1.0);
    EXPECT_DOUBLE_EQ(aspectRatio(0, 72, false), 1.0);
    EXPECT_DOUBLE_EQ(aspectRatio(72, 144, true), 1.0);
    EXPECT_DOUBLE_EQ(aspectRatio(72, 144, false), 2.0);
    EXPECT_DOUBLE_EQ(aspectRatio(204, 98, false), 98.0 / 204.0);
}

TEST(ViewMath, BarRangesLeaveNoStripUnreachable) {
    struct Row {
        const char* name;
        int32_t zw, zh, sw, sh;
        bool force;
        int32_t hMax, vMax;
        bool hNeeded, vNeeded;
    } rows[] = {
        {"fits", 800, 600, 800, 600, false, 0, 0, false, false},
        {"wide only", 1000, 500, 800, 600, false, 200, 0, true, false},
        {"tall only", 500, 1000, 800, 600, false, 0, 400, false, true},
        {"both", 1000, 1000, 800, 600, false, 217, 417, true, true},
        // The band cases: the other bar narrows the view by its thickness.
        {"band under the vertical bar", 790, 2000, 800, 600, false, 7, 1417, true, true},
        {"band under the horizontal bar", 2000, 590, 800, 600, false, 1217, 7, true, true},
        {"forced, small image", 100, 100, 800, 600, true, 0, 0, true, true},
        {"forced, band", 790, 590, 800, 600, true, 7, 7, true, true},
        {"16-bit limit", 40000, 100, 800, 600, false, 32767, 0, true, false},
    };
    for (const auto& r : rows) {
        BarInput in{r.zw, r.zh, r.sw, r.sh, 17, 17, true, r.force};
        BarRanges b = computeBarRanges(in);
        EXPECT_EQ(b.hMax, r.hMax) << r.name;
        EXPECT_EQ(b.vMax, r.vMax) << r.name;
        EXPECT_EQ(b.hNeeded, r.hNeeded) << r.name;
        EXPECT_EQ(b.vNeeded, r.vNeeded) << r.name;
        // The last column and row can be brought into the view beside the bars.
        int32_t viewW = r.sw - (b.vNeeded ? 17 : 0), viewH = r.sh - (b.hNeeded ? 17 : 0);
        if (r.zw <= 32767) {
            EXPECT_GE(b.hMax + viewW, r.zw) << r.name;
        }
        EXPECT_GE(b.vMax + viewH, r.zh) << r.name;
    }
}

TEST(ViewMath, PlacementFractionsAndOffsets) {
    EXPECT_EQ(placementFractions(4).h, 0);
    EXPECT_EQ(placementFractions(4).v, 0);
    EXPECT_EQ(placementFractions(8).h, 1);
    EXPECT_EQ(placementFractions(9).v, 1);
    EXPECT_EQ(placementFractions(0).v, 0.5);
    EXPECT_TRUE(placementFractions(3).keep);
    EXPECT_TRUE(placementFractions(10).keep);
    EXPECT_TRUE(placementFractions(-1).keep);
    EXPECT_EQ(positionOffset(0.5, 400, 200), 100);
    EXPECT_EQ(positionOffset(0.5, 400, 201), 99); // rounded down
    EXPECT_EQ(positionOffset(1, 400, 201), 199);
    EXPECT_EQ(positionOffset(0, 400, 201), 0);
    EXPECT_EQ(alignedValue(101, 0.5), 50); // 50.5 to even
    EXPECT_EQ(alignedValue(103, 0.5), 52);
    EXPECT_EQ(alignedValue(0, 1), 0);
}

TEST(ViewMath, DrawGeometryTable) {
    struct Row {
        const char* name;
        DrawInput in;
        DrawGeometry want;
    } rows[] = {
        // Smaller than the view: placed at the offset, the whole image.
        {"small",
         {400, 400, 100, 50, 200, 100, 1000, 500, 0.2, 1},
         {100, 50, 200, 100, 0, 0, 1000, 500, 0, 0, 1000, 500}},
        // Both round up at the right edge: the source moves in, the reported left stays.
        {"right edge",
         {7, 50, -195, 0, 202, 20, 101, 10, 2, 1},
         {0, 0, 7, 20, 97, 0, 4, 10, 98, 0, 4, 10}},
        // Aspect 2: the image-pixel values scale by the aspect vertically.
        {"aspect",
         {50, 50, -50, -50, 200, 100, 100, 100, 2, 2},
         {0, 0, 50, 50, 25, 50, 25, 50, 25, 50, 25, 50}},
    };
    for (const auto& r : rows) {
        DrawGeometry g = computeDrawGeometry(r.in);
        const DrawGeometry& w = r.want;
        EXPECT_EQ(g.dstX, w.dstX) << r.name;
        EXPECT_EQ(g.dstY, w.dstY) << r.name;
        EXPECT_EQ(g.dstWidth, w.dstWidth) << r.name;
        EXPECT_EQ(g.dstHeight, w.dstHeight) << r.name;
        EXPECT_EQ(g.srcX, w.srcX) << r.name;
        EXPECT_EQ(g.srcY, w.srcY) << r.name;
        EXPECT_EQ(g.srcWidth, w.srcWidth) << r.name;
        EXPECT_EQ(g.srcHeight, w.srcHeight) << r.name;
        EXPECT_EQ(g.displayedLeft, w.displayedLeft) << r.name;
        EXPECT_EQ(g.displayedTop, w.displayedTop) << r.name;
        EXPECT_EQ(g.displayedWidth, w.displayedWidth) << r.name;
        EXPECT_EQ(g.displayedHeight, w.displayedHeight) << r.name;
    }
}

TEST(ViewMath, InterpolationTable) {
    struct Row {
        double zoom;
        bool autoQ, pass;
        int32_t quality;
        int32_t mode, newQuality;
    } rows[] = {
        {1.0, false, false, 4, 5, -1}, {1.0, true, true, 4, 5, -1},
        {0.5, true, true, 0, 7, 4},    {0.5, true, false, 4, 5, 0},
        {0.5, false, false, 0, 5, -1}, {0.5, false, false, 1, 3, -1},
        {0.5, false, false, 2, 4, -1}, {0.5, false, false, 3, 6, -1},
        {2.0, false, false, 4, 7, -1}, {2.0, false, false, 99, 0, -1},
    };
    for (const auto& r : rows) {
        Interpolation i = chooseInterpolation(r.zoom, r.autoQ, r.pass, r.quality);
        EXPECT_EQ(i.mode, r.mode) << r.zoom << " " << r.quality;
        EXPECT_EQ(i.quality, r.newQuality) << r.zoom << " " << r.quality;
    }
}

} // namespace
