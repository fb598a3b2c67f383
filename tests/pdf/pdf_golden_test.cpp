// Whole files compared byte for byte with the ones in golden/, written with the fixed clock
// and random source. TAVIMO_UPDATE_GOLDEN=1 rewrites them; the validation tests run the
// external checkers over the same files, so a golden file is never right merely by being
// unchanged.

#include "pdf_golden.h"
#include "pdf_test_util.h"

#include <gtest/gtest.h>

namespace {

using namespace pdftest;

TEST(PdfGolden, DocumentsMatchTheirGoldenFilesByteForByte) {
    for (const auto& doc : goldenDocuments()) {
        std::string path = scratchPath(doc.name);
        ASSERT_TRUE(writeGolden(doc, path)) << doc.name;
        std::string golden = goldenPath(doc.name);
        if (std::getenv("TAVIMO_UPDATE_GOLDEN")) {
            std::filesystem::copy_file(path, golden,
                                       std::filesystem::copy_options::overwrite_existing);
            continue;
        }
        std::string expected = readFile(golden);
        ASSERT_FALSE(expected.empty()) << golden << " is missing";
        EXPECT_TRUE(readFile(path) == expected) << doc.name << " differs from " << golden;
    }
}

} // namespace
