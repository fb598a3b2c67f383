#include "core/plugin.h"

#include "core/image_table.h"
#include "platform/win/module_version.h"
#include "platform/win/plugin_library.h"
#include "platform/win/vb_number.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

namespace tavimo {

namespace {

// The library is process-wide: it is loaded once and never unloaded, since image entries
// of any thread may hold handles into it until the process ends.
struct LoadedPlugin {
    KelvraApi table;
    bool complete = false;
};

const LoadedPlugin& loadedPlugin() {
    static LoadedPlugin loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        void* lib = win::openPluginLibrary("libkelvra.so");
        if (!lib)
            return;
        bool complete = true;
#define TAVIMO_KELVRA_BIND(ret, name, params)                                                      \
    loaded.table.name = reinterpret_cast<ret(*) params>(dlsym(lib, #name));                        \
    complete = complete && loaded.table.name != nullptr;
        KELVRA_FUNCTION_LIST(TAVIMO_KELVRA_BIND)
#undef TAVIMO_KELVRA_BIND
        loaded.complete = complete;
    });
    return loaded;
}

thread_local const KelvraApi* t_override = nullptr;
thread_local bool t_absent = false;

} // namespace

void registerPluginVersion() {
    // The module version registry asks this for "Kelvra.dll": the version the library
    // exports, or nothing (read as "Unknown") when it is absent.
    static std::once_flag once;
    std::call_once(once, [] {
        win::setModuleVersionProvider("Kelvra.dll", []() -> std::string {
            const KelvraApi* k = plugin();
            if (!k)
                return {};
            const char* text = k->KELVRA_GetVersion();
            return text ? std::string(text) : std::string();
        });
    });
}

const KelvraApi* plugin() {
    if (t_override)
        return t_override;
    if (t_absent)
        return nullptr;
    const LoadedPlugin& loaded = loadedPlugin();
    return loaded.complete ? &loaded.table : nullptr;
}

bool PluginAvailable() { return win::Val(PluginVersionText()) != 0; }

namespace test {

void SetPluginTable(const KelvraApi* table) { t_override = table; }

void SetPluginAbsent(bool absent) { t_absent = absent; }

} // namespace test

} // namespace tavimo
