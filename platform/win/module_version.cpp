#include "platform/win/module_version.h"

#include <cctype>
#include <map>
#include <mutex>
#include <zlib.h>

namespace win {
namespace {

struct Entry {
    std::string fixed;
    ModuleVersionProvider provider;
    std::optional<std::string> override;
    bool empty() const { return fixed.empty() && !provider && !override; }
};

struct Registry {
    std::mutex mutex;
    std::map<std::string, Entry> entries;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

std::string keyOf(const std::string& name) {
    size_t slash = name.find_last_of("/\\");
    std::string key = slash == std::string::npos ? name : name.substr(slash + 1);
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

template <class Change> void change(const std::string& name, Change&& apply) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::string key = keyOf(name);
    Entry& entry = r.entries[key];
    apply(entry);
    if (entry.empty())
        r.entries.erase(key);
}

} // namespace

std::string padVersion(const std::string& text) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
        return {};
    std::string out;
    size_t pos = 0;
    for (int field = 0; field < 4; ++field) {
        unsigned long value = 0;
        bool digits = false;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
            digits = true;
            if (value <= 65535)
                value = value * 10 + static_cast<unsigned long>(text[pos] - '0');
            ++pos;
        }
        if (value > 65535)
            value = 65535;
        if (field > 0)
            out += '.';
        out += std::to_string(digits ? value : 0);
        // Only "." followed by a digit continues; anything else ends the number.
        if (pos + 1 < text.size() && text[pos] == '.' &&
            std::isdigit(static_cast<unsigned char>(text[pos + 1])))
            ++pos;
        else
            pos = text.size();
    }
    return out;
}

std::string GetFileVersion(const std::string& fileName) {
    try {
        std::string key = keyOf(fileName);
        std::string fixed;
        ModuleVersionProvider provider;
        {
            Registry& r = registry();
            std::lock_guard lock(r.mutex);
            auto it = r.entries.find(key);
            if (it != r.entries.end()) {
                if (it->second.override)
                    return *it->second.override;
                fixed = it->second.fixed;
                provider = it->second.provider;
            }
        }
        // The provider runs outside the lock: it may load a library or ask again.
        if (provider) {
            std::string version = padVersion(provider());
            return version.empty() ? "Unknown" : version;
        }
        if (!fixed.empty())
            return fixed;
        if (key == "zlibwapi.dll") {
            std::string version = padVersion(zlibVersion());
            return version.empty() ? "Unknown" : version;
        }
        return "Unknown";
    } catch (...) {
        return "Undefined";
    }
}

void setModuleVersion(const std::string& moduleName, const std::string& version) {
    std::string padded = padVersion(version);
    change(moduleName, [&](Entry& entry) { entry.fixed = padded; });
}

void setModuleVersionProvider(const std::string& moduleName, ModuleVersionProvider provider) {
    change(moduleName, [&](Entry& entry) { entry.provider = std::move(provider); });
}

void setModuleVersionOverride(const std::string& moduleName, std::optional<std::string> text) {
    change(moduleName, [&](Entry& entry) { entry.override = std::move(text); });
}

void clearModuleVersionOverrides() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.entries.begin(); it != r.entries.end();) {
        it->second.override.reset();
        it = it->second.empty() ? r.entries.erase(it) : std::next(it);
    }
}

ScopedModuleVersionOverride::ScopedModuleVersionOverride(std::string moduleName, std::string text)
    : m_name(std::move(moduleName)) {
    change(m_name, [&](Entry& entry) {
        m_previous = entry.override;
        entry.override = std::move(text);
    });
}

ScopedModuleVersionOverride::~ScopedModuleVersionOverride() {
    try {
        setModuleVersionOverride(m_name, m_previous);
    } catch (...) {
    }
}

} // namespace win
