#pragma once

#include <functional>
#include <optional>
#include <string>

namespace win {

// File versions of modules. Linux libraries carry no version resources, so the versions the
// library asks for come from a process-wide registry filled by the layers that know them:
// the GDI+ layer registers "gdiplus.dll", the image core registers a provider for
// "Kelvra.dll" that asks the loaded codec plug-in, and "ZLIBWAPI.DLL" is built in (the
// linked zlib). Names are matched without regard to case, on the last path component, so
// "/opt/x/GDIPLUS.DLL" finds "gdiplus.dll". All calls are thread-safe.

// "a.b.c.d" (four plain decimal fields) for a registered module; "Unknown" for any other
// file, and for a module whose provider reports no version; "Undefined" when the provider
// fails (throws). Never throws.
std::string GetFileVersion(const std::string& fileName);

// Registers a fixed version text for a module (normalised to four fields, see padVersion).
// An empty text removes the entry.
void setModuleVersion(const std::string& moduleName, const std::string& version);

// Registers a function asked at every lookup (a plug-in may be loaded later). It answers
// the version text, or empty when the module is absent or has no version. A null function
// removes the provider. A provider wins over a fixed text of the same name.
using ModuleVersionProvider = std::function<std::string()>;
void setModuleVersionProvider(const std::string& moduleName, ModuleVersionProvider provider);

// Test override: the text is answered exactly as given ("Unknown" and "Undefined"
// included), before every other source. std::nullopt removes the override.
void setModuleVersionOverride(const std::string& moduleName, std::optional<std::string> text);
void clearModuleVersionOverrides();

// Sets an override for one scope and puts the previous one back.
class ScopedModuleVersionOverride {
public:
    ScopedModuleVersionOverride(std::string moduleName, std::string text);
    ~ScopedModuleVersionOverride();
    ScopedModuleVersionOverride(const ScopedModuleVersionOverride&) = delete;
    ScopedModuleVersionOverride& operator=(const ScopedModuleVersionOverride&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

// A version text in four fields: the leading digits of up to four "."-separated parts,
// each limited to 0..65535, missing fields 0 ("1.2.13" -> "1.2.13.0", "2" -> "2.0.0.0",
// "3.1-rc" -> "3.1.0.0"). Empty when the text does not start with a digit.
std::string padVersion(const std::string& text);

} // namespace win
