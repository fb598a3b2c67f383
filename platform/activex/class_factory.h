#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/activex/object.h"

namespace ax {

// A creatable class of a library: identity, names, misc-status flags and how to make one.
struct ClassEntry {
    Guid clsid;
    std::string progId;    // "Tavimo.ImageBox"
    std::string className; // "ImageBox"
    uint32_t miscStatus = 0;
    // Makes a new object with one reference, or null when it cannot be made.
    std::function<Unknown*()> create;
};

// Misc-status bit of a control that is a simple frame (may hold child controls).
inline constexpr uint32_t OLEMISC_SIMPLEFRAME = 0x10000;

// Creates instances of one class (the IClassFactory facet).
class ClassFactory : public Unknown {
public:
    explicit ClassFactory(ClassEntry entry) : m_entry(std::move(entry)) {}
    HResult QueryInterface(const Guid& iid, void** out) override;
    // outer must be null (no aggregation: CLASS_E_NOAGGREGATION); answers the object's
    // QueryInterface for iid (E_NOINTERFACE leaves nothing alive), E_OUTOFMEMORY or
    // E_FAIL when it cannot be made.
    HResult CreateInstance(Unknown* outer, const Guid& iid, void** out);
    HResult LockServer(bool lock);
    const ClassEntry& entry() const { return m_entry; }

private:
    ClassEntry m_entry;
};

// The entry points' work for a library with these classes.
HResult getClassObject(const std::vector<ClassEntry>& classes, const Guid& clsid, const Guid& iid,
                       void** out);
// S_OK when no object of the module is alive and no lock is held, else S_FALSE.
HResult canUnloadNow();

// Registration: a small file "<library name>.classes" under $XDG_CONFIG_HOME/tavimo/
// (~/.config/tavimo/ by default), one line per class:
//   Tavimo.ImageBox = {CLSID} /path/to/libtavimo.so
// register writes (replacing) it, unregister removes it. SELFREG_E_CLASS on I/O failure.
std::string registryDirectory();
HResult registerServer(const std::string& libraryName, const std::string& libraryPath,
                       const std::vector<ClassEntry>& classes);
HResult unregisterServer(const std::string& libraryName);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string guidText(const Guid& g);

} // namespace ax
