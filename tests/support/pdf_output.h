#pragma once

// Reads printed PDF documents with poppler's command-line tools: the page sizes (pdfinfo)
// and a page's pixels (pdftoppm), to check where things landed on the sheet.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavimo::testing {

// True when pdfinfo, pdfimages and pdftoppm are installed.
bool havePopplerTools();

struct PdfPageSize {
    double widthPt = 0, heightPt = 0;
};
// The size of every page, in order; empty when pdfinfo fails.
std::vector<PdfPageSize> pdfPageSizes(const std::string& path);

// The pixel sizes of the images of page `page` (pdfimages -list).
struct PdfImageSize {
    int32_t width = 0, height = 0;
};
std::vector<PdfImageSize> pdfImageSizes(const std::string& path, int32_t page);

struct RasterPage {
    int32_t width = 0, height = 0;
    double dpi = 0;
    std::vector<uint8_t> rgb; // rows top-down, 3 bytes a pixel

    uint32_t at(int32_t x, int32_t y) const {
        const uint8_t* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
};
// Page `page` (from 1) rendered at `dpi`; nothing when pdftoppm fails.
std::optional<RasterPage> rasterPdfPage(const std::string& path, int32_t page, double dpi);

// The box, in millimetres from the sheet's top-left corner, of the pixels of a page that
// are near `rgb` (each channel within 60); nothing when there is none.
struct BoxMm {
    double left = 0, top = 0, right = 0, bottom = 0;
};
std::optional<BoxMm> colourBoxMm(const RasterPage& page, uint32_t rgb);

} // namespace tavimo::testing
