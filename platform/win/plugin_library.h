#pragma once

// Finding and loading the plug-in libraries (libkelvra.so, libmovrin.so): the Linux side of
// loading a DLL by its bare name. The folders are tried in this order, and the first file
// that loads wins:
//  1. beside the module that holds this code (the shared library, or a program that has the
//     library linked in), found at run time with dladdr:
//       <dir>/tavimo/plugins   an installed library: lib/libtavimo.so, lib/tavimo/plugins/
//       <dir>/plugins          the build tree: build/libtavimo.so, build/plugins/
//       <dir>/<bin-to-plugins> a program in bin/ of an installed tree, for example
//                              ../lib/tavimo/plugins
//  2. each folder of $TAVIMO_PLUGIN_PATH (folders separated by ':');
//  3. the bare file name, through the dynamic loader's own search path.
// So an installed or a freshly built tree finds its plug-ins with nothing set, and the
// environment adds folders for plug-ins kept elsewhere.

#include <string>
#include <vector>

namespace win {

// The paths tried for `fileName`, in order, for code in a module whose folder is
// `moduleDir` (empty when unknown) and the value of TAVIMO_PLUGIN_PATH (null when unset).
// The last entry is the bare file name.
std::vector<std::string> pluginCandidates(const std::string& fileName, const std::string& moduleDir,
                                          const char* pluginPath);

// The folder of the module (shared library or program) that holds this code, without a
// trailing "/"; empty when it cannot be found.
std::string thisModuleDirectory();

// Loads the first candidate that dlopen accepts (RTLD_NOW | RTLD_LOCAL); null when none
// does. The handle is never closed by the callers: plug-ins stay loaded for the process.
void* openPluginLibrary(const std::string& fileName);

} // namespace win
