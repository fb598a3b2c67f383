#include "pdf_test_util.h"

#include "core/image_info.h"
#include "core/plugin.h"
#include "pdf/cPDF.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace pdftest;

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

std::int32_t fakeCcitt(KelvraByteArray* out, const KelvraByteArray*, std::int32_t, std::int32_t,
                       std::int32_t, std::int32_t) {
    out->data = new std::uint8_t[2]{'G', '4'};
    out->size = 2;
    return 0;
}
void fakeFree(KelvraByteArray* a) {
    delete[] a->data;
    a->data = nullptr;
    a->size = 0;
}

class PdfAddImage : public tavimo::testing::CoreSessionTest {
protected:
    void SetUp() override {
        CoreSessionTest::SetUp();
        m_api.KELVRA_VB_CompressCCITT4 = fakeCcitt;
        m_api.KELVRA_FreeByteArray = fakeFree;
        tavimo::test::SetPluginTable(&m_api);
        m_pdf = fixedWriter();
        m_path = scratchPath("add-image.pdf");
        ASSERT_TRUE(m_pdf->NewPdf(m_path, "", "", "", "", ""));
    }
    void TearDown() override {
        m_pdf.reset();
        tavimo::test::SetPluginTable(nullptr);
        CoreSessionTest::TearDown();
    }
    Layout close() {
        m_pdf->ClosePdfFile();
        return Layout(readFile(m_path));
    }

    tavimo::KelvraApi m_api;
    std::unique_ptr<tavimo::cPDF> m_pdf;
    std::string m_path;
};

TEST_F(PdfAddImage, RgbImagesAreWrittenAsRgbSamplesOrJpeg) {
    // 2 x 2 pixels in B, G, R order: red, green / blue, white (rows 4-byte aligned).
    std::vector<std::uint8_t> rows = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
    tavimo::ImageId id = tavimo::testing::registerBitmap(2, 2, 0x21808, rows);
    ASSERT_NE(id, 0);
    m_pdf->CompressData(false);
    ASSERT_EQ(m_pdf->PdfAddImage(id, 2), 1);
    m_pdf->CompressData(true);
    ASSERT_EQ(m_pdf->PdfAddImage(id, 2), 2);
    EXPECT_EQ(m_pdf->ImageWidth(2), 2);
    EXPECT_EQ(m_pdf->ImageResX(2), 96);
    Layout layout = close();
    EXPECT_TRUE(contains(layout.object(5), "<</Subtype/Image/Length 12/Name/Img1/"
                                           "BitsPerComponent 8/ColorSpace/DeviceRGB/Width 2/"
                                           "Height 2/Type/XObject>>stream"));
    EXPECT_EQ(streamOf(layout, 5), std::string("\xFF\0\0\0\xFF\0\0\0\xFF\xFF\xFF\xFF", 12));
    std::string second = layout.object(6);
    EXPECT_TRUE(contains(second, "/Filter/DCTDecode/Name/Img2/BitsPerComponent 8/ColorSpace/"
                                 "DeviceRGB"))
        << second;
    EXPECT_EQ(streamOf(layout, 6).substr(0, 2), "\xFF\xD8");
}

TEST_F(PdfAddImage, IndexedImagesKeepTheirPalettes) {
    tavimo::ImageId colour = tavimo::testing::registerBitmap(4, 1, 0x30803, {0, 1, 2, 1});
    gp::Palette palette;
    palette.entries = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    ASSERT_EQ(tavimo::SetImagePalette(colour, palette), 0);
    tavimo::ImageId bilevel =
        tavimo::testing::registerBitmap(10, 2, 0x30101, {0xF0, 0, 0, 0, 0x0F, 0, 0, 0});
    gp::Palette bw;
    bw.entries = {0xFF000000, 0xFFFFFFFF};
    ASSERT_EQ(tavimo::SetImagePalette(bilevel, bw), 0);

    ASSERT_EQ(m_pdf->PdfAddImage(colour, 2), 1);
    ASSERT_EQ(m_pdf->PdfAddImage(bilevel, 2), 2);
    m_pdf->CompressData(false);
    ASSERT_EQ(m_pdf->PdfAddImage(colour, 2), 3);
    Layout layout = close();
    EXPECT_TRUE(contains(layout.object(5), "/Filter/FlateDecode/Name/Img1/BitsPerComponent 8/"
                                           "ColorSpace [/Indexed/DeviceRGB 255 6 0 R]"));
    EXPECT_TRUE(contains(layout.object(6),
                         "<</Length 768>>stream\r\n" + std::string("\xFF\0\0\0\xFF\0\0\0\xFF", 9)));
    EXPECT_TRUE(contains(layout.object(7), "/Length 2/Filter/CCITTFaxDecode/DecodeParms<</K -1/"
                                           "Columns 10>>/Name/Img2/BitsPerComponent 1/"
                                           "ColorSpace/DeviceGray/Decode [ 1 0 ]"));
    EXPECT_EQ(streamOf(layout, 8), std::string("\0\1\2\1", 4));
}

TEST_F(PdfAddImage, FilesAreLoadedAndReleased) {
    if (!tavimo::testing::haveConvert())
        GTEST_SKIP() << "ImageMagick is not installed";
    std::string png = tempPath("red.png");
    ASSERT_TRUE(tavimo::testing::runConvert("-size 3x2 xc:red -density 150 -units PixelsPerInch "
                                            "PNG24:'" +
                                            png + "'"));
    std::int32_t before = tavimo::ImageTableCount();
    m_pdf->CompressData(false);
    ASSERT_EQ(m_pdf->PdfAddImage(png, 1), 1);
    EXPECT_EQ(tavimo::ImageTableCount(), before);
    EXPECT_EQ(m_pdf->ImageWidth(1), 3);
    EXPECT_EQ(m_pdf->ImageHeight(1), 2);
    EXPECT_EQ(m_pdf->ImageResX(1), 150);
    Layout layout = close();
    std::string red;
    for (int i = 0; i < 6; ++i)
        red += std::string("\xFF\0\0", 3);
    EXPECT_EQ(streamOf(layout, 5), red);
}

TEST_F(PdfAddImage, WhatCannotBeAddedAnswersZero) {
    tavimo::ImageId id = tavimo::testing::registerBitmap(2, 2, 0x21808);
    EXPECT_EQ(m_pdf->PdfAddImage(id, 1), 0); // an identifier is not a path
    EXPECT_EQ(m_pdf->PdfAddImage("/no/such/file.png", 1), 0);
    EXPECT_EQ(m_pdf->PdfAddImage("/no/such/file.png", 2), 0);
    EXPECT_EQ(m_pdf->PdfAddImage(12345, 2), 0); // no such image
    EXPECT_EQ(m_pdf->PdfAddImage(0, 2), 0);
    EXPECT_EQ(m_pdf->ImageCount(), 0);
    tavimo::cPDF closed;
    EXPECT_EQ(closed.PdfAddImage(id, 2), 0);
}

} // namespace
