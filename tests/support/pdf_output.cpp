#include "tests/support/pdf_output.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tavimo::testing {

namespace {

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::optional<std::string> output(const std::string& command) {
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return std::nullopt;
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        text.append(buf, n);
    return pclose(p) == 0 ? std::optional<std::string>(text) : std::nullopt;
}

} // namespace

bool havePopplerTools() {
    return std::system("(command -v pdfinfo && command -v pdftoppm && command -v pdfimages) "
                       ">/dev/null 2>&1") == 0;
}

std::vector<PdfPageSize> pdfPageSizes(const std::string& path) {
    std::vector<PdfPageSize> sizes;
    auto text = output("pdfinfo -f 1 -l 100000 " + quoted(path) + " 2>/dev/null");
    if (!text)
        return sizes;
    std::istringstream in(*text);
    // "Page    1 size: 612 x 792 pts (letter)"
    for (std::string line; std::getline(in, line);) {
        int page = 0;
        double w = 0, h = 0;
        if (std::sscanf(line.c_str(), "Page %d size: %lf x %lf", &page, &w, &h) == 3)
            sizes.push_back({w, h});
    }
    return sizes;
}

std::vector<PdfImageSize> pdfImageSizes(const std::string& path, int32_t page) {
    std::vector<PdfImageSize> sizes;
    const std::string p = std::to_string(page);
    auto text =
        output("pdfimages -list -f " + p + " -l " + p + " " + quoted(path) + " 2>/dev/null");
    if (!text)
        return sizes;
    std::istringstream in(*text);
    // "   1     0 image    2400  3000  rgb     3   8  image  no        10  0   300   300 ..."
    for (std::string line; std::getline(in, line);) {
        int pageNo = 0, number = 0, w = 0, h = 0;
        char type[32] = "";
        if (std::sscanf(line.c_str(), "%d %d %31s %d %d", &pageNo, &number, type, &w, &h) == 5)
            sizes.push_back({w, h});
    }
    return sizes;
}

std::optional<RasterPage> rasterPdfPage(const std::string& path, int32_t page, double dpi) {
    const std::string base = path + ".page" + std::to_string(page);
    const std::string command = "pdftoppm -r " + std::to_string(dpi) + " -f " +
                                std::to_string(page) + " -l " + std::to_string(page) +
                                " -singlefile " + quoted(path) + " " + quoted(base);
    if (!output(command))
        return std::nullopt;
    std::ifstream in(base + ".ppm", std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    in >> magic >> w >> h >> max;
    in.get();
    if (magic != "P6" || w < 1 || h < 1 || max != 255)
        return std::nullopt;
    RasterPage r;
    r.width = w;
    r.height = h;
    r.dpi = dpi;
    r.rgb.resize(size_t(w) * size_t(h) * 3);
    in.read(reinterpret_cast<char*>(r.rgb.data()), std::streamsize(r.rgb.size()));
    std::remove((base + ".ppm").c_str());
    if (!in)
        return std::nullopt;
    return r;
}

std::optional<BoxMm> colourBoxMm(const RasterPage& page, uint32_t rgb) {
    int32_t x0 = page.width, y0 = page.height, x1 = -1, y1 = -1;
    auto near = [](uint32_t a, uint32_t b, int shift) {
        return std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) <= 60;
    };
    for (int32_t y = 0; y < page.height; ++y)
        for (int32_t x = 0; x < page.width; ++x) {
            const uint32_t c = page.at(x, y);
            if (near(c, rgb, 16) && near(c, rgb, 8) && near(c, rgb, 0)) {
                x0 = std::min(x0, x), y0 = std::min(y0, y);
                x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
        }
    if (x1 < 0)
        return std::nullopt;
    const double mm = 25.4 / page.dpi;
    return BoxMm{x0 * mm, y0 * mm, (x1 + 1) * mm, (y1 + 1) * mm};
}

} // namespace tavimo::testing
