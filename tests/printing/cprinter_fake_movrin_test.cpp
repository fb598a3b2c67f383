// The PDF path over a fake plug-in table: page sizes rounded up to whole pixels, sides
// exchanged for turned pages, and the statuses of each failing step.

#include "printing_fixture.h"

#include "printing/movrin_plugin.h"

#include <gtest/gtest.h>

namespace tavimo::testing {
namespace {

struct FakePdf {
    int32_t pages = 1;
    double widthPt = 100.5, heightPt = 50;
    int32_t rotation = 0;
    bool renderFails = false;
    int32_t selected = 0;
    int32_t renderedW = 0, renderedH = 0;
    double renderedDpi = 0;
};

FakePdf* g_fake = nullptr;

MovrinApi fakeTable() {
    MovrinApi t;
    t.MOVRIN_GetVersion = [] { return "9.8.7.6"; };
    t.MOVRIN_PageCount = [](MovrinDocument d) { return d == 7 ? g_fake->pages : 0; };
    t.MOVRIN_SelectPage = [](MovrinDocument d, int32_t p) {
        if (d != 7 || p < 1 || p > g_fake->pages)
            return 0;
        g_fake->selected = p;
        return 1;
    };
    t.MOVRIN_PageWidth = [](MovrinDocument) { return g_fake->widthPt; };
    t.MOVRIN_PageHeight = [](MovrinDocument) { return g_fake->heightPt; };
    t.MOVRIN_PageRotation = [](MovrinDocument) { return g_fake->rotation; };
    t.MOVRIN_RenderPage = [](MovrinDocument, double dpi, int32_t w, int32_t h, int32_t, int32_t,
                             uint8_t* px, int32_t stride) {
        g_fake->renderedW = w;
        g_fake->renderedH = h;
        g_fake->renderedDpi = dpi;
        if (g_fake->renderFails)
            return 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                uint8_t* p = px + size_t(y) * size_t(stride) + size_t(x) * 4;
                p[0] = 0, p[1] = 0, p[2] = 0xFF, p[3] = 0xFF; // red
            }
        return 1;
    };
    return t;
}

class FakePdfPrint : public PrintingTest {
protected:
    void SetUp() override {
        PrintingTest::SetUp();
        g_fake = &m_fake;
        m_table = fakeTable();
        test::SetMovrinTable(&m_table);
    }
    void TearDown() override {
        test::SetMovrinTable(nullptr);
        g_fake = nullptr;
        PrintingTest::TearDown();
    }
    FakePdf m_fake;
    MovrinApi m_table;
};

TEST_F(FakePdfPrint, PageSizesAreRoundedUpAndTurnedPagesExchangeTheirSides) {
    struct Case {
        int32_t rotation;
        int32_t w, h;
    } cases[] = {{0, 101, 50}, {90, 50, 101}, {-270, 50, 101}, {180, 101, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rotation);
        m_fake.rotation = c.rotation;
        cPrinter p;
        p.m_PDFMode = true;
        p.ForceResolution(72, 144); // the horizontal resolution rules the raster
        p.PrintImage(7, false);
        EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
        EXPECT_EQ(m_fake.renderedW, c.w);
        EXPECT_EQ(m_fake.renderedH, c.h);
        EXPECT_EQ(m_fake.renderedDpi, 72.0);
    }
    EXPECT_EQ(ImageTableCount(), 0);
}

TEST_F(FakePdfPrint, FailingStepsSetTheirStatusesAndEarlierPagesStillPrint) {
    m_fake.pages = 3;
    cPrinter p;
    p.m_PDFMode = true;
    p.ForceResolution(72, 72);
    p.SetFromToPage(1, 3);
    int32_t calls = 0;
    p.PrintPage = [&](int32_t& no, int32_t&) {
        if (++calls == 2)
            m_fake.renderFails = true; // page 3 cannot be rendered
        (void)no;
    };
    p.PrintImage(7, false);
    EXPECT_EQ(p.GetPrinterStat(), PrinterPdfRenderingPageError);
    auto j = jobs();
    ASSERT_EQ(j.size(), 1u);
    EXPECT_EQ(j[0].pageFiles.size(), 2u);
    EXPECT_EQ(ImageTableCount(), 0);

    // Outside the page range of the document: the selection fails.
    m_fake.renderFails = false;
    prn::clearFinishedJobs();
    p.SetFromToPage(0, 0);
    p.PrintImage(8, false);
    EXPECT_EQ(p.GetPrinterStat(), PrinterPdfRenderingPageError);
    EXPECT_TRUE(jobs().empty());
}

TEST_F(FakePdfPrint, OversizeRastersAreRefused) {
    m_fake.widthPt = 1e7;
    cPrinter p;
    p.m_PDFMode = true;
    p.ForceResolution(600, 600);
    p.PrintImage(7, false);
    EXPECT_EQ(p.GetPrinterStat(), PrinterPdfRenderingPageError);
    EXPECT_EQ(ImageTableCount(), 0);
}

TEST_F(FakePdfPrint, AutomaticRotationTurnsTheRasterisedPage) {
    // 1000 x 300 mm at 72 dpi, landscape on portrait paper.
    m_fake.widthPt = 1000 / 25.4 * 72;
    m_fake.heightPt = 300 / 25.4 * 72;
    cPrinter p;
    p.m_PDFMode = true;
    p.m_AutomaticRotation = true;
    p.ForceResolution(72, 72);
    p.PrintImage(7, true);
    EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
    PrintedPage page = onlyPage();
    // Turned and fitted by height: 89 x 297 mm.
    EXPECT_EQ(page.atMm(80, 290, kDpi), kRed);
    EXPECT_EQ(page.atMm(95, 100, kDpi), kWhite);
}

} // namespace
} // namespace tavimo::testing
