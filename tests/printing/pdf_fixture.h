#pragma once

// PDF files for the rasteriser tests, written with the project's own PDF writer: pages of
// 200 x 100 points, each with a left and a right half of its own colour.

#include "pdf/cPDF.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace tavimo::testing {

// Colours as 0xRRGGBB.
inline bool writeHalvesPdf(const std::string& path,
                           const std::vector<std::pair<uint32_t, uint32_t>>& pages,
                           float widthPt = 200, float heightPt = 100) {
    auto colorRef = [](uint32_t rgb) {
        return int32_t(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
    };
    cPDF pdf;
    pdf.PaperWidth(widthPt);
    pdf.PaperHeight(heightPt);
    if (!pdf.NewPdf(path, "t", "", "", "", ""))
        return false;
    for (const auto& [left, right] : pages) {
        pdf.BeginPage();
        float ray = 0;
        pdf.SetColorFill(colorRef(left));
        pdf.Rectangle(0, 0, widthPt / 2, heightPt, 4, ray);
        pdf.SetColorFill(colorRef(right));
        pdf.Rectangle(widthPt / 2, 0, widthPt / 2, heightPt, 4, ray);
        pdf.EndPage();
    }
    pdf.ClosePdfFile();
    return true;
}

// Turns page 1 of a PDF by 90 degrees with qpdf; false when qpdf is missing or fails.
inline bool rotateFirstPage(const std::string& in, const std::string& out) {
    std::string command = "qpdf \"" + in + "\" --rotate=+90:1 \"" + out + "\" >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

} // namespace tavimo::testing
