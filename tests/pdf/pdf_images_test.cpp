#include "pdf_test_util.h"

#include "core/plugin.h"
#include "pdf/cPDF.h"

#include <gtest/gtest.h>

#include <zlib.h>

namespace {

using namespace pdftest;
using tavimo::cPDF;
using tavimo::PdfImageData;

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

PdfImageData image(int width, int height, int depth, int mode,
                   std::vector<std::uint32_t> palette = {}) {
    PdfImageData d;
    d.width = width;
    d.height = height;
    d.depth = depth;
    d.mode = mode;
    d.palette = std::move(palette);
    std::size_t row = depth == 1   ? (std::size_t(width) + 7) / 8
                      : depth == 4 ? (std::size_t(width) + 1) / 2
                      : depth == 8 ? std::size_t(width)
                                   : 3 * std::size_t(width);
    for (std::size_t i = 0; i < row * std::size_t(height); ++i)
        d.samples += char(i * 37 + 11);
    return d;
}

// Writes one image into a fresh document and answers the file's layout.
Layout writeOne(const PdfImageData& d, int expectedId = 1) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("image.pdf");
    EXPECT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
    EXPECT_EQ(pdf->AddImageData(d), expectedId);
    pdf->ClosePdfFile();
    return Layout(readFile(path));
}

constexpr std::uint32_t kBlack = 0xFF000000, kWhite = 0xFFFFFFFF;

TEST(PdfImages, DictionariesFollowDepthPaletteAndEncoding) {
    struct Case {
        const char* what;
        PdfImageData data;
        std::string expected;
        bool paletteObject;
    } cases[] = {
        {"rgb raw", image(4, 3, 24, 0),
         "<</Subtype/Image/Length 36/Name/Img1/BitsPerComponent 8/ColorSpace/DeviceRGB/Width "
         "4/Height 3/Type/XObject>>stream",
         false},
        {"black white raw", image(9, 2, 1, 0, {kBlack, kWhite}),
         "/Length 4/Name/Img1/BitsPerComponent 1/ColorSpace/DeviceGray/Decode [ 0 1 ]/Width 9",
         false},
        {"white black raw", image(9, 2, 1, 0, {kWhite, kBlack}),
         "/BitsPerComponent 1/ColorSpace/DeviceGray/Decode [ 1 0 ]/Width 9", false},
        {"four bits", image(5, 2, 4, 0, {0xFF112233, 0xFF445566}),
         "/Length 6/Name/Img1/BitsPerComponent 4/ColorSpace [/Indexed/DeviceRGB 15 6 0 R]/Width "
         "5/Height 2/Type/XObject>>stream",
         true},
        {"two colours", image(8, 1, 1, 0, {0xFF0000FF, 0xFFFF0000}),
         "/BitsPerComponent 1/ColorSpace [/Indexed/DeviceRGB 1 6 0 R]", true},
        {"jpeg",
         [] {
             PdfImageData d = image(2, 2, 24, 3);
             d.jpeg = std::string("\xFF\xD8 jpeg \xFF\xD9", 10);
             return d;
         }(),
         "<</Subtype/Image/Length 10/Filter/DCTDecode/Name/Img1/BitsPerComponent 8/ColorSpace/"
         "DeviceRGB/Width 2/Height 2",
         false},
    };
    for (const auto& c : cases) {
        Layout layout = writeOne(c.data);
        ASSERT_TRUE(layout.ok) << c.what;
        EXPECT_TRUE(contains(layout.object(5), c.expected)) << c.what << "\n" << layout.object(5);
        EXPECT_EQ(layout.offsets.count(6) == 1, c.paletteObject) << c.what;
        EXPECT_TRUE(contains(layout.object(4), "/ProcSet [/PDF/Text/ImageB/ImageC/ImageI ]"
                                               "/XObject <</Img1 5 0 R\r>>"))
            << c.what;
    }
}

TEST(PdfImages, RawSamplesAndPaletteBytesAreWrittenAsGiven) {
    PdfImageData d = image(5, 2, 4, 0, {0xFF112233, 0xFF445566});
    Layout layout = writeOne(d);
    EXPECT_EQ(streamOf(layout, 5), d.samples);
    std::string palette = std::string("\x11\x22\x33\x44\x55\x66", 6) + std::string(42, '\0');
    EXPECT_TRUE(contains(layout.object(6), "<</Length 48>>stream\r\n" + palette + "\r\nendstream"));
}

TEST(PdfImages, FlateDataInflatesToTheSamples) {
    PdfImageData d = image(300, 20, 24, 1);
    Layout layout = writeOne(d);
    std::string object = layout.object(5);
    ASSERT_TRUE(contains(object, "/Filter/FlateDecode/Name/Img1/BitsPerComponent 8"));
    std::string data = streamOf(layout, 5);
    std::string inflated(d.samples.size(), '\0');
    uLongf length = inflated.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(inflated.data()), &length,
                         reinterpret_cast<const Bytef*>(data.data()), data.size()),
              Z_OK);
    EXPECT_EQ(inflated, d.samples);
}

// A stand-in for the plug-in's group 4 encoder.
std::int32_t fakeCcitt(KelvraByteArray* out, const KelvraByteArray*, std::int32_t, std::int32_t,
                       std::int32_t, std::int32_t) {
    out->data = new std::uint8_t[4]{'G', '4', '!', '!'};
    out->size = 4;
    return 0;
}
void fakeFree(KelvraByteArray* a) {
    delete[] a->data;
    a->data = nullptr;
    a->size = 0;
}

TEST(PdfImages, CcittDataGetsDecodeArraysOrBlackIs1) {
    tavimo::KelvraApi api;
    api.KELVRA_VB_CompressCCITT4 = fakeCcitt;
    api.KELVRA_FreeByteArray = fakeFree;
    tavimo::test::SetPluginTable(&api);
    struct Case {
        std::vector<std::uint32_t> palette;
        const char* expected;
    } cases[] = {
        {{kBlack, kWhite},
         "/Length 4/Filter/CCITTFaxDecode/DecodeParms<</K -1/Columns 10>>/Name/"
         "Img1/BitsPerComponent 1/ColorSpace/DeviceGray/Decode [ 1 0 ]"},
        {{kWhite, kBlack},
         "/DecodeParms<</K -1/Columns 10>>/Name/Img1/BitsPerComponent "
         "1/ColorSpace/DeviceGray/Decode [ 0 1 ]"},
        {{0xFF0000FF, 0xFFFF0000},
         "/DecodeParms<</K -1/Columns 10/BlackIs1 true>>/Name/Img1/"
         "BitsPerComponent 1/ColorSpace [/Indexed/DeviceRGB 1 6 0 R]"},
    };
    for (const auto& c : cases) {
        Layout layout = writeOne(image(10, 3, 1, 2, c.palette));
        EXPECT_TRUE(contains(layout.object(5), c.expected)) << layout.object(5);
        EXPECT_EQ(streamOf(layout, 5), "G4!!");
    }
    // Without the encoder the samples go in raw, under the raw Decode array.
    tavimo::KelvraApi none;
    tavimo::test::SetPluginTable(&none);
    Layout raw = writeOne(image(10, 3, 1, 2, {kBlack, kWhite}));
    EXPECT_TRUE(contains(raw.object(5), "/Length 6/Name/Img1/BitsPerComponent 1/ColorSpace/"
                                        "DeviceGray/Decode [ 0 1 ]"));
    tavimo::test::SetPluginTable(nullptr);
}

TEST(PdfImages, InvalidDataAddsNothing) {
    PdfImageData shortData = image(10, 10, 24, 0);
    shortData.samples.resize(10);
    PdfImageData badDepth = image(4, 4, 8, 0);
    badDepth.depth = 16;
    PdfImageData bigPalette = image(4, 4, 1, 0, {1, 2, 3});
    PdfImageData noJpeg = image(4, 4, 24, 3);
    PdfImageData empty = image(0, 4, 24, 0);
    PdfImageData badMode = image(4, 4, 24, 5);
    for (const auto* d : {&shortData, &badDepth, &bigPalette, &noJpeg, &empty, &badMode}) {
        Layout layout = writeOne(*d, 0);
        EXPECT_EQ(layout.fileOrder(), (std::vector<int>{1, 2, 4, 3}));
        EXPECT_FALSE(contains(layout.object(4), "/XObject"));
    }
    cPDF closed;
    EXPECT_EQ(closed.AddImageData(image(2, 2, 24, 0)), 0);
}

TEST(PdfImages, DrawImgAndTheSizeGetters) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("drawimg.pdf");
    ASSERT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
    pdf->CompressData(false);
    PdfImageData d = image(7, 3, 24, 0);
    d.resolutionX = 300;
    d.resolutionY = 150;
    ASSERT_EQ(pdf->AddImageData(d), 1);
    EXPECT_EQ(pdf->ImageCount(), 1);
    EXPECT_EQ(pdf->ImageWidth(1), 7);
    EXPECT_EQ(pdf->ImageHeight(1), 3);
    EXPECT_EQ(pdf->ImageResX(1), 300);
    EXPECT_EQ(pdf->ImageResY(1), 150);
    for (int id : {0, -1, 2}) {
        EXPECT_EQ(pdf->ImageWidth(id), 0);
        EXPECT_EQ(pdf->ImageHeight(id), 0);
        EXPECT_EQ(pdf->ImageResX(id), 0);
        EXPECT_EQ(pdf->ImageResY(id), 0);
    }
    int id = 1, none = 0, unknown = 2;
    pdf->DrawImg(none, 0, 0, 10, 10);
    pdf->DrawImg(unknown, 0, 0, 10, 10);
    EXPECT_EQ(pdf->Pages(), 0);
    pdf->DrawImg(id, 10, 20, 100, 50);
    pdf->ClosePdfFile();
    Layout layout(readFile(path));
    EXPECT_EQ(streamOf(layout, 7), "q\n100.00 0 0 50.00 10.00 20.00 cm\n/Img1 Do\nQ\n\r\n");
}

} // namespace
