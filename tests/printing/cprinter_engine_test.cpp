// Pages printed to the file printer and checked by pixel probes: sizes, fits, alignment,
// rotation, multi-page TIFF ranges, statuses.

#include "printing_fixture.h"

#include "core/image_containers.h"
#include "platform/win/gdi_objects.h"

#include <stdexcept>

#include <gtest/gtest.h>

namespace tavimo::testing {
namespace {

using Engine = PrintingTest;

TEST_F(Engine, NaturalSizeIsRoundedToWholeMillimetresAtTheTopLeft) {
    cPrinter p;
    ImageId id = makeImage(600, 300, 300, kRed, kRed); // 50.8 x 25.4 mm
    std::vector<std::pair<int32_t, int32_t>> events;
    p.PrintPage = [&](int32_t& no, int32_t& left) { events.push_back({no, left}); };
    p.PrintImage(id, false);
    EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
    EXPECT_EQ(events, (std::vector<std::pair<int32_t, int32_t>>{{1, 0}}));
    PrintedPage page = onlyPage();
    EXPECT_EQ(page.width, 827); // A4 at 100 dpi
    EXPECT_EQ(page.height, 1169);
    // Drawn as 51 x 25 mm.
    EXPECT_EQ(page.atMm(0.5, 0.5, kDpi), kRed);
    EXPECT_EQ(page.atMm(50.6, 24.6, kDpi), kRed);
    EXPECT_EQ(page.atMm(51.5, 10, kDpi), kWhite);
    EXPECT_EQ(page.atMm(10, 25.5, kDpi), kWhite);
    auto j = jobs();
    ASSERT_EQ(j.size(), 1u);
    EXPECT_EQ(j[0].jobName, "Print Process");
    ReleaseImage(id);
}

TEST_F(Engine, GeometryOfFitsReductionsAndAlignments) {
    prn::clearFilePrinters();
    addPrinter("Margins", 5.0, true); // printable area 200 x 287 mm at (5, 5)
    struct Case {
        const char* name;
        int32_t w, h;
        float dpi;
        bool fit;
        int32_t alignment;
        double x, y, width, height; // expected on the sheet, mm
    } cases[] = {
        // A landscape image fitted on portrait paper fills the printable width.
        {"fit landscape", 600, 300, 300, true, 3, 5, 5, 200, 100},
        // A portrait image fitted fills the printable height.
        {"fit portrait", 100, 400, 100, true, 3, 5, 5, 72, 287},
        // Larger than the area, no fit: reduced until it fits, the width deciding.
        {"reduce wide", 2000, 500, 100, false, 3, 5, 5, 200, 50},
        {"centre middle", 600, 300, 300, false, 2, 5 + 74.6, 5 + 130.8, 51, 25},
        {"bottom right", 600, 300, 300, false, 8, 5 + 149.2, 5 + 261.6, 51, 25},
        {"middle left", 600, 300, 300, false, 0, 5, 5 + 130.8, 51, 25},
        {"top centre", 600, 300, 300, false, 6, 5 + 74.6, 5, 51, 25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prn::clearFinishedJobs();
        cPrinter p;
        p.m_ImageAlignment = c.alignment;
        ImageId id = makeImage(c.w, c.h, c.dpi, kRed, kRed);
        p.PrintImage(id, c.fit);
        EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
        PrintedPage page = onlyPage("Margins");
        const double in = 1.0; // probe 1 mm inside and outside each edge
        EXPECT_EQ(page.atMm(c.x + in, c.y + in, kDpi), kRed);
        EXPECT_EQ(page.atMm(c.x + c.width - in, c.y + c.height - in, kDpi), kRed);
        EXPECT_EQ(page.atMm(c.x - in, c.y + in, kDpi), kWhite);
        EXPECT_EQ(page.atMm(c.x + in, c.y - in, kDpi), kWhite);
        if (c.x + c.width + in < 210) {
            EXPECT_EQ(page.atMm(c.x + c.width + in, c.y + in, kDpi), kWhite);
        }
        if (c.y + c.height + in < 297) {
            EXPECT_EQ(page.atMm(c.x + in, c.y + c.height + in, kDpi), kWhite);
        }
        ReleaseImage(id);
    }
}

TEST_F(Engine, PrintImageBySizeDrawsTheGivenRectangle) {
    cPrinter p;
    ImageId id = makeImage(50, 50, 96, kBlue, kBlue);
    p.PrintImageBySize(id, 20, 30, 40, 10);
    PrintedPage page = onlyPage();
    EXPECT_EQ(page.atMm(21, 31, kDpi), kBlue);
    EXPECT_EQ(page.atMm(59, 39, kDpi), kBlue);
    EXPECT_EQ(page.atMm(19, 31, kDpi), kWhite);
    EXPECT_EQ(page.atMm(61, 31, kDpi), kWhite);
    EXPECT_EQ(page.atMm(21, 41, kDpi), kWhite);
    EXPECT_TRUE(p.PrintImageBySize2Printer(id, "test", 0, 0, 10, 10));
    EXPECT_FALSE(p.PrintImageBySize2Printer(id, "nobody", 0, 0, 10, 10));
    EXPECT_EQ(jobs().size(), 2u);
    ReleaseImage(id);
}

TEST_F(Engine, AutomaticRotationTurnsAnOversizeLandscapeImageOnPortraitPaper) {
    // 762 x 254 mm, left half red, right half blue: turned a quarter counter-clockwise the
    // right half comes to the top.
    ImageId id = makeImage(3000, 1000, 100, kRed, kBlue);
    cPrinter p;
    p.m_AutomaticRotation = true;
    p.PrintImage(id, true);
    EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
    PrintedPage page = onlyPage();
    // Fitted by height: 99 x 297 mm.
    EXPECT_EQ(page.atMm(50, 10, kDpi), kBlue);
    EXPECT_EQ(page.atMm(50, 280, kDpi), kRed);
    EXPECT_EQ(page.atMm(105, 100, kDpi), kWhite);
    // The document itself is not turned.
    int32_t w = 0;
    GetImageWidth(id, w);
    EXPECT_EQ(w, 3000);

    prn::clearFinishedJobs();
    p.m_AutomaticRotation = false;
    p.PrintImage(id, true);
    page = onlyPage();
    EXPECT_EQ(page.atMm(10, 10, kDpi), kRed);
    EXPECT_EQ(page.atMm(200, 10, kDpi), kBlue);
    ReleaseImage(id);
}

class TiffEngine : public Engine {
protected:
    void SetUp() override {
        Engine::SetUp();
        if (!haveConvert())
            GTEST_SKIP() << "ImageMagick's convert is not installed";
        std::string path = tempPath("five.tif");
        ASSERT_TRUE(runConvert("-size 40x20 xc:red xc:lime xc:blue xc:yellow xc:cyan "
                               "-units PixelsPerInch -density 100 " +
                               path));
        ASSERT_EQ(LoadImageFromFile(m_id, path, false, false, true, 0, true, true), 0);
        int32_t count = 0;
        ASSERT_EQ(GetTiffPageCount(m_id, count), 0);
        ASSERT_EQ(count, 5);
    }
    void TearDown() override {
        if (m_id)
            ReleaseImage(m_id);
        Engine::TearDown();
    }
    ImageId m_id = 0;
};

TEST_F(TiffEngine, RangeIsLimitedToThePagesAndEachPageIsAnnounced) {
    cPrinter p;
    p.SetFromToPage(2, 9);
    std::vector<std::pair<int32_t, int32_t>> events;
    p.PrintPage = [&](int32_t& no, int32_t& left) { events.push_back({no, left}); };
    p.PrintImage(m_id, false);
    EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
    EXPECT_EQ(events, (std::vector<std::pair<int32_t, int32_t>>{{2, 3}, {3, 2}, {4, 1}, {5, 0}}));
    auto j = jobs();
    ASSERT_EQ(j.size(), 1u);
    ASSERT_EQ(j[0].pageFiles.size(), 4u);
    const uint32_t expected[] = {kLime, kBlue, 0xFFFF00, 0x00FFFF};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(readPage(j[0].pageFiles[i]).atMm(2, 2, kDpi), expected[i]) << i;
    // The stored range is untouched by the print: the next print still asks for 2..9.
    EXPECT_TRUE(p.IsSetFromTo());
}

TEST_F(TiffEngine, HandlerCanSkipPagesThroughPageNo) {
    cPrinter p;
    p.SetFromToPage(1, 5);
    std::vector<int32_t> seen;
    p.PrintPage = [&](int32_t& no, int32_t&) {
        seen.push_back(no);
        if (no == 1)
            no = 3; // go on after page 3
    };
    p.PrintImage(m_id, false);
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 4, 5}));
    EXPECT_EQ(jobs()[0].pageFiles.size(), 3u);
}

TEST_F(TiffEngine, WithoutARangeOnlyTheCurrentFrameIsPrinted) {
    ASSERT_EQ(SelectTiffPage(m_id, 2), 0);
    cPrinter p;
    p.PrintImage(m_id, false);
    EXPECT_EQ(onlyPage().atMm(2, 2, kDpi), kBlue);
}

TEST_F(Engine, StatusesForBadInput) {
    cPrinter p;
    p.PrintImage(0, true); // nothing happens
    EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
    p.PrintImage(424242, true); // no such image: the draw cannot be made
    EXPECT_EQ(p.GetPrinterStat(), PrinterGdiplusWriteError);
    EXPECT_TRUE(jobs().empty()); // nothing was drawn, so no job went out
    p.PrintImageBySize(424242, 0, 0, 10, 10);
    EXPECT_EQ(p.GetPrinterStat(), PrinterGdiplusWriteError);
    EXPECT_TRUE(jobs().empty());

    // A handler that throws ends the print with 10; the pages drawn so far still go out.
    ImageId id = makeImage(10, 10, 96, kRed, kRed);
    p.PrintPage = [](int32_t&, int32_t&) { throw std::runtime_error("host failure"); };
    p.PrintImage(id, true);
    EXPECT_EQ(p.GetPrinterStat(), PrinterUnexpectedError);
    p.PrintPage = nullptr;
    p.PrintImage(id, true);
    EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
    ReleaseImage(id);
}

TEST_F(Engine, PrintToANamedPrinterAndCountsOfObjects) {
    addPrinter("Second", 0);
    auto before = win::gdiObjectCounts();
    {
        cPrinter p;
        ImageId id = makeImage(40, 40, 96, kLime, kLime);
        EXPECT_TRUE(p.PrintImage2Printer(id, "second", true));
        EXPECT_FALSE(p.PrintImage2Printer(id, "third", true));
        EXPECT_EQ(jobs("Second").size(), 1u);
        EXPECT_TRUE(jobs("Test Printer").empty());
        ReleaseImage(id);
    }
    EXPECT_EQ(win::gdiObjectCounts().dcs, before.dcs);
    EXPECT_EQ(ImageTableCount(), 0);
}

} // namespace
} // namespace tavimo::testing

namespace tavimo::testing {
namespace {

TEST_F(Engine, AutomaticRotationOfALaterTiffPageTurnsThatPage) {
    if (!haveConvert())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    // Two pages of 3000 x 1000 pixels at 100 dpi (762 x 254 mm): red, then left lime and
    // right blue.
    std::string path = tempPath("big.tif");
    ASSERT_TRUE(runConvert("-size 3000x1000 xc:red \\( -size 1500x1000 xc:lime -size 1500x1000 "
                           "xc:blue +append \\) -units PixelsPerInch -density 100 " +
                           path));
    ImageId id = 0;
    ASSERT_EQ(LoadImageFromFile(id, path, false, false, true, 0, true, true), 0);
    cPrinter p;
    p.m_AutomaticRotation = true;
    p.SetFromToPage(2, 2);
    p.PrintImage(id, true);
    EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
    PrintedPage page = onlyPage();
    EXPECT_EQ(page.atMm(50, 10, kDpi), kBlue);
    EXPECT_EQ(page.atMm(50, 280, kDpi), kLime);
    EXPECT_EQ(page.atMm(105, 100, kDpi), kWhite);
    ReleaseImage(id);
    EXPECT_EQ(ImageTableCount(), 0);
}

} // namespace
} // namespace tavimo::testing
