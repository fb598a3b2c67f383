// Checks written files with independent tools from Debian: qpdf, poppler-utils and, for
// PDF/A, Apache PDFBox Preflight. A tool that is not installed skips its checks.

#include "pdf_golden.h"
#include "pdf_test_util.h"

#include "pdf/pdf_format.h"

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

// Apache PDFBox Preflight (Debian: libpdfbox2-java, libactivation-java, libjaxb-api-java).
TEST_F(Validate, PdfaDocumentsPassPreflight) {
    std::string jars;
    for (const char* jar : {"preflight", "pdfbox2", "fontbox2", "xmpbox", "commons-logging",
                            "javax.activation", "jaxb-api"}) {
        std::string file = std::string("/usr/share/java/") + jar + ".jar";
        if (!std::filesystem::exists(file))
            GTEST_SKIP() << file << " is not installed";
        jars += (jars.empty() ? "" : ":") + file;
    }
    if (!have("java"))
        GTEST_SKIP() << "java is not installed";
    struct Case {
        const char* name;
        const char* title;
        int pages;
    } cases[] = {{"a-empty.pdf", "Plain", 1},
                 {"a-escapes.pdf", "A (B) & <C> \\ \xE2\x82\xAC \xC3\xA9", 2}};
    for (auto c : cases) {
        auto pdf = fixedWriter();
        std::string path = scratchPath(c.name);
        pdf->PdfA(true);
        ASSERT_TRUE(pdf->NewPdf(path, c.title, "Ann", "Tool", "k", "Subject"));
        for (int i = 0; i < c.pages; ++i)
            pdf->BeginPage();
        pdf->ClosePdfFile();
        expectQpdfClean(path);
        ToolRun r =
            run("java -cp " + jars + " org.apache.pdfbox.preflight.Validator_A1b " + quote(path));
        EXPECT_EQ(r.status, 0) << c.name << "\n" << r.output;
    }
}

} // namespace
