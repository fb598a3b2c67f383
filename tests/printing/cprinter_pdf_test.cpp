// PDF pages printed through the Movrin plug-in, and the plug-in's absence.

#include "printing_fixture.h"

#include "pdf_fixture.h"
#include "printing/movrin_plugin.h"

#include <gtest/gtest.h>

namespace tavimo::testing {
namespace {

class PdfPrint : public PrintingTest {
protected:
    void SetUp() override {
        PrintingTest::SetUp();
        m_path = tempPath("two.pdf");
        ASSERT_TRUE(writeHalvesPdf(m_path, {{kRed, kLime}, {kBlue, kRed}}));
        if (!movrin())
            GTEST_SKIP() << "libmovrin.so is not built";
        m_doc = MovrinOpenDocument(m_path);
        ASSERT_NE(m_doc, 0u);
    }
    void TearDown() override {
        if (m_doc)
            MovrinCloseDocument(m_doc);
        PrintingTest::TearDown();
    }
    std::string m_path;
    uint32_t m_doc = 0;
};

TEST_F(PdfPrint, PagesOfARangeAreRasterisedAndPrintedAtTheirSize) {
    cPrinter p;
    p.m_PDFMode = true;
    p.ForceResolution(72, 72);
    p.SetFromToPage(1, 2);
    std::vector<std::pair<int32_t, int32_t>> events;
    p.PrintPage = [&](int32_t& no, int32_t& left) { events.push_back({no, left}); };
    p.PrintImage(int32_t(m_doc), false);
    EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
    EXPECT_EQ(events, (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {2, 0}}));
    auto j = jobs();
    ASSERT_EQ(j.size(), 1u);
    ASSERT_EQ(j[0].pageFiles.size(), 2u);
    // 200 x 100 pt is 70.6 x 35.3 mm, drawn as 71 x 35 mm.
    PrintedPage first = readPage(j[0].pageFiles[0]);
    EXPECT_EQ(first.atMm(5, 5, kDpi), kRed);
    EXPECT_EQ(first.atMm(65, 30, kDpi), kLime);
    EXPECT_EQ(first.atMm(73, 10, kDpi), kWhite);
    EXPECT_EQ(first.atMm(10, 37, kDpi), kWhite);
    PrintedPage second = readPage(j[0].pageFiles[1]);
    EXPECT_EQ(second.atMm(5, 5, kDpi), kBlue);
    EXPECT_EQ(second.atMm(65, 30, kDpi), kRed);
    // Every rasterised page was released.
    EXPECT_EQ(ImageTableCount(), 0);
}

TEST_F(PdfPrint, WithoutAForcedResolutionThePrinterResolutionIsUsed) {
    cPrinter p;
    p.m_PDFMode = true;
    p.PrintImage(int32_t(m_doc), true);
    EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
    PrintedPage page = onlyPage();
    // Fitted to the width: 210 x 105 mm.
    EXPECT_EQ(page.atMm(5, 100, kDpi), kRed);
    EXPECT_EQ(page.atMm(200, 100, kDpi), kLime);
    EXPECT_EQ(page.atMm(100, 108, kDpi), kWhite);
}

TEST_F(PdfPrint, ARotatedPageIsRasterisedWithItsSidesExchanged) {
    std::string rotated = tempPath("rotated.pdf");
    if (!rotateFirstPage(m_path, rotated))
        GTEST_SKIP() << "qpdf is not installed";
    uint32_t doc = MovrinOpenDocument(rotated);
    ASSERT_NE(doc, 0u);
    cPrinter p;
    p.m_PDFMode = true;
    p.ForceResolution(72, 72);
    p.PrintImage(int32_t(doc), false);
    EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
    PrintedPage page = onlyPage();
    // Turned clockwise: 35 x 71 mm, the left (red) half on top.
    EXPECT_EQ(page.atMm(17, 5, kDpi), kRed);
    EXPECT_EQ(page.atMm(17, 65, kDpi), kLime);
    EXPECT_EQ(page.atMm(40, 10, kDpi), kWhite);
    MovrinCloseDocument(doc);
}

TEST_F(PdfPrint, BadPagesAndDocumentsGiveTheRenderingStatus) {
    cPrinter p;
    p.m_PDFMode = true;
    p.ForceResolution(72, 72);
    p.SetFromToPage(3, 3); // beyond the pages: limited to page 2
    p.PrintImage(int32_t(m_doc), false);
    EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
    prn::clearFinishedJobs();
    p.PrintImage(12345, false); // not a document handle
    EXPECT_EQ(p.GetPrinterStat(), PrinterPdfRenderingPageError);
    EXPECT_TRUE(jobs().empty());
}

TEST(PdfPrintAbsent, WithoutThePluginAPdfPrintFailsWithTheRenderingStatus) {
    test::SetMovrinAbsent(true);
    prn::setCupsEnabled(false);
    prn::clearFilePrinters();
    prn::FilePrinterConfig c;
    c.name = "P";
    c.directory = ::testing::TempDir() + "/absent-pages";
    c.dpi = 50;
    ASSERT_TRUE(prn::registerFilePrinter(c));
    cPrinter p;
    p.m_PDFMode = true;
    p.ForceResolution(72, 72);
    EXPECT_EQ(MovrinOpenDocument("x.pdf"), 0u);
    p.PrintImage(77, true);
    EXPECT_EQ(p.GetPrinterStat(), PrinterPdfRenderingPageError);
    EXPECT_TRUE(prn::finishedJobs("P").empty());
    EXPECT_FALSE(p.PrintImageDialog(77, true, 0, 0, 0, 0, 0));
    prn::clearFilePrinters();
    prn::setCupsEnabled(true);
    test::SetMovrinAbsent(false);
}

} // namespace
} // namespace tavimo::testing
