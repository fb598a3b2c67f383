#include <cstring>
#include <optional>
#include <thread>

#include "core/image_load.h"
#include "core/image_metadata.h"
#include "core/image_picture.h"
#include "core/image_save.h"
#include "platform/activex/surface.h"
#include "platform/win/clipboard.h"
#include "platform/win/gdi.h"
#include "platform/win/module_version.h"
#include "tests/support/containers_fixtures.h"
#include "tests/viewer/ops_fixture.h"

using namespace tavimo;
using namespace ops_test;
namespace fx = tavimo::testing;

namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kYellow = 0xFFFFFF00;

// The size of what the clipboard holds as a bitmap, "WxH", or "none".
std::string clipboardSize() {
    if (!win::Clipboard::GetFormat(win::CF_BITMAP))
        return "none";
    ImageId id = 0;
    if (LoadFromClipboard(id) != 0)
        return "unreadable";
    std::string size = fx::pageSize(id);
    ReleaseImage(id);
    return size;
}

class ImageBoxOps : public OpsTest {};

TEST_F(ImageBoxOps, EachTurnAndFlipMovesTheCornersAndSwapsTheSizeOnQuarterTurns) {
    struct Row {
        QuennetStatus (ImageBox::*member)();
        int32_t type;
        uint32_t topLeft;
        bool swapped;
    } rows[] = {
        {&ImageBox::Rotate90, 1, kBlue, true},   {&ImageBox::Rotate180, 2, kYellow, false},
        {&ImageBox::Rotate270, 3, kGreen, true}, {&ImageBox::FlipX, 4, kGreen, false},
        {&ImageBox::FlipX90, 5, kRed, true},     {&ImageBox::FlipX180, 6, kBlue, false},
        {&ImageBox::FlipX270, 7, kYellow, true},
    };
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    const std::string path = bmp("q.bmp", 40, 20);
    for (const Row& row : rows) {
        ASSERT_EQ(b.DisplayFromFile(path), QuennetStatus::OK);
        const ImageId shown = b.GetNativeImage();
        events(*c);
        EXPECT_EQ((b.*row.member)(), QuennetStatus::OK) << row.type;
        EXPECT_EQ(b.GetNativeImage(), shown) << "the turned image keeps its identifier";
        EXPECT_EQ(b.get_ImageWidth(), row.swapped ? 20 : 40) << row.type;
        EXPECT_EQ(b.get_ImageHeight(), row.swapped ? 40 : 20) << row.type;
        EXPECT_EQ(fx::firstPixel(shown), row.topLeft) << row.type;
        // Redrawn first, then told.
        ASSERT_EQ(events(*c), (Names{"Display", "PaintControl", "Rotation"})) << row.type;
        b.Rotate90();
        EXPECT_EQ(c->events->records.back().args.at(0).toLong(), 1);
    }
    // On screen: a 20 x 40 image at 100 % sits at (40, 30); its top-left is now blue.
    ASSERT_EQ(b.DisplayFromFile(path), QuennetStatus::OK);
    b.Rotate90();
    EXPECT_EQ(pixel(*c, 41, 31), kBlue);
    EXPECT_EQ(pixel(*c, 39, 31), 0xFF000000u);
}

TEST_F(ImageBoxOps, TwoQuarterTurnsMakeAHalfTurnAndFourMakeNone) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("q.bmp", 7, 5)), QuennetStatus::OK);
    const std::vector<uint32_t> original = pixels(b.GetNativeImage());
    b.Rotate180();
    const std::vector<uint32_t> half = pixels(b.GetNativeImage());
    b.Rotate180();
    b.Rotate90();
    b.Rotate90();
    EXPECT_EQ(pixels(b.GetNativeImage()), half);
    b.Rotate90();
    b.Rotate90();
    EXPECT_EQ(pixels(b.GetNativeImage()), original);
    EXPECT_EQ(b.get_ImageWidth(), 7);
}

TEST_F(ImageBoxOps, FittedViewRelaysOutAfterATurn) {
    auto* c = make(200, 100);
    ImageBox& b = box(*c);
    b.SetZoomFitControl();
    ASSERT_EQ(b.DisplayFromFile(bmp("q.bmp", 200, 100)), QuennetStatus::OK);
    EXPECT_DOUBLE_EQ(b.get_ZOOM(), 1.0);
    events(*c);
    b.Rotate270();
    EXPECT_DOUBLE_EQ(b.get_ZOOM(), 0.5);
    EXPECT_EQ(events(*c),
              (Names{"BeforeZoomChange", "Display", "PaintControl", "ZoomChange", "Rotation"}));
}

TEST_F(ImageBoxOps, AWorkCopyOfASingleImageIsRebuiltFromTheTurnedImage) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    b.put_OptimizeDrawingSpeed(true);
    ASSERT_EQ(b.DisplayFromFile(bmp("q.bmp", 40, 20)), QuennetStatus::OK);
    const ImageId before = b.state().m_WorkImageId;
    ASSERT_NE(before, 0);
    ASSERT_EQ(b.Rotate90(), QuennetStatus::OK);
    const ImageId work = b.state().m_WorkImageId;
    ASSERT_NE(work, 0);
    EXPECT_TRUE(before == work || FindImageRecord(before) == nullptr) << "the stale copy went";
    EXPECT_EQ(fx::pageSize(work), "20x40");
    EXPECT_EQ(fx::firstPixel(work), kBlue);
    EXPECT_EQ(b.state().m_WorkFrame, 1);
}

TEST_F(ImageBoxOps, OnAPageHeldInPlaceOnlyThatPageTurnsAndPagingDropsTheTurn) {
    fx::FixtureFolder folder;
    const std::string tif = fx::makeThreePageTiff(folder);
    ASSERT_FALSE(tif.empty()) << "ImageMagick's convert is needed";
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(tif), QuennetStatus::OK);
    const ImageId doc = b.GetNativeImage();
    ASSERT_EQ(b.DisplayFrame(3), QuennetStatus::OK);
    ASSERT_EQ(b.Rotate90(), QuennetStatus::OK);
    EXPECT_EQ(b.get_ImageWidth(), 16);
    EXPECT_EQ(b.get_ImageHeight(), 8);
    EXPECT_NE(b.state().m_WorkImageId, 0);
    EXPECT_EQ(b.state().m_WorkFrame, 3);
    EXPECT_EQ(fx::pageSize(doc), "8x16") << "the document's page is untouched";
    // The turned page is what is copied.
    win::Clipboard::Clear();
    b.Copy2Clipboard();
    EXPECT_EQ(clipboardSize(), "16x8");
    // A second turn acts on the same work copy.
    ASSERT_EQ(b.Rotate90(), QuennetStatus::OK);
    EXPECT_EQ(b.get_ImageWidth(), 8);
    EXPECT_EQ(fx::pageSize(b.state().m_WorkImageId), "8x16");

    ASSERT_EQ(b.DisplayFrame(1), QuennetStatus::OK);
    EXPECT_EQ(b.state().m_WorkImageId, 0);
    EXPECT_EQ(b.get_ImageWidth(), 20);
    b.Rotate90();
    ASSERT_EQ(b.DisplayFrame(3), QuennetStatus::OK);
    EXPECT_EQ(b.get_ImageWidth(), 8) << "edits of in-place pages go with the page change";
}

TEST_F(ImageBoxOps, OnASplitContainerTheTurnedPageSurvivesPaging) {
    fx::FixtureFolder folder;
    const std::string tif = fx::makeThreePageTiff(folder);
    ASSERT_FALSE(tif.empty()) << "ImageMagick's convert is needed";
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ImageId doc = 0;
    ASSERT_EQ(fx::loadContainerStream(doc, tif), 0);
    ASSERT_EQ(b.SetNativeImage(doc), QuennetStatus::OK);
    ASSERT_EQ(b.get_PageCount(), 3);
    ASSERT_EQ(b.DisplayFrame(3), QuennetStatus::OK);
    ASSERT_EQ(b.Rotate90(), QuennetStatus::OK);
    EXPECT_EQ(b.state().m_WorkImageId, 0);
    EXPECT_EQ(b.get_ImageWidth(), 16);
    ASSERT_EQ(b.DisplayFrame(1), QuennetStatus::OK);
    EXPECT_EQ(b.get_ImageWidth(), 20);
    ASSERT_EQ(b.DisplayFrame(3), QuennetStatus::OK);
    EXPECT_EQ(b.get_ImageWidth(), 16);
    EXPECT_EQ(b.get_ImageHeight(), 8);
    b.CloseImage();
    EXPECT_EQ(FindImageRecord(doc), nullptr);
}

TEST_F(ImageBoxOps, TurnsWithoutAnImageOrAfterAnEarlierFailure) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    EXPECT_EQ(b.Rotate90(), QuennetStatus::InvalidParameter);
    EXPECT_EQ(b.GetStat(), QuennetStatus::InvalidParameter);
    EXPECT_EQ(events(*c), (Names{"Rotation"}));
    EXPECT_TRUE(host.messages().empty()) << "nothing shown, nothing to complain about";

    // A refused argument of an earlier member does not block the turn.
    ASSERT_EQ(b.DisplayFromFile(bmp("q.bmp", 40, 20)), QuennetStatus::OK);
    ASSERT_EQ(b.ZoomArea(0, 0, 0, 5), QuennetStatus::InvalidParameter);
    EXPECT_EQ(b.Rotate90(), QuennetStatus::OK);
    EXPECT_EQ(b.get_ImageWidth(), 20);

    // A page in place whose work copy cannot be made: the status stays, the view is laid
    // out again and the event still comes.
    fx::FixtureFolder folder;
    const std::string tif = fx::makeThreePageTiff(folder);
    ASSERT_FALSE(tif.empty());
    ASSERT_EQ(b.DisplayFromFile(tif), QuennetStatus::OK);
    events(*c);
    gp::test::FailNext(gp::FaultPoint::Lock, 1, gp::OutOfMemory);
    EXPECT_EQ(b.Rotate90(), QuennetStatus::OutOfMemory);
    EXPECT_EQ(b.get_ImageWidth(), 20);
    EXPECT_EQ(b.state().m_WorkImageId, 0);
    EXPECT_EQ(events(*c).back(), "Rotation");
    EXPECT_EQ(b.Rotate90(), QuennetStatus::OK);
    EXPECT_EQ(b.get_ImageWidth(), 10);
}

TEST_F(ImageBoxOps, CopyToTheClipboard) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    // A known item on the clipboard first: members with nothing to copy leave it.
    ImageId marker = 0;
    ASSERT_EQ(LoadImageFromFile(marker, bmp("m.bmp", 5, 5), false, false, true, 0, true, true), 0);
    ASSERT_EQ(CopyToClipboard(marker), 0);
    ReleaseImage(marker);
    b.Copy2Clipboard();
    EXPECT_EQ(clipboardSize(), "5x5");
    b.CopyRegion2Clipboard(0, 0, 2, 2);
    EXPECT_EQ(b.GetStat(), QuennetStatus::GenericError);
    EXPECT_EQ(clipboardSize(), "5x5");

    ASSERT_EQ(b.DisplayFromFile(bmp("q.bmp", 40, 20)), QuennetStatus::OK);
    // The whole image; the last status is left as it was.
    ASSERT_EQ(b.ZoomArea(0, 0, 0, 1), QuennetStatus::InvalidParameter);
    b.Copy2Clipboard();
    EXPECT_EQ(clipboardSize(), "40x20");
    EXPECT_EQ(b.GetStat(), QuennetStatus::InvalidParameter);

    // A region: the top-right quadrant, and no entry left behind.
    const int live = liveImages();
    b.CopyRegion2Clipboard(20, 0, 20, 10);
    EXPECT_EQ(b.GetStat(), QuennetStatus::OK);
    EXPECT_EQ(liveImages(), live);
    ImageId pasted = 0;
    ASSERT_EQ(LoadFromClipboard(pasted), 0);
    EXPECT_EQ(fx::pageSize(pasted), "20x10");
    const std::vector<uint32_t> all = pixels(pasted);
    ReleaseImage(pasted);
    EXPECT_EQ(std::count(all.begin(), all.end(), kGreen), 200);
}

TEST_F(ImageBoxOps, TheClipboardsImageIsDisplayed) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("clip.bmp", 30, 12)), QuennetStatus::OK);
    b.CopyRegion2Clipboard(0, 0, 10, 6);
    ASSERT_EQ(b.GetStat(), QuennetStatus::OK);
    b.CloseImage();
    c->events->records.clear();
    ASSERT_EQ(b.DisplayFromClipboardData(), QuennetStatus::OK);
    EXPECT_EQ(b.get_ImageWidth(), 10);
    EXPECT_EQ(b.get_ImageHeight(), 6);
    const Names raised = events(*c);
    EXPECT_NE(std::find(raised.begin(), raised.end(), "Display"), raised.end());
}

TEST_F(ImageBoxOps, RegionsOutsideTheImageAreRefusedAndLeaveTheClipboard) {
    auto* c = make(100, 100);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(bmp("q.bmp", 40, 20)), QuennetStatus::OK);
    struct Row {
        int32_t left, top, width, height;
    } rows[] = {{-1, 0, 10, 10}, {0, 0, 0, 10}, {0, 0, 10, -3}, {35, 0, 10, 10}, {0, 15, 5, 6}};
    const int live = liveImages();
    for (const Row& r : rows) {
        win::Clipboard::Clear();
        b.CopyRegion2Clipboard(r.left, r.top, r.width, r.height);
        EXPECT_NE(b.GetStat(), QuennetStatus::OK) << r.left << "," << r.top;
        EXPECT_EQ(clipboardSize(), "none") << r.left << "," << r.top;
        EXPECT_EQ(liveImages(), live) << r.left << "," << r.top;
    }
}

TEST_F(ImageBoxOps, FormatNameOfTheShownImage) {
    fx::FixtureFolder folder;
    const std::string tif = fx::makeThreePageTiff(folder);
    const std::string gif = fx::makeThreeFrameGif(folder);
    ASSERT_FALSE(tif.empty() || gif.empty()) << "ImageMagick's convert is needed";
    auto* c = make(50, 50);
    ImageBox& b = box(*c);
    EXPECT_EQ(b.GetImageFormat(), "");
    const std::string png = (dir / "a.png").string();
    ASSERT_TRUE(viewer_test::writePng(png, 4, 4, [](int, int) { return kRed; }));
    const std::pair<std::string, std::string> rows[] = {
        {bmp("a.bmp", 4, 4), "BMP"}, {png, "PNG"}, {tif, "TIFF"}, {gif, "GIF"}};
    for (const auto& [path, name] : rows) {
        ASSERT_EQ(b.DisplayFromFile(path), QuennetStatus::OK) << path;
        EXPECT_EQ(b.GetImageFormat(), name);
    }
    b.CloseImage();
    EXPECT_EQ(b.GetImageFormat(), "");
}

TEST_F(ImageBoxOps, GdiBitmapsBelongToTheCaller) {
    auto* c = make(50, 50);
    ImageBox& b = box(*c);
    EXPECT_EQ(b.GetHBitmap(), 0);
    EXPECT_EQ(b.GetStat(), QuennetStatus::InvalidParameter);
    ASSERT_EQ(b.DisplayFromFile(bmp("q.bmp", 40, 20)), QuennetStatus::OK);
    const int32_t handle = b.GetHBitmap();
    ASSERT_NE(handle, 0);
    EXPECT_EQ(b.GetStat(), QuennetStatus::OK);
    win::BITMAP info;
    ASSERT_GT(win::GetObject(static_cast<win::HGDIOBJ>(handle), sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 40);
    EXPECT_EQ(info.bmHeight, 20);
    // The control keeps no hold on it: closing the image leaves it valid.
    b.CloseImage();
    EXPECT_GT(win::GetObject(static_cast<win::HGDIOBJ>(handle), sizeof info, &info), 0);
    b.DeleteHBitmap(handle);
    EXPECT_EQ(win::GetObject(static_cast<win::HGDIOBJ>(handle), sizeof info, &info), 0);
    // Stale and forged handles are refused quietly.
    b.DeleteHBitmap(handle);
    b.DeleteHBitmap(-1);
    b.DeleteHBitmap(0);
}

// Finds the 1-based number of the tag with the id, 0 when absent.
int32_t tagNumber(ImageBox& b, int32_t id) {
    for (int32_t i = 1; i <= b.ExifTagCount(); ++i)
        if (b.ExifTagGetID(i) == id)
            return i;
    return 0;
}

TEST_F(ImageBoxOps, ExifTagsByNumber) {
    auto* c = make(50, 50);
    ImageBox& b = box(*c);
    // Nothing shown.
    EXPECT_EQ(b.ExifTagCount(), 0);
    EXPECT_EQ(b.ExifTagGetName(1), "");
    EXPECT_EQ(b.ExifTagGetID(1), 0);
    EXPECT_EQ(b.ExifTagGetValue(1), "");

    ImageId id = 0;
    ASSERT_EQ(LoadImageFromFile(id, bmp("q.bmp", 8, 8), false, false, true, 0, true, true), 0);
    ASSERT_EQ(SetAsciiTag(id, 0x010E, "hello", false), 0);
    ASSERT_EQ(SetRawTag(id, 0x011A, 5, {44, 1, 0, 0, 1, 0, 0, 0}, false), 0);
    ASSERT_EQ(SetRawTag(id, 0x829D, 5, {1, 0, 0, 0, 0, 0, 0, 0}, false), 0); // n/0
    ASSERT_EQ(b.SetNativeImage(id), QuennetStatus::OK);
    ASSERT_EQ(b.ZoomArea(0, 0, 0, 1), QuennetStatus::InvalidParameter);
    const int32_t count = b.ExifTagCount();
    EXPECT_EQ(b.GetStat(), QuennetStatus::OK) << "the count's status is kept";
    ASSERT_GE(count, 3);

    const int32_t description = tagNumber(b, 0x010E), resolution = tagNumber(b, 0x011A);
    ASSERT_NE(description, 0);
    ASSERT_NE(resolution, 0);
    EXPECT_EQ(b.ExifTagGetName(description), "ImageDescription");
    EXPECT_EQ(b.ExifTagGetValue(description).substr(0, 5), "hello");
    EXPECT_EQ(b.ExifTagGetName(resolution), "XResolution");
    EXPECT_EQ(b.ExifTagGetValue(resolution), " 300");

    // A rational with a zero denominator gives no text and a status, not a crash.
    const int32_t broken = tagNumber(b, 0x829D);
    ASSERT_NE(broken, 0);
    EXPECT_EQ(b.ExifTagGetName(broken), "ExifFNumber");
    EXPECT_EQ(b.ExifTagGetValue(broken), "");
    EXPECT_EQ(b.GetStat(), QuennetStatus::GenericError);

    for (int32_t outside : {0, -1, count + 1}) {
        EXPECT_EQ(b.ExifTagGetName(outside), "") << outside;
        EXPECT_EQ(b.ExifTagGetID(outside), 0) << outside;
        EXPECT_EQ(b.ExifTagGetValue(outside), "") << outside;
    }
    b.CloseImage();
}

TEST_F(ImageBoxOps, ExifTagsFollowTheCurrentPage) {
    fx::FixtureFolder folder;
    const std::string tif = fx::makeThreePageTiff(folder);
    ASSERT_FALSE(tif.empty()) << "ImageMagick's convert is needed";
    auto* c = make(50, 50);
    ImageBox& b = box(*c);
    ASSERT_EQ(b.DisplayFromFile(tif), QuennetStatus::OK);
    for (int32_t page : {2, 3, 1}) {
        ASSERT_EQ(b.DisplayFrame(page), QuennetStatus::OK);
        const int32_t n = tagNumber(b, 0x010E);
        ASSERT_NE(n, 0) << page;
        const char* expected[] = {"one", "two", "three"};
        EXPECT_EQ(b.ExifTagGetValue(n).substr(0, std::strlen(expected[page - 1])),
                  expected[page - 1]);
    }
}

// A host of its own, for a scenario on another thread.
struct Scene : OpsTest {
    void TestBody() override {}
    void start() { SetUp(); }
    void finish() { TearDown(); }
    using OpsTest::bmp;
    using OpsTest::make;
};

// Runs `body` on a thread of its own with a fresh host, so that the codec plug-in's version
// (read when GDI+ starts on the thread) is the one given.
void withPluginVersion(const char* version, const std::function<void(Scene&)>& body) {
    std::thread thread([&] {
        win::ScopedModuleVersionOverride plugin("Kelvra.dll", version);
        auto scene = std::make_unique<Scene>();
        scene->start();
        body(*scene);
        scene->finish();
    });
    thread.join();
}

TEST_F(ImageBoxOps, IptcTagsNeedTheCodecPlugin) {
    withPluginVersion("Unknown", [](Scene& t) {
        auto* c = t.make(50, 50);
        ImageBox& b = box(*c);
        EXPECT_EQ(b.IPTCTagCount(), 0);
        EXPECT_EQ(b.GetStat(), QuennetStatus::KelvraDllRequired);
        ASSERT_EQ(b.DisplayFromFile(t.bmp("q.bmp", 8, 8)), QuennetStatus::OK);
        FindImageRecord(b.GetNativeImage())->IptcTags.resize(1);
        FindImageRecord(b.GetNativeImage())->IptcTagCount = 1;
        EXPECT_EQ(b.IPTCTagCount(), 0);
        EXPECT_EQ(b.GetStat(), QuennetStatus::KelvraDllRequired);
        EXPECT_EQ(b.IPTCTagGetID(1), 0);
        EXPECT_EQ(b.GetStat(), QuennetStatus::KelvraDllRequired);
        EXPECT_EQ(b.IPTCTagGetValueString(1), "");
    });
}

TEST_F(ImageBoxOps, IptcTagsOfTheShownImage) {
    withPluginVersion("3.18.0.0", [](Scene& t) {
        auto* c = t.make(50, 50);
        ImageBox& b = box(*c);
        ASSERT_EQ(b.DisplayFromFile(t.bmp("q.bmp", 8, 8)), QuennetStatus::OK);
        EXPECT_EQ(b.IPTCTagCount(), 0);
        EXPECT_EQ(b.GetStat(), QuennetStatus::OK);
        EXPECT_EQ(b.IPTCTagGetID(1), 0);
        EXPECT_EQ(b.GetStat(), QuennetStatus::PropertyNotFound);
        // The tags the plug-in loader keeps for an image it decoded.
        ImageRecord* r = FindImageRecord(b.GetNativeImage());
        ASSERT_NE(r, nullptr);
        r->IptcTags = {{0x0205, 5, 2, {'T', 'i', 't', 'l', 'e'}, 1}, {0x021A, 2, 3, {7, 0}, 1}};
        r->IptcTagCount = 2;
        EXPECT_EQ(b.IPTCTagCount(), 2);
        EXPECT_EQ(b.IPTCTagGetID(1), 0x0205);
        EXPECT_EQ(b.IPTCTagGetValueString(1), "Title");
        EXPECT_EQ(b.IPTCTagGetID(2), 0x021A);
        EXPECT_EQ(b.IPTCTagGetValueString(2), " 7");
        EXPECT_EQ(b.GetStat(), QuennetStatus::OK);
        for (int32_t outside : {0, 3}) {
            EXPECT_EQ(b.IPTCTagGetID(outside), 0);
            EXPECT_EQ(b.GetStat(), QuennetStatus::PropertyNotFound);
            EXPECT_EQ(b.IPTCTagGetValueString(outside), "");
            EXPECT_EQ(b.GetStat(), QuennetStatus::PropertyNotFound);
        }
        b.CloseImage();
        EXPECT_EQ(b.IPTCTagCount(), 0);
        EXPECT_EQ(b.GetStat(), QuennetStatus::OK);
    });
}

} // namespace
