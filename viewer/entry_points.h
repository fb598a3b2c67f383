#pragma once

#include <vector>

#include "platform/activex/class_factory.h"
#include "platform/win/export.h"

// The COM-style entry points of the library. They serve the classes and registration
// names of the installed library profile (viewer/library_profile.h): libtavimo.so's own,
// or those of libtavimos.so, which installs its profile when it loads.
//   DllGetClassObject: the class factory of ImageBox, ImageBoxCnt or dummy for iid
//     (IID_IClassFactory or IID_IUnknown); CLASS_E_CLASSNOTAVAILABLE for another class,
//     E_POINTER for a null argument.
//   DllCanUnloadNow: S_OK when no object is alive and no lock is held, else S_FALSE.
//   DllRegisterServer / DllUnregisterServer: write / remove the registration file
//     <registry name>.classes (libtavimo.classes, libtavimos.classes) under
//     $XDG_CONFIG_HOME/tavimo/.
extern "C" {
TAVIMO_API ax::HResult DllGetClassObject(const win::Guid* clsid, const win::Guid* iid, void** out);
TAVIMO_API ax::HResult DllCanUnloadNow();
TAVIMO_API ax::HResult DllRegisterServer();
TAVIMO_API ax::HResult DllUnregisterServer();
}

namespace tavimo {
// The creatable classes of libtavimo.so.
const std::vector<ax::ClassEntry>& libraryClasses();
} // namespace tavimo
