#include "platform/activex/class_factory.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

namespace ax {

HResult ClassFactory::QueryInterface(const Guid& iid, void** out) {
    if (!out)
        return E_POINTER;
    if (iid == IID_IClassFactory) {
        AddRef();
        *out = this;
        return S_OK;
    }
    return Unknown::QueryInterface(iid, out);
}

HResult ClassFactory::CreateInstance(Unknown* outer, const Guid& iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    try {
        Unknown* object = m_entry.create ? m_entry.create() : nullptr;
        if (!object)
            return E_FAIL;
        HResult r = object->QueryInterface(iid, out);
        object->Release();
        return r;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HResult ClassFactory::LockServer(bool lock) {
    Unknown::lockServer(lock);
    return S_OK;
}

HResult getClassObject(const std::vector<ClassEntry>& classes, const Guid& clsid, const Guid& iid,
                       void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (const auto& entry : classes) {
        if (entry.clsid != clsid)
            continue;
        try {
            auto* factory = new ClassFactory(entry);
            HResult r = factory->QueryInterface(iid, out);
            factory->Release();
            return r;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HResult canUnloadNow() {
    return Unknown::liveObjects() == 0 && Unknown::serverLocks() == 0 ? S_OK : S_FALSE;
}

std::string guidText(const Guid& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1,
                  g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                  g.data4[5], g.data4[6], g.data4[7]);
    return buf;
}

std::string registryDirectory() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".config";
    else
        base = ".config";
    return (base / "tavimo").string() + "/";
}

namespace {
std::string registryFile(const std::string& libraryName) {
    return registryDirectory() + libraryName + ".classes";
}
} // namespace

HResult registerServer(const std::string& libraryName, const std::string& libraryPath,
                       const std::vector<ClassEntry>& classes) {
    try {
        std::error_code ec;
        std::filesystem::create_directories(registryDirectory(), ec);
        std::string path = registryFile(libraryName);
        std::string temp = path + ".tmp";
        {
            std::ofstream out(temp, std::ios::trunc);
            if (!out)
                return SELFREG_E_CLASS;
            for (const auto& c : classes)
                out << c.progId << " = " << guidText(c.clsid) << " " << libraryPath << "\n";
            if (!out.flush())
                return SELFREG_E_CLASS;
        }
        // Replace in one step so a reader never sees half a file.
        std::filesystem::rename(temp, path, ec);
        return ec ? SELFREG_E_CLASS : S_OK;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

HResult unregisterServer(const std::string& libraryName) {
    std::error_code ec;
    std::filesystem::remove(registryFile(libraryName), ec);
    return ec ? SELFREG_E_CLASS : S_OK;
}

} // namespace ax
