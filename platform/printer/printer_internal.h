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

// Takes the pages of one job. begin comes first; page for every finished page (its
// printable area, which lies at the geometry's offset on the sheet); end once (the job is
// printed) or abort.
class JobSink {
public:
    virtual ~JobSink() = default;
    virtual bool begin(const std::string& jobName, const PrinterSettings& settings,
                       const PageGeometry& geometry) = 0;
    virtual bool page(const win::GdiSurface& area, const PageGeometry& geometry) = 0;
    // The settings and the current paper as they are when the document ends.
    virtual bool end(const PrinterSettings& settings, const PaperInfo& paper,
                     const PageGeometry& geometry) = 0;
    virtual void abort() = 0;
};

std::optional<FilePrinterConfig> filePrinterConfig(const std::string& name);
PrinterCapabilities fileCapabilities(const FilePrinterConfig& config);
std::unique_ptr<JobSink> makeFileSink(const FilePrinterConfig& config);
void recordFinishedJob(FinishedJob job);

// CUPS: the destinations (empty when disabled or when no server answers) and the default.
std::vector<std::string> cupsDestinations(std::string* defaultName);

// What a destination says of itself; nothing when it cannot be asked.
struct CupsDestination {
    PrinterCapabilities capabilities;
    PrinterSettings defaults;
    // Attributes the destination lists as supported, so that only those go into a job.
    bool copies = false, orientation = false, sides = false, colorMode = false, quality = false,
         resolution = false;
    std::string monochrome; // the keyword it has for monochrome ("" when none)
};
std::optional<CupsDestination> queryCupsDestination(const std::string& name);
std::unique_ptr<JobSink> makeCupsSink(const std::string& destination, CupsDestination info);

// The IPP options of a job with these settings on this paper at this resolution, in a
// fixed order.
std::vector<std::pair<std::string, std::string>> cupsJobOptions(const PrinterSettings& settings,
                                                                const CupsDestination& info,
                                                                const PaperInfo& paper,
                                                                const PageGeometry& geometry);

// The job's PDF: each page of the sheet's exact size in points, white, with the printable
// area as a bitmap at its offset. Used by the CUPS sink, and testable without a server.
class PdfJobWriter {
public:
    PdfJobWriter();
    ~PdfJobWriter();
    bool addPage(const win::GdiSurface& area, const PageGeometry& geometry);
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
