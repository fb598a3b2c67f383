#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "core/image_load.h"
#include "core/image_table.h"
#include "platform/activex/surface.h"
#include "platform/gdiplus/session.h"
#include "platform/win/codepage.h"
#include "platform/win/files.h"
#include "tests/support/activex_host.h"
#include "tests/support/gdiplus_codec_fixtures.h"
#include "tests/support/viewer_fixtures.h"
#include "viewer/ImageBox.h"
#include "viewer/class_ids.h"
#include "viewer/entry_points.h"

using namespace tavimo;
using ax::Variant;
using Names = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

class ImageBoxView : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("imagebox_view_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        tmp = dir / "tmp";
        fs::create_directories(tmp);
        setenv("tmp", tmp.c_str(), 1);
        void* out = nullptr;
        ASSERT_EQ(DllGetClassObject(&CLSID_ImageBox, &ax::IID_IClassFactory, &out), ax::S_OK);
        factory = ax::ComPtr<ax::ClassFactory>::adopt(static_cast<ax::ClassFactory*>(out));
        gp::test::FailNext(gp::FaultPoint::Draw, 0, gp::Ok);
    }
    void TearDown() override {
        gp::test::FailNext(gp::FaultPoint::Draw, 0, gp::Ok);
        unsetenv("tmp");
        fs::remove_all(dir);
    }
    // A control whose client area (inside the border) is w x h.
    ax::HostedControl* make(int w, int h) {
        auto* c = host.create(*factory, w, h);
        int border = c->control->borderThickness();
        host.resize(*c, w + 2 * border, h + 2 * border);
        events(*c);
        return c;
    }
    static ImageBox& box(ax::HostedControl& c) { return static_cast<ImageBox&>(*c.control); }
    std::string bmp(const std::string& name, int w, int h, int32_t xppm = 0, int32_t yppm = 0) {
        std::string p = (dir / name).string();
        EXPECT_TRUE(viewer_test::writeBmp(
            p, w, h, [&](int x, int y) { return viewer_test::quadrants(x, y, w, h); }, xppm, yppm));
        return p;
    }
    Names events(ax::HostedControl& c) {
        Names n = c.events->names();
        c.events->records.clear();
        return n;
    }
    // The pixel at a point of the client area (inside the border).
    uint32_t pixel(ax::HostedControl& c, int x, int y) {
        ax::SurfacePtr s = host.snapshot(c);
        int b = c.control->borderThickness();
        return s ? ax::pixelAt(*s, x + b, y + b) | 0xFF000000u : 0;
    }

    fs::path dir, tmp;
    ax::HeadlessHost host;
    ax::ComPtr<ax::ClassFactory> factory;
};

const Names kFirstLoad = {"BeforeZoomChange", "PictureChange", "Display",   "PaintControl",
                          "PictureChanged",   "PageChange",    "ZoomChange"};

TEST_F(ImageBoxView, SuccessfulLoadAtFitGivesTheEventsInOrderAndCentres) {
    auto* c = make(400, 400); // 400 x 400 inside the border
    ImageBox& b = box(*c);
    ASSERT_EQ(b.ScaleWidth(), 400);
    b.SetZoomFitControl();
    events(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("wide.bmp", 1000, 500)), QuennetStatus::OK);
    EXPECT_EQ(events(*c), kFirstLoad);
    EXPECT_DOUBLE_EQ(b.get_ZOOM(), 0.4);
    EXPECT_EQ(b.state().m_ZoomedWidth, 400);
    EXPECT_EQ(b.state().m_ZoomedHeight, 200);
    EXPECT_EQ(b.GetImageTop(), 100);
    EXPECT_EQ(b.GetImageLeft(), 0);
    EXPECT_FALSE(b.get_HScrollVisible());
    EXPECT_FALSE(b.get_VScrollVisible());
    EXPECT_EQ(b.get_PageCount(), 1);
    EXPECT_EQ(b.get_CurrentPage(), 1);
    EXPECT_EQ(b.get_ImageWidth(), 1000);
    // Band above the image is the back colour, the image's top-left quadrant is red.
    EXPECT_EQ(pixel(*c, 200, 50), 0xFF000000u);
    EXPECT_EQ(pixel(*c, 10, 110), 0xFFFF0000u);
    EXPECT_EQ(pixel(*c, 390, 290), 0xFFFFFF00u);

    // Same zoom, same image: a redraw raises Display only.
    b.Redraw();
    EXPECT_EQ(events(*c), (Names{"Display", "PaintControl"}));
}

TEST_F(ImageBoxView, FailedLoadRaisesNothingAndLeavesTheControlClosed) {
    auto* c = make(200, 200);
    ImageBox& b = box(*c);
    events(*c);
    EXPECT_EQ(b.DisplayFromFile((dir / "missing.png").string()), QuennetStatus::FileNotFound);
    EXPECT_EQ(b.GetStat(), QuennetStatus::FileNotFound);
    EXPECT_TRUE(events(*c).empty());
    EXPECT_EQ(b.GetNativeImage(), 0);
    EXPECT_EQ(b.get_PageCount(), 0);
    // A file that does not decode.
    std::string junk = (dir / "junk.png").string();
    win::writeWholeFile(junk, std::vector<uint8_t>{1, 2, 3, 4, 5});
    EXPECT_NE(b.DisplayFromFile(junk), QuennetStatus::OK);
    EXPECT_TRUE(events(*c).empty());
    EXPECT_EQ(b.SetNativeImage(0), QuennetStatus::InvalidParameter);
}

TEST_F(ImageBoxView, OwnershipOfShownImages) {
    auto* c = make(200, 200);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("a.bmp", 20, 10)), QuennetStatus::OK);
    int32_t a = b.GetNativeImage();
    ASSERT_EQ(b.DisplayFromFile(bmp("b.bmp", 30, 10)), QuennetStatus::OK);
    int32_t second = b.GetNativeImage();
    EXPECT_NE(FindImageRecord(a), nullptr); // replaced, not released
    b.CloseImage();
    EXPECT_EQ(FindImageRecord(second), nullptr);
    EXPECT_EQ(b.GetNativeImage(), 0);
    // The host's own image, shown and replaced, stays the host's.
    EXPECT_EQ(b.SetNativeImage(a), QuennetStatus::OK);
    EXPECT_EQ(b.get_ImageWidth(), 20);
    b.ImageClosed();
    EXPECT_EQ(b.get_ImageWidth(), 20); // information kept
    EXPECT_NE(FindImageRecord(a), nullptr);
    ReleaseImage(a);
}

TEST_F(ImageBoxView, TemporaryCopyLivesWithTheImageAndAFailedLoadLeavesNoFlag) {
    auto* c = make(200, 200);
    ImageBox& b = box(*c);
    b.put_ImageForceTemporaryMode(true);
    const std::string copy = b.state().m_TempCopyPath;
    ASSERT_EQ(b.DisplayFromFile(bmp("a.bmp", 20, 10)), QuennetStatus::OK);
    EXPECT_TRUE(fs::exists(copy));
    EXPECT_TRUE(b.state().m_TempCopyInUse);
    b.CloseImage();
    EXPECT_FALSE(fs::exists(copy));

    // A corrupt file in temporary mode, then a host image, then another file: the host's
    // image is not released when it is replaced.
    std::string junk = (dir / "junk.bmp").string();
    win::writeWholeFile(junk, std::vector<uint8_t>{'B', 'M', 0, 0});
    EXPECT_NE(b.DisplayFromFile(junk), QuennetStatus::OK);
    EXPECT_FALSE(b.state().m_TempCopyInUse);
    EXPECT_FALSE(fs::exists(copy));
    int32_t hostId = 0;
    ASSERT_EQ(LoadImageFromFile(hostId, bmp("h.bmp", 8, 8), false, false, true, 0, true, true), 0);
    EXPECT_EQ(b.SetNativeImage(hostId), QuennetStatus::OK);
    b.put_ImageForceTemporaryMode(false);
    ASSERT_EQ(b.DisplayFromFile(bmp("c.bmp", 9, 9)), QuennetStatus::OK);
    EXPECT_NE(FindImageRecord(hostId), nullptr);
    ReleaseImage(hostId);
    // A missing file in temporary mode: loaded from the given path, 10.
    b.put_ImageForceTemporaryMode(true);
    EXPECT_EQ(b.DisplayFromFile((dir / "none.bmp").string()), QuennetStatus::FileNotFound);
}

TEST_F(ImageBoxView, BytesAndStringsLeaveNoFilesBehind) {
    auto* c = make(200, 200);
    ImageBox& b = box(*c);
    EXPECT_EQ(b.DisplayFromString(""), 1);
    EXPECT_EQ(b.DisplayFromString("x"), 21);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(win::readWholeFile(bmp("s.bmp", 16, 8), bytes));
    // Every byte value carried as a cp1252 character.
    std::string text = win::cp1252ToUtf8(std::string(bytes.begin(), bytes.end()));
    for (bool temporary : {false, true}) {
        b.put_ImageForceTemporaryMode(temporary);
        ASSERT_EQ(b.DisplayFromString(text), 0);
        EXPECT_EQ(b.get_ImageWidth(), 16);
        EXPECT_EQ(std::distance(fs::directory_iterator(tmp), fs::directory_iterator{}), 1);
        b.CloseImage();
        EXPECT_TRUE(fs::is_empty(tmp));
        EXPECT_EQ(b.state().m_TempCopyPath.rfind(tmp.string(), 0), 0u);
    }
    std::vector<uint8_t> junk{1, 2, 3};
    EXPECT_NE(b.DisplayFromByteArray(junk), 0);
    EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(ImageBoxView, ResolutionsGiveThePixelAspect) {
    auto* c = make(400, 400);
    ImageBox& b = box(*c);
    b.SetZoomFitControl();
    // 25.4 x 50.8 dpi: each pixel twice as tall as wide on paper, so drawn half as tall.
    ASSERT_EQ(b.DisplayFromFile(bmp("fax.bmp", 1000, 500, 1000, 2000)), QuennetStatus::OK);
    EXPECT_DOUBLE_EQ(b.state().m_AspectRatio, 2.0);
    EXPECT_DOUBLE_EQ(b.get_ZOOM(), 0.4);
    EXPECT_EQ(b.state().m_ZoomedHeight, 100);
    float l = -1, t = -1, w = -1, h = -1;
    b.GetDisplayedAreaMM(l, t, w, h);
    EXPECT_FLOAT_EQ(w, 1000.0f); // 1000 px at 25.4 dpi
    EXPECT_FLOAT_EQ(h, 250.0f);
    b.put_SkipImageResolution(true);
    b.Redraw();
    EXPECT_DOUBLE_EQ(b.state().m_AspectRatio, 1.0);
    EXPECT_EQ(b.state().m_ZoomedHeight, 200);

    b.put_SkipImageResolution(false);
    // An area zoom at aspect 0.5 scrolls the area's top into view.
    ASSERT_EQ(b.DisplayFromFile(bmp("tall.bmp", 200, 200, 2000, 1000)), QuennetStatus::OK);
    ASSERT_DOUBLE_EQ(b.state().m_AspectRatio, 0.5);
    ASSERT_EQ(b.ZoomArea(50, 60, 40, 40), QuennetStatus::OK);
    int32_t dl = 0, dt = 0, dw = 0, dh = 0;
    b.GetDisplayedArea(dl, dt, dw, dh);
    EXPECT_EQ(dl, 50);
    EXPECT_EQ(dt, 60);
    EXPECT_EQ(b.get_ZoomMode(), 4);
    EXPECT_EQ(b.ZoomArea(0, 0, 0, 5), QuennetStatus::InvalidParameter);
    EXPECT_EQ(b.get_ZoomMode(), 4);
    // The refused area does not stop the next layout.
    EXPECT_EQ(b.SetZoom100(), QuennetStatus::OK);
    EXPECT_DOUBLE_EQ(b.get_ZOOM(), 1.0);
}

TEST_F(ImageBoxView, ZoomMembersAndTheirEvents) {
    auto* c = make(200, 200);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("a.bmp", 100, 100)), QuennetStatus::OK);
    events(*c);
    b.SetZoom100(); // already mode 1: nothing
    EXPECT_TRUE(events(*c).empty());
    b.SetZoom(50);
    EXPECT_EQ(events(*c), (Names{"BeforeZoomChange", "Display", "PaintControl", "ZoomChange"}));
    EXPECT_DOUBLE_EQ(b.get_ZOOM(), 0.5);
    EXPECT_EQ(b.get_ZoomMode(), 4);
    b.put_ZoomStep(20);
    b.ZoomOUT();
    b.ZoomOUT();
    EXPECT_NEAR(b.get_ZOOM(), 0.1, 1e-12);
    b.ZoomOUT(); // would go to -0.1
    EXPECT_NEAR(b.get_ZOOM(), 0.1, 1e-12);
    b.SetZoom(float(b.GetMaxZoom() * 100));
    double max = b.get_ZOOM();
    events(*c);
    b.ZoomIN(); // past the maximum: nothing
    EXPECT_DOUBLE_EQ(b.get_ZOOM(), max);
    EXPECT_TRUE(events(*c).empty());
    b.put_ZOOM(1e9);
    EXPECT_DOUBLE_EQ(b.get_ZOOM(), b.GetMaxZoom());
}

TEST_F(ImageBoxView, ScrollingMovesTheViewAndCountsEvents) {
    auto* c = make(200, 200);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("big.bmp", 400, 300)), QuennetStatus::OK);
    EXPECT_TRUE(b.get_HScrollVisible());
    EXPECT_TRUE(b.get_VScrollVisible());
    EXPECT_EQ(b.GetHScrollBarMaxPosition(), 400 - 183);
    EXPECT_EQ(b.GetVScrollBarMaxPosition(), 300 - 183);
    // Centred by the default alignment at the first layout.
    EXPECT_EQ(b.GetHScrollBarPosition(), 108); // 217 / 2 = 108.5, to even
    events(*c);
    b.SetHVScrollBarPosition(0, 0);
    EXPECT_EQ(events(*c), (Names{"ScrollControl", "ScrollControl", "Display", "PaintControl",
                                 "ScrollControl"}));
    EXPECT_FALSE(b.get_LockControl());
    EXPECT_EQ(pixel(*c, 5, 5), 0xFFFF0000u);
    b.SetHScrollBarPosition(100000); // clamped to the end
    EXPECT_EQ(b.GetHScrollBarPosition(), 217);
    EXPECT_EQ(b.GetImageLeft(), -217);
    EXPECT_EQ(events(*c), (Names{"Display", "PaintControl", "ScrollControl"}));
    EXPECT_EQ(pixel(*c, 180, 5), 0xFF00FF00u);
    int32_t l = 0, t = 0, w = 0, h = 0;
    b.GetDisplayedArea(l, t, w, h);
    EXPECT_EQ(l, 217);
    EXPECT_EQ(w, 183);
    // A key on a bar is undone: the control handles keys itself.
    b.SetHScrollBarPosition(50);
    events(*c);
    ASSERT_TRUE(host.focus(b.hScroll().hWnd()));
    host.key(*c, 0x27 /* right */);
    EXPECT_EQ(b.GetHScrollBarPosition(), 50);
    // Locked: the values move, nothing is drawn.
    b.put_LockControl(true);
    events(*c);
    b.SetHVScrollBarPosition(10, 10);
    EXPECT_EQ(events(*c), (Names{"ScrollControl", "ScrollControl"}));
    EXPECT_TRUE(b.get_LockControl());
}

TEST_F(ImageBoxView, ShrinkingAtMaximumZoomKeepsTheBarsInRange) {
    auto* c = make(500, 400);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("strip.bmp", 1000, 10)), QuennetStatus::OK);
    b.put_ZOOM(b.GetMaxZoom());
    // The bound along the long side, less the vertical bar that is not needed.
    EXPECT_EQ(b.GetHScrollBarMaxPosition(), 32765 - 17);
    host.resize(*c, 404, 404);
    EXPECT_DOUBLE_EQ(b.get_ZOOM(), b.GetMaxZoom());
    EXPECT_EQ(b.state().m_ZoomedWidth, static_cast<int32_t>(std::lround(1000 * b.get_ZOOM())));
    EXPECT_LE(b.GetHScrollBarMaxPosition(), 32767);
    EXPECT_EQ(b.GetStat(), QuennetStatus::OK);
    // Narrower than the bars: nothing drawn, no error.
    c->events->records.clear();
    b.put_ForceScrollBars(true);
    host.resize(*c, 12, 12);
    EXPECT_EQ(b.GetStat(), QuennetStatus::OK);
    EXPECT_TRUE(host.messages().empty());
}

TEST_F(ImageBoxView, QualityPassRunsOnceAfterASecondStill) {
    auto* c = make(200, 200);
    ImageBox& b = box(*c);
    b.put_ViewerQualityAuto(true);
    ASSERT_EQ(b.DisplayFromFile(bmp("a.bmp", 300, 300)), QuennetStatus::OK);
    b.SetZoom(150);
    EXPECT_EQ(b.get_ViewerQuality(), 0);
    EXPECT_EQ(b.lastDrawInterpolation(), 5);
    events(*c);
    host.advance(999);
    EXPECT_TRUE(events(*c).empty());
    b.SetHScrollBarPosition(10); // a scroll restarts the second
    events(*c);
    host.advance(999);
    EXPECT_TRUE(events(*c).empty());
    host.advance(1);
    EXPECT_EQ(events(*c), (Names{"Display", "PaintControl"}));
    EXPECT_EQ(b.lastDrawInterpolation(), 7);
    EXPECT_EQ(b.get_ViewerQuality(), 4);
    host.advance(5000); // not re-armed
    EXPECT_TRUE(events(*c).empty());
    // At exactly 100 % nearest neighbour whatever the quality.
    b.put_ViewerQualityAuto(false);
    b.SetZoom100();
    EXPECT_EQ(b.lastDrawInterpolation(), 5);
    b.SetZoom(50);
    EXPECT_EQ(b.lastDrawInterpolation(), 7);
}

TEST_F(ImageBoxView, OutOfMemoryFallsBackAndOtherFailuresAreReported) {
    auto* c = make(200, 200);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("a.bmp", 400, 400)), QuennetStatus::OK);
    struct Row {
        int failures;
        int zoom;
    } rows[] = {
        {1, 100}, // retried with the plain modes
        {2, 100}, // part of the image visible: a clone of that part
        {2, 25},  // all of it visible: destination rectangle only
        {3, 25},  // then a thumbnail
    };
    for (const Row& r : rows) {
        b.SetZoom(float(r.zoom));
        events(*c);
        gp::test::FailNext(gp::FaultPoint::Draw, r.failures, gp::OutOfMemory);
        b.Redraw();
        EXPECT_EQ(b.GetStat(), QuennetStatus::OK) << r.failures << " " << r.zoom;
        EXPECT_EQ(events(*c), (Names{"Display", "PaintControl"}));
        // At 100 % the view shows the image's middle; at 25 % the image sits at 50, 50.
        EXPECT_EQ(r.zoom == 100 ? pixel(*c, 1, 1) : pixel(*c, 60, 60), 0xFFFF0000u);
        EXPECT_EQ(r.zoom == 100 ? pixel(*c, 150, 150) : pixel(*c, 140, 140), 0xFFFFFF00u);
    }
    // Another status: reported, no Display, tried again at the next layout.
    gp::test::FailNext(gp::FaultPoint::Draw, 1, gp::InvalidParameter);
    b.Redraw();
    EXPECT_EQ(b.GetStat(), QuennetStatus::InvalidParameter);
    EXPECT_TRUE(events(*c).empty());
    ASSERT_FALSE(host.messages().empty());
    EXPECT_EQ(host.messages().back().text, "Can not display image error no: 2");
    b.SetZoom(30);
    EXPECT_EQ(b.GetStat(), QuennetStatus::OK);
}

TEST_F(ImageBoxView, LockedControlRaisesPictureEventsOnly) {
    auto* c = make(200, 200);
    ImageBox& b = box(*c);
    b.put_LockControl(true);
    events(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("a.bmp", 50, 50)), QuennetStatus::OK);
    EXPECT_EQ(events(*c), (Names{"BeforeZoomChange", "PictureChange", "PictureChanged",
                                 "PageChange", "ZoomChange"}));
    EXPECT_EQ(b.GetStat(), QuennetStatus::OK);
}

TEST_F(ImageBoxView, PositionsAndAlignmentsPlaceTheImage) {
    // A 40 x 20 image in a 100 x 60 view at 100 %.
    struct Row {
        int32_t position;
        int left, top;
    } rows[] = {{4, 0, 0},   {5, 60, 0}, {6, 30, 0},  {0, 0, 20}, {1, 60, 20},
                {2, 30, 20}, {7, 0, 40}, {8, 60, 40}, {9, 30, 40}};
    auto* c = make(100, 60);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("small.bmp", 40, 20)), QuennetStatus::OK);
    for (const Row& r : rows) {
        b.put_ImagePosition(r.position);
        EXPECT_EQ(b.GetImageLeft(), r.left) << r.position;
        EXPECT_EQ(b.GetImageTop(), r.top) << r.position;
        EXPECT_EQ(pixel(*c, r.left, r.top), 0xFFFF0000u) << r.position;
        EXPECT_EQ(pixel(*c, r.left + 39, r.top + 19), 0xFFFFFF00u) << r.position;
    }
    // Position 3 keeps the offset.
    b.put_ImagePosition(3);
    EXPECT_EQ(b.GetImageLeft(), 30);

    // Alignment of a larger image: the scroll values at the table's fractions.
    struct ARow {
        int32_t alignment;
        int h, v;
    } arows[] = {{4, 0, 0}, {8, 217, 117}, {0, 0, 58}, {9, 108, 117}};
    auto* d = make(200, 200);
    ImageBox& e = box(*d);
    ASSERT_EQ(e.DisplayFromFile(bmp("big.bmp", 400, 300)), QuennetStatus::OK);
    for (const ARow& r : arows) {
        e.put_ImageAlignment(r.alignment);
        EXPECT_EQ(e.GetHScrollBarPosition(), r.h) << r.alignment;
        EXPECT_EQ(e.GetVScrollBarPosition(), r.v) << r.alignment;
        EXPECT_EQ(e.GetImageLeft(), -r.h) << r.alignment;
    }
    // Alignment 3 keeps the relative position when the zoom changes.
    e.put_ImageAlignment(3);
    e.SetZoom(200);
    EXPECT_EQ(e.GetHScrollBarPosition(), e.GetHScrollBarMaxPosition() * 108 / 217 + 0);
}

TEST_F(ImageBoxView, AlphaShowsTheBackColourAndTransparentControlsGetHoles) {
    auto* c = make(40, 40);
    ImageBox& b = box(*c);
    b.put_BackColor(0x0000FF); // red as a COLORREF
    std::string p = (dir / "alpha.png").string();
    ASSERT_TRUE(viewer_test::writePng(p, 40, 40, [](int x, int) {
        return x < 20 ? 0x00000000u : 0xFF00FF00u; // left half fully transparent
    }));
    ASSERT_EQ(b.DisplayFromFile(p), QuennetStatus::OK);
    EXPECT_EQ(pixel(*c, 5, 5), 0xFFFF0000u);
    EXPECT_EQ(pixel(*c, 30, 5), 0xFF00FF00u);
    // A system colour is translated, not taken as RGB.
    b.put_BackColor(static_cast<int32_t>(0x80000005u));
    b.Redraw();
    EXPECT_EQ(pixel(*c, 5, 5), ax::oleColorToPixel(0x80000005u) | 0xFF000000u);

    b.put_BackStyle(0);
    b.Redraw();
    ax::SurfacePtr s = host.snapshot(*c);
    int border = c->control->borderThickness();
    EXPECT_EQ(ax::pixelAt(*s, 5 + border, 5 + border) >> 24, 0u);
    EXPECT_EQ(ax::pixelAt(*s, 30 + border, 5 + border), 0xFF00FF00u);
    ASSERT_TRUE(b.picture());
    EXPECT_EQ(b.picture().get(), b.maskPicture().get());
    // The colour key turns green into holes too.
    b.put_ImageMaskColor(0x00FF00);
    b.Redraw();
    s = host.snapshot(*c);
    EXPECT_EQ(ax::pixelAt(*s, 30 + border, 5 + border) >> 24, 0u);
}

TEST_F(ImageBoxView, TerminateStopsTheQualityTimer) {
    auto* c = make(200, 200);
    ImageBox& b = box(*c);
    b.put_ViewerQualityAuto(true);
    b.SetZoom(50);
    ASSERT_EQ(b.DisplayFromFile(bmp("a.bmp", 300, 300)), QuennetStatus::OK);
    events(*c);
    b.Terminate();
    host.advance(3000);
    EXPECT_TRUE(events(*c).empty());
}

TEST_F(ImageBoxView, GifFramesGiveDelaysInMilliseconds) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    auto gif = gp::test::magickMake("-size 8x8 -delay 10 xc:red -delay 0 xc:blue -delay 20 "
                                    "xc:green -loop 0",
                                    "gif");
    ASSERT_FALSE(gif.empty()) << "ImageMagick's convert is needed";
    std::string path = (dir / "anim.gif").string();
    ASSERT_TRUE(win::writeWholeFile(path, gif));
    b.put_AnimateGIF(true);
    ASSERT_EQ(b.DisplayFromFile(path), QuennetStatus::OK);
    EXPECT_EQ(b.get_PageCount(), 3);
    EXPECT_TRUE(b.state().m_IsAnimatedGif);
    // A delay of 0 is a quarter second.
    EXPECT_EQ(b.state().m_FrameDelays, (std::vector<int32_t>{100, 250, 200}));
    // Loading the next image stops playback but leaves AnimateGIF as the host set it.
    ASSERT_EQ(b.DisplayFromFile(bmp("a.bmp", 8, 8)), QuennetStatus::OK);
    EXPECT_FALSE(b.state().m_IsAnimatedGif);
    EXPECT_TRUE(b.get_AnimateGIF());
    auto single = gp::test::magickMake("-size 8x8 xc:red", "gif");
    ASSERT_TRUE(win::writeWholeFile(path, single));
    ASSERT_EQ(b.DisplayFromFile(path), QuennetStatus::OK);
    EXPECT_EQ(b.get_PageCount(), 1);
    EXPECT_FALSE(b.state().m_IsAnimatedGif);
}

TEST_F(ImageBoxView, DrawingSpeedKeepsAPremultipliedCopy) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    b.put_OptimizeDrawingSpeed(true);
    ASSERT_EQ(b.DisplayFromFile(bmp("a.bmp", 40, 40)), QuennetStatus::OK);
    int32_t work = b.state().m_WorkImageId;
    ASSERT_NE(work, 0);
    EXPECT_NE(work, b.GetNativeImage());
    EXPECT_EQ(b.state().m_WorkFrame, 1);
    EXPECT_EQ(pixel(*c, 31, 31), 0xFFFF0000u); // (1, 1) of the image, placed at 30, 30
    b.Redraw();
    EXPECT_NE(b.state().m_WorkImageId, 0);
    b.CloseImage();
    EXPECT_EQ(FindImageRecord(work), nullptr); // the control's own copy goes with it
}

TEST_F(ImageBoxView, KeepImagePositionCarriesTheScrollToTheNextImage) {
    auto* c = make(200, 200);
    ImageBox& b = box(*c);
    b.put_KeepImagePosition(true);
    ASSERT_EQ(b.DisplayFromFile(bmp("a.bmp", 400, 300)), QuennetStatus::OK);
    b.SetHVScrollBarPosition(200, 100);
    ASSERT_EQ(b.DisplayFromFile(bmp("b.bmp", 400, 300)), QuennetStatus::OK);
    EXPECT_EQ(b.GetHScrollBarPosition(), 200);
    EXPECT_EQ(b.GetVScrollBarPosition(), 100);
    b.put_KeepImagePosition(false);
    ASSERT_EQ(b.DisplayFromFile(bmp("c.bmp", 400, 300)), QuennetStatus::OK);
    EXPECT_EQ(b.GetHScrollBarPosition(), 108); // realigned to the centre
}

TEST_F(ImageBoxView, PictureModeGammaAndABadGamma) {
    auto* c = make(40, 40);
    ImageBox& b = box(*c);
    std::string p = (dir / "grey.png").string();
    ASSERT_TRUE(viewer_test::writePng(p, 40, 40, [](int, int) { return 0xFF404040u; }));
    ASSERT_EQ(b.DisplayFromFile(p), QuennetStatus::OK);
    EXPECT_EQ(pixel(*c, 10, 10), 0xFF404040u);
    b.put_ForcePictureMode(true);
    b.Redraw();
    EXPECT_FALSE(b.AutoRedraw());
    ASSERT_TRUE(b.picture());
    EXPECT_EQ(pixel(*c, 10, 10), 0xFF404040u);
    // Gamma 0.5 brightens: 255 * (64 / 255) ^ 0.5 = 127.7.
    b.put_gamma(0.5f);
    b.Redraw();
    uint32_t g = pixel(*c, 10, 10) & 0xFF;
    EXPECT_NEAR(static_cast<int>(g), 128, 2);
    b.put_ForcePictureMode(false);
    b.Redraw();
    EXPECT_NEAR(static_cast<int>(pixel(*c, 10, 10) & 0xFF), 128, 2);
    // A gamma that is not above 0 cannot be drawn: reported, and the status kept.
    b.put_SilentMode(true);
    b.put_gamma(0.0f);
    b.Redraw();
    EXPECT_EQ(b.GetStat(), QuennetStatus::InvalidParameter);
    EXPECT_TRUE(host.messages().empty());
}

TEST_F(ImageBoxView, MembersAfterTheLastUserStoppedGdiPlus) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    std::string path = bmp("a.bmp", 20, 20);
    b.Terminate();
    // The image core's answer without GDI+ (the loaders all refuse); no crash, no image.
    EXPECT_NE(b.DisplayFromFile(path), QuennetStatus::OK);
    b.SetZoom(50);
    b.Redraw();
    b.CloseImage();
    EXPECT_EQ(b.GetNativeImage(), 0);
}

TEST_F(ImageBoxView, ZoomModesDrawAtHandComputedPlaces) {
    // A 40 x 20 image in a 100 x 80 view.
    struct Row {
        int32_t mode;
        double zoom;
        int32_t width, height, left, top;
    } rows[] = {
        {1, 1.0, 40, 20, 30, 30},
        {2, 2.5, 100, 50, 0, 15},
        {3, 2.5, 100, 50, 0, 15},
        // Height 80 makes it 160 wide; the horizontal bar leaves 63, still too wide.
        {5, 3.15, 126, 63, -13, 0},
        {6, 4.0, 100, 80, 0, 0},
    };
    auto* c = make(100, 80);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("small.bmp", 40, 20)), QuennetStatus::OK);
    for (const Row& r : rows) {
        b.put_ZoomMode(r.mode);
        EXPECT_DOUBLE_EQ(b.get_ZOOM(), r.zoom) << r.mode;
        EXPECT_EQ(b.state().m_ZoomedWidth, r.width) << r.mode;
        EXPECT_EQ(b.state().m_ZoomedHeight, r.height) << r.mode;
        EXPECT_EQ(b.GetImageLeft(), r.left) << r.mode;
        EXPECT_EQ(b.GetImageTop(), r.top) << r.mode;
        // The corners that are in view show the image's corner colours.
        int x0 = std::max(r.left, 0), y0 = std::max(r.top, 0);
        EXPECT_EQ(pixel(*c, x0, y0), 0xFFFF0000u) << r.mode;
        if (r.left >= 0) {
            EXPECT_EQ(pixel(*c, r.left + r.width - 1, r.top + r.height - 1), 0xFFFFFF00u) << r.mode;
        }
        if (r.top > 0) {
            EXPECT_EQ(pixel(*c, 50, r.top - 1), 0xFF000000u) << r.mode; // back colour
        }
    }
}

} // namespace
