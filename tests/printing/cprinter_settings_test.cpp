// Printer choice, settings, page range, margins and the print dialog.

#include "printing_fixture.h"

#include "platform/printer/print_dialog.h"
#include "platform/win/module_version.h"
#include "printing/movrin_plugin.h"

#include <gtest/gtest.h>

namespace tavimo::testing {
namespace {

using Settings = PrintingTest;

TEST_F(Settings, SelectPrinterMatchesExactlyFirstThenByPrefixIgnoringCaseAndBlanks) {
    prn::clearFilePrinters();
    addPrinter("Office Laser Extra", 0);
    addPrinter("Office Laser", 0);
    addPrinter("Photo", 0);
    cPrinter p;
    struct Case {
        const char* ask;
        bool found;
        const char* chosen;
    } cases[] = {
        {"office laser", true, "Office Laser"},     // exact beats the earlier prefix match
        {"  office  ", true, "Office Laser Extra"}, // prefix: the first in list order
        {"PHOTO ", true, "Photo"},
        {"Scanner", false, "Photo"}, // no match keeps the current printer
        {"   ", false, "Photo"},     // an empty name names no printer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ask);
        EXPECT_EQ(p.SelectPrinter(c.ask), c.found);
        EXPECT_EQ(p.GetDefaultPrinter(), c.chosen);
    }
    EXPECT_EQ(p.GetPrintersCount(), 3);
    EXPECT_EQ(p.GetPrinterName(1), "Office Laser Extra");
    EXPECT_EQ(p.GetPrinterName(3), "Photo");
    EXPECT_EQ(p.GetPrinterName(0), "");
    EXPECT_EQ(p.GetPrinterName(4), "");
}

TEST_F(Settings, WithoutPrintersEverythingAnswersEmptyAndNothingPrints) {
    prn::clearFilePrinters();
    cPrinter p;
    EXPECT_EQ(p.GetDefaultPrinter(), "");
    EXPECT_EQ(p.GetPrintersCount(), 0);
    EXPECT_EQ(p.GetPaperWidth(), 0.0f);
    EXPECT_EQ(p.GetCopies(), 0);
    float l = -1, t = -1;
    p.GetMargins(l, t);
    EXPECT_EQ(l, 0.0f);
    EXPECT_FALSE(p.SetPaperBin(7));
    ImageId id = makeImage(10, 10, 96, kRed, kRed);
    p.PrintImage(id, true);
    EXPECT_EQ(p.GetPrinterStat(), PrinterOK);
    ReleaseImage(id);
}

TEST_F(Settings, UserPaperSizeIsWrittenInWholeTwips) {
    cPrinter p;
    p.SetUserPaperSize(210, 297);
    EXPECT_EQ(p.GetpaperSize(), prn::DMPAPER_USER);
    EXPECT_NEAR(p.GetPaperWidth(), 11906 / (1440 / 25.4), 1e-3);
    EXPECT_NEAR(p.GetPaperHeight(), 16838 / (1440 / 25.4), 1e-3);
    p.SetPaperSize(prn::DMPAPER_LETTER);
    EXPECT_NEAR(p.GetPaperWidth(), 215.9, 0.05);
    p.SetOrientation(2);
    EXPECT_EQ(p.GetOrientation(), 2);
    EXPECT_NEAR(p.GetPaperWidth(), 279.4, 0.05);
    p.SetOrientation(7); // refused by the device, silently
    EXPECT_EQ(p.GetOrientation(), 2);
}

TEST_F(Settings, SettersKeepToTheValuesTheDeviceAccepts) {
    cPrinter p;
    p.SetColorMode(1);
    p.SetColorMode(3);
    EXPECT_EQ(p.GetColorMode(), 1);
    p.SetCopies(3);
    p.SetCopies(0);
    EXPECT_EQ(p.GetCopies(), 3);
    p.SetDuplexMode(2);
    p.SetDuplexMode(9);
    EXPECT_EQ(p.GetDuplexMode(), 2);
    p.SetQuality(PrintQualityDraft);
    p.SetQuality(-9);
    EXPECT_EQ(p.GetQuality(), PrintQualityDraft);
    p.SetQuality(int32_t(kDpi));
    EXPECT_EQ(p.GetQuality(), int32_t(kDpi));
    EXPECT_TRUE(p.SetPaperBin(2));
    EXPECT_FALSE(p.SetPaperBin(99));
    EXPECT_EQ(p.GetPaperBin(), 2);
    p.SetPaperSize(12345);
    EXPECT_EQ(p.GetpaperSize(), prn::DMPAPER_A4);
}

TEST_F(Settings, PageRangeRules) {
    cPrinter p;
    EXPECT_FALSE(p.IsSetFromTo());
    p.SetFromToPage(-3, 5);
    EXPECT_TRUE(p.IsSetFromTo());
    p.SetFromToPage(0, 0);
    EXPECT_FALSE(p.IsSetFromTo());
}

TEST_F(Settings, MarginsComeFromTheDeviceInMillimetres) {
    prn::clearFilePrinters();
    addPrinter("Margins", 6.35);
    cPrinter p;
    float l = 0, t = 0;
    p.GetMargins(l, t);
    // 6.35 mm at 100 dpi is 25 pixels, read back through the device context.
    EXPECT_NEAR(l, 6.35, 1e-4);
    EXPECT_NEAR(t, 6.35, 1e-4);
}

TEST_F(Settings, MovrinVersionIsRegisteredAndUnknownWithoutThePlugin) {
    cPrinter p;
    EXPECT_EQ(win::GetFileVersion("Movrin.dll"), "1.0.0.0");
    test::SetMovrinAbsent(true);
    EXPECT_EQ(win::GetFileVersion("Movrin.dll"), "Unknown");
    EXPECT_EQ(MovrinOpenDocument("/nonexistent.pdf"), 0u);
    test::SetMovrinAbsent(false);
}

class Dialog : public PrintingTest {
protected:
    void SetUp() override {
        PrintingTest::SetUp();
        m_provider = std::make_shared<prn::ScriptedPrintDialogProvider>();
        m_previous = prn::setPrintDialogProvider(m_provider);
    }
    void TearDown() override {
        prn::setPrintDialogProvider(m_previous);
        PrintingTest::TearDown();
    }
    std::shared_ptr<prn::ScriptedPrintDialogProvider> m_provider;
    std::shared_ptr<prn::PrintDialogProvider> m_previous;
};

TEST_F(Dialog, HeadlessDefaultCancels) {
    prn::setPrintDialogProvider(nullptr);
    cPrinter p;
    ImageId id = makeImage(20, 20, 96, kRed, kRed);
    EXPECT_FALSE(p.PrintImageDialog(id, true, 0, 0, 0, 0, 0));
    EXPECT_TRUE(jobs().empty());
    ReleaseImage(id);
}

TEST_F(Dialog, CancelPrintsNothingAndASingleImageShowsNoRange) {
    cPrinter p;
    ImageId id = makeImage(20, 20, 96, kRed, kRed);
    m_provider->queueAnswer(std::nullopt);
    EXPECT_FALSE(p.PrintImageDialog(id, true, 0, 0, 0, 0, 77));
    EXPECT_TRUE(jobs().empty());
    auto requests = m_provider->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].flags, 0x1C0204u);
    EXPECT_EQ(requests[0].ownerWindow, 77u);
    EXPECT_EQ(requests[0].minPage + requests[0].maxPage + requests[0].fromPage + requests[0].toPage,
              0);
    EXPECT_EQ(requests[0].printerName, "Test Printer");
    ReleaseImage(id);
}

TEST_F(Dialog, ChoiceIsAppliedAndALongNameFindsItsPrinterByPrefix) {
    const std::string longName = "Department Colour Printer On The Second Floor";
    addPrinter(longName, 0);
    cPrinter p;
    ImageId id = makeImage(20, 20, 96, kRed, kRed);
    prn::PrintDialogChoice choice;
    choice.deviceName = longName;
    choice.copies = 3;
    choice.orientation = 2;
    choice.color = 1;
    choice.defaultSource = 4;
    m_provider->queueAnswer(choice);
    EXPECT_TRUE(p.PrintImageDialog(id, false, 0, 0, 0, 0, 0));
    EXPECT_EQ(p.GetDefaultPrinter(), longName);
    auto j = jobs(longName);
    ASSERT_EQ(j.size(), 1u);
    EXPECT_EQ(j[0].settings.copies, 3);
    EXPECT_EQ(j[0].settings.orientation, 2);
    EXPECT_EQ(j[0].settings.colorMode, 1);
    EXPECT_EQ(j[0].settings.paperBin, 4);
    EXPECT_EQ(j[0].jobName, "Print Process");
    EXPECT_FALSE(p.IsSetFromTo());
    ReleaseImage(id);
}

} // namespace
} // namespace tavimo::testing
