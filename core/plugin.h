#pragma once

// The codec plug-in, reached through a function table that is filled from libkelvra.so at
// first use. The library is looked up as every plug-in is (platform/win/plugin_library.h:
// beside the library first, then $TAVIMO_PLUGIN_PATH, then the loader's search path); its
// absence is normal, and every caller copes with a null table.

#include "plugins/kelvra/kelvra_api.h"

#include <string>

namespace tavimo {

struct KelvraApi {
#define TAVIMO_KELVRA_MEMBER(ret, name, params) ret(*name) params = nullptr;
    KELVRA_FUNCTION_LIST(TAVIMO_KELVRA_MEMBER)
#undef TAVIMO_KELVRA_MEMBER
};

// The plug-in's function table, or null when the library is absent or lacks a function.
const KelvraApi* plugin();

// True when the plug-in's version text, kept at GDI+ start-up, reads as a number other
// than 0 ("Unknown" and "Undefined" read as 0).
bool PluginAvailable();

// Makes GetFileVersion("Kelvra.dll") answer the loaded plug-in's version (once per process).
void registerPluginVersion();

namespace test {

// Replaces the plug-in seen by this thread (a fake table); null goes back to the real one.
void SetPluginTable(const KelvraApi* table);

// Makes this thread see no plug-in at all (as on a machine without libkelvra.so), until
// called again with false. A fake table installed with SetPluginTable still wins.
void SetPluginAbsent(bool absent);

} // namespace test

} // namespace tavimo
