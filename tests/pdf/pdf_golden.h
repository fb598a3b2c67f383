#pragma once

// The documents kept as golden files (shared by the byte comparison and the validation).

#include "pdf_test_util.h"

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace pdftest {

struct GoldenDocument {
    const char* name;
    std::function<void(tavimo::cPDF&, const std::string& path)> write;
    const char* password; // user password of encrypted documents
};

inline std::string goldenPath(const std::string& name) {
    const char* root = std::getenv("TAVIMO_SOURCE_DIR");
    return std::string(root ? root : ".") + "/tests/pdf/golden/" + name;
}

inline std::vector<GoldenDocument> goldenDocuments() {
    return {
        {"empty-page.pdf",
         [](tavimo::cPDF& pdf, const std::string& path) {
             pdf.NewPdf(path, "Empty", "Ann", "Tests", "", "");
             pdf.BeginPage();
         },
         ""},
        {"a4-margin.pdf",
         [](tavimo::cPDF& pdf, const std::string& path) {
             pdf.Margin(20);
             pdf.NewPdf(path, "Margin", "", "", "", "");
             pdf.BeginPage();
             pdf.BeginPage();
         },
         ""},
        {"r2-empty-passwords.pdf",
         [](tavimo::cPDF& pdf, const std::string& path) {
             pdf.NewPdf(path, "Garden plan", "Ann", "", "", "", tavimo::PdfEncryption40BitRC4);
             pdf.BeginPage();
         },
         ""},
        {"r3-passwords.pdf",
         [](tavimo::cPDF& pdf, const std::string& path) {
             pdf.NewPdf(path, "Garden plan", "Ann", "", "", "", tavimo::PdfEncryption128BitRC4,
                        tavimo::PdfRightCanPrint | tavimo::PdfRightCanCopy, "user", "owner");
             pdf.BeginPage();
         },
         "user"},
        {"pdfa-no-fonts.pdf",
         [](tavimo::cPDF& pdf, const std::string& path) {
             pdf.PdfA(true);
             pdf.NewPdf(path, "Archive (1)", "Ann", "Tests", "a, b", "Sub");
             pdf.BeginPage();
         },
         ""},
    };
}

inline bool writeGolden(const GoldenDocument& doc, const std::string& path) {
    auto pdf = fixedWriter();
    pdf->CompressData(false); // readable diffs, independent of the zlib version
    doc.write(*pdf, path);
    bool opened = pdf->PdfGetNativePdf() != 0;
    pdf->ClosePdfFile();
    return opened;
}

} // namespace pdftest
