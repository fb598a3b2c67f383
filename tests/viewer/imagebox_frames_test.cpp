#include "core/image_containers.h"
#include "platform/win/timer.h"
#include "tests/support/containers_fixtures.h"
#include "tests/viewer/ops_fixture.h"

using namespace tavimo;
using namespace ops_test;
namespace fx = tavimo::testing;

namespace {

constexpr uint32_t kRed = 0xFFFF0000, kLime = 0xFF00FF00, kBlue = 0xFF0000FF;

class ImageBoxFrames : public OpsTest {
protected:
    void SetUp() override {
        OpsTest::SetUp();
        tif = fx::makeThreePageTiff(folder);
        gif = fx::makeThreeFrameGif(folder);
        ASSERT_FALSE(tif.empty() || gif.empty()) << "ImageMagick's convert is needed";
    }
    // One PageChange as the host saw it: when, which page, and the colour in the middle of
    // the view.
    struct Tick {
        uint64_t at;
        int32_t page;
        uint32_t colour;
        bool operator==(const Tick&) const = default;
    };
    // Records every PageChange of the control from now on, with times relative to now.
    void recordTicks(ax::HostedControl& c) {
        const uint64_t start = host.clock().nowMs();
        c.events->onEvent = [this, &c, start](ax::DispId id, std::span<ax::Variant>) {
            if (id == static_cast<ax::DispId>(ImageBoxEvent::PageChange))
                ticks.push_back(
                    {host.clock().nowMs() - start, box(c).get_CurrentPage(), pixel(c, 50, 50)});
        };
    }
    int frameTimers(ax::HostedControl& c) const {
        // The quality timer is off: every timer of the window is the frame timer.
        return static_cast<int>(win::TimerCount(c.hwnd()));
    }

    fx::FixtureFolder folder;
    std::string tif, gif;
    std::vector<Tick> ticks;
};

TEST_F(ImageBoxFrames, PagingThroughATiffRaisesPageChangeAfterTheDraw) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(tif), QuennetStatus::OK);
    EXPECT_EQ(b.get_PageCount(), 3);
    EXPECT_EQ(b.GetTotalFrame(), 3);
    EXPECT_EQ(b.get_CurrentPage(), 1);
    events(*c);

    struct Row {
        QuennetStatus (ImageBox::*member)();
        int32_t page;
        const char* size;
        uint32_t colour;
    } rows[] = {
        {&ImageBox::DisplayNextFrame, 2, "30x12", kLime},
        {&ImageBox::DisplayLastFrame, 3, "8x16", kBlue},
        {&ImageBox::DisplayPreviousFrame, 2, "30x12", kLime},
        {&ImageBox::DisplayFirstFrame, 1, "20x10", kRed},
    };
    for (const Row& r : rows) {
        EXPECT_EQ((b.*r.member)(), QuennetStatus::OK) << r.page;
        EXPECT_EQ(b.get_CurrentPage(), r.page);
        EXPECT_EQ(std::to_string(b.get_ImageWidth()) + "x" + std::to_string(b.get_ImageHeight()),
                  r.size);
        EXPECT_EQ(pixel(*c, 50, 50), r.colour) << r.page;
        EXPECT_EQ(events(*c), (Names{"Display", "PaintControl", "PageChange"})) << r.page;
    }
    // A fitted view changes its zoom between pages of different sizes.
    b.SetZoomFitControl();
    events(*c);
    ASSERT_EQ(b.DisplayFrame(3), QuennetStatus::OK);
    EXPECT_EQ(events(*c),
              (Names{"BeforeZoomChange", "Display", "PaintControl", "ZoomChange", "PageChange"}));
    EXPECT_EQ(b.state().m_ZoomedHeight, 100);
}

TEST_F(ImageBoxFrames, MovesPastTheEndsChangeNothing) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(tif), QuennetStatus::OK);
    events(*c);
    // At the first page, back and first do nothing (and return the last status).
    ASSERT_EQ(b.ZoomArea(0, 0, 0, 1), QuennetStatus::InvalidParameter);
    EXPECT_EQ(b.DisplayPreviousFrame(), QuennetStatus::InvalidParameter);
    EXPECT_EQ(b.DisplayFirstFrame(), QuennetStatus::InvalidParameter);
    EXPECT_TRUE(events(*c).empty());
    ASSERT_EQ(b.DisplayLastFrame(), QuennetStatus::OK);
    events(*c);
    EXPECT_EQ(b.DisplayNextFrame(), QuennetStatus::OK);
    EXPECT_EQ(b.DisplayLastFrame(), QuennetStatus::OK);
    EXPECT_TRUE(events(*c).empty());
    // Numbers outside the pages: nothing moves, the status is 0, PageChange still comes.
    for (int32_t outside : {0, 4, -1}) {
        ASSERT_EQ(b.ZoomArea(0, 0, 0, 1), QuennetStatus::InvalidParameter);
        EXPECT_EQ(b.DisplayFrame(outside), QuennetStatus::OK) << outside;
        EXPECT_EQ(b.get_CurrentPage(), 3);
        EXPECT_EQ(events(*c), (Names{"PageChange"})) << outside;
    }
    // Without an image there is no page to tell about.
    b.CloseImage();
    events(*c);
    EXPECT_EQ(b.DisplayFrame(1), QuennetStatus::OK);
    EXPECT_EQ(b.DisplayNextFrame(), QuennetStatus::OK);
    EXPECT_EQ(b.DisplayFirstFrame(), QuennetStatus::OK);
    EXPECT_EQ(b.get_CurrentPage(), 0);
    EXPECT_TRUE(events(*c).empty());
}

TEST_F(ImageBoxFrames, ASingleImageShowsItsOnePageAgain) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("q.bmp", 40, 20)), QuennetStatus::OK);
    events(*c);
    EXPECT_EQ(b.DisplayFrame(1), QuennetStatus::OK);
    EXPECT_EQ(b.get_CurrentPage(), 1);
    EXPECT_EQ(pixel(*c, 31, 41), kRed) << "the view stays";
    EXPECT_EQ(events(*c), (Names{"Display", "PaintControl", "PageChange"}));
}

TEST_F(ImageBoxFrames, SplitContainersAndGifFramesPageToo) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ImageId doc = 0;
    ASSERT_EQ(fx::loadContainerStream(doc, tif), 0);
    ASSERT_EQ(b.SetNativeImage(doc), QuennetStatus::OK);
    ASSERT_EQ(b.DisplayFrame(2), QuennetStatus::OK);
    EXPECT_EQ(b.get_ImageWidth(), 30);
    EXPECT_EQ(GetCurrentTiffPage(doc), 1);
    // A page whose file went missing: the status is the core's, the view is cleared.
    ImageRecord* r = FindImageRecord(doc);
    ASSERT_NE(r, nullptr);
    r->PageFiles[2].clear();
    b.put_SilentMode(true);
    EXPECT_EQ(b.DisplayFrame(3), QuennetStatus::GenericError);
    EXPECT_EQ(b.get_CurrentPage(), 3);
    EXPECT_EQ(pixel(*c, 50, 50), 0xFF000000u);
    b.CloseImage();

    ASSERT_EQ(b.DisplayFromFile(gif), QuennetStatus::OK);
    ASSERT_EQ(b.get_PageCount(), 3);
    ASSERT_EQ(b.DisplayFrame(3), QuennetStatus::OK);
    EXPECT_EQ(GetCurrentGifFrame(b.GetNativeImage()), 2);
    EXPECT_EQ(pixel(*c, 50, 50), kBlue);
}

TEST_F(ImageBoxFrames, PageCountAndCurrentPageCannotBeSet) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(tif), QuennetStatus::OK);
    b.put_CurrentPage(3);
    b.put_PageCount(7);
    EXPECT_EQ(b.get_CurrentPage(), 1);
    EXPECT_EQ(b.get_PageCount(), 3);
    EXPECT_EQ(c->site->changedKeys, (Names{"CurrentPage", "PageCount"}));
}

TEST_F(ImageBoxFrames, GifPlaysEachFrameForItsOwnDelayWithoutEnd) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(gif), QuennetStatus::OK);
    EXPECT_FALSE(b.state().m_GifPlaying);
    EXPECT_EQ(frameTimers(*c), 0);
    recordTicks(*c);
    EXPECT_EQ(b.PlayGif(), QuennetStatus::OK);
    EXPECT_TRUE(b.get_AnimateGIF());
    host.advance(1100);
    // 10, 0 (read as 25) and 20 hundredths, then frame 1 again.
    const std::vector<Tick> expected = {{0, 1, kRed},   {100, 2, kLime}, {350, 3, kBlue},
                                        {550, 1, kRed}, {650, 2, kLime}, {900, 3, kBlue},
                                        {1100, 1, kRed}};
    EXPECT_EQ(ticks.size(), expected.size());
    for (size_t i = 0; i < std::min(ticks.size(), expected.size()); ++i) {
        EXPECT_EQ(ticks[i].at, expected[i].at) << i;
        EXPECT_EQ(ticks[i].page, expected[i].page) << i;
        EXPECT_EQ(ticks[i].colour, expected[i].colour) << i;
    }
    // One timer at a time, re-armed by each tick; an hour later it still runs.
    EXPECT_EQ(frameTimers(*c), 1);
    host.advance(3600 * 1000);
    EXPECT_GT(ticks.size(), 3600u * 1000 / 550 * 3);
    EXPECT_EQ(frameTimers(*c), 1);
    EXPECT_EQ(b.frameTimerProcedure(), "FrameTimerProc");
    EXPECT_TRUE(host.messages().empty());
}

TEST_F(ImageBoxFrames, StopGifLeavesTheShownFrameCurrentAndPlayGifStartsOver) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(gif), QuennetStatus::OK);
    b.PlayGif();
    host.advance(150); // frame 2 is on screen
    b.StopGif();
    EXPECT_FALSE(b.get_AnimateGIF());
    EXPECT_FALSE(b.state().m_GifPlaying);
    EXPECT_EQ(frameTimers(*c), 0);
    EXPECT_EQ(b.get_CurrentPage(), 2);
    recordTicks(*c);
    host.advance(2000);
    EXPECT_TRUE(ticks.empty());
    // Paging by hand goes on from the frame that is shown.
    ASSERT_EQ(b.DisplayNextFrame(), QuennetStatus::OK);
    EXPECT_EQ(pixel(*c, 50, 50), kBlue);
    ticks.clear();
    recordTicks(*c);
    ASSERT_EQ(b.PlayGif(), QuennetStatus::OK);
    host.advance(100);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks[0].page, 1);
    EXPECT_EQ(ticks[1].page, 2);
    // A second PlayGif while playing changes nothing.
    EXPECT_EQ(b.PlayGif(), QuennetStatus::OK);
    EXPECT_EQ(ticks.size(), 2u);
    EXPECT_EQ(frameTimers(*c), 1);
}

TEST_F(ImageBoxFrames, AnimateGifStartsAndStopsPlayback) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    // Set before the load: the animated GIF plays as soon as it is shown.
    b.put_AnimateGIF(true);
    ASSERT_EQ(b.DisplayFromFile(gif), QuennetStatus::OK);
    EXPECT_TRUE(b.state().m_GifPlaying);
    EXPECT_EQ(frameTimers(*c), 1);
    // True again keeps it running; False stops it.
    b.put_AnimateGIF(true);
    EXPECT_TRUE(b.state().m_GifPlaying);
    b.put_AnimateGIF(false);
    EXPECT_FALSE(b.state().m_GifPlaying);
    EXPECT_EQ(frameTimers(*c), 0);
    b.put_AnimateGIF(true);
    EXPECT_TRUE(b.state().m_GifPlaying);
    EXPECT_EQ(std::count(c->site->changedKeys.begin(), c->site->changedKeys.end(), "AnimateGIF"),
              4);
    // Another image stops the timer and keeps the wish; the next animated GIF plays.
    ASSERT_EQ(b.DisplayFromFile(bmp("q.bmp", 8, 8)), QuennetStatus::OK);
    EXPECT_FALSE(b.state().m_GifPlaying);
    EXPECT_EQ(frameTimers(*c), 0);
    EXPECT_TRUE(b.get_AnimateGIF());
    ASSERT_EQ(b.DisplayFromFile(gif), QuennetStatus::OK);
    EXPECT_TRUE(b.state().m_GifPlaying);
    b.CloseImage();
    EXPECT_EQ(frameTimers(*c), 0);
    recordTicks(*c);
    host.advance(1000);
    EXPECT_TRUE(ticks.empty());
}

TEST_F(ImageBoxFrames, PlayGifActsOnlyOnAnAnimatedGifAfterASuccess) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(tif), QuennetStatus::OK);
    events(*c);
    EXPECT_EQ(b.PlayGif(), QuennetStatus::OK);
    EXPECT_FALSE(b.state().m_GifPlaying);
    EXPECT_FALSE(b.get_AnimateGIF());
    ASSERT_EQ(b.DisplayFromFile(bmp("q.bmp", 8, 8)), QuennetStatus::OK);
    EXPECT_EQ(b.PlayGif(), QuennetStatus::OK);
    EXPECT_FALSE(b.state().m_GifPlaying);
    // An animated GIF, but the last member failed.
    ASSERT_EQ(b.DisplayFromFile(gif), QuennetStatus::OK);
    ASSERT_EQ(b.ZoomArea(0, 0, 0, 1), QuennetStatus::InvalidParameter);
    events(*c);
    EXPECT_EQ(b.PlayGif(), QuennetStatus::InvalidParameter);
    EXPECT_FALSE(b.state().m_GifPlaying);
    EXPECT_TRUE(events(*c).empty());
    EXPECT_EQ(frameTimers(*c), 0);
}

TEST_F(ImageBoxFrames, TheContainerClassUsesItsOwnTimerProcedure) {
    auto* c = make(100, 100, true);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(gif), QuennetStatus::OK);
    b.PlayGif();
    EXPECT_EQ(b.frameTimerProcedure(), "") << "no tick has come yet";
    host.advance(100);
    EXPECT_EQ(b.frameTimerProcedure(), "FrameTimerProcCnt");
    EXPECT_EQ(b.get_CurrentPage(), 2);
}

TEST_F(ImageBoxFrames, AHandlerThatStopsOrClosesEndsTheChain) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(gif), QuennetStatus::OK);
    b.PlayGif();
    int changes = 0;
    c->events->onEvent = [&](ax::DispId id, std::span<ax::Variant>) {
        if (id == static_cast<ax::DispId>(ImageBoxEvent::PageChange) && ++changes == 2)
            b.StopGif();
    };
    host.advance(2000);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(frameTimers(*c), 0);
    EXPECT_EQ(b.get_CurrentPage(), 3);

    changes = 0;
    c->events->onEvent = [&](ax::DispId id, std::span<ax::Variant>) {
        if (id == static_cast<ax::DispId>(ImageBoxEvent::PageChange) && ++changes == 2)
            b.CloseImage();
    };
    b.PlayGif();
    host.advance(2000);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(frameTimers(*c), 0);
    EXPECT_EQ(b.GetNativeImage(), 0);
}

TEST_F(ImageBoxFrames, ATurnedFrameIsDroppedByTheNextTick) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(gif), QuennetStatus::OK);
    b.PlayGif();
    host.advance(100); // frame 2
    ASSERT_EQ(b.Rotate90(), QuennetStatus::OK);
    EXPECT_EQ(b.get_ImageWidth(), 6);
    EXPECT_NE(b.state().m_WorkImageId, 0);
    host.advance(250); // frame 3
    EXPECT_EQ(b.get_CurrentPage(), 3);
    EXPECT_EQ(b.state().m_WorkImageId, 0);
    EXPECT_EQ(b.get_ImageWidth(), 8);
    EXPECT_EQ(pixel(*c, 50, 50), kBlue);
}

TEST_F(ImageBoxFrames, NoTickReachesAControlThatHasEnded) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(gif), QuennetStatus::OK);
    b.PlayGif();
    recordTicks(*c);
    b.Terminate();
    host.advance(1000);
    EXPECT_TRUE(ticks.empty());
    // A playing control destroyed by its host: its timer goes with its window.
    auto* d = make(100, 100);
    ASSERT_EQ(box(*d).DisplayFromFile(gif), QuennetStatus::OK);
    box(*d).PlayGif();
    const win::HWND hwnd = d->hwnd();
    host.destroy(d);
    EXPECT_EQ(win::TimerCount(hwnd), 0u);
    host.advance(1000);
}

} // namespace
