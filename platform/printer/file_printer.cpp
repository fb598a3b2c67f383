#include "platform/printer/printer_internal.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace prn::detail {

namespace {

std::string safeName(const std::string& name) {
    std::string out;
    for (unsigned char c : name)
        out += (std::isalnum(c) || c == '-' || c == '_') ? char(c) : '_';
    return out;
}

class FileSink : public JobSink {
public:
    explicit FileSink(FilePrinterConfig config) : m_config(std::move(config)) {}

    bool begin(const std::string& jobName, const PrinterSettings&,
               const PageGeometry& geometry) override {
        std::error_code ec;
        std::filesystem::create_directories(m_config.directory, ec);
        if (!std::filesystem::is_directory(m_config.directory, ec))
            return false;
        m_job = FinishedJob{};
        m_job.printer = m_config.name;
        m_job.jobName = jobName;
        m_job.dpiX = geometry.dpiX;
        m_job.dpiY = geometry.dpiY;
        // The first job number whose first page file is free, so nothing is overwritten.
        const std::string base = m_config.directory + "/" + safeName(m_config.name) + "-job";
        for (m_jobNumber = 1;; ++m_jobNumber)
            if (!std::filesystem::exists(base + std::to_string(m_jobNumber) + "-page1.png", ec))
                break;
        m_base = base + std::to_string(m_jobNumber) + "-page";
        return true;
    }

    bool page(const win::GdiSurface& area, const PageGeometry& geometry) override {
        auto sheet = composeSheet(area, geometry);
        std::string path = m_base + std::to_string(m_job.pageFiles.size() + 1) + ".png";
        if (!sheet || !writeSheetPng(*sheet, geometry.dpiX, geometry.dpiY, path))
            return false;
        m_job.pageFiles.push_back(path);
        return true;
    }

    bool end(const PrinterSettings& settings, const PaperInfo&, const PageGeometry&) override {
        m_job.settings = settings;
        recordFinishedJob(m_job);
        return true;
    }

    void abort() override {
        std::error_code ec;
        for (const auto& f : m_job.pageFiles)
            std::filesystem::remove(f, ec);
        m_job.pageFiles.clear();
    }

private:
    FilePrinterConfig m_config;
    FinishedJob m_job;
    int m_jobNumber = 1;
    std::string m_base;
};

} // namespace

std::unique_ptr<JobSink> makeFileSink(const FilePrinterConfig& config) {
    return std::make_unique<FileSink>(config);
}

bool writeSheetPng(const win::GdiSurface& sheet, double dpiX, double dpiY,
                   const std::string& path) {
    if (sheet.bpp() != 32)
        return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    std::vector<uint8_t> row(size_t(sheet.width()) * 3);
    if (png && info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_set_IHDR(png, info, uint32_t(sheet.width()), uint32_t(sheet.height()), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_set_pHYs(png, info, uint32_t(dpiX / 0.0254 + 0.5), uint32_t(dpiY / 0.0254 + 0.5),
                     PNG_RESOLUTION_METER);
        png_set_compression_level(png, 3);
        png_write_info(png, info);
        for (int32_t y = 0; y < sheet.height(); ++y) {
            const uint8_t* src = sheet.row(y);
            uint8_t* dst = row.data();
            for (int32_t x = 0; x < sheet.width(); ++x, src += 4, dst += 3) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, info);
        ok = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        std::remove(path.c_str());
    return ok;
}

std::shared_ptr<win::GdiSurface> composeSheet(const win::GdiSurface& area, const PageGeometry& g) {
    auto sheet =
        win::GdiSurface::create(g.sheetWidth, g.sheetHeight, 32, false, {}, g.dpiX, g.dpiY);
    if (!sheet)
        return nullptr;
    std::memset(sheet->bits(), 0xFF, sheet->byteSize());
    const int32_t w = std::min(area.width(), g.sheetWidth - g.offsetX);
    for (int32_t y = 0; y < area.height() && y + g.offsetY < g.sheetHeight; ++y)
        if (w > 0)
            std::memcpy(sheet->row(y + g.offsetY) + size_t(g.offsetX) * 4, area.row(y),
                        size_t(w) * 4);
    return sheet;
}

} // namespace prn::detail
