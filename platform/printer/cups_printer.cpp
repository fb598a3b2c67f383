#include "platform/printer/printer_internal.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <cups/cups.h>

#include <algorithm>
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

// A query (the list, a destination's capabilities) gives up once it has lasted this long
// in all, however many requests the CUPS calls make; a job once the server has been silent
// for this long.
constexpr std::chrono::milliseconds kQueryTime{3000};
constexpr double kJobStallSeconds = 30.0;

// A connection to the server: null when none answers within a second.
class Connection {
public:
    // A query connection.
    static std::unique_ptr<Connection> forQuery() {
        auto c = open();
        if (c) {
            c->m_giveUpAt = std::chrono::steady_clock::now() + kQueryTime;
            // Waits are cut into short slices so that the total is kept to.
            httpSetTimeout(c->m_http, 0.2, untilDeadline, c.get());
        }
        return c;
    }
    static std::unique_ptr<Connection> forJob() {
        auto c = open();
        if (c)
            httpSetTimeout(c->m_http, kJobStallSeconds, giveUp, nullptr);
        return c;
    }
    ~Connection() { httpClose(m_http); }
    http_t* get() const { return m_http; }

private:
    explicit Connection(http_t* http) : m_http(http) {}
    static std::unique_ptr<Connection> open() {
        http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(),
                                    1, 1000, nullptr);
        return http ? std::unique_ptr<Connection>(new Connection(http)) : nullptr;
    }
    static int untilDeadline(http_t*, void* self) {
        return std::chrono::steady_clock::now() < static_cast<Connection*>(self)->m_giveUpAt;
    }
    static int giveUp(http_t*, void*) { return 0; }

    http_t* m_http;
    std::chrono::steady_clock::time_point m_giveUpAt{};
};

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
        if (auto connection = Connection::forQuery()) {
            cups_dest_t* dests = nullptr;
            int n = cupsGetDests2(connection->get(), &dests);
            for (int i = 0; i < n; ++i) {
                if (dests[i].instance) // instances are option sets of a queue, not printers
                    continue;
                c.names.emplace_back(dests[i].name);
                if (dests[i].is_default)
                    c.defaultName = dests[i].name;
            }
            cupsFreeDests(n, dests);
        }
        c.valid = true;
        c.when = now;
    }
    if (defaultName)
        *defaultName = c.defaultName;
    return c.names;
}

// ---- What a destination says of itself ----------------------------------------------------

namespace {

struct Dests {
    cups_dest_t* list = nullptr;
    int count = 0;
    ~Dests() { cupsFreeDests(count, list); }
};
struct InfoCloser {
    void operator()(cups_dinfo_t* info) const { cupsFreeDestInfo(info); }
};

// The DMBIN codes of the PWG media sources that have one.
constexpr std::pair<int32_t, const char*> kSources[] = {
    {1, "top"},      {2, "bottom"}, {3, "middle"},          {4, "manual"},
    {5, "envelope"}, {7, "auto"},   {11, "large-capacity"}, {14, "main"},
};

std::vector<std::string> keywords(ipp_attribute_t* attr) {
    std::vector<std::string> out;
    for (int i = 0, n = attr ? ippGetCount(attr) : 0; i < n; ++i)
        if (const char* s = ippGetString(attr, i, nullptr))
            out.emplace_back(s);
    return out;
}

std::vector<int> integers(ipp_attribute_t* attr) {
    std::vector<int> out;
    for (int i = 0, n = attr ? ippGetCount(attr) : 0; i < n; ++i)
        out.push_back(ippGetInteger(attr, i));
    return out;
}

bool has(const std::vector<std::string>& list, const char* value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

PrinterResolution resolutionAt(ipp_attribute_t* attr, int i) {
    int y = 0;
    ipp_res_t units = IPP_RES_PER_INCH;
    const int x = ippGetResolution(attr, i, &y, &units);
    const double k = units == IPP_RES_PER_CM ? 2.54 : 1.0;
    return {x * k, y * k};
}

PaperInfo paperOf(const cups_size_t& size) {
    PaperInfo p;
    p.widthMm = size.width / 100.0;
    p.heightMm = size.length / 100.0;
    p.paperSize = paperCodeForSize(p.widthMm, p.heightMm);
    p.name = size.media;
    p.marginLeftMm = size.left / 100.0;
    p.marginTopMm = size.top / 100.0;
    p.marginRightMm = size.right / 100.0;
    p.marginBottomMm = size.bottom / 100.0;
    return p;
}

int32_t qualityCode(int ippQuality) {
    return ippQuality == IPP_QUALITY_DRAFT ? -1 : ippQuality == IPP_QUALITY_HIGH ? -4 : -3;
}

int ippQuality(int32_t code) {
    return code == -1 ? IPP_QUALITY_DRAFT : code == -4 ? IPP_QUALITY_HIGH : IPP_QUALITY_NORMAL;
}

bool monochromeKeyword(const std::string& k) {
    return k == "monochrome" || k == "process-monochrome" || k == "bi-level" ||
           k == "auto-monochrome";
}

} // namespace

std::optional<CupsDestination> queryCupsDestination(const std::string& name) {
    if (!g_cupsEnabled)
        return std::nullopt;
    auto connection = Connection::forQuery();
    if (!connection)
        return std::nullopt;
    http_t* h = connection->get();
    // From the list rather than cupsGetNamedDest, which falls back on connections of its
    // own that no timeout of ours reaches.
    Dests dests;
    dests.count = cupsGetDests2(h, &dests.list);
    cups_dest_t* d = cupsGetDest(name.c_str(), nullptr, dests.count, dests.list);
    if (!d)
        return std::nullopt;
    std::unique_ptr<cups_dinfo_t, InfoCloser> info(cupsCopyDestInfo(h, d));
    if (!info)
        return std::nullopt;
    cups_dinfo_t* di = info.get();
    auto supported = [&](const char* option) { return cupsFindDestSupported(h, d, di, option); };
    auto fallback = [&](const char* option) { return cupsFindDestDefault(h, d, di, option); };

    CupsDestination out;
    PrinterCapabilities& caps = out.capabilities;
    PrinterSettings& defaults = out.defaults;

    // Papers, each code once; sizes without a code are all kept.
    cups_size_t size{};
    for (int i = 0, n = cupsGetDestMediaCount(h, d, di, CUPS_MEDIA_FLAGS_DEFAULT); i < n; ++i) {
        if (!cupsGetDestMediaByIndex(h, d, di, i, CUPS_MEDIA_FLAGS_DEFAULT, &size))
            continue;
        PaperInfo p = paperOf(size);
        bool seen = false;
        for (const auto& q : caps.papers)
            seen = seen || (p.paperSize != DMPAPER_USER && q.paperSize == p.paperSize);
        if (!seen)
            caps.papers.push_back(p);
    }
    PaperInfo defaultPaper;
    if (cupsGetDestMediaDefault(h, d, di, CUPS_MEDIA_FLAGS_DEFAULT, &size))
        defaultPaper = paperOf(size);
    else if (!caps.papers.empty())
        defaultPaper = caps.papers.front();
    if (defaultPaper.widthMm > 0) {
        defaults.paperSize = defaultPaper.paperSize;
        defaults.paperWidthTwips = int32_t(std::lround(defaultPaper.widthMm * 1440.0 / 25.4));
        defaults.paperHeightTwips = int32_t(std::lround(defaultPaper.heightMm * 1440.0 / 25.4));
    }
    // User sizes: the range "custom_min_..." to "custom_max_..." of the media list.
    for (const auto& k : keywords(supported("media"))) {
        pwg_media_t* m = nullptr;
        if (k.rfind("custom_min_", 0) == 0 && (m = pwgMediaForPWG(k.c_str()))) {
            caps.customMinWidthMm = m->width / 100.0;
            caps.customMinHeightMm = m->length / 100.0;
        } else if (k.rfind("custom_max_", 0) == 0 && (m = pwgMediaForPWG(k.c_str()))) {
            caps.customMaxWidthMm = m->width / 100.0;
            caps.customMaxHeightMm = m->length / 100.0;
        }
    }
    caps.customPaper = defaultPaper;
    if (caps.customMaxWidthMm > 0 &&
        cupsGetDestMediaBySize(h, d, di, int(caps.customMinWidthMm * 100),
                               int(caps.customMinHeightMm * 100), CUPS_MEDIA_FLAGS_DEFAULT, &size))
        caps.customPaper = paperOf(size);
    caps.customPaper.paperSize = DMPAPER_USER;
    caps.customPaper.name.clear();

    // Resolutions; 300 dpi when the destination names none.
    if (ipp_attribute_t* r = supported("printer-resolution")) {
        out.resolution = true;
        for (int i = 0, n = ippGetCount(r); i < n; ++i)
            caps.resolutions.push_back(resolutionAt(r, i));
    }
    if (ipp_attribute_t* r = fallback("printer-resolution");
        r && ippGetValueTag(r) == IPP_TAG_RESOLUTION)
        caps.defaultResolution = resolutionAt(r, 0);
    else if (!caps.resolutions.empty())
        caps.defaultResolution = caps.resolutions.front();
    else
        caps.defaultResolution = {300, 300};

    // Qualities: draft is -1, normal -2 and -3, high -4.
    for (int q : integers(supported("print-quality"))) {
        out.quality = true;
        if (q == IPP_QUALITY_DRAFT)
            caps.qualities.push_back(-1);
        else if (q == IPP_QUALITY_NORMAL)
            caps.qualities.insert(caps.qualities.end(), {-2, -3});
        else if (q == IPP_QUALITY_HIGH)
            caps.qualities.push_back(-4);
    }
    ipp_attribute_t* q = fallback("print-quality");
    if (q && ippGetValueTag(q) == IPP_TAG_ENUM)
        defaults.printQuality = qualityCode(ippGetInteger(q, 0));
    else
        defaults.printQuality = int32_t(std::lround(caps.defaultResolution.x));

    // Sides.
    caps.duplexModes = {1};
    const auto sides = keywords(supported("sides"));
    out.sides = !sides.empty();
    if (has(sides, "two-sided-long-edge"))
        caps.duplexModes.push_back(2);
    if (has(sides, "two-sided-short-edge"))
        caps.duplexModes.push_back(3);
    const auto sidesDefault = keywords(fallback("sides"));
    defaults.duplex = has(sidesDefault, "two-sided-long-edge")    ? 2
                      : has(sidesDefault, "two-sided-short-edge") ? 3
                                                                  : 1;

    // Colour.
    const auto colors = keywords(supported("print-color-mode"));
    out.colorMode = !colors.empty();
    for (const auto& k : colors)
        if (monochromeKeyword(k) && out.monochrome.empty())
            out.monochrome = k;
    if (!out.monochrome.empty())
        caps.colorModes.push_back(1);
    if (has(colors, "color"))
        caps.colorModes.push_back(2);
    if (caps.colorModes.empty()) {
        ipp_attribute_t* c = cupsFindDestSupported(h, d, di, "color-supported");
        caps.colorModes = {c && ippGetBoolean(c, 0) ? 2 : 1};
    }
    const auto colorDefault = keywords(fallback("print-color-mode"));
    const bool monoDefault = !colorDefault.empty() && monochromeKeyword(colorDefault.front());
    defaults.colorMode = monoDefault || caps.colorModes.back() == 1 ? 1 : 2;

    // Copies and orientation.
    if (ipp_attribute_t* c = supported("copies")) {
        int upper = 1;
        ippGetRange(c, 0, &upper);
        caps.maxCopies = std::max(1, upper);
        out.copies = true;
    } else {
        caps.maxCopies = 1;
    }
    const auto orientations = integers(supported("orientation-requested"));
    out.orientation = std::find(orientations.begin(), orientations.end(), IPP_ORIENT_LANDSCAPE) !=
                      orientations.end();
    const auto orientationDefault = integers(fallback("orientation-requested"));
    defaults.orientation =
        !orientationDefault.empty() && orientationDefault[0] == IPP_ORIENT_LANDSCAPE
            ? kOrientationLandscape
            : kOrientationPortrait;

    // Sources: standard codes where there is one, else 256 and up in list order; the
    // automatic choice (7) is always there, sending no source when the printer names none.
    int32_t nextUser = 256;
    for (const auto& k : keywords(supported("media-source"))) {
        int32_t code = 0;
        for (const auto& [bin, keyword] : kSources)
            if (k == keyword)
                code = bin;
        caps.bins.push_back({code ? code : nextUser++, k});
    }
    if (std::none_of(caps.bins.begin(), caps.bins.end(),
                     [](const PaperBinInfo& b) { return b.bin == 7; }))
        caps.bins.push_back({7, ""});
    std::string defaultSource;
    if (ipp_attribute_t* s = fallback("media-source"); s && ippGetValueTag(s) == IPP_TAG_KEYWORD)
        defaultSource = ippGetString(s, 0, nullptr);
    else if (ipp_attribute_t* col = fallback("media-col");
             col && ippGetValueTag(col) == IPP_TAG_BEGIN_COLLECTION)
        if (ipp_attribute_t* s =
                ippFindAttribute(ippGetCollection(col, 0), "media-source", IPP_TAG_KEYWORD))
            defaultSource = ippGetString(s, 0, nullptr);
    defaults.paperBin = 7;
    for (const auto& b : caps.bins)
        if (!defaultSource.empty() && b.name == defaultSource)
            defaults.paperBin = b.bin;

    defaults.copies = 1;
    return out;
}

std::vector<std::pair<std::string, std::string>> cupsJobOptions(const PrinterSettings& settings,
                                                                const CupsDestination& info,
                                                                const PaperInfo& paper,
                                                                const PageGeometry& geometry) {
    std::vector<std::pair<std::string, std::string>> out;
    if (info.copies)
        out.emplace_back("copies", std::to_string(std::max(1, settings.copies)));
    if (!info.capabilities.papers.empty()) {
        std::string media = paper.name;
        if (media.empty()) {
            char name[IPP_MAX_NAME] = "";
            if (pwgFormatSizeName(name, sizeof name, "custom", nullptr,
                                  int(std::lround(paper.widthMm * 100)),
                                  int(std::lround(paper.heightMm * 100)), nullptr))
                media = name;
        }
        if (!media.empty())
            out.emplace_back("media", media);
    }
    if (info.orientation)
        out.emplace_back("orientation-requested",
                         settings.orientation == kOrientationLandscape ? "4" : "3");
    if (info.sides)
        out.emplace_back("sides", settings.duplex == 2   ? "two-sided-long-edge"
                                  : settings.duplex == 3 ? "two-sided-short-edge"
                                                         : "one-sided");
    if (info.colorMode)
        out.emplace_back("print-color-mode", settings.colorMode == 1 && !info.monochrome.empty()
                                                 ? info.monochrome
                                                 : "color");
    if (info.quality && settings.printQuality < 0)
        out.emplace_back("print-quality", std::to_string(ippQuality(settings.printQuality)));
    if (info.resolution) {
        const long x = std::lround(geometry.dpiX), y = std::lround(geometry.dpiY);
        out.emplace_back("printer-resolution",
                         x == y ? std::to_string(x) + "dpi"
                                : std::to_string(x) + "x" + std::to_string(y) + "dpi");
    }
    for (const auto& b : info.capabilities.bins)
        if (b.bin == settings.paperBin && !b.name.empty())
            out.emplace_back("media-source", b.name);
    return out;
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

bool PdfJobWriter::addPage(const win::GdiSurface& area, const PageGeometry& g) {
    State& s = *m_state;
    if (s.failed || area.bpp() != 32 || !(g.dpiX > 0) || !(g.dpiY > 0) || !(g.sheetWidthPt > 0) ||
        !(g.sheetHeightPt > 0))
        return false;
    // The area's rows are B, G, R, x: cairo's RGB24 layout, and its stride is the DIB's.
    if (cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, area.width()) != area.stride() ||
        area.bottomUp()) {
        s.failed = true;
        return false;
    }
    if (!s.pdf) {
        s.pdf = cairo_pdf_surface_create_for_stream(appendBytes, &s.bytes, g.sheetWidthPt,
                                                    g.sheetHeightPt);
        if (cairo_surface_status(s.pdf) != CAIRO_STATUS_SUCCESS) {
            s.failed = true;
            return false;
        }
    } else {
        cairo_pdf_surface_set_size(s.pdf, g.sheetWidthPt, g.sheetHeightPt);
    }
    cairo_surface_t* image =
        cairo_image_surface_create_for_data(const_cast<uint8_t*>(area.bits()), CAIRO_FORMAT_RGB24,
                                            area.width(), area.height(), area.stride());
    cairo_t* cr = cairo_create(s.pdf);
    // The page is white; the printable area lies at its offset on the sheet.
    cairo_scale(cr, 72.0 / g.dpiX, 72.0 / g.dpiY);
    cairo_set_source_surface(cr, image, g.offsetX, g.offsetY);
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

class CupsSink : public JobSink {
public:
    CupsSink(std::string destination, CupsDestination info)
        : m_destination(std::move(destination)), m_info(std::move(info)) {}

    bool begin(const std::string& jobName, const PrinterSettings&, const PageGeometry&) override {
        m_jobName = jobName;
        m_writer = std::make_unique<PdfJobWriter>();
        return true;
    }

    bool page(const win::GdiSurface& area, const PageGeometry& g) override {
        return m_writer && m_writer->addPage(area, g);
    }

    bool end(const PrinterSettings& settings, const PaperInfo& paper,
             const PageGeometry& geometry) override {
        if (!m_writer)
            return false;
        std::string document = m_writer->finish();
        m_writer.reset();
        if (document.empty())
            return false;
        auto connection = Connection::forJob();
        if (!connection)
            return false;
        http_t* http = connection->get();
        cups_option_t* options = nullptr;
        int n = 0;
        for (const auto& [name, value] : cupsJobOptions(settings, m_info, paper, geometry))
            n = cupsAddOption(name.c_str(), value.c_str(), n, &options);
        bool ok = false;
        const int job = cupsCreateJob(http, m_destination.c_str(), m_jobName.c_str(), n, options);
        if (job > 0 && cupsStartDocument(http, m_destination.c_str(), job, m_jobName.c_str(),
                                         CUPS_FORMAT_PDF, 1) == HTTP_STATUS_CONTINUE) {
            ok = cupsWriteRequestData(http, document.data(), document.size()) ==
                 HTTP_STATUS_CONTINUE;
            ok = cupsFinishDocument(http, m_destination.c_str()) == IPP_STATUS_OK && ok;
        }
        // A job that was made but not filled would wait in the queue for its document.
        if (job > 0 && !ok)
            cupsCancelJob2(http, m_destination.c_str(), job, 0);
        cupsFreeOptions(n, options);
        return ok;
    }

    void abort() override { m_writer.reset(); }

private:
    std::string m_destination;
    CupsDestination m_info;
    std::string m_jobName;
    std::unique_ptr<PdfJobWriter> m_writer;
};

} // namespace

std::unique_ptr<JobSink> makeCupsSink(const std::string& destination, CupsDestination info) {
    return std::make_unique<CupsSink>(destination, std::move(info));
}

} // namespace detail

} // namespace prn
