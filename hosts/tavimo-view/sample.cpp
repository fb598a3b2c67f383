#include "hosts/tavimo-view/sample.h"

#include <tiffio.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace tavimo_view {

namespace {

constexpr int kWidth = 960, kHeight = 640, kPages = 3;

// Seven-segment digits: bits a b c d e f g.
constexpr uint8_t kSegments[10] = {0x7E, 0x30, 0x6D, 0x79, 0x33, 0x5B, 0x5F, 0x70, 0x7F, 0x7B};

bool inDigit(int digit, int x, int y, int size) {
    // A size x 2*size box with bars size/5 thick.
    const int t = size / 5, w = size, h = 2 * size;
    if (x < 0 || y < 0 || x >= w || y >= h)
        return false;
    const uint8_t s = kSegments[digit % 10];
    bool top = y < t, middle = std::abs(y - h / 2) < t / 2 + 1, bottom = y >= h - t;
    bool left = x < t, right = x >= w - t, upper = y < h / 2, lower = y >= h / 2;
    return ((s & 0x40) && top) || ((s & 0x20) && right && upper) ||
           ((s & 0x10) && right && lower) || ((s & 0x08) && bottom) ||
           ((s & 0x04) && left && lower) || ((s & 0x02) && left && upper) || ((s & 0x01) && middle);
}

void paintPage(std::vector<uint8_t>& rgb, int page) {
    static const uint8_t tint[kPages][3] = {{40, 110, 200}, {200, 90, 40}, {50, 160, 80}};
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
            // A diagonal gradient over the page's tint.
            double f = 0.35 + 0.65 * (double(x) / kWidth + double(y) / kHeight) / 2;
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<uint8_t>(tint[page][c] * f + 255 * (1 - f) * 0.3);
            if (x % 80 == 0 || y % 80 == 0) // grid
                p[0] = p[1] = p[2] = 235;
            if (inDigit(page + 1, x - (kWidth / 2 - 60), y - (kHeight / 2 - 120), 120))
                p[0] = p[1] = p[2] = 255;
        }
    }
}

} // namespace

bool writeSampleImage(const std::string& path) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif)
        return false;
    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
    bool ok = true;
    for (int page = 0; page < kPages && ok; ++page) {
        paintPage(rgb, page);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 64);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, 96.0f);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, 96.0f);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, page, kPages);
        for (int y = 0; y < kHeight && ok; ++y)
            ok = TIFFWriteScanline(tif, &rgb[size_t(y) * kWidth * 3], uint32_t(y), 0) >= 0;
        ok = ok && TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return ok;
}

} // namespace tavimo_view
