// The printer device layer: file printers, geometry, pages as PNG files, the job PDF, CUPS
// without a server, and the print dialog service.

#include "platform/printer/print_dialog.h"
#include "platform/printer/printer.h"
#include "platform/printer/printer_internal.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_objects.h"
#include "tests/support/pdf_output.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cups/cups.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <optional>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Png {
    uint32_t width = 0, height = 0;
    uint32_t ppmX = 0;
    std::vector<uint8_t> rgb;
    uint32_t at(uint32_t x, uint32_t y) const {
        const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
};

Png readPng(const std::string& path) {
    Png out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return out;
    image.format = PNG_FORMAT_RGB;
    out.width = image.width;
    out.height = image.height;
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr))
        out = Png{};
    // The resolution, from the pHYs chunk.
    FILE* f = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (f && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_read_info(png, info);
        png_uint_32 x = 0, y = 0;
        int unit = 0;
        if (png_get_pHYs(png, info, &x, &y, &unit))
            out.ppmX = x;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (f)
        std::fclose(f);
    return out;
}

// Points the CUPS client at another server for a scope. The client reads $CUPS_SERVER once
// per thread: cupsSetServer(nullptr) makes it read it again.
class ScopedCupsServer {
public:
    explicit ScopedCupsServer(const std::string& server) {
        if (const char* old = std::getenv("CUPS_SERVER"))
            m_old = old;
        setenv("CUPS_SERVER", server.c_str(), 1);
        cupsSetServer(nullptr);
        prn::setCupsEnabled(true);
    }
    ~ScopedCupsServer() {
        if (m_old)
            setenv("CUPS_SERVER", m_old->c_str(), 1);
        else
            unsetenv("CUPS_SERVER");
        cupsSetServer(nullptr);
        prn::refreshCupsPrinters();
    }

private:
    std::optional<std::string> m_old;
};

class PrinterLayer : public ::testing::Test {
protected:
    void SetUp() override {
        prn::setCupsEnabled(false);
        prn::clearFilePrinters();
        m_dir = ::testing::TempDir() + "/prn-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(m_dir);
    }
    void TearDown() override {
        prn::clearFilePrinters();
        prn::setCupsEnabled(true);
        fs::remove_all(m_dir);
    }
    prn::FilePrinterConfig config(const std::string& name, double dpi = 50, double margin = 0) {
        prn::FilePrinterConfig c;
        c.name = name;
        c.directory = m_dir;
        c.dpi = dpi;
        c.marginLeftMm = c.marginTopMm = c.marginRightMm = c.marginBottomMm = margin;
        return c;
    }
    std::string m_dir;
};

TEST_F(PrinterLayer, RegistrationListAndDefault) {
    EXPECT_TRUE(prn::installedPrinters().empty());
    EXPECT_EQ(prn::defaultPrinterName(), "");
    EXPECT_FALSE(prn::registerFilePrinter(config("")));
    EXPECT_FALSE(prn::registerFilePrinter(config("x", 0)));
    EXPECT_TRUE(prn::registerFilePrinter(config("A")));
    auto b = config("B");
    b.makeDefault = true;
    EXPECT_TRUE(prn::registerFilePrinter(b));
    EXPECT_TRUE(prn::registerFilePrinter(config("A", 100))); // replaced in its place
    auto list = prn::installedPrinters();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "A");
    EXPECT_EQ(prn::defaultPrinterName(), "B");
    prn::setDefaultPrinter("A");
    EXPECT_EQ(prn::defaultPrinterName(), "A");
    prn::setDefaultPrinter("gone");
    EXPECT_EQ(prn::defaultPrinterName(), "B");
    EXPECT_TRUE(prn::unregisterFilePrinter("B"));
    EXPECT_EQ(prn::defaultPrinterName(), "A");
    EXPECT_EQ(prn::PrinterDevice::open("a"), nullptr); // names are exact here
    EXPECT_NE(prn::PrinterDevice::open("A"), nullptr);
}

TEST_F(PrinterLayer, PrinterListsInTheEnvironmentForm) {
    EXPECT_EQ(prn::registerFilePrinters(" One = " + m_dir + " ;Two=" + m_dir +
                                        ",72;bad entry;Three=" + m_dir + ",0"),
              2);
    auto list = prn::installedPrinters();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "One");
    auto two = prn::PrinterDevice::open("Two");
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->geometry().dpiX, 72.0);
}

TEST_F(PrinterLayer, GeometryFollowsPaperOrientationAndMargins) {
    ASSERT_TRUE(prn::registerFilePrinter(config("G", 100, 5)));
    auto d = prn::PrinterDevice::open("G");
    ASSERT_NE(d, nullptr);
    prn::PageGeometry g = d->geometry();
    EXPECT_EQ(g.sheetWidth, 827);
    EXPECT_EQ(g.sheetHeight, 1169);
    EXPECT_EQ(g.offsetX, 20);
    EXPECT_EQ(g.areaWidth, 827 - 40);
    win::HDC info = d->hDC();
    EXPECT_EQ(win::GetDeviceCaps(info, win::PHYSICALWIDTH), 827);
    EXPECT_EQ(win::GetDeviceCaps(info, win::HORZRES), 787);
    EXPECT_EQ(win::GetDeviceCaps(info, win::PHYSICALOFFSETY), 20);
    EXPECT_EQ(win::GetDeviceCaps(info, win::LOGPIXELSX), 100);
    EXPECT_EQ(win::GetDeviceCaps(info, win::TECHNOLOGY), win::DT_RASPRINTER);
    EXPECT_EQ(win::dcSurface(info), nullptr); // an information context draws nothing
    EXPECT_TRUE(d->setOrientation(prn::kOrientationLandscape));
    EXPECT_EQ(d->width(), 16838);
    EXPECT_EQ(d->geometry().sheetWidth, 1169);
    EXPECT_EQ(win::GetDeviceCaps(info, win::LOGPIXELSX), 0); // the old context is gone
    EXPECT_EQ(win::GetDeviceCaps(d->hDC(), win::PHYSICALWIDTH), 1169);
    EXPECT_TRUE(d->setWidth(14400)); // 10 inches wide, as it lies
    EXPECT_EQ(d->settings().paperSize, prn::DMPAPER_USER);
    EXPECT_EQ(d->settings().paperHeightTwips, 14400);
    EXPECT_FALSE(d->setWidth(0));
    EXPECT_FALSE(d->setPaperSize(4242));
    EXPECT_TRUE(d->setPaperSize(prn::DMPAPER_A5));
    EXPECT_EQ(d->height(), 8391); // 148 mm, landscape
}

TEST_F(PrinterLayer, PagesAreWrittenAsPngSheetsWithWhiteMargins) {
    ASSERT_TRUE(prn::registerFilePrinter(config("Pages Printer/1", 50, 10.16)));
    auto before = win::gdiObjectCounts().dcs;
    {
        auto d = prn::PrinterDevice::open("Pages Printer/1");
        ASSERT_NE(d, nullptr);
        win::HDC dc = d->startPage("job one");
        ASSERT_NE(dc, 0u);
        EXPECT_EQ(d->startPage("ignored"), dc); // the open page
        EXPECT_EQ(d->hDC(), dc);
        win::SetPixel(dc, 0, 0, 0x0000FF); // red, at the printable area's corner
        EXPECT_TRUE(d->newPage());
        EXPECT_EQ(win::GetPixel(dc, 0, 0), win::CLR_INVALID); // the page's DC is gone
        dc = d->startPage("ignored");
        win::SetPixel(dc, 1, 1, 0xFF0000);
        EXPECT_TRUE(d->endDoc());
        EXPECT_FALSE(d->documentOpen());
    }
    EXPECT_EQ(win::gdiObjectCounts().dcs, before);
    auto jobs = prn::finishedJobs("Pages Printer/1");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].jobName, "job one");
    ASSERT_EQ(jobs[0].pageFiles.size(), 2u);
    EXPECT_EQ(fs::path(jobs[0].pageFiles[0]).filename(), "Pages_Printer_1-job1-page1.png");
    Png first = readPng(jobs[0].pageFiles[0]);
    EXPECT_EQ(first.width, 413u);
    EXPECT_EQ(first.height, 585u);
    EXPECT_EQ(first.ppmX, 1969u);           // 50 dpi
    EXPECT_EQ(first.at(20, 20), 0xFF0000u); // 10.16 mm = 20 px of margin
    EXPECT_EQ(first.at(19, 19), 0xFFFFFFu);
    EXPECT_EQ(first.at(21, 21), 0xFFFFFFu);
    EXPECT_EQ(readPng(jobs[0].pageFiles[1]).at(21, 21), 0x0000FFu);

    // The next job takes the next number; nothing is overwritten.
    auto d = prn::PrinterDevice::open("Pages Printer/1");
    d->startPage("two");
    d->endDoc();
    jobs = prn::finishedJobs("Pages Printer/1");
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(fs::path(jobs[1].pageFiles[0]).filename(), "Pages_Printer_1-job2-page1.png");
}

TEST_F(PrinterLayer, EmptyAndKilledDocumentsSendNoJob) {
    ASSERT_TRUE(prn::registerFilePrinter(config("K")));
    auto d = prn::PrinterDevice::open("K");
    EXPECT_FALSE(d->newPage()); // no document open
    EXPECT_TRUE(d->endDoc());
    d->startPage("discarded");
    d->discardPage();
    EXPECT_TRUE(d->endDoc());
    d->startPage("killed");
    d->newPage();
    d->startPage("killed");
    d->killDoc();
    EXPECT_TRUE(prn::finishedJobs("K").empty());
    EXPECT_TRUE(!fs::exists(m_dir) || fs::is_empty(m_dir));
}

TEST_F(PrinterLayer, SettingsTheDeviceRefuses) {
    auto c = config("S");
    c.duplexCapable = false;
    c.colorCapable = false;
    c.paperBins = {15};
    ASSERT_TRUE(prn::registerFilePrinter(c));
    auto d = prn::PrinterDevice::open("S");
    EXPECT_FALSE(d->setDuplex(2));
    EXPECT_TRUE(d->setDuplex(1));
    EXPECT_FALSE(d->setColorMode(2));
    EXPECT_TRUE(d->setColorMode(1));
    EXPECT_FALSE(d->setPaperBin(7));
    EXPECT_TRUE(d->setPaperBin(15));
    EXPECT_FALSE(d->setPrintQuality(600));
    EXPECT_TRUE(d->setPrintQuality(50));
    EXPECT_FALSE(d->setPrintQuality(0));
    EXPECT_FALSE(d->setCopies(10000));
    EXPECT_FALSE(d->setScaleMode(8));
}

TEST_F(PrinterLayer, CupsListIsEmptyWhenNoServerAnswers) {
    ScopedCupsServer server("127.0.0.1:9"); // the discard port: nothing listens there
    auto start = std::chrono::steady_clock::now();
    auto list = prn::installedPrinters();
    EXPECT_TRUE(list.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(prn::defaultPrinterName(), "");
    EXPECT_TRUE(prn::describePrinters().empty());
}

TEST_F(PrinterLayer, JobDocumentPagesHaveThePaperSizeWithTheAreaAtItsOffset) {
    // A 72-dpi sheet of 2 x 3 inches with the area 1/4 inch in, then the same turned.
    prn::PageGeometry g;
    g.dpiX = g.dpiY = 72;
    g.sheetWidthPt = 144, g.sheetHeightPt = 216;
    g.offsetX = 18, g.offsetY = 36;
    auto area = win::GdiSurface::create(72, 36, 32, false, {}, 72, 72);
    std::fill_n(reinterpret_cast<uint32_t*>(area->bits()), 72 * 36, 0xFF0000FFu); // blue
    prn::detail::PdfJobWriter writer;
    EXPECT_TRUE(writer.addPage(*area, g));
    std::swap(g.sheetWidthPt, g.sheetHeightPt);
    EXPECT_TRUE(writer.addPage(*area, g));
    prn::PageGeometry none;
    EXPECT_FALSE(prn::detail::PdfJobWriter().addPage(*area, none)); // no resolution
    std::string pdf = writer.finish();
    ASSERT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_TRUE(prn::detail::PdfJobWriter().finish().empty());
    if (!tavimo::testing::havePopplerTools())
        GTEST_SKIP() << "pdfinfo and pdftoppm are not installed";
    fs::create_directories(m_dir);
    const std::string path = m_dir + "/job.pdf";
    std::ofstream(path, std::ios::binary) << pdf;
    auto sizes = tavimo::testing::pdfPageSizes(path);
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].widthPt, 144);
    EXPECT_EQ(sizes[0].heightPt, 216);
    EXPECT_EQ(sizes[1].widthPt, 216);
    auto page = tavimo::testing::rasterPdfPage(path, 1, 72);
    ASSERT_TRUE(page.has_value());
    auto box = tavimo::testing::colourBoxMm(*page, 0x0000FF);
    ASSERT_TRUE(box.has_value());
    EXPECT_NEAR(box->left, 6.35, 0.4);
    EXPECT_NEAR(box->top, 12.7, 0.4);
    EXPECT_NEAR(box->right, 6.35 + 25.4, 0.4);
    EXPECT_NEAR(box->bottom, 12.7 + 12.7, 0.4);
    EXPECT_EQ(page->at(2, 2), 0xFFFFFFu); // the margin is white
}

TEST_F(PrinterLayer, LandscapeTurnsTheMarginsWithTheSheet) {
    auto c = config("L", 100);
    c.marginLeftMm = 2.54, c.marginTopMm = 5.08, c.marginRightMm = 7.62, c.marginBottomMm = 10.16;
    ASSERT_TRUE(prn::registerFilePrinter(c));
    auto d = prn::PrinterDevice::open("L");
    prn::PageGeometry g = d->geometry();
    EXPECT_EQ(g.offsetX, 10);
    EXPECT_EQ(g.offsetY, 20);
    EXPECT_EQ(g.areaWidth, 827 - 10 - 30);
    ASSERT_TRUE(d->setOrientation(prn::kOrientationLandscape));
    g = d->geometry();
    // Turned counter-clockwise: the bottom margin is now on the left, the left on top.
    EXPECT_EQ(g.offsetX, 40);
    EXPECT_EQ(g.offsetY, 10);
    EXPECT_EQ(g.areaWidth, 1169 - 40 - 20);
    EXPECT_EQ(g.areaHeight, 827 - 10 - 30);
    EXPECT_EQ(g.sheetWidthPt, 16838 / 20.0);
}

TEST_F(PrinterLayer, DescriptionsListEveryPrinterWithTheDefaultMarked) {
    auto a = config("A", 150, 3);
    a.paperBins = {1, 4};
    a.colorCapable = false;
    ASSERT_TRUE(prn::registerFilePrinter(a));
    auto b = config("B");
    b.makeDefault = true;
    b.defaults.paperSize = prn::DMPAPER_LETTER;
    ASSERT_TRUE(prn::registerFilePrinter(b));
    auto list = prn::describePrinters();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "A");
    EXPECT_FALSE(list[0].isDefault);
    EXPECT_TRUE(list[1].isDefault);
    EXPECT_EQ(list[1].defaults.paperSize, prn::DMPAPER_LETTER);
    const prn::PrinterCapabilities& caps = list[0].capabilities;
    ASSERT_EQ(caps.bins.size(), 2u);
    EXPECT_EQ(caps.bins[1].name, "Manual");
    EXPECT_EQ(caps.colorModes, std::vector<int32_t>{1});
    ASSERT_EQ(caps.resolutions.size(), 1u);
    EXPECT_EQ(caps.resolutions[0].x, 150);
    auto a4 = std::find_if(caps.papers.begin(), caps.papers.end(),
                           [](const prn::PaperInfo& p) { return p.paperSize == prn::DMPAPER_A4; });
    ASSERT_NE(a4, caps.papers.end());
    EXPECT_EQ(a4->widthMm, 210);
    EXPECT_EQ(a4->marginTopMm, 3);
}

TEST(CupsJobOptions, SettingsMapToTheOptionsTheDestinationHas) {
    prn::detail::CupsDestination info;
    info.copies = info.orientation = info.sides = info.colorMode = info.quality = info.resolution =
        true;
    info.monochrome = "process-monochrome";
    info.capabilities.papers.push_back({prn::DMPAPER_LETTER, "na_letter_8.5x11in", 215.9, 279.4});
    info.capabilities.bins = {{4, "manual"}, {256, "tray-3"}, {7, ""}};
    prn::PaperInfo letter = info.capabilities.papers[0];
    prn::PaperInfo user;
    user.widthMm = 100, user.heightMm = 150;
    prn::PageGeometry g;
    g.dpiX = 600, g.dpiY = 300;
    using Options = std::vector<std::pair<std::string, std::string>>;
    auto options = [&](auto change, const prn::PaperInfo& paper) {
        prn::PrinterSettings s;
        change(s);
        return prn::detail::cupsJobOptions(s, info, paper, g);
    };
    EXPECT_EQ(options(
                  [](prn::PrinterSettings& s) {
                      s.copies = 3, s.orientation = 2, s.duplex = 3, s.colorMode = 1;
                      s.printQuality = -1, s.paperBin = 256;
                  },
                  letter),
              (Options{{"copies", "3"},
                       {"media", "na_letter_8.5x11in"},
                       {"orientation-requested", "4"},
                       {"sides", "two-sided-short-edge"},
                       {"print-color-mode", "process-monochrome"},
                       {"print-quality", "3"},
                       {"printer-resolution", "600x300dpi"},
                       {"media-source", "tray-3"}}));
    // A resolution as the quality sends no print-quality; the automatic bin of a printer
    // that names none sends no source; a user size goes as a custom size.
    Options o =
        options([](prn::PrinterSettings& s) { s.printQuality = 600, s.paperBin = 7; }, user);
    EXPECT_EQ(o[1], (std::pair<std::string, std::string>{"media", "custom_100x150mm_100x150mm"}));
    for (const auto& [name, value] : o)
        EXPECT_TRUE(name != "print-quality" && name != "media-source") << name;
    // What the destination does not list is not sent.
    info = {};
    EXPECT_TRUE(options([](prn::PrinterSettings&) {}, letter).empty());
}

TEST_F(PrinterLayer, CupsGivesUpOnAServerThatNeverAnswers) {
    // A listening socket nobody accepts from: connections complete, requests never answer.
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), len), 0);
    ASSERT_EQ(::listen(listener, 16), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    ScopedCupsServer server("127.0.0.1:" + std::to_string(ntohs(addr.sin_port)));
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(prn::installedPrinters().empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
    EXPECT_FALSE(prn::detail::queryCupsDestination("anything").has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(12));
    ::close(listener);
}

class ThrowingProvider : public prn::PrintDialogProvider {
public:
    std::optional<prn::PrintDialogChoice> show(const prn::PrintDialogRequest&) override {
        throw std::runtime_error("no display");
    }
};

TEST(PrintDialog, ScriptedAnswersDefaultCancelAndTheDeviceNameField) {
    auto scripted = std::make_shared<prn::ScriptedPrintDialogProvider>();
    auto previous = prn::setPrintDialogProvider(scripted);
    prn::PrintDialogChoice c;
    c.deviceName = std::string(40, 'N');
    scripted->queueAnswer(c);
    scripted->queueAnswer(std::nullopt);
    prn::PrintDialogRequest r;
    r.maxPage = 4;
    auto first = prn::PrintDlg(r);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->deviceName, std::string(31, 'N'));
    EXPECT_FALSE(prn::PrintDlg(r).has_value());
    EXPECT_FALSE(prn::PrintDlg(r).has_value()); // the queue is empty: cancel
    ASSERT_EQ(scripted->requests().size(), 3u);
    EXPECT_EQ(scripted->requests()[0].maxPage, 4);
    prn::setPrintDialogProvider(std::make_shared<ThrowingProvider>());
    EXPECT_FALSE(prn::PrintDlg(r).has_value());
    prn::setPrintDialogProvider(nullptr);
    EXPECT_FALSE(prn::PrintDlg(r).has_value());
    prn::setPrintDialogProvider(previous);
}

} // namespace
