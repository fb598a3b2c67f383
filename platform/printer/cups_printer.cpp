#include "platform/printer/printer_internal.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <cups/cups.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>

namespace prn {

namespace {

std::atomic<bool> g_cupsEnabled{true};

struct CupsCache {
    std::mutex mutex;
    bool valid = false;
    std::chrono::steady_clock::time_point when;
    std::vector<std::string> names;
    std::string defaultName;
};

CupsCache& cache() {
    static CupsCache c;
    return c;
}

// A connection to the server, or null when none answers within a second.
http_t* connectServer() {
    return httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 1000,
                        nullptr);
}

} // namespace

void setCupsEnabled(bool enabled) {
    g_cupsEnabled = enabled;
    refreshCupsPrinters();
}

bool cupsEnabled() {
    return g_cupsEnabled;
}

void refreshCupsPrinters() {
    std::lock_guard lock(cache().mutex);
    cache().valid = false;
}

namespace detail {

std::vector<std::string> cupsDestinations(std::string* defaultName) {
    if (defaultName)
        defaultName->clear();
    if (!g_cupsEnabled)
        return {};
    CupsCache& c = cache();
    std::lock_guard lock(c.mutex);
    auto now = std::chrono::steady_clock::now();
    if (!c.valid || now - c.when > std::chrono::seconds(5)) {
        c.names.clear();
        c.defaultName.clear();
        if (http_t* http = connectServer()) {
            cups_dest_t* dests = nullptr;
            int n = cupsGetDests2(http, &dests);
            for (int i = 0; i < n; ++i) {
                if (dests[i].instance) // instances are option sets of a queue, not printers
                    continue;
                c.names.emplace_back(dests[i].name);
                if (dests[i].is_default)
                    c.defaultName = dests[i].name;
            }
            cupsFreeDests(n, dests);
            httpClose(http);
        }
        c.valid = true;
        c.when = now;
    }
    if (defaultName)
        *defaultName = c.defaultName;
    return c.names;
}

// ---- The job document --------------------------------------------------------------------

struct PdfJobWriter::State {
    std::string bytes;
    cairo_surface_t* pdf = nullptr;
    bool failed = false;
    int pages = 0;
};

namespace {

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

PdfJobWriter::PdfJobWriter() : m_state(std::make_unique<State>()) {}

PdfJobWriter::~PdfJobWriter() {
    if (m_state->pdf)
        cairo_surface_destroy(m_state->pdf);
}

bool PdfJobWriter::addSheet(const win::GdiSurface& sheet, double dpiX, double dpiY) {
    State& s = *m_state;
    if (s.failed || sheet.bpp() != 32 || !(dpiX > 0) || !(dpiY > 0))
        return false;
    const double wPt = sheet.width() * 72.0 / dpiX, hPt = sheet.height() * 72.0 / dpiY;
    if (!s.pdf) {
        s.pdf = cairo_pdf_surface_create_for_stream(appendBytes, &s.bytes, wPt, hPt);
        if (cairo_surface_status(s.pdf) != CAIRO_STATUS_SUCCESS) {
            s.failed = true;
            return false;
        }
    } else {
        cairo_pdf_surface_set_size(s.pdf, wPt, hPt);
    }
    // The sheet's rows are B, G, R, x: cairo's RGB24 layout, and its stride is the DIB's.
    if (cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, sheet.width()) != sheet.stride() ||
        sheet.bottomUp()) {
        s.failed = true;
        return false;
    }
    cairo_surface_t* image =
        cairo_image_surface_create_for_data(const_cast<uint8_t*>(sheet.bits()), CAIRO_FORMAT_RGB24,
                                            sheet.width(), sheet.height(), sheet.stride());
    cairo_t* cr = cairo_create(s.pdf);
    cairo_scale(cr, 72.0 / dpiX, 72.0 / dpiY);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_paint(cr);
    cairo_show_page(cr);
    bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_destroy(image);
    if (!ok)
        s.failed = true;
    else
        ++s.pages;
    return ok;
}

std::string PdfJobWriter::finish() {
    State& s = *m_state;
    if (!s.pdf)
        return {};
    cairo_surface_finish(s.pdf);
    bool ok = !s.failed && s.pages > 0 && cairo_surface_status(s.pdf) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s.pdf);
    s.pdf = nullptr;
    return ok ? std::move(s.bytes) : std::string();
}

// ---- The CUPS sink -----------------------------------------------------------------------

namespace {

const char* mediaName(const PrinterSettings& s) {
    switch (s.paperSize) {
    case DMPAPER_LETTER:
        return "na_letter_8.5x11in";
    case DMPAPER_LEGAL:
        return "na_legal_8.5x14in";
    case DMPAPER_A3:
        return "iso_a3_297x420mm";
    case DMPAPER_A4:
        return "iso_a4_210x297mm";
    case DMPAPER_A5:
        return "iso_a5_148x210mm";
    case DMPAPER_B5:
        return "jis_b5_182x257mm";
    default:
        return nullptr;
    }
}

class CupsSink : public JobSink {
public:
    explicit CupsSink(std::string destination) : m_destination(std::move(destination)) {}

    bool begin(const std::string& jobName, const PrinterSettings&, const PageGeometry&) override {
        m_jobName = jobName;
        m_writer = std::make_unique<PdfJobWriter>();
        return true;
    }

    bool page(const win::GdiSurface& sheet, const PageGeometry& g) override {
        return m_writer && m_writer->addSheet(sheet, g.dpiX, g.dpiY);
    }

    bool end(const PrinterSettings& settings) override {
        if (!m_writer)
            return false;
        std::string document = m_writer->finish();
        m_writer.reset();
        if (document.empty())
            return false;
        http_t* http = connectServer();
        if (!http)
            return false;
        cups_option_t* options = nullptr;
        int n = 0;
        n = cupsAddOption("copies", std::to_string(std::max(1, settings.copies)).c_str(), n,
                          &options);
        const char* sides = settings.duplex == 2   ? "two-sided-long-edge"
                            : settings.duplex == 3 ? "two-sided-short-edge"
                                                   : "one-sided";
        n = cupsAddOption("sides", sides, n, &options);
        n = cupsAddOption("print-color-mode", settings.colorMode == 1 ? "monochrome" : "color", n,
                          &options);
        if (settings.printQuality < 0)
            n = cupsAddOption("print-quality",
                              settings.printQuality == -1   ? "3"
                              : settings.printQuality == -4 ? "5"
                                                            : "4",
                              n, &options);
        if (const char* media = mediaName(settings))
            n = cupsAddOption("media", media, n, &options);
        bool ok = false;
        int job = cupsCreateJob(http, m_destination.c_str(), m_jobName.c_str(), n, options);
        if (job > 0 && cupsStartDocument(http, m_destination.c_str(), job, m_jobName.c_str(),
                                         CUPS_FORMAT_PDF, 1) == HTTP_STATUS_CONTINUE) {
            ok = cupsWriteRequestData(http, document.data(), document.size()) ==
                 HTTP_STATUS_CONTINUE;
            ok = cupsFinishDocument(http, m_destination.c_str()) == IPP_STATUS_OK && ok;
        }
        cupsFreeOptions(n, options);
        httpClose(http);
        return ok;
    }

    void abort() override { m_writer.reset(); }

private:
    std::string m_destination;
    std::string m_jobName;
    std::unique_ptr<PdfJobWriter> m_writer;
};

} // namespace

std::unique_ptr<JobSink> makeCupsSink(const std::string& destination) {
    return std::make_unique<CupsSink>(destination);
}

} // namespace detail

} // namespace prn
