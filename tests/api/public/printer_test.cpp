// cPrinter of the C++ API, through libtavimo.so only, on a file printer.

#include <tavimo/image.h>
#include <tavimo/printer.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bmp.h"

namespace {

namespace fs = std::filesystem;
using namespace tavimo;

// The printers of TAVIMO_FILE_PRINTERS are read once per process, at the first printer
// call; each test runs in a process of its own.
class PublicPrinterTest : public testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("tavimo-public-print-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        setenv("TAVIMO_FILE_PRINTERS", ("Test Printer=" + m_dir.string() + ",50").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
    ImageSession m_session;
};

TEST_F(PublicPrinterTest, PrintsAnImageAndRaisesThePageEvent) {
    std::vector<uint8_t> bmp = publictest::bmp24(40, 30, [](int, int y) { return y * 0x080808u; });
    ImageId image = 0;
    ASSERT_EQ(LoadImageFromMemory(image, bmp.data(), bmp.size()), OK);

    cPrinter printer;
    ASSERT_TRUE(printer.SelectPrinter("  test print")); // a trimmed, case-blind prefix
    EXPECT_EQ(printer.GetDefaultPrinter(), "Test Printer");
    std::vector<std::pair<int32_t, int32_t>> pages;
    printer.PrintPage = [&](int32_t& no, int32_t& left) { pages.emplace_back(no, left); };
    printer.m_DocumentName = "Public API";
    printer.PrintImage(image, true);
    EXPECT_EQ(printer.GetPrinterStat(), PrinterOK);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0], std::make_pair(1, 0));

    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(m_dir))
        files.push_back(entry.path().filename());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(files[0].string().find("page1.png"), std::string::npos);
    ReleaseImage(image);
}

TEST_F(PublicPrinterTest, RefusalsAreValues) {
    cPrinter printer;
    EXPECT_FALSE(printer.SelectPrinter("No Such Printer"));
    EXPECT_FALSE(printer.SelectPrinter("   "));
    EXPECT_EQ(printer.GetPrinterName(0), "");
    EXPECT_GE(printer.GetPrintersCount(), 1);
    printer.SetFromToPage(-3, 5);
    EXPECT_TRUE(printer.IsSetFromTo());
    printer.SetFromToPage(0, 0);
    EXPECT_FALSE(printer.IsSetFromTo());
    printer.PrintImage(0, false); // document 0: nothing happens
    EXPECT_EQ(printer.GetPrinterStat(), PrinterOK);
    EXPECT_TRUE(fs::is_empty(m_dir));
    EXPECT_EQ(MovrinOpenDocument((m_dir / "missing.pdf").string()), 0u);
    EXPECT_FALSE(MovrinCloseDocument(12345));
}

} // namespace
