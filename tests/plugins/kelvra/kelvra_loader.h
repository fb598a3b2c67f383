#pragma once

// Loads libkelvra.so the way a host does (dlopen from TAVIMO_PLUGIN_PATH) and fills a
// function table from the plug-in's own list of exports.

#include "plugins/kelvra/kelvra_api.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace kelvra_test {

struct Kelvra {
#define KELVRA_MEMBER(ret, name, params) ret(*name) params = nullptr;
    KELVRA_FUNCTION_LIST(KELVRA_MEMBER)
#undef KELVRA_MEMBER

    void* library = nullptr;
    std::string error;
    std::vector<std::string> missing;

    static const Kelvra& get() {
        static const Kelvra instance = load();
        return instance;
    }

private:
    static Kelvra load() {
        Kelvra k;
        const char* dir = std::getenv("TAVIMO_PLUGIN_PATH");
#ifdef KELVRA_TEST_PLUGIN_DIR
        if (!dir || !*dir)
            dir = KELVRA_TEST_PLUGIN_DIR;
#endif
        std::string path = std::string(dir && *dir ? dir : ".") + "/" + KELVRA_LIBRARY_NAME;
        k.library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!k.library) {
            const char* e = dlerror();
            k.error = e ? e : "dlopen failed";
            return k;
        }
#define KELVRA_RESOLVE(ret, name, params)                                                          \
    k.name = reinterpret_cast<decltype(k.name)>(dlsym(k.library, #name));                          \
    if (!k.name)                                                                                   \
        k.missing.push_back(#name);
        KELVRA_FUNCTION_LIST(KELVRA_RESOLVE)
#undef KELVRA_RESOLVE
        return k;
    }
};

// A fresh directory under the temporary folder, removed with the object.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvra-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()))
            m_path = buffer.data();
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

} // namespace kelvra_test
