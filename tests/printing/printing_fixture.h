#pragma once

// A file printer per test (no CUPS), a GDI+ session, and readers of the printed pages.

#include "core/image_info.h"
#include "core/image_load.h"
#include "platform/printer/printer.h"
#include "printing/cPrinter.h"
#include "tests/support/core_fixtures.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace tavimo::testing {

struct PrintedPage {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    // The colour at a point given in millimetres from the sheet's corner, alpha dropped.
    uint32_t atMm(double xMm, double yMm, double dpi) const {
        int32_t x = int32_t(xMm / 25.4 * dpi), y = int32_t(yMm / 25.4 * dpi);
        if (x < 0 || y < 0 || x >= width || y >= height)
            return 0xDEADBEEF;
        return pixels[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF;
    }
};

inline constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kLime = 0x00FF00, kBlue = 0x0000FF;

class PrintingTest : public CoreSessionTest {
protected:
    static constexpr double kDpi = 100.0;

    void SetUp() override {
        CoreSessionTest::SetUp();
        prn::setCupsEnabled(false);
        prn::clearFilePrinters();
        m_dir = tempPath("pages");
        addPrinter("Test Printer", 0.0, true);
    }
    void TearDown() override {
        prn::clearFilePrinters();
        prn::setCupsEnabled(true);
        CoreSessionTest::TearDown();
    }

    void addPrinter(const std::string& name, double marginMm, bool makeDefault = false) {
        prn::FilePrinterConfig c;
        c.name = name;
        c.directory = m_dir;
        c.dpi = kDpi;
        c.marginLeftMm = c.marginTopMm = c.marginRightMm = c.marginBottomMm = marginMm;
        c.makeDefault = makeDefault;
        ASSERT_TRUE(prn::registerFilePrinter(c));
    }

    std::vector<prn::FinishedJob> jobs(const std::string& printer = "Test Printer") {
        return prn::finishedJobs(printer);
    }

    PrintedPage readPage(const std::string& path) {
        PrintedPage page;
        ImageId id = 0;
        if (LoadImageFromFile(id, path, false, true, true, 0, true, true) != 0)
            return page;
        GetImageWidth(id, page.width);
        GetImageHeight(id, page.height);
        page.pixels = readArgb(id);
        ReleaseImage(id);
        return page;
    }

    // The only page of the only job.
    PrintedPage onlyPage(const std::string& printer = "Test Printer") {
        auto j = jobs(printer);
        if (j.size() != 1 || j[0].pageFiles.size() != 1) {
            ADD_FAILURE() << "expected one job of one page, got " << j.size() << " jobs";
            return {};
        }
        return readPage(j[0].pageFiles[0]);
    }

    // A solid image of w x h pixels at dpi, left half `left`, right half `right`.
    ImageId makeImage(int32_t w, int32_t h, float dpi, uint32_t left, uint32_t right) {
        std::vector<uint8_t> rows(size_t(w) * size_t(h) * 4);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                uint32_t c = 0xFF000000u | (x < w / 2 ? left : right);
                std::memcpy(&rows[(size_t(y) * size_t(w) + size_t(x)) * 4], &c, 4);
            }
        ImageId id = registerBitmap(w, h, gp::PixelFormat32bppARGB, rows);
        if (id)
            gp::GdipBitmapSetResolution(GetGdiImage(id), dpi, dpi);
        return id;
    }

    std::string m_dir;
};

} // namespace tavimo::testing
