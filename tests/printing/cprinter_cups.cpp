// cPrinter on real CUPS queues of a private scheduler: the queue's own paper, printable area,
// resolution and options, and what its device receives.

#include "printing_fixture.h"

#include "platform/printer/print_dialog.h"
#include "tests/printing/private_cupsd.h"
#include "tests/support/pdf_output.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace tavimo::testing {
namespace {

// Letter with 1/4 inch side margins and 1/2 inch top and bottom ones, at 600 (or 300) dpi,
// with two sources and no user sizes. The PDF pdftopdf makes is the device's output.
constexpr const char* kLetterPpd = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "TAVLTR.PPD"
*Manufacturer: "Tavimo"
*Product: "(Test Letter)"
*ModelName: "Tavimo Test Letter"
*ShortNickName: "Tavimo Test Letter"
*NickName: "Tavimo Test Letter"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsVersion: 2.4
*cupsManualCopies: True
*cupsFilter2: "application/vnd.cups-pdf application/pdf 0 -"
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: Letter
*PageSize Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: Letter
*PageRegion Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*PageRegion A4/A4: "<</PageSize[595 842]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: Letter
*ImageableArea Letter/US Letter: "18 36 594 756"
*ImageableArea A4/A4: "18 36 577 806"
*DefaultPaperDimension: Letter
*PaperDimension Letter/US Letter: "612 792"
*PaperDimension A4/A4: "595 842"
*OpenUI *Resolution/Resolution: PickOne
*OrderDependency: 20 AnySetup *Resolution
*DefaultResolution: 600dpi
*Resolution 300dpi/300 DPI: "<</HWResolution[300 300]>>setpagedevice"
*Resolution 600dpi/600 DPI: "<</HWResolution[600 600]>>setpagedevice"
*CloseUI: *Resolution
*OpenUI *InputSlot/Media Source: PickOne
*OrderDependency: 20 AnySetup *InputSlot
*DefaultInputSlot: Upper
*InputSlot Upper/Tray 1: ""
*InputSlot Manual/Manual Feed: ""
*CloseUI: *InputSlot
*OpenUI *Duplex/Two-Sided: PickOne
*OrderDependency: 20 AnySetup *Duplex
*DefaultDuplex: None
*Duplex None/Off: ""
*Duplex DuplexNoTumble/Long Edge: ""
*Duplex DuplexTumble/Short Edge: ""
*CloseUI: *Duplex
*OpenUI *ColorModel/Color Mode: PickOne
*OrderDependency: 20 AnySetup *ColorModel
*DefaultColorModel: RGB
*ColorModel Gray/Grayscale: ""
*ColorModel RGB/Color: ""
*CloseUI: *ColorModel
*DefaultFont: Courier
*Font Courier: Standard "(002.004S)" Standard ROM
)PPD";

constexpr const char* kQueue = "TestLetter";
constexpr const char* kSecond = "Second";

class CupsQueue : public PrintingTest {
protected:
    static void SetUpTestSuite() {
        s_cupsd = new PrivateCupsd;
        s_whyNot = s_cupsd->start({{kQueue, kLetterPpd, true}, {kSecond, kLetterPpd, false}});
    }
    static void TearDownTestSuite() {
        delete s_cupsd;
        s_cupsd = nullptr;
    }

    void SetUp() override {
        PrintingTest::SetUp();
        if (!s_whyNot.empty())
            GTEST_SKIP() << "cupsd cannot start: " << s_whyNot;
        prn::clearFilePrinters();
        // This thread's CUPS client talks to the private scheduler only.
        cupsSetServer(s_cupsd->socketPath().c_str());
        prn::setCupsEnabled(true);
        if (prn::installedPrinters().empty()) {
            const std::string log = s_cupsd->logTail();
            s_cupsd->stop();
            s_whyNot = "the scheduler does not answer";
            GTEST_SKIP() << "cupsd cannot start: " << log;
        }
    }
    void TearDown() override {
        cupsSetServer(nullptr);
        PrintingTest::TearDown();
    }

    // Prints through `print`, keeps the queue's output as a file and the job's attributes.
    std::string printed(const std::function<void()>& print) {
        auto job = s_cupsd->collect(kQueue, print);
        if (!job) {
            ADD_FAILURE() << "no output from the queue\n" << s_cupsd->logTail();
            return {};
        }
        m_job = job->attributes;
        const std::string path = tempPath("job" + std::to_string(++m_jobs) + ".pdf");
        std::ofstream(path, std::ios::binary) << job->output;
        return path;
    }
    std::string jobAttribute(const std::string& name) const {
        auto it = m_job.find(name);
        return it == m_job.end() ? "(none)" : it->second;
    }

    static PrivateCupsd* s_cupsd;
    static std::string s_whyNot;
    int m_jobs = 0;
    std::map<std::string, std::string> m_job;
};

PrivateCupsd* CupsQueue::s_cupsd = nullptr;
std::string CupsQueue::s_whyNot;

TEST_F(CupsQueue, PaperMarginsResolutionAndSettingsAreTheQueuesOwn) {
    cPrinter p;
    EXPECT_EQ(p.GetPrintersCount(), 2);
    EXPECT_EQ(p.GetDefaultPrinter(), kQueue);
    EXPECT_EQ(p.GetpaperSize(), prn::DMPAPER_LETTER);
    EXPECT_NEAR(p.GetPaperWidth(), 215.9, 0.01);
    EXPECT_NEAR(p.GetPaperHeight(), 279.4, 0.01);
    float left = 0, top = 0;
    p.GetMargins(left, top);
    EXPECT_NEAR(left, 6.35, 0.05);
    EXPECT_NEAR(top, 12.7, 0.05);
    EXPECT_EQ(p.GetQuality(), PrintQualityMediumResolution); // the queue's "normal"
    EXPECT_EQ(p.GetPaperBin(), 7); // it names no default source: the printer chooses

    // What the queue lacks is refused and changes nothing.
    EXPECT_FALSE(p.SetPaperBin(2));
    EXPECT_EQ(p.GetPaperBin(), 7);
    EXPECT_TRUE(p.SetPaperBin(1)); // "top"
    EXPECT_TRUE(p.SetPaperBin(4));
    EXPECT_EQ(p.GetPaperBin(), 4);
    p.SetPaperSize(prn::DMPAPER_A3);
    p.SetUserPaperSize(100, 150);
    EXPECT_EQ(p.GetpaperSize(), prn::DMPAPER_LETTER);
    p.SetQuality(PrintQualityDraft);
    p.SetQuality(1200);
    EXPECT_EQ(p.GetQuality(), PrintQualityMediumResolution);
    p.SetCopies(10000);
    EXPECT_EQ(p.GetCopies(), 1);

    // What it has is taken, with its own geometry.
    p.SetPaperSize(prn::DMPAPER_A4);
    EXPECT_EQ(p.GetpaperSize(), prn::DMPAPER_A4);
    EXPECT_NEAR(p.GetPaperWidth(), 209.9, 0.05); // the queue's A4 is 595 x 842 points
    p.SetQuality(300);
    EXPECT_EQ(p.GetQuality(), 300);
    p.SetOrientation(2);
    p.GetMargins(left, top);
    EXPECT_NEAR(left, 12.7, 0.1); // turned: the bottom margin is on the left
    EXPECT_NEAR(top, 6.35, 0.1);

    auto printers = prn::describePrinters();
    ASSERT_EQ(printers.size(), 2u);
    EXPECT_EQ(printers[0].name, kSecond);
    EXPECT_FALSE(printers[0].isDefault);
    EXPECT_TRUE(printers[1].isDefault);
    const prn::PrinterCapabilities& caps = printers[1].capabilities;
    ASSERT_EQ(caps.papers.size(), 2u);
    EXPECT_EQ(caps.resolutions.size(), 2u);
    EXPECT_EQ(caps.defaultResolution.x, 600);
    EXPECT_EQ(caps.duplexModes, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(caps.colorModes, (std::vector<int32_t>{1, 2}));
    ASSERT_GE(caps.bins.size(), 2u);
    EXPECT_EQ(caps.bins[1].name, "manual");
}

TEST_F(CupsQueue, PrintsAtSizeAndFittedInsideThePrintableArea) {
    if (!havePopplerTools())
        GTEST_SKIP() << "pdfinfo and pdftoppm are not installed";
    // 600 x 300 pixels at 300 dpi: 50.8 x 25.4 mm, drawn 51 x 25; red left, blue right.
    ImageId id = makeImage(600, 300, 300, kRed, kBlue);
    ASSERT_NE(id, 0);
    cPrinter p;
    p.SetCopies(2);
    ASSERT_TRUE(p.SetPaperBin(4));
    p.SetQuality(300);
    const std::string atSize = printed([&] { p.PrintImage(id, false); });
    ASSERT_EQ(p.GetPrinterStat(), PrinterOK);
    ASSERT_FALSE(atSize.empty());

    auto sizes = pdfPageSizes(atSize);
    ASSERT_EQ(sizes.size(), 2u); // two copies of one Letter page
    EXPECT_EQ(sizes[1].widthPt, 612);
    EXPECT_EQ(sizes[1].heightPt, 792);
    // The page image is the printable area, 8 x 10 inches, at the 300 dpi chosen.
    auto images = pdfImageSizes(atSize, 1);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 2400);
    EXPECT_EQ(images[0].height, 3000);
    auto page = rasterPdfPage(atSize, 2, 100);
    ASSERT_TRUE(page.has_value());
    auto red = colourBoxMm(*page, kRed), blue = colourBoxMm(*page, kBlue);
    ASSERT_TRUE(red && blue);
    // At the corner of the printable area, 6.35 mm and 12.7 mm in.
    EXPECT_NEAR(red->left, 6.35, 0.5);
    EXPECT_NEAR(red->top, 12.7, 0.5);
    EXPECT_NEAR(blue->right, 6.35 + 51, 0.5);
    EXPECT_NEAR(blue->bottom, 12.7 + 25, 0.5);
    EXPECT_EQ(jobAttribute("copies"), "2");
    EXPECT_EQ(jobAttribute("media"), "na_letter_8.5x11in");
    EXPECT_EQ(jobAttribute("media-source"), "manual");
    EXPECT_EQ(jobAttribute("sides"), "one-sided");
    EXPECT_EQ(jobAttribute("printer-resolution"), "300dpi");

    // Fitted and placed bottom right at the queue's 600 dpi: the width fills the printable
    // area (203.2 mm, drawn 203 x 102), the bottom edge sits on the bottom margin.
    cPrinter fit;
    fit.m_ImageAlignment = 9;
    fit.SetDuplexMode(2);
    const std::string fitted = printed([&] { fit.PrintImage(id, true); });
    ASSERT_EQ(fit.GetPrinterStat(), PrinterOK);
    ASSERT_EQ(pdfPageSizes(fitted).size(), 1u);
    page = rasterPdfPage(fitted, 1, 100);
    ASSERT_TRUE(page.has_value());
    red = colourBoxMm(*page, kRed), blue = colourBoxMm(*page, kBlue);
    ASSERT_TRUE(red && blue);
    EXPECT_NEAR(red->left, 6.35, 0.5);
    EXPECT_NEAR(blue->right, 6.35 + 203, 0.5);
    EXPECT_NEAR(red->bottom, 279.4 - 12.7, 0.5);
    EXPECT_NEAR(red->top, 279.4 - 12.7 - 102, 0.5);
    EXPECT_EQ(page->at(page->width / 2, page->height - 5), 0xFFFFFFu); // the margin is blank
    EXPECT_EQ(jobAttribute("copies"), "1");
    EXPECT_EQ(jobAttribute("sides"), "two-sided-long-edge");
    EXPECT_EQ(jobAttribute("printer-resolution"), "600dpi");
    EXPECT_EQ(jobAttribute("media-source"), "(none)"); // the automatic choice sends none
    ReleaseImage(id);
}

TEST_F(CupsQueue, PrintDialogListsTheQueuesWithTheDefaultMarked) {
    auto scripted = std::make_shared<prn::ScriptedPrintDialogProvider>();
    auto previous = prn::setPrintDialogProvider(scripted);
    ImageId id = makeImage(20, 10, 96, kRed, kRed);
    cPrinter p;
    EXPECT_FALSE(p.PrintImageDialog(id, true, 0, 0, 0, 0, 0)); // cancelled
    prn::setPrintDialogProvider(previous);
    ASSERT_EQ(scripted->requests().size(), 1u);
    const prn::PrintDialogRequest r = scripted->requests()[0];
    EXPECT_EQ(r.printerName, kQueue);
    ASSERT_EQ(r.printers.size(), 2u);
    EXPECT_TRUE(r.printers[1].isDefault && r.printers[1].name == kQueue);
    EXPECT_EQ(r.printers[1].defaults.paperSize, prn::DMPAPER_LETTER);
    ReleaseImage(id);
}

} // namespace
} // namespace tavimo::testing
