// Checks written files with independent tools from Debian: qpdf, poppler-utils and, for
// PDF/A, Apache PDFBox Preflight. A tool that is not installed skips its checks.

#include "pdf_golden.h"
#include "pdf_test_util.h"
#include "tests/platform/fonts/test_fonts.h"

#include "core/image_info.h"
#include "core/plugin.h"
#include "pdf/pdf_format.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace {

using namespace pdftest;

struct ToolRun {
    int status = -1;
    std::string output;
};

ToolRun run(const std::string& command) {
    ToolRun r;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return r;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        r.output.append(buffer.data(), n);
    int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Runs of blanks as one blank, for tools that align their columns.
std::string squeezed(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ' || out.empty() || out.back() != ' ')
            out += c;
    return out;
}

bool have(const std::string& tool) {
    return run("command -v " + tool).status == 0;
}

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// qpdf --check: exit 0 only; 3 (warnings) counts as a failure.
void expectQpdfClean(const std::string& path, const std::string& password = "") {
    std::string pw = password.empty() ? "" : " --password=" + quote(password);
    ToolRun r = run("qpdf" + pw + " --check " + quote(path));
    EXPECT_EQ(r.status, 0) << path << "\n" << r.output;
    EXPECT_EQ(r.output.find("WARNING"), std::string::npos) << r.output;
}

// The literal value of /Title after qpdf has decrypted the file and written it plainly.
std::string decryptedTitle(const std::string& path, const std::string& password) {
    std::string plain = path + ".plain.pdf";
    ToolRun r =
        run("qpdf --password=" + quote(password) + " --decrypt --qdf --object-streams=disable " +
            quote(path) + " " + quote(plain));
    if (r.status != 0)
        return "<qpdf failed: " + r.output + ">";
    ToolRun json = run("qpdf --json --json-key=objects " + quote(plain));
    std::string text = readFile(plain);
    std::size_t at = text.find("/Title ");
    if (at == std::string::npos)
        return "<no title>";
    // qpdf writes literal strings with its own escapes or as hex; read either form.
    std::size_t p = at + 7;
    std::string value;
    if (text[p] == '<') {
        std::size_t end = text.find('>', p);
        for (std::size_t i = p + 1; i + 1 < end; i += 2)
            value += char(std::stoi(text.substr(i, 2), nullptr, 16));
        return value;
    }
    int depth = 0;
    for (++p; p < text.size(); ++p) {
        char c = text[p];
        if (c == '\\') {
            char e = text[++p];
            switch (e) {
            case 'n':
                value += '\n';
                break;
            case 'r':
                value += '\r';
                break;
            case 't':
                value += '\t';
                break;
            case 'b':
                value += '\b';
                break;
            case 'f':
                value += '\f';
                break;
            default:
                if (e >= '0' && e <= '7') {
                    int v = 0, k = 0;
                    while (k < 3 && text[p] >= '0' && text[p] <= '7') {
                        v = v * 8 + (text[p] - '0');
                        ++p;
                        ++k;
                    }
                    --p;
                    value += char(v);
                } else {
                    value += e;
                }
            }
            continue;
        }
        if (c == '(')
            ++depth;
        if (c == ')' && depth-- == 0)
            break;
        value += c;
    }
    return value;
}

// A PDF text string as UTF-8: UTF-16BE after its byte order mark, else single bytes (the
// values written here use only bytes that PDF text and Windows-1252 read alike).
std::string textStringToUtf8(const std::string& value) {
    if (value.size() < 2 || value[0] != '\xFE' || value[1] != '\xFF')
        return tavimo::pdf::AnsiToUtf8(value);
    std::string out;
    for (std::size_t i = 2; i + 1 < value.size(); i += 2) {
        unsigned cp = unsigned(static_cast<unsigned char>(value[i])) << 8 |
                      static_cast<unsigned char>(value[i + 1]);
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

class Validate : public ::testing::Test {
protected:
    void SetUp() override {
        if (!have("qpdf"))
            GTEST_SKIP() << "qpdf is not installed";
    }
};

TEST_F(Validate, PlainMarginAndPdfaDocumentsPassQpdfAndPoppler) {
    struct Case {
        const char* name;
        bool pdfa;
        float margin;
        int pages;
    } cases[] = {{"v-empty.pdf", false, 0, 1},
                 {"v-margin.pdf", false, 20, 3},
                 {"v-pdfa.pdf", true, 0, 1},
                 {"v-nothing.pdf", false, 0, 0}};
    for (auto c : cases) {
        auto pdf = fixedWriter();
        std::string path = scratchPath(c.name);
        pdf->PdfA(c.pdfa);
        pdf->Margin(c.margin);
        ASSERT_TRUE(pdf->NewPdf(path, "Garden plan", "Ann", "Tool", "a, b", "Sub"));
        for (int i = 0; i < c.pages; ++i)
            pdf->BeginPage();
        pdf->ClosePdfFile();
        expectQpdfClean(path);
        // poppler refuses a document without pages, which is valid PDF syntax all the same.
        if (have("pdfinfo") && c.pages > 0) {
            ToolRun info = run("pdfinfo " + quote(path));
            EXPECT_EQ(info.status, 0) << info.output;
            EXPECT_NE(info.output.find("Title:           Garden plan"), std::string::npos)
                << info.output;
            EXPECT_NE(info.output.find("Pages:           " + std::to_string(c.pages)),
                      std::string::npos)
                << info.output;
        }
    }
}

TEST_F(Validate, EncryptedDocumentsOpenWithBothPasswordsOnly) {
    struct Case {
        const char* name;
        int mode;
        int rights;
        const char* user;
        const char* owner;
        const char* expectR;
        const char* expectP;
    } cases[] = {
        {"v-r2.pdf", 1, -1, "", "", "R = 2", "P = -4"},
        {"v-r2pw.pdf", 1, tavimo::PdfRightCanPrint, "user", "owner", "R = 2", "P = -60"},
        {"v-r3.pdf", 2, tavimo::PdfRightCanPrint | tavimo::PdfRightCanCopy, "user", "owner",
         "R = 3", "P = -3884"},
        {"v-r3blank.pdf", 2, -1, "secret", "  ", "R = 3", "P = -4"},
    };
    for (auto c : cases) {
        auto pdf = fixedWriter();
        std::string path = scratchPath(c.name);
        ASSERT_TRUE(
            pdf->NewPdf(path, "Garden plan", "Ann", "", "", "", c.mode, c.rights, c.user, c.owner));
        pdf->BeginPage();
        pdf->ClosePdfFile();
        std::string owner =
            std::string(c.owner).find_first_not_of(' ') == std::string::npos ? c.user : c.owner;
        expectQpdfClean(path, c.user);
        expectQpdfClean(path, owner);
        ToolRun show = run("qpdf --password=" + quote(owner) + " --show-encryption " + quote(path));
        EXPECT_NE(show.output.find(c.expectR), std::string::npos) << show.output;
        EXPECT_NE(show.output.find(c.expectP), std::string::npos) << show.output;
        if (*c.user) {
            ToolRun wrong = run("qpdf --password=wrong --check " + quote(path));
            EXPECT_EQ(wrong.status, 2) << wrong.output;
            EXPECT_NE(wrong.output.find("invalid password"), std::string::npos) << wrong.output;
        }
        EXPECT_EQ(decryptedTitle(path, c.user), "Garden plan");
        if (have("pdfinfo")) {
            std::string upw = *c.user ? " -upw " + quote(c.user) : "";
            ToolRun info = run("pdfinfo" + upw + " " + quote(path));
            EXPECT_NE(info.output.find("Title:           Garden plan"), std::string::npos)
                << info.output;
        }
    }
}

TEST_F(Validate, GoldenFilesPassQpdf) {
    for (const auto& doc : goldenDocuments()) {
        std::string path = goldenPath(doc.name);
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        expectQpdfClean(path, doc.password);
    }
}

// Every first byte, including those whose cipher byte is CR or LF, survives decryption.
TEST_F(Validate, DecryptedTitlesEqualWhatWasWrittenForEveryFirstByte) {
    std::string path = scratchPath("v-bytes.pdf");
    for (int mode : {1, 2}) {
        for (int b = 0; b < 256; ++b) {
            std::string title = tavimo::pdf::AnsiToUtf8(std::string(1, char(b)) + "arden plan");
            auto pdf = fixedWriter(); // same identifier, so one key stream for all 256
            ASSERT_TRUE(pdf->NewPdf(path, title, "", "", "", "", mode, -1, "pw", "pw"));
            pdf->ClosePdfFile();
            ASSERT_EQ(textStringToUtf8(decryptedTitle(path, "pw")), title)
                << "mode " << mode << " byte " << b;
        }
    }
}

// The class path of Apache PDFBox Preflight (Debian: libpdfbox2-java, libactivation-java,
// libjaxb-api-java), or empty when it or java is missing.
std::string preflightClassPath() {
    std::string jars;
    for (const char* jar : {"preflight", "pdfbox2", "fontbox2", "xmpbox", "commons-logging",
                            "javax.activation", "jaxb-api"}) {
        std::string file = std::string("/usr/share/java/") + jar + ".jar";
        if (!std::filesystem::exists(file))
            return {};
        jars += (jars.empty() ? "" : ":") + file;
    }
    return have("java") ? jars : std::string();
}

TEST_F(Validate, PdfaDocumentsPassPreflight) {
    std::string jars = preflightClassPath();
    if (jars.empty())
        GTEST_SKIP() << "PDFBox Preflight or java is not installed";
    fonttest::useTestFonts();
    struct Case {
        const char* name;
        const char* title;
        int pages;
        bool text;
        bool form;
    } cases[] = {{"a-empty.pdf", "Plain", 1, false, false},
                 {"a-escapes.pdf", "A (B) & <C> \\ \xE2\x82\xAC \xC3\xA9", 2, false, false},
                 {"a-text.pdf", "Text", 1, true, false},
                 {"a-form.pdf", "Form", 2, false, true}};
    for (auto c : cases) {
        auto pdf = fixedWriter();
        std::string path = scratchPath(c.name);
        pdf->PdfA(true);
        ASSERT_TRUE(pdf->NewPdf(path, c.title, "Ann", "Tool", "k", "Subject"));
        if (c.form) {
            int font = pdf->LoadFont("DejaVu Sans", false, false);
            pdf->StartObject("Footer", 7);
            pdf->DrawText(72, 40, "Footer text", font, 10);
            pdf->EndObject();
        }
        for (int i = 0; i < c.pages; ++i)
            pdf->BeginPage();
        if (c.text) {
            int sans = pdf->LoadFont("DejaVu Sans", false, false);
            int serif = pdf->LoadFont("Liberation Serif", true, true);
            ASSERT_GT(serif, 0);
            pdf->DrawText(72, 700, "Archived text \xC3\xA9\xE2\x82\xAC", sans, 14);
            pdf->DrawText(72, 600, "Bold italic", serif, 20, 0, 30);
            pdf->SetColorFill(0x3366CC);
            float ray = 8;
            pdf->Rectangle(72, 300, 200, 100, 5, ray);
        }
        pdf->ClosePdfFile();
        expectQpdfClean(path);
        ToolRun r =
            run("java -cp " + jars + " org.apache.pdfbox.preflight.Validator_A1b " + quote(path));
        EXPECT_EQ(r.status, 0) << c.name << "\n" << r.output;
    }
}

// Renders page 1 at 72 dpi and answers the colour of a pixel (x right, y down, in points).
std::array<int, 3> pixelAt(const std::string& path, int x, int y,
                           const std::string& password = "") {
    std::string base = path + ".render";
    std::string upw = password.empty() ? "" : " -upw " + quote(password);
    ToolRun r =
        run("pdftoppm -r 72 -f 1 -l 1 -singlefile" + upw + " " + quote(path) + " " + quote(base));
    std::string ppm = readFile(base + ".ppm");
    // P6 header: "P6\n<w> <h>\n255\n".
    std::istringstream head(ppm);
    std::string magic;
    int w = 0, h = 0, max = 0;
    head >> magic >> w >> h >> max;
    std::size_t data = std::size_t(head.tellg()) + 1;
    if (r.status != 0 || magic != "P6" || x >= w || y >= h)
        return {-1, -1, -1};
    std::size_t at = data + (std::size_t(y) * std::size_t(w) + std::size_t(x)) * 3;
    return {static_cast<unsigned char>(ppm[at]), static_cast<unsigned char>(ppm[at + 1]),
            static_cast<unsigned char>(ppm[at + 2])};
}

TEST_F(Validate, TextShapesAndFormsRenderWhereTheyShould) {
    if (!have("pdftotext") || !have("pdffonts") || !have("pdftoppm"))
        GTEST_SKIP() << "poppler-utils are not installed";
    fonttest::useTestFonts();
    for (int mode : {0, 2}) {
        auto pdf = fixedWriter();
        std::string path = scratchPath(mode ? "v-text-r3.pdf" : "v-text.pdf");
        std::string pw = mode ? "pw" : "";
        ASSERT_TRUE(pdf->NewPdf(path, "Text", "", "", "", "", mode, -1, pw, pw));
        int font = pdf->LoadFont("dejavu sans", false, false);
        ASSERT_EQ(font, 1);
        pdf->StartObject("Footer", 7);
        pdf->SetColorFill(0x0000FF); // red
        float noRadius = 0;
        pdf->Rectangle(0, 0, 50, 50, 4, noRadius);
        pdf->EndObject();
        pdf->DrawText(72, 700, "Hello (World) \xC3\xA9\xE2\x82\xAC", font, 12);
        float width = pdf->TextWidth("Right", font, 12);
        pdf->DrawText(500, 680, "Right", font, 12, 1);
        EXPECT_GT(width, 20);
        pdf->SetColorFill(0xFF0000); // blue
        float ray = 10;
        pdf->Rectangle(200, 300, 100, 100, 4, ray);
        pdf->SetColorStroke(0x00FF00);
        pdf->SetLineWidth(4);
        pdf->Arc(400, 200, 40, 0, 360, 1, false, 0, 5, 1);
        pdf->DrawCircle(400, 500, 30, 5);
        pdf->BeginPage();
        pdf->DrawText(72, 700, "Second page", font, 12);
        pdf->ClosePdfFile();

        expectQpdfClean(path, pw);
        std::string upw = pw.empty() ? "" : " -upw " + quote(pw);
        ToolRun text = run("pdftotext -enc UTF-8" + upw + " " + quote(path) + " -");
        EXPECT_NE(text.output.find("Hello (World) \xC3\xA9\xE2\x82\xAC"), std::string::npos)
            << text.output;
        EXPECT_NE(text.output.find("Right"), std::string::npos);
        EXPECT_NE(text.output.find("Second page"), std::string::npos);
        ToolRun fontsList = run("pdffonts" + upw + " " + quote(path));
        EXPECT_NE(fontsList.output.find("DejaVuSans"), std::string::npos) << fontsList.output;
        EXPECT_NE(squeezed(fontsList.output).find("TrueType WinAnsi no"), std::string::npos)
            << fontsList.output;
        // Page height 842: a PDF y becomes 842 - y in the raster.
        EXPECT_EQ(pixelAt(path, 250, 842 - 350, pw), (std::array<int, 3>{0, 0, 255}));
        EXPECT_EQ(pixelAt(path, 25, 842 - 25, pw), (std::array<int, 3>{255, 0, 0}));
        EXPECT_EQ(pixelAt(path, 440, 842 - 200, pw), (std::array<int, 3>{0, 255, 0}));
        EXPECT_EQ(pixelAt(path, 400, 842 - 500, pw), (std::array<int, 3>{0, 0, 255}));
        EXPECT_EQ(pixelAt(path, 100, 842 - 100, pw), (std::array<int, 3>{255, 255, 255}));
    }
}

// Images of every kind land where DrawImg puts them, in their own colours (a 1-bit image with
// a palette that is not black and white, coded as group 4, included).
TEST_F(Validate, ImagesRenderInTheirColours) {
    if (!have("pdftoppm") || !have("pdfimages"))
        GTEST_SKIP() << "poppler-utils are not installed";
    // The plug-in is built next to the tests: <build>/plugins, two folders above this program.
    if (!std::getenv("TAVIMO_PLUGIN_PATH")) {
        std::error_code error;
        auto self = std::filesystem::read_symlink("/proc/self/exe", error);
        if (!error)
            setenv("TAVIMO_PLUGIN_PATH",
                   (self.parent_path().parent_path().parent_path() / "plugins").c_str(), 0);
    }
    bool ccitt = tavimo::plugin() && tavimo::plugin()->KELVRA_VB_CompressCCITT4;
    auto make = [](int w, int h, int depth, int mode, std::vector<std::uint32_t> palette,
                   std::string samples) {
        tavimo::PdfImageData d;
        d.width = w;
        d.height = h;
        d.depth = depth;
        d.mode = mode;
        d.palette = std::move(palette);
        d.samples = std::move(samples);
        return d;
    };
    std::string rgb;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            rgb += y == 0 ? (x == 0 ? std::string("\xFF\0\0", 3) : std::string("\0\xFF\0", 3))
                          : (x == 0 ? std::string("\0\0\xFF", 3) : std::string("\xFF\xFF\xFF", 3));
    // 16 x 16, left half index 0, right half index 1.
    std::string halves;
    for (int y = 0; y < 16; ++y)
        halves += std::string("\x00\xFF", 2);
    std::string nibbles(16 * 8, '\x11'); // 4-bit: every pixel index 1
    for (int mode : {0, 2}) {
        auto pdf = fixedWriter();
        std::string path = scratchPath(mode ? "v-images-r3.pdf" : "v-images.pdf");
        std::string pw = mode ? "pw" : "";
        ASSERT_TRUE(pdf->NewPdf(path, "Images", "", "", "", "", mode, -1, pw, pw));
        int codec = ccitt ? 2 : 0;
        int a = pdf->AddImageData(make(2, 2, 24, 1, {}, rgb));
        int b = pdf->AddImageData(make(16, 16, 1, codec, {0xFF000000, 0xFFFFFFFF}, halves));
        int c = pdf->AddImageData(make(16, 16, 1, codec, {0xFF0000FF, 0xFFFF0000}, halves));
        int d = pdf->AddImageData(make(16, 16, 4, 1, {0xFF000000, 0xFF00FF00}, nibbles));
        int e = pdf->AddImageData(make(16, 16, 1, codec, {0xFFFFFFFF, 0xFF000000}, halves));
        ASSERT_EQ(e, 5);
        pdf->DrawImg(a, 0, 742, 100, 100);
        pdf->DrawImg(b, 200, 742, 100, 100);
        pdf->DrawImg(c, 400, 742, 100, 100);
        pdf->DrawImg(d, 0, 500, 100, 100);
        pdf->DrawImg(e, 200, 500, 100, 100);
        pdf->ClosePdfFile();
        expectQpdfClean(path, pw);

        using RGB = std::array<int, 3>;
        EXPECT_EQ(pixelAt(path, 25, 25, pw), (RGB{255, 0, 0}));
        EXPECT_EQ(pixelAt(path, 75, 25, pw), (RGB{0, 255, 0}));
        EXPECT_EQ(pixelAt(path, 25, 75, pw), (RGB{0, 0, 255}));
        EXPECT_EQ(pixelAt(path, 75, 75, pw), (RGB{255, 255, 255}));
        EXPECT_EQ(pixelAt(path, 225, 50, pw), (RGB{0, 0, 0}));
        EXPECT_EQ(pixelAt(path, 275, 50, pw), (RGB{255, 255, 255}));
        EXPECT_EQ(pixelAt(path, 425, 50, pw), (RGB{0, 0, 255}));
        EXPECT_EQ(pixelAt(path, 475, 50, pw), (RGB{255, 0, 0}));
        EXPECT_EQ(pixelAt(path, 50, 842 - 550, pw), (RGB{0, 255, 0}));
        EXPECT_EQ(pixelAt(path, 225, 842 - 550, pw), (RGB{255, 255, 255}));
        EXPECT_EQ(pixelAt(path, 275, 842 - 550, pw), (RGB{0, 0, 0}));

        std::string upw = pw.empty() ? "" : " -upw " + quote(pw);
        std::string list = squeezed(run("pdfimages -list" + upw + " " + quote(path)).output);
        EXPECT_NE(list.find("image 2 2 rgb 3 8 image"), std::string::npos) << list;
        EXPECT_NE(list.find("image 16 16 index 1 4 image"), std::string::npos) << list;
        if (ccitt) {
            EXPECT_NE(list.find("image 16 16 gray 1 1 ccitt"), std::string::npos) << list;
            EXPECT_NE(list.find("image 16 16 index 1 1 ccitt"), std::string::npos) << list;
        }
    }
    if (!ccitt)
        GTEST_SKIP() << "the codec plug-in is not available: group 4 was not checked";
}

class ValidateImages : public tavimo::testing::CoreSessionTest {};

// Images from the image table: JPEG for colour, Flate for indexed colour, in plain, encrypted
// and PDF/A documents.
TEST_F(ValidateImages, TableImagesRenderAndPassTheCheckers) {
    if (!have("qpdf") || !have("pdftoppm"))
        GTEST_SKIP() << "qpdf or poppler-utils are not installed";
    fonttest::useTestFonts();
    // 64 x 64: left half red, right half blue (B, G, R rows).
    std::vector<std::uint8_t> rows;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            bool left = x < 32;
            rows.push_back(left ? 0 : 255);
            rows.push_back(0);
            rows.push_back(left ? 255 : 0);
        }
    tavimo::ImageId rgb = tavimo::testing::registerBitmap(64, 64, 0x21808, rows);
    std::vector<std::uint8_t> indices(32 * 32, 1);
    tavimo::ImageId indexed = tavimo::testing::registerBitmap(32, 32, 0x30803, indices);
    gp::Palette palette;
    palette.entries = {0xFF000000, 0xFF00FF00};
    ASSERT_EQ(tavimo::SetImagePalette(indexed, palette), 0);
    std::string jars = preflightClassPath();
    struct Case {
        const char* name;
        int mode;
        bool pdfa;
    } cases[] = {
        {"v-table.pdf", 0, false}, {"v-table-r2.pdf", 1, false}, {"a-images.pdf", 0, true}};
    for (auto c : cases) {
        auto pdf = fixedWriter();
        std::string path = scratchPath(c.name);
        std::string pw = c.mode ? "pw" : "";
        pdf->PdfA(c.pdfa);
        ASSERT_TRUE(pdf->NewPdf(path, "Images", "", "", "", "", c.mode, -1, pw, pw));
        int a = pdf->PdfAddImage(rgb, 2);
        int b = pdf->PdfAddImage(indexed, 2);
        ASSERT_EQ(b, 2);
        pdf->DrawImg(a, 100, 500, 200, 200);
        pdf->DrawImg(b, 350, 500, 100, 100);
        int font = pdf->LoadFont("DejaVu Sans", false, false);
        pdf->DrawText(100, 400, "Caption", font, 12);
        pdf->ClosePdfFile();
        expectQpdfClean(path, pw);
        auto near = [](std::array<int, 3> got, std::array<int, 3> want) {
            for (int i = 0; i < 3; ++i)
                if (std::abs(got[i] - want[i]) > 40)
                    return false;
            return true;
        };
        // JPEG is lossy: compare within a margin, away from the colour edge.
        EXPECT_TRUE(near(pixelAt(path, 130, 842 - 600, pw), {255, 0, 0})) << c.name;
        EXPECT_TRUE(near(pixelAt(path, 270, 842 - 600, pw), {0, 0, 255})) << c.name;
        EXPECT_EQ(pixelAt(path, 400, 842 - 550, pw), (std::array<int, 3>{0, 255, 0})) << c.name;
        if (c.pdfa && !jars.empty()) {
            ToolRun r = run("java -cp " + jars + " org.apache.pdfbox.preflight.Validator_A1b " +
                            quote(path));
            EXPECT_EQ(r.status, 0) << r.output;
        }
    }
}

TEST_F(Validate, PdfaFontsAreEmbedded) {
    if (!have("pdffonts"))
        GTEST_SKIP() << "poppler-utils are not installed";
    fonttest::useTestFonts();
    auto pdf = fixedWriter();
    std::string path = scratchPath("v-pdfa-font.pdf");
    pdf->PdfA(true);
    ASSERT_TRUE(pdf->NewPdf(path, "Fonts", "", "", "", ""));
    int font = pdf->LoadFont("Liberation Sans", false, false);
    pdf->DrawText(72, 700, "Embedded", font, 12);
    pdf->ClosePdfFile();
    expectQpdfClean(path);
    ToolRun fontsList = run("pdffonts " + quote(path));
    EXPECT_NE(squeezed(fontsList.output).find("TrueType WinAnsi yes"), std::string::npos)
        << fontsList.output;
}

} // namespace
