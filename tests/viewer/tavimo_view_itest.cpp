// End-to-end: the tavimo-view program on scripts, without a display.

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "tests/support/viewer_fixtures.h"
#include "tests/support/viewer_run.h"

namespace fs = std::filesystem;
using viewer_test::runTavimoView;

namespace {

class TavimoView : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("tavimo_view_" + std::to_string(::getpid()) + "_" + info->name());
        fs::create_directories(dir / "tmp");
        ASSERT_TRUE(fs::exists(viewer_test::tavimoViewPath()));
        ASSERT_TRUE(viewer_test::writeBmp((dir / "a.bmp").string(), 400, 300, [](int x, int y) {
            return viewer_test::quadrants(x, y, 400, 300);
        }));
    }
    void TearDown() override { fs::remove_all(dir); }
    // Headless whatever the environment has, with a private temp folder.
    viewer_test::RunResult run(const std::string& script, std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"--size", "204x204"});
        return runTavimoView(dir.string(), args, script,
                             {"DISPLAY=", "tmp=" + (dir / "tmp").string()});
    }
    fs::path dir;
};

TEST_F(TavimoView, SuccessfulLoadPrintsStatusEventsAndValues) {
    auto r = run(R"(# a comment line
SetZoomFitControl   # trailing comments too
!events
DisplayFromFile "a.bmp"
!events
ZOOM
GetVersion
GetImageFormat
ScrollBars
GetWidthMM
PageCount
GetDisplayedArea
)");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "0\n"
                     "0\n"
                     "BeforeZoomChange\nPictureChange\nDisplay\nPaintControl\nPictureChanged\n"
                     "PageChange\nZoomChange\n"
                     "0.5\n"
                     "5.9901307\n"
                     "\"BMP\"\n"
                     "True\n"
                     "105.833336\n"
                     "1\n"
                     "nLeft=0\nnTop=0\nnWidth=400\nnHeight=300\n");
}

TEST_F(TavimoView, FailedLoadRaisesNoEvents) {
    auto r = run("DisplayFromFile \"missing.png\"\n!events\nGetStat\nGetNativeImage\n");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "10\n10\n0\n");
}

TEST_F(TavimoView, ZoomAndScrollMembers) {
    auto r = run(R"(DisplayFromFile "a.bmp"
!events
GetHScrollBarMaxPosition
SetHVScrollBarPosition 0, 0
!events
GetImageLeft
SetZoom 50
!events
HScrollVisible
ZoomArea 0, 0, 0, 10
ZoomMode = 1
ZOOM
!events
)");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "0\n"
                     "BeforeZoomChange\nPictureChange\nDisplay\nPaintControl\nPictureChanged\n"
                     "PageChange\nZoomChange\n"
                     "217\n"
                     "ScrollControl\nScrollControl\nDisplay\nPaintControl\nScrollControl\n"
                     "0\n"
                     "0\n"
                     "BeforeZoomChange\nDisplay\nPaintControl\nZoomChange\n"
                     "False\n"
                     "2\n"
                     "1\n"
                     "BeforeZoomChange\nDisplay\nPaintControl\nZoomChange\n");
}

TEST_F(TavimoView, QualityPassComesAfterASecondOnTheVirtualClock) {
    auto r = run(R"(ViewerQualityAuto = True
DisplayFromFile "a.bmp"
SetZoom 50
ViewerQuality
!events
!advance 999
!events
!advance 1
!events
ViewerQuality
GetInterpolationMode
!advance 3000
!events
)");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "0\n0\n0\n"
                     "BeforeZoomChange\nPictureChange\nDisplay\nPaintControl\nPictureChanged\n"
                     "PageChange\nZoomChange\nBeforeZoomChange\nDisplay\nPaintControl\nZoomChange\n"
                     "Display\nPaintControl\n"
                     "4\n"
                     "7\n");
}

TEST_F(TavimoView, ScriptErrorsGiveTheLineAndANonZeroExit) {
    struct Row {
        const char* script;
        const char* error;
    } rows[] = {
        {"GetStat\nNoSuchMember\n", "line 2: unknown member: NoSuchMember"},
        {"\n\nZoomArea 1, 2\n", "line 3: ZoomArea: missing argument"},
        {"SetZoom \"abc\n", "line 1: unterminated string"},
        {"!resize 10\n", "line 1: usage: !resize W H"},
        {"!fly\n", "line 1: unknown host command: !fly"},
        {"ZOOM 3\n", "line 1: a property takes no arguments; use '=' to set it"},
    };
    for (const Row& row : rows) {
        auto r = run(row.script);
        EXPECT_EQ(r.code, 2) << row.script;
        EXPECT_EQ(r.err, std::string(row.error) + "\n") << row.script;
    }
}

TEST_F(TavimoView, SavedBagLoadsIntoANewControl) {
    auto r = run(R"(ZoomStep = 25
BackColor = 255
!save bag.txt
ZoomStep = 5
!load bag.txt
ZoomStep
BackColor
)");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "25\n255\n");
}

TEST_F(TavimoView, SnapshotModeWritesThePictureOrReportsTheStatus) {
    auto r = runTavimoView(dir.string(), {"--snapshot", "shot.png", "--size", "100x80", "a.bmp"},
                           {}, {"DISPLAY="});
    ASSERT_EQ(r.code, 0) << r.err;
    viewer_test::Png png;
    ASSERT_TRUE(viewer_test::readPng((dir / "shot.png").string(), png));
    EXPECT_EQ(png.width, 100);
    EXPECT_EQ(png.height, 80);
    // Fitted: 96 x 72 inside the 2-pixel border, top-left quadrant red.
    EXPECT_EQ(png.argb[size_t(20) * 100 + 20], 0xFFFF0000u);
    r = runTavimoView(dir.string(), {"--snapshot", "x.png", "nothing.bmp"}, {}, {"DISPLAY="});
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.err.find("status 10"), std::string::npos) << r.err;
    // The built-in sample has three pages.
    r = run("DisplayFromFile \"sample.tif\"\nPageCount\n", {});
    EXPECT_EQ(r.out, "10\n0\n");
    ASSERT_EQ(runTavimoView(dir.string(), {"--write-sample", "sample.tif"}).code, 0);
    r = run("DisplayFromFile \"sample.tif\"\nPageCount\nImageWidth\n");
    EXPECT_EQ(r.out, "0\n3\n960\n");
}

TEST_F(TavimoView, PagingAndTurningTheSample) {
    ASSERT_EQ(runTavimoView(dir.string(), {"--write-sample", "sample.tif"}).code, 0);
    auto r = run(R"(DisplayFromFile "sample.tif"
!events
DisplayNextFrame
CurrentPage
Rotate90
!events
ImageWidth
ImageHeight
DisplayLastFrame
DisplayNextFrame
!events
CurrentPage
ImageWidth
GetImageFormat
)");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "0\n"
                     "BeforeZoomChange\nPictureChange\nDisplay\nPaintControl\nPictureChanged\n"
                     "PageChange\nZoomChange\n"
                     "0\n"
                     "2\n"
                     "0\n"
                     "Display\nPaintControl\nPageChange\n"
                     "Display\nPaintControl\nRotation(1)\n"
                     "640\n"
                     "960\n"
                     "0\n"
                     "0\n"
                     "Display\nPaintControl\nPageChange\n"
                     "3\n"
                     "960\n"
                     "\"TIFF\"\n");
}

} // namespace
