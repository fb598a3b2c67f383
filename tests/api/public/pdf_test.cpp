// cPDF of the C++ API, through libtavimo.so only.

#include <tavimo/image.h>
#include <tavimo/pdf.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "bmp.h"

namespace {

namespace fs = std::filesystem;
using namespace tavimo;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PublicPdfTest : public testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("tavimo-public-pdf-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
    ImageSession m_session;
};

TEST_F(PublicPdfTest, WritesADocumentWithTextGraphicsAndAnImage) {
    std::vector<uint8_t> bmp = publictest::bmp24(8, 6, [](int x, int) { return x * 0x202020u; });
    ImageId image = 0;
    ASSERT_EQ(LoadImageFromMemory(image, bmp.data(), bmp.size()), OK);

    const fs::path path = m_dir / "doc.pdf";
    cPDF pdf;
    pdf.CompressData(false); // readable content for the checks below
    ASSERT_TRUE(pdf.NewPdf(path.string(), "Report", "Tavimo", "test", "", ""));
    EXPECT_EQ(pdf.PdfGetPath(), path.string());
    EXPECT_NE(pdf.PdfGetNativePdf(), 0);
    EXPECT_EQ(pdf.BeginPage(), 1);
    const int32_t font = pdf.LoadFont("DejaVu Sans", false, false);
    EXPECT_GT(font, 0);
    pdf.DrawText(72, 720, "Grüße", font, 12);
    EXPECT_GT(pdf.TextWidth("Grüße", font, 12), 0);
    float radius = 50;
    pdf.Rectangle(72, 600, 20, 10, 1, radius);
    EXPECT_EQ(radius, 5); // clamped to half the shorter side, and written back
    const int32_t added = pdf.PdfAddImage(image, 2);
    EXPECT_EQ(added, 1);
    EXPECT_EQ(pdf.ImageWidth(added), 8);
    EXPECT_EQ(pdf.ImageHeight(added), 6);
    pdf.DrawImg(added, 72, 400, 80, 60);
    EXPECT_EQ(pdf.Pages(), 1);
    pdf.ClosePdfFile();
    EXPECT_EQ(pdf.PdfGetNativePdf(), 0);
    ReleaseImage(image);

    const std::string bytes = readFile(path);
    EXPECT_EQ(bytes.rfind("%PDF-1.", 0), 0u);
    EXPECT_NE(bytes.find("(Report)"), std::string::npos);
    EXPECT_NE(bytes.find("/Subtype/Image"), std::string::npos);
    // The text goes out in Windows-1252: one byte for each of the two umlauts and the sharp s.
    EXPECT_NE(bytes.find("Gr\xFC\xDF"
                         "e"),
              std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.find_last_not_of("\r\n") - 4, 5), "%%EOF");
}

TEST_F(PublicPdfTest, RefusalsAreValues) {
    cPDF pdf;
    EXPECT_EQ(pdf.BeginPage(), 0); // no document
    EXPECT_FALSE(pdf.NewPdf((m_dir / "a.pdf").string(), "", "", "", "", "", 3));
    EXPECT_EQ(pdf.PdfGetNativePdf(), 0);
    EXPECT_FALSE(pdf.NewPdf((m_dir / "missing" / "a.pdf").string(), "", "", "", "", ""));
    ASSERT_TRUE(pdf.NewPdf((m_dir / "b.pdf").string(), "", "", "", "", "", PdfEncryption128BitRC4,
                           PdfRightCanPrint | PdfRightCanCopy, "user"));
    EXPECT_EQ(pdf.PdfAddImage((m_dir / "missing.png").string(), 1), 0);
    EXPECT_EQ(pdf.PdfAddImage(12345, 1), 0); // an ImageId needs type 2
    EXPECT_EQ(pdf.LoadFont("No Such Font Family", false, false), 0);
    EXPECT_EQ(pdf.ImageWidth(1), 0);
    pdf.ClosePdfFile();
    EXPECT_NE(readFile(m_dir / "b.pdf").find("/Encrypt"), std::string::npos);
}

} // namespace
