#include "platform/printer/printer_internal.h"

#include <cmath>
#include <cstdlib>
#include <mutex>

namespace prn {

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<FilePrinterConfig> filePrinters;
    std::vector<FinishedJob> jobs;
    std::string defaultName;
    bool environmentRead = false;
};

Registry& registry() {
    static Registry r;
    return r;
}

bool validConfig(const FilePrinterConfig& c) {
    return !c.name.empty() && !c.directory.empty() && c.dpi >= 1.0 && c.dpi <= 2400.0;
}

void putLocked(Registry& r, const FilePrinterConfig& config) {
    for (auto& p : r.filePrinters)
        if (p.name == config.name) {
            p = config;
            return;
        }
    r.filePrinters.push_back(config);
}

std::string trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

std::vector<FilePrinterConfig> parseList(const std::string& all) {
    std::vector<FilePrinterConfig> out;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(';', start);
        std::string entry =
            all.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? all.size() + 1 : end + 1;
        size_t eq = entry.find('=');
        if (eq == std::string::npos)
            continue;
        FilePrinterConfig c;
        c.name = trimmed(entry.substr(0, eq));
        std::string rest = entry.substr(eq + 1);
        size_t comma = rest.rfind(',');
        if (comma != std::string::npos) {
            char* stop = nullptr;
            std::string dpiText = trimmed(rest.substr(comma + 1));
            double dpi = std::strtod(dpiText.c_str(), &stop);
            if (stop && *stop == 0 && !dpiText.empty()) {
                c.dpi = dpi;
                rest = rest.substr(0, comma);
            }
        }
        c.directory = trimmed(rest);
        if (validConfig(c))
            out.push_back(c);
    }
    return out;
}

// The printers of $TAVIMO_FILE_PRINTERS, once per process.
void readEnvironmentLocked(Registry& r) {
    if (r.environmentRead)
        return;
    r.environmentRead = true;
    if (const char* text = std::getenv("TAVIMO_FILE_PRINTERS"))
        for (const auto& c : parseList(text))
            putLocked(r, c);
}

} // namespace

namespace {

struct KnownPaper {
    int32_t code;
    int32_t widthTenthMm, heightTenthMm;
    const char* name;
};

constexpr KnownPaper kPapers[] = {
    {DMPAPER_LETTER, 2159, 2794, "Letter"},
    {DMPAPER_TABLOID, 2794, 4318, "Tabloid"},
    {DMPAPER_LEGAL, 2159, 3556, "Legal"},
    {DMPAPER_STATEMENT, 1397, 2159, "Statement"},
    {DMPAPER_EXECUTIVE, 1842, 2667, "Executive"},
    {DMPAPER_A3, 2970, 4200, "A3"},
    {DMPAPER_A4, 2100, 2970, "A4"},
    {DMPAPER_A5, 1480, 2100, "A5"},
    {DMPAPER_B4, 2570, 3640, "B4 (JIS)"},
    {DMPAPER_B5, 1820, 2570, "B5 (JIS)"},
    {DMPAPER_FOLIO, 2159, 3302, "Folio"},
    {DMPAPER_ENV_10, 1048, 2413, "Envelope #10"},
    {DMPAPER_ENV_DL, 1100, 2200, "Envelope DL"},
    {DMPAPER_ENV_C5, 1620, 2290, "Envelope C5"},
    {DMPAPER_ENV_C6, 1140, 1620, "Envelope C6"},
    {DMPAPER_ENV_MONARCH, 984, 1905, "Envelope Monarch"},
    {DMPAPER_A6, 1050, 1480, "A6"},
};

const char* binName(int32_t bin) {
    switch (bin) {
    case 1:
        return "Upper";
    case 2:
        return "Lower";
    case 3:
        return "Middle";
    case 4:
        return "Manual";
    case 5:
        return "Envelope";
    case 6:
        return "Envelope manual";
    case 7:
        return "Automatic";
    case 8:
        return "Tractor";
    case 11:
        return "Large capacity";
    case 14:
        return "Cassette";
    case 15:
        return "Form source";
    default:
        return "Bin";
    }
}

} // namespace

bool paperDimensions(int32_t paperSize, int32_t& widthTenthMm, int32_t& heightTenthMm) {
    for (const auto& p : kPapers)
        if (p.code == paperSize) {
            widthTenthMm = p.widthTenthMm;
            heightTenthMm = p.heightTenthMm;
            return true;
        }
    return false;
}

int32_t paperCodeForSize(double widthMm, double heightMm) {
    for (const auto& p : kPapers)
        if (std::abs(p.widthTenthMm / 10.0 - widthMm) <= 1.0 &&
            std::abs(p.heightTenthMm / 10.0 - heightMm) <= 1.0)
            return p.code;
    return DMPAPER_USER;
}

bool registerFilePrinter(const FilePrinterConfig& config) {
    if (!validConfig(config))
        return false;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    readEnvironmentLocked(r);
    putLocked(r, config);
    return true;
}

int32_t registerFilePrinters(const std::string& list) {
    try {
        std::vector<FilePrinterConfig> configs = parseList(list);
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        readEnvironmentLocked(r);
        for (const auto& c : configs)
            putLocked(r, c);
        return int32_t(configs.size());
    } catch (...) {
        return 0;
    }
}

bool unregisterFilePrinter(const std::string& name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.filePrinters.begin(); it != r.filePrinters.end(); ++it)
        if (it->name == name) {
            r.filePrinters.erase(it);
            return true;
        }
    return false;
}

void clearFilePrinters() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.environmentRead = true;
    r.filePrinters.clear();
    r.jobs.clear();
    r.defaultName.clear();
}

std::vector<PrinterInfo> installedPrinters() {
    std::vector<PrinterInfo> list;
    try {
        {
            Registry& r = registry();
            std::lock_guard lock(r.mutex);
            readEnvironmentLocked(r);
            for (const auto& p : r.filePrinters)
                list.push_back({p.name, PrinterKind::File});
        }
        for (auto& name : detail::cupsDestinations(nullptr))
            list.push_back({std::move(name), PrinterKind::Cups});
    } catch (...) {
    }
    return list;
}

std::vector<PrinterDescription> describePrinters() {
    std::vector<PrinterDescription> out;
    try {
        const std::string chosen = defaultPrinterName();
        for (const auto& p : installedPrinters()) {
            auto device = PrinterDevice::open(p.name);
            if (!device)
                continue;
            PrinterDescription d;
            d.name = p.name;
            d.kind = p.kind;
            d.isDefault = p.name == chosen;
            d.defaults = device->settings();
            d.capabilities = device->capabilities();
            out.push_back(std::move(d));
        }
    } catch (...) {
    }
    return out;
}

std::string defaultPrinterName() {
    try {
        std::vector<PrinterInfo> list = installedPrinters();
        if (list.empty())
            return {};
        std::string chosen, fileDefault;
        {
            Registry& r = registry();
            std::lock_guard lock(r.mutex);
            chosen = r.defaultName;
            for (const auto& p : r.filePrinters)
                if (p.makeDefault && fileDefault.empty())
                    fileDefault = p.name;
        }
        auto installed = [&](const std::string& name) {
            for (const auto& p : list)
                if (p.name == name)
                    return true;
            return false;
        };
        if (!chosen.empty() && installed(chosen))
            return chosen;
        if (!fileDefault.empty())
            return fileDefault;
        std::string cupsDefault;
        detail::cupsDestinations(&cupsDefault);
        if (!cupsDefault.empty() && installed(cupsDefault))
            return cupsDefault;
        return list.front().name;
    } catch (...) {
        return {};
    }
}

void setDefaultPrinter(const std::string& name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.defaultName = name;
}

std::vector<FinishedJob> finishedJobs(const std::string& printer) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::vector<FinishedJob> out;
    for (const auto& j : r.jobs)
        if (j.printer == printer)
            out.push_back(j);
    return out;
}

void clearFinishedJobs() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.jobs.clear();
}

namespace detail {

std::optional<FilePrinterConfig> filePrinterConfig(const std::string& name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    readEnvironmentLocked(r);
    for (const auto& p : r.filePrinters)
        if (p.name == name)
            return p;
    return std::nullopt;
}

PrinterCapabilities fileCapabilities(const FilePrinterConfig& config) {
    PrinterCapabilities caps;
    PaperInfo margins;
    margins.marginLeftMm = config.marginLeftMm;
    margins.marginTopMm = config.marginTopMm;
    margins.marginRightMm = config.marginRightMm;
    margins.marginBottomMm = config.marginBottomMm;
    for (const auto& known : kPapers) {
        PaperInfo p = margins;
        p.paperSize = known.code;
        p.name = known.name;
        p.widthMm = known.widthTenthMm / 10.0;
        p.heightMm = known.heightTenthMm / 10.0;
        caps.papers.push_back(p);
    }
    caps.customPaper = margins;
    caps.customMinWidthMm = caps.customMinHeightMm = 25.4 / 1440.0;
    caps.customMaxWidthMm = caps.customMaxHeightMm = 2540.0;
    caps.defaultResolution = {config.dpi, config.dpi};
    caps.resolutions = {caps.defaultResolution};
    caps.qualities = {-1, -2, -3, -4};
    caps.duplexModes =
        config.duplexCapable ? std::vector<int32_t>{1, 2, 3} : std::vector<int32_t>{1};
    caps.colorModes = config.colorCapable ? std::vector<int32_t>{1, 2} : std::vector<int32_t>{1};
    for (int32_t bin : config.paperBins)
        caps.bins.push_back({bin, binName(bin)});
    return caps;
}

void recordFinishedJob(FinishedJob job) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.jobs.push_back(std::move(job));
}

} // namespace detail

} // namespace prn
