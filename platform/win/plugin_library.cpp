#include "platform/win/plugin_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>

// Where an installed program finds the plug-ins, relative to its bin folder; the build
// gives the installed layout's value.
#ifndef TAVIMO_PLUGIN_DIR_FROM_BIN
#define TAVIMO_PLUGIN_DIR_FROM_BIN "../lib/tavimo/plugins"
#endif

namespace win {

namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string canonical(const char* path) {
    char resolved[PATH_MAX];
    return realpath(path, resolved) ? std::string(resolved) : std::string();
}

std::string joined(const std::string& dir, const std::string& name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

} // namespace

std::vector<std::string> pluginCandidates(const std::string& fileName, const std::string& moduleDir,
                                          const char* pluginPath) {
    std::vector<std::string> out;
    if (!moduleDir.empty()) {
        out.push_back(joined(joined(moduleDir, "tavimo/plugins"), fileName));
        out.push_back(joined(joined(moduleDir, "plugins"), fileName));
        out.push_back(joined(joined(moduleDir, TAVIMO_PLUGIN_DIR_FROM_BIN), fileName));
    }
    if (pluginPath) {
        const std::string all = pluginPath;
        size_t start = 0;
        while (start <= all.size()) {
            size_t end = all.find(':', start);
            if (end == std::string::npos)
                end = all.size();
            if (end > start)
                out.push_back(joined(all.substr(start, end - start), fileName));
            start = end + 1;
        }
    }
    out.push_back(fileName);
    return out;
}

std::string thisModuleDirectory() {
    Dl_info info{};
    link_map* map = nullptr;
    if (!dladdr1(reinterpret_cast<void*>(&thisModuleDirectory), &info,
                 reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP))
        return {};
    // The program itself has an empty name in the loader's list: ask the kernel for it.
    const bool program = !map || !map->l_name || map->l_name[0] == '\0';
    const std::string path = canonical(program ? "/proc/self/exe" : map->l_name);
    return folderOf(path);
}

void* openPluginLibrary(const std::string& fileName) {
    for (const std::string& path :
         pluginCandidates(fileName, thisModuleDirectory(), std::getenv("TAVIMO_PLUGIN_PATH"))) {
        // A bare name goes to the loader's search; a path only when the file is there, so
        // that a missing folder costs no loader search.
        if (path.find('/') != std::string::npos && access(path.c_str(), F_OK) != 0)
            continue;
        if (void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
            return lib;
    }
    return nullptr;
}

} // namespace win
