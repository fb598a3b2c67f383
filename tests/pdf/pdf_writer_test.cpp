#include "pdf_test_util.h"

#include "pdf/cPDF.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace pdftest;
using tavimo::cPDF;

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

// Every object the table lists starts with its "n 0 obj" line at the listed offset.
void expectConsistentTable(const Layout& layout) {
    ASSERT_TRUE(layout.ok);
    for (auto [n, offset] : layout.offsets) {
        std::string head = std::to_string(n) + " 0 obj\r\n";
        EXPECT_EQ(layout.bytes.compare(offset, head.size(), head), 0) << "object " << n;
    }
    EXPECT_EQ(int(layout.offsets.size()), layout.size - 1);
}

TEST(PdfWriter, EmptyPageDocumentHasTheExpectedLayout) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("empty-page.pdf");
    ASSERT_TRUE(pdf->NewPdf(path, "T", "A", "C", "K", "S"));
    EXPECT_FALSE(pdf->PdfHeaderDone());
    EXPECT_EQ(pdf->BeginPage(), 1);
    EXPECT_TRUE(pdf->PdfHeaderDone());
    pdf->ClosePdfFile();
    EXPECT_EQ(pdf->PdfGetNativePdf(), 0);

    Layout layout(readFile(path));
    expectConsistentTable(layout);
    EXPECT_EQ(layout.bytes.substr(0, 44), "%PDF-1.3\r%Quennet ActiveX 5.13.07 edition.\r\n");
    EXPECT_EQ(layout.size, 7);
    EXPECT_EQ(layout.fileOrder(), (std::vector<int>{1, 2, 5, 6, 4, 3}));
    EXPECT_TRUE(contains(layout.object(4), "<</ProcSet [/PDF/Text ]>>"));
    EXPECT_TRUE(
        contains(layout.object(3), "<</Type/Pages/Count 1/Kids [5 0 R ]/Resources 4 0 R>>"));
    EXPECT_TRUE(contains(layout.object(5), "/MediaBox [0 0 595.2 842]/CropBox [0 0 595.2 842]>>"));
    EXPECT_TRUE(
        contains(layout.bytes, "6 0 obj\r\n<</Length  0>>stream\r\n\r\nendstream\rendobj\r"));
    EXPECT_TRUE(contains(layout.bytes, "0000000000 65535 f\r\n"));
    EXPECT_TRUE(contains(layout.trailer(), "<</Size 7/Root 2 0 R/Info 1 0 R>>\r\nstartxref\r\n"));
    EXPECT_EQ(layout.bytes.substr(layout.bytes.size() - 7), "%%EOF\r\n");
    EXPECT_TRUE(
        contains(layout.object(1),
                 "<</Title(T)/Author(A)/Creator(C)/Producer(Quennet ActiveX 5.13.07 "
                 "edition.)/Subject(S)/Keywords(K)/CreationDate(D:20240305140709+01'00')>>"));
    EXPECT_TRUE(
        contains(layout.object(2),
                 "<</PageMode/UseNone/ViewerPreferences<</HideWindowUI false/DisplayDocTitle "
                 "true/HideToolbar false>>/Pages 3 0 R/PageLayout/OneColumn/Type/Catalog>>"));
}

TEST(PdfWriter, MarginOrientationAndPaperSettings) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("margin.pdf");
    ASSERT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
    pdf->Margin(20);
    pdf->Orientation(1);
    pdf->BeginPage();
    pdf->PaperSize(2);
    pdf->BeginPage();
    pdf->ClosePdfFile();
    Layout layout(readFile(path));
    expectConsistentTable(layout);
    EXPECT_TRUE(contains(layout.object(5),
                         "/MediaBox [0 0 595.2 842]/CropBox [20 20 575.2 822]/Rotate 90>>"));
    EXPECT_TRUE(contains(layout.object(7), "/MediaBox [0 0 612 792]/CropBox [20 20 592 772]"));
    EXPECT_TRUE(contains(layout.object(3), "/Count 2/Kids [5 0 R 7 0 R ]"));
}

TEST(PdfWriter, SettingsKeepTheirRanges) {
    cPDF pdf;
    EXPECT_EQ(pdf.CompressLevel(), 9);
    pdf.CompressLevel(12);
    pdf.CompressLevel(-1);
    EXPECT_EQ(pdf.CompressLevel(), 9);
    pdf.CompressLevel(0);
    EXPECT_EQ(pdf.CompressLevel(), 0);
    EXPECT_EQ(pdf.JpegQuality(), 75);
    pdf.JpegQuality(101);
    EXPECT_EQ(pdf.JpegQuality(), 75);
    EXPECT_FLOAT_EQ(pdf.PaperWidth(), 595.2f);
    pdf.PaperSize(2);
    pdf.PaperWidth(500);
    EXPECT_FLOAT_EQ(pdf.PaperHeight(), 792);
    pdf.PaperSize(7);
    EXPECT_FLOAT_EQ(pdf.PaperWidth(), 500);
    EXPECT_FLOAT_EQ(pdf.PaperHeight(), 792);
    pdf.PaperSize(1);
    EXPECT_FLOAT_EQ(pdf.PaperHeight(), 1190.5f);
    EXPECT_TRUE(pdf.CompressData());
    EXPECT_EQ(pdf.Pages(), 0);
    EXPECT_EQ(pdf.ImageCount(), 0);
}

TEST(PdfWriter, NewPdfReplacesAnExistingFileAndFailsCleanly) {
    std::string path = scratchPath("replace.pdf");
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(100000, 'x');
    }
    auto pdf = fixedWriter();
    ASSERT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
    EXPECT_NE(pdf->PdfGetNativePdf(), 0);
    EXPECT_EQ(pdf->PdfGetPath(), path);
    pdf->ClosePdfFile();
    EXPECT_EQ(readFile(path).find("xxxx"), std::string::npos);
    EXPECT_LT(readFile(path).size(), 100000u);

    EXPECT_FALSE(pdf->NewPdf(scratchPath("no-such-dir/file.pdf"), "", "", "", "", ""));
    EXPECT_EQ(pdf->PdfGetNativePdf(), 0);
    EXPECT_FALSE(pdf->NewPdf("", "", "", "", "", ""));
    EXPECT_FALSE(pdf->NewPdf(scratchDir().string(), "", "", "", "", ""));
    // Drawing without a document changes nothing and opens no page.
    EXPECT_EQ(pdf->BeginPage(), 0);
    pdf->EndPage();
    pdf->ClosePdfFile();
}

TEST(PdfWriter, UnknownEncryptionModesAreRefused) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("mode.pdf");
    for (int mode : {-1, 3, 7}) {
        EXPECT_FALSE(pdf->NewPdf(path, "", "", "", "", "", mode));
        EXPECT_EQ(pdf->PdfGetNativePdf(), 0);
    }
}

TEST(PdfWriter, CloseWithoutContentWritesAValidEmptyDocument) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("nothing.pdf");
    ASSERT_TRUE(pdf->NewPdf(path, "T", "", "", "", ""));
    pdf->EndPage(); // no page open: ignored
    pdf->ClosePdfFile();
    Layout layout(readFile(path));
    expectConsistentTable(layout);
    EXPECT_EQ(layout.fileOrder(), (std::vector<int>{1, 2, 4, 3}));
    EXPECT_TRUE(contains(layout.object(3), "/Count 0/Kids []"));
}

TEST(PdfWriter, ReusedInstanceStartsEachDocumentClean) {
    auto pdf = fixedWriter();
    std::string first = scratchPath("first.pdf");
    std::string second = scratchPath("second.pdf");
    ASSERT_TRUE(
        pdf->NewPdf(first, "one", "", "", "", "", tavimo::PdfEncryption128BitRC4, -1, "u", "o"));
    pdf->BeginPage();
    pdf->BeginPage();
    // The second NewPdf finishes the first document under its own settings.
    ASSERT_TRUE(pdf->NewPdf(second, "two", "", "", "", ""));
    pdf->BeginPage();
    EXPECT_EQ(pdf->Pages(), 1);
    pdf->ClosePdfFile();

    Layout one(readFile(first));
    expectConsistentTable(one);
    EXPECT_TRUE(contains(one.trailer(), "/Encrypt "));
    EXPECT_TRUE(contains(one.object(3), "/Count 2"));
    Layout two(readFile(second));
    expectConsistentTable(two);
    EXPECT_EQ(two.fileOrder(), (std::vector<int>{1, 2, 5, 6, 4, 3}));
    EXPECT_FALSE(contains(two.trailer(), "/Encrypt"));
    EXPECT_TRUE(contains(two.object(1), "/Title(two)"));
}

// Object numbers are 16-bit: once they run out, nothing more is begun, and the document
// still closes into a consistent file.
TEST(PdfWriter, RunningOutOfObjectNumbersKeepsTheFileConsistent) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("many-pages.pdf");
    ASSERT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
    int pages = 0;
    while (pdf->BeginPage() != 0)
        ++pages;
    EXPECT_EQ(pages, (32767 - 4) / 2);
    pdf->StartObject("late", 7); // needs two numbers, one is left
    pdf->EndObject();
    tavimo::PdfImageData pixel;
    pixel.width = pixel.height = 1;
    pixel.samples = "abc";
    EXPECT_EQ(pdf->AddImageData(pixel), 1); // takes the last number
    EXPECT_EQ(pdf->AddImageData(pixel), 0);
    pdf->ClosePdfFile();
    Layout layout(readFile(path));
    expectConsistentTable(layout);
    EXPECT_EQ(layout.size, 32768);
    EXPECT_TRUE(contains(layout.object(3), "/Count " + std::to_string(pages) + "/"));
}

TEST(PdfWriter, DestructorFinishesAnOpenDocument) {
    std::string path = scratchPath("destructor.pdf");
    {
        auto pdf = fixedWriter();
        ASSERT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
        pdf->BeginPage();
    }
    Layout layout(readFile(path));
    expectConsistentTable(layout);
    EXPECT_TRUE(contains(layout.object(3), "/Count 1"));
}

TEST(PdfWriter, InfoValuesAreEscapedAndKeepTheirCharacters) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("info.pdf");
    // Windows-1252 bytes that PDF text strings read alike stay single bytes; a value with
    // the euro sign (0x80, which PDF text reads as another character) becomes UTF-16BE.
    ASSERT_TRUE(pdf->NewPdf(path, "A (B) \\ \xC3\xA9", "\xE2\x82\xAC(", "", "", ""));
    pdf->ClosePdfFile();
    Layout layout(readFile(path));
    EXPECT_TRUE(contains(layout.object(1), "/Title(A \\(B\\) \\\\ \xE9)"));
    EXPECT_TRUE(contains(layout.object(1),
                         std::string("/Author(\xFE\xFF\x20\xAC") + std::string(1, '\0') + "\\()"));
}

TEST(PdfWriter, DatesCarryTheLocalOffset) {
    struct Case {
        int offset;
        const char* info;
    } cases[] = {{60, "+01'00'"}, {0, "+00'00'"}, {-300, "-05'00'"}, {330, "+05'30'"}};
    for (auto c : cases) {
        tavimo::cPDF pdf;
        pdf.SetEnvironment(fixedEnvironment(1, c.offset));
        std::string path = scratchPath("date.pdf");
        ASSERT_TRUE(pdf.NewPdf(path, "", "", "", "", ""));
        pdf.ClosePdfFile();
        EXPECT_TRUE(contains(readFile(path), std::string("(D:20240305140709") + c.info + ")"))
            << c.offset;
    }
}

TEST(PdfWriter, CallerXmpIsWrittenAsGivenWithoutOutputIntent) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("xmp.pdf");
    std::string packet = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\xC3\xA9</x:xmpmeta>";
    pdf->XMP(packet);
    ASSERT_TRUE(pdf->NewPdf(path, "", "", "", "", ""));
    pdf->ClosePdfFile();
    Layout layout(readFile(path));
    expectConsistentTable(layout);
    EXPECT_TRUE(contains(layout.object(2), "/Metadata 5 0 R/Pages 3 0 R"));
    EXPECT_FALSE(contains(layout.object(2), "/OutputIntents"));
    EXPECT_TRUE(contains(layout.object(5),
                         "<</Subtype/XML/Length " + std::to_string(packet.size()) +
                             "/Type/Metadata>>stream\r\n" + packet + "\r\nendstream\r\nendobj"));
    EXPECT_FALSE(contains(layout.trailer(), "/ID"));
}

std::string xmpOf(const Layout& layout) {
    std::string o = layout.object(5);
    std::size_t start = o.find("stream\r\n") + 8;
    std::size_t end = o.rfind("\r\nendstream");
    return o.substr(start, end - start);
}

TEST(PdfWriter, PdfaDocumentHasMetadataOutputIntentProfileAndIdentifier) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("pdfa.pdf");
    pdf->PdfA(true);
    ASSERT_TRUE(pdf->NewPdf(path, "A (B) & <C>", "\xC3\xA9mile", "Maker", "k1, k2", "Sub"));
    pdf->BeginPage();
    pdf->ClosePdfFile();
    Layout layout(readFile(path));
    expectConsistentTable(layout);
    EXPECT_EQ(layout.bytes.substr(0, 16), "%PDF-1.4\r%\xE2\xE3\xCF\xD3\r\n");
    EXPECT_EQ(layout.fileOrder(), (std::vector<int>{1, 2, 5, 6, 7, 8, 9, 4, 3}));
    EXPECT_TRUE(contains(layout.object(2), "/Metadata 5 0 R/Pages 3 0 R/PageLayout/OneColumn"
                                           "/Type/Catalog/OutputIntents 6 0 R>>"));
    EXPECT_TRUE(contains(layout.object(6),
                         "[<</Info(sRGB IEC61966-2.1)/S/GTS_PDFA1/OutputConditionIdentifier("
                         "Custom)/OutputCondition()/DestOutputProfile 7 0 R/Type/OutputIntent/"
                         "RegistryName()>>]"));
    EXPECT_TRUE(contains(layout.object(7), "/Filter/FlateDecode/N 3>>stream\r\n"));
    EXPECT_TRUE(contains(layout.object(1), "/Title(A \\(B\\) & <C>)/Author(\xE9mile)"));

    std::string xmp = xmpOf(layout);
    EXPECT_TRUE(contains(layout.object(5), "/Length " + std::to_string(xmp.size()) + "/"));
    EXPECT_TRUE(contains(xmp, "<rdf:li xml:lang=\"x-default\">A (B) &amp; &lt;C&gt;</rdf:li>"));
    EXPECT_TRUE(contains(xmp, "<rdf:li>\xC3\xA9mile</rdf:li>"));
    EXPECT_TRUE(contains(xmp, "<xmp:CreateDate>2024-03-05T14:07:09+01:00</xmp:CreateDate>"));
    EXPECT_TRUE(contains(xmp, "<pdf:Producer>Quennet ActiveX 5.13.07 edition.</pdf:Producer>"));
    EXPECT_FALSE(contains(xmp, "XXX_"));
    std::size_t doc = xmp.find("<xmpMM:DocumentID>uuid: ");
    std::size_t inst = xmp.find("<xmpMM:InstanceID>uuid: ");
    ASSERT_NE(doc, std::string::npos);
    ASSERT_NE(inst, std::string::npos);
    EXPECT_NE(xmp.substr(doc + 24, 36), xmp.substr(inst + 24, 36));
    EXPECT_EQ(xmp[doc + 24 + 8], '-');

    std::string trailer = layout.trailer();
    std::size_t id = trailer.find("/ID[<");
    ASSERT_NE(id, std::string::npos);
    EXPECT_EQ(trailer.substr(id + 37, 2), "><");
    EXPECT_EQ(trailer.substr(id + 71, 4), ">]>>");
}

TEST(PdfWriter, EncryptionSwitchesPdfaOff) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("pdfa-r2.pdf");
    pdf->PdfA(true);
    ASSERT_TRUE(pdf->NewPdf(path, "t", "", "", "", "", tavimo::PdfEncryption40BitRC4));
    pdf->BeginPage();
    pdf->ClosePdfFile();
    Layout layout(readFile(path));
    expectConsistentTable(layout);
    EXPECT_EQ(layout.bytes.substr(0, 10), "%PDF-1.3\r%");
    EXPECT_EQ(layout.fileOrder(), (std::vector<int>{1, 2, 5, 6, 7, 4, 3}));
    EXPECT_TRUE(contains(layout.object(5), "<< /Filter /Standard \r/O ("));
    EXPECT_TRUE(contains(layout.object(5), "\r/P -4\r/V 1 /R 2 >>"));
    EXPECT_FALSE(contains(layout.object(2), "/Metadata"));
    EXPECT_TRUE(contains(layout.trailer(), "/Encrypt 5 0 R /ID [<"));
}

TEST(PdfWriter, Revision3HeaderAndEncryptDictionary) {
    auto pdf = fixedWriter();
    std::string path = scratchPath("r3-layout.pdf");
    ASSERT_TRUE(pdf->NewPdf(path, "t", "", "", "", "", tavimo::PdfEncryption128BitRC4,
                            tavimo::PdfRightCanPrint | tavimo::PdfRightCanCopy, "u", "o"));
    pdf->ClosePdfFile();
    Layout layout(readFile(path));
    expectConsistentTable(layout);
    EXPECT_EQ(layout.bytes.substr(0, 44), "%PDF-1.4\r%Quennet ActiveX 5.13.07 edition.\r\n");
    EXPECT_TRUE(contains(layout.object(5), "\r/P -3884\r/V 2 /R 3 /Length 128 >>"));
    std::string trailer = layout.trailer();
    std::size_t id = trailer.find("/ID [<");
    ASSERT_NE(id, std::string::npos);
    EXPECT_EQ(trailer.substr(id + 6 + 64, 2), "><");
    EXPECT_EQ(trailer.substr(id + 6, 64), trailer.substr(id + 6 + 66, 64));
}

} // namespace
