#include "pdf_test_util.h"
#include "tests/platform/fonts/test_fonts.h"

#include "pdf/cPDF.h"

#include <gtest/gtest.h>

#include <functional>
#include <locale>
#include <zlib.h>

namespace {

using namespace pdftest;
using tavimo::cPDF;

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

std::string lines(std::initializer_list<const char*> items) {
    std::string out;
    for (const char* item : items)
        out += std::string(item) + "\r\n";
    return out;
}

// Runs `draw` on the first page of a fresh uncompressed document and answers that page's
// content. Fonts, when drawn, are loaded first, so the page is object 5 + 2 per font.
std::string pageContent(const std::function<void(cPDF&)>& draw, int fonts = 0,
                        const char* font = "DejaVu Sans") {
    fonttest::useTestFonts();
    auto pdf = fixedWriter();
    std::string path = scratchPath("content.pdf");
    EXPECT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
    pdf->CompressData(false);
    for (int i = 0; i < fonts; ++i)
        EXPECT_EQ(pdf->LoadFont(font, false, false), i + 1);
    draw(*pdf);
    pdf->ClosePdfFile();
    Layout layout(readFile(path));
    return streamOf(layout, 6 + 2 * fonts);
}

TEST(PdfContent, OperatorsWriteTheirLines) {
    struct Case {
        const char* what;
        std::function<void(cPDF&)> draw;
        std::string expected;
    } cases[] = {
        {"red stroke", [](cPDF& p) { p.SetColorStroke(255); }, lines({"1 0 0 RG"})},
        {"black grey", [](cPDF& p) { p.SetColorStroke(0); }, lines({"0 G"})},
        {"mid grey", [](cPDF& p) { p.SetColorStroke(-128); }, lines({"0.502 G"})},
        {"white fill", [](cPDF& p) { p.SetColorFill(-255); }, lines({"1 g"})},
        {"green fill", [](cPDF& p) { p.SetColorFill(0x00FF00); }, lines({"0 1 0 rg"})},
        {"blue fill", [](cPDF& p) { p.SetColorFill(0xFF0000); }, lines({"0 0 1 rg"})},
        {"negative colour", [](cPDF& p) { p.SetColorFill(-256); }, ""},
        {"solid", [](cPDF& p) { p.SetDash(0, 0); }, lines({"[ ] 0 d"})},
        {"dash", [](cPDF& p) { p.SetDash(3, 0); }, lines({"[3 0] 0 d"})},
        {"text modes",
         [](cPDF& p) {
             p.SetTextMode(2);
             p.SetTextMode(4);
             p.SetTextMode(-1);
         },
         lines({"2 Tr"})},
        {"caps and joins",
         [](cPDF& p) {
             p.SetLineCap(1);
             p.SetLineCap(3);
             p.SetLineJoin(2);
             p.SetLineJoin(-1);
         },
         lines({"1 J", "2 j"})},
        {"text state",
         [](cPDF& p) {
             p.SetWordSpacing(1.5f);
             p.SetCharSpacing(-0.25f);
             p.SetTextHorizontalScaling(90);
             p.SetLineWidth(0.1f);
         },
         lines({"1.5 Tw", "-0.25 Tc", "90 Tz", "0.1 w"})},
        {"paths",
         [](cPDF& p) {
             p.MoveTo(1, 2);
             p.LineTo(3, 4, 1);
             p.LineTo(5, 6, 3);
             p.LineTo(7, 8, 7);
             p.LineTo(9, 10, 5);
             p.LineTo(11, 12, 6);
             p.LineTo(13, 14, 2);
             p.LineTo(15, 16, 0);
             p.Curve(1, 2, 3, 4, 5, 6.0004f, 4);
         },
         lines({"1 2 m", "3 4 l", "S", "5 6 l", "h", "S", "7 8 l", "b", "9 10 l", "B", "11 12 l",
                "f", "13 14 l", "h", "15 16 l", "1 2 3 4 5 6 c", "f"})},
        {"plain rectangle",
         [](cPDF& p) {
             float ray = 0;
             p.Rectangle(10, 20, 30, 40, 4, ray);
         },
         lines({"n", "10 20 30 40 re", "f"})},
        {"circle", [](cPDF& p) { p.DrawCircle(100, 100, 10, 1); },
         lines({"100 90 m", "105.5 90 110 94.5 110 100 c", "110 105.5 105.5 110 100 110 c",
                "94.5 110 90 105.5 90 100 c", "90 94.5 94.5 90 100 90 c", "S"})},
        {"open arc", [](cPDF& p) { p.Arc(0, 0, 10, 0, 90, 1, false, 0, 45, 1); },
         lines({"n", "0 0 m", "10 0 m", "10 0 l", "7.071 7.071 l", "0 10 l", "S"})},
        {"pie", [](cPDF& p) { p.Arc(0, 0, 10, 0, 90, 0.5f, true, 0, 90, 4); },
         lines({"n", "0 0 m", "10 0 l", "0 5 l", "0 0 l", "f"})},
        {"rotated arc", [](cPDF& p) { p.Arc(0, 0, 10, 0, 0, 1, false, 90, 10, 1); },
         lines({"n", "0 0 m", "0 10 m", "0 10 l", "S"})},
        {"arc without progress", [](cPDF& p) { p.Arc(0, 0, 10, 0, 90, 1, false, 0, 0, 1); }, ""},
        {"arc with negative step", [](cPDF& p) { p.Arc(0, 0, 10, 0, 90, 1, false, 0, -5, 1); }, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pageContent(c.draw), c.expected) << c.what;
}

TEST(PdfContent, RoundedRectangleClampsTheRadiusAndWritesItBack) {
    float ray = 50;
    std::string content = pageContent([&](cPDF& p) { p.Rectangle(0, 0, 40, 100, 1, ray); });
    EXPECT_FLOAT_EQ(ray, 20);
    EXPECT_EQ(content, lines({"n", "20 0 m", "20 0 l", "31 0 40 9 40 20 c", "40 80 l",
                              "40 91 31 100 20 100 c", "20 100 l", "9 100 0 91 0 80 c", "0 20 l",
                              "0 9 9 0 20 0 c", "S"}));
}

TEST(PdfContent, DrawingWithoutAPageStartsOneAndWithoutADocumentDoesNothing) {
    auto pdf = fixedWriter();
    pdf->SetLineWidth(1);
    pdf->Arc(0, 0, 1, 0, 90, 1, false, 0, 0, 1);
    EXPECT_EQ(pdf->Pages(), 0);
    std::string path = scratchPath("autopage.pdf");
    ASSERT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
    pdf->DrawObject("none");
    pdf->DrawText(0, 0, "x", 1, 10); // no such font: no page either
    EXPECT_EQ(pdf->Pages(), 0);
    pdf->SetLineWidth(1);
    EXPECT_EQ(pdf->Pages(), 1);
    pdf->ClosePdfFile();
}

TEST(PdfContent, CompressedContentInflatesToTheContent) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("compressed.pdf");
    ASSERT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
    pdf->SetLineWidth(2);
    pdf->ClosePdfFile();
    Layout layout(readFile(path));
    std::string content = layout.object(6);
    std::size_t lengthAt = content.find("<</Length  ");
    ASSERT_NE(lengthAt, std::string::npos);
    std::size_t length = std::stoul(content.substr(lengthAt + 11));
    ASSERT_TRUE(contains(content, "/Filter /FlateDecode>>stream\r\n"));
    std::size_t data = content.find("stream\r\n") + 8;
    std::string inflated(100, '\0');
    uLongf outLength = inflated.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(inflated.data()), &outLength,
                         reinterpret_cast<const Bytef*>(content.data() + data), length),
              Z_OK);
    inflated.resize(outLength);
    EXPECT_EQ(inflated, "2 w\r\n");
    EXPECT_EQ(content.compare(data + length, 11, "\r\nendstream"), 0);
}

TEST(PdfContent, DrawTextAlignsRotatesAndEscapes) {
    // DejaVu Sans: W is 989 thousandths wide, so "WW" at 10 points is 19.78 points.
    EXPECT_EQ(pageContent([](cPDF& p) { p.DrawText(300, 500, "a(b)\\", 1, 12); }, 1),
              lines({"BT", "/Font1 12 Tf", "300 500 Td", "(a\\(b\\)\\\\) Tj", "ET"}));
    EXPECT_TRUE(contains(pageContent([](cPDF& p) { p.DrawText(300, 500, "WW", 1, 10, 2); }, 1),
                         "\r\n290.11 500 Td\r\n"));
    EXPECT_TRUE(contains(pageContent([](cPDF& p) { p.DrawText(300, 500, "WW", 1, 10, 1); }, 1),
                         "\r\n280.22 500 Td\r\n"));
    EXPECT_TRUE(contains(pageContent([](cPDF& p) { p.DrawText(300, 500, "x", 1, 10, 0, 90); }, 1),
                         "\r\n0 1 -1 0 300 500 Tm\r\n"));
    EXPECT_TRUE(contains(
        pageContent([](cPDF& p) { p.DrawText(1, 2, "\xC3\xA9\xE2\x82\xAC\r\n", 1, 10); }, 1),
        "(\xE9\x80\\r\\n) Tj"));
}

TEST(PdfContent, TextWidthUsesWidthsAndTheTextState) {
    fonttest::useTestFonts();
    auto pdf = fixedWriter();
    ASSERT_TRUE(pdf->NewPdf(scratchPath("width.pdf"), "", "", "", "", ""));
    ASSERT_EQ(pdf->LoadFont("dejavu sans", false, false), 1);
    pdf->BeginPage();
    // a 613, blank 318, b 635 in DejaVu Sans.
    EXPECT_FLOAT_EQ(pdf->TextWidth("a b", 1, 10), 15.66f);
    EXPECT_EQ(pdf->TextWidth("", 1, 10), 0);
    EXPECT_EQ(pdf->TextWidth("a b", 0, 10), 0);
    EXPECT_EQ(pdf->TextWidth("a b", 2, 10), 0);
    pdf->SetWordSpacing(2);
    pdf->SetCharSpacing(1);
    EXPECT_FLOAT_EQ(pdf->TextWidth("a b", 1, 10), 15.66f + 2 + 3);
    pdf->SetTextHorizontalScaling(50);
    EXPECT_FLOAT_EQ(pdf->TextWidth("a b", 1, 10), (15.66f + 2 + 3) / 2);
    pdf->BeginPage(); // a new page resets the text state
    EXPECT_FLOAT_EQ(pdf->TextWidth("a b", 1, 10), 15.66f);
    pdf->ClosePdfFile();
}

TEST(PdfContent, LoadFontWritesFontAndDescriptorObjects) {
    fonttest::useTestFonts();
    auto pdf = fixedWriter();
    std::string path = scratchPath("fonts.pdf");
    EXPECT_EQ(pdf->LoadFont("DejaVu Sans", false, false), 0); // no document
    ASSERT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
    EXPECT_EQ(pdf->LoadFont("No Such Font", false, false), 0);
    EXPECT_EQ(pdf->LoadFont("liberation serif", true, false), 1);
    EXPECT_EQ(pdf->LoadFont("DejaVu Sans", false, false), 2);
    EXPECT_EQ(pdf->LoadFont("DejaVu Sans", false, true), 3); // fonts are not shared
    pdf->ClosePdfFile();
    Layout layout(readFile(path));
    ASSERT_TRUE(layout.ok);
    EXPECT_EQ(layout.fileOrder(), (std::vector<int>{1, 2, 5, 6, 7, 8, 9, 10, 4, 3}));
    std::string font = layout.object(5);
    EXPECT_TRUE(contains(font, "<</Type/Font/Subtype/TrueType/Name/Font1/BaseFont/"
                               "LiberationSerif,Bold/FirstChar 32/LastChar 255/FontDescriptor 6 "
                               "0 R/Encoding/WinAnsiEncoding/Widths [250 "));
    EXPECT_TRUE(contains(font, " ] >>\r\nendobj"));
    std::string dejavu = layout.object(7);
    EXPECT_TRUE(contains(dejavu, "/BaseFont/DejaVuSans/"));
    // The descriptor's parts are separated by lone CRs.
    EXPECT_TRUE(contains(layout.object(8),
                         "<<\r/Type /FontDescriptor\r/FontName /DejaVuSans\r/MissingWidth 600\r"
                         "/Ascent 928\r/Descent -236\r/AvgWidth 507\r/CapHeight 928\r/StemV 0\r"
                         "/ItalicAngle 0\r/Flags 32\r/MaxWidth  1874\r/FontBBox [ -375 -236 1499 "
                         "928]\r>>\r\nendobj"));
    EXPECT_TRUE(contains(layout.object(9), "/BaseFont/DejaVuSans,Italic/"));
    EXPECT_TRUE(contains(layout.object(10), "/ItalicAngle -11\r"));
    EXPECT_TRUE(contains(layout.object(4), "<</Font<</Font1 5 0 R \r/Font2 7 0 R \r/Font3 9 0 R "
                                           "\r>>/ProcSet [/PDF/Text ]>>"));
}

std::vector<std::string> pageContents(const Layout& layout) {
    std::vector<std::string> out;
    std::string kids = layout.object(3);
    std::size_t at = kids.find("/Kids [") + 7;
    while (kids[at] != ']') {
        int page = std::stoi(kids.substr(at));
        std::string obj = layout.object(page);
        std::size_t c = obj.find("/Contents ") + 10;
        out.push_back(streamOf(layout, std::stoi(obj.substr(c))));
        at = kids.find(" 0 R ", at) + 5;
    }
    return out;
}

TEST(PdfContent, FormsCaptureTheirDrawingAndAreDrawnOnTheirPages) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("forms.pdf");
    ASSERT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
    pdf->CompressData(false);
    pdf->StartObject("Head er", 14); // every page but the first
    pdf->SetLineWidth(3);
    pdf->BeginPage(); // a page ended while the form is open stays outside it
    pdf->DrawCircle(10, 10, 5, 1);
    pdf->EndObject();
    pdf->StartObject("All", 7);
    pdf->EndObject();
    pdf->StartObject("None", 1);
    pdf->MoveTo(1, 1);
    pdf->DrawObject("All");
    pdf->DrawObject("None"); // not itself
    pdf->EndObject();
    for (int i = 0; i < 3; ++i)
        pdf->BeginPage();
    pdf->DrawObject("Head er");
    pdf->DrawObject("Unknown");
    pdf->ClosePdfFile();

    Layout layout(readFile(path));
    ASSERT_TRUE(layout.ok);
    EXPECT_EQ(int(layout.offsets.size()), layout.size - 1);
    std::string form = layout.object(5);
    std::string body =
        lines({"3 w", "10 5 m", "12.75 5 15 7.25 15 10 c", "15 12.75 12.75 15 10 15 c",
               "7.25 15 5 12.75 5 10 c", "5 7.25 7.25 5 10 5 c", "S"});
    EXPECT_TRUE(contains(form, "<</Type/XObject/Subtype/Form/FormType 1/Name/Head#20er/BBox [0 0 "
                               "595.2 842]/Matrix [1 0 0 1 0 0]/Length 6 0 R>>stream\r\n" +
                                   body + "\r\nendstream\r\nendobj"));
    EXPECT_TRUE(contains(layout.object(6), "6 0 obj\r\n" + std::to_string(body.size()) + "\r\n"));
    EXPECT_TRUE(contains(layout.object(9), lines({"1 1 m", "/All Do"}) + "\r\nendstream"));
    EXPECT_TRUE(contains(layout.object(4), "/XObject <</Head#20er 5 0 R \r/All 7 0 R \r/None 9 0 "
                                           "R \r>>"));

    auto pages = pageContents(layout);
    ASSERT_EQ(pages.size(), 4u);
    EXPECT_EQ(pages[0], ""); // begun before any form selected it: it drew nothing
    EXPECT_EQ(pages[1], lines({"/Head#20er Do", "/All Do"}));
    EXPECT_EQ(pages[2], lines({"/Head#20er Do", "/All Do"}));
    EXPECT_EQ(pages[3], lines({"/Head#20er Do", "/All Do", "/Head#20er Do"}));
}

TEST(PdfContent, FormOnFirstPageSelection) {
    struct Case {
        int options;
        bool page1, page2, page3;
    } cases[] = {{7, true, true, true},   {14, false, true, true}, {1, false, false, false},
                 {2, false, true, false}, {4, true, false, true},  {12, false, false, true}};
    for (auto c : cases) {
        auto pdf = fixedWriter();
        std::string path = scratchPath("form-pages.pdf");
        ASSERT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
        pdf->CompressData(false);
        pdf->StartObject("F", c.options);
        pdf->EndObject();
        for (int i = 0; i < 3; ++i)
            pdf->BeginPage();
        pdf->ClosePdfFile();
        auto pages = pageContents(Layout(readFile(path)));
        ASSERT_EQ(pages.size(), 3u);
        EXPECT_EQ(contains(pages[0], "/F Do"), c.page1) << c.options;
        EXPECT_EQ(contains(pages[1], "/F Do"), c.page2) << c.options;
        EXPECT_EQ(contains(pages[2], "/F Do"), c.page3) << c.options;
    }
}

// A global C++ locale with a comma separator must not reach the file.
TEST(PdfContent, NumbersIgnoreTheGlobalLocale) {
    struct Comma : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
    };
    std::locale previous = std::locale::global(std::locale(std::locale::classic(), new Comma));
    std::string content = pageContent([](cPDF& p) {
        p.SetLineWidth(1234.5f);
        p.MoveTo(0.25f, 1e6f);
    });
    std::locale::global(previous);
    EXPECT_EQ(content, lines({"1234.5 w", "0.25 1000000 m"}));
}

} // namespace
