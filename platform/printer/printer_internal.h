#pragma once

// What the device shares with the two back ends: the job sinks that take finished sheets,
// and the registry of file printers.

#include "platform/printer/printer.h"
#include "platform/win/gdi_surface.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace prn::detail {

// Takes the sheets of one job. begin comes first; page for every finished sheet; end once
// (the job is printed) or abort.
class JobSink {
public:
    virtual ~JobSink() = default;
    virtual bool begin(const std::string& jobName, const PrinterSettings& settings,
                       const PageGeometry& geometry) = 0;
    virtual bool page(const win::GdiSurface& sheet, const PageGeometry& geometry) = 0;
    virtual bool end(const PrinterSettings& settings) = 0;
    virtual void abort() = 0;
};

std::optional<FilePrinterConfig> filePrinterConfig(const std::string& name);
std::unique_ptr<JobSink> makeFileSink(const FilePrinterConfig& config);
void recordFinishedJob(FinishedJob job);

// CUPS: the destinations (empty when disabled or when no server answers) and the default.
std::vector<std::string> cupsDestinations(std::string* defaultName);
std::unique_ptr<JobSink> makeCupsSink(const std::string& destination);

// The job's PDF: each sheet a page of its size in points carrying the sheet as a bitmap.
// Used by the CUPS sink, and testable without a server.
class PdfJobWriter {
public:
    PdfJobWriter();
    ~PdfJobWriter();
    bool addSheet(const win::GdiSurface& sheet, double dpiX, double dpiY);
    // The finished document; empty on failure or without pages.
    std::string finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Writes a 32-bpp surface as an 8-bit RGB PNG with its resolution. False on failure (the
// partial file is removed).
bool writeSheetPng(const win::GdiSurface& sheet, double dpiX, double dpiY, const std::string& path);

// The sheet of a page: white, the printable area copied in at its offset.
std::shared_ptr<win::GdiSurface> composeSheet(const win::GdiSurface& area,
                                              const PageGeometry& geometry);

} // namespace prn::detail
