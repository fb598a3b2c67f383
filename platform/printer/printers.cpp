#include "platform/printer/printer_internal.h"

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

bool paperDimensions(int32_t paperSize, int32_t& widthTenthMm, int32_t& heightTenthMm) {
    switch (paperSize) {
    case DMPAPER_LETTER:
        widthTenthMm = 2159, heightTenthMm = 2794;
        return true;
    case DMPAPER_LEGAL:
        widthTenthMm = 2159, heightTenthMm = 3556;
        return true;
    case DMPAPER_A3:
        widthTenthMm = 2970, heightTenthMm = 4200;
        return true;
    case DMPAPER_A4:
        widthTenthMm = 2100, heightTenthMm = 2970;
        return true;
    case DMPAPER_A5:
        widthTenthMm = 1480, heightTenthMm = 2100;
        return true;
    case DMPAPER_B5:
        widthTenthMm = 1820, heightTenthMm = 2570;
        return true;
    default:
        return false;
    }
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

void recordFinishedJob(FinishedJob job) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.jobs.push_back(std::move(job));
}

} // namespace detail

} // namespace prn
