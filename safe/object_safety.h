#pragma once

#include <cstdint>

#include "platform/activex/object_safety.h"

namespace tavimo {

// The object-safety answers that both controls of libtavimos.so give. They use no state of
// the control, only the calling thread's flags (safe/basSafeCtl.h). The interface in
// question is recognised by its registry text: IDispatch concerns the untrusted-caller bit
// (1) and the scripting flag; IPersistStorage, IPersistStream and IPersistPropertyBag
// concern the untrusted-data bit (2) and the initialising flag. The supported set is
// always both bits (3).

// Writes 3 to *pdwSupportedOptions first, whatever follows. A null riid: S_OK with
// *pdwEnabledOptions untouched. IDispatch: enabled 1 when the scripting flag is set, else
// 0, S_OK. A persistence interface: enabled 2 when the initialising flag is set, else 0,
// S_OK. Any other interface: E_NOINTERFACE, enabled untouched. E_POINTER when an out
// pointer that would be written is null; E_OUTOFMEMORY or E_FAIL for a run-time failure.
ax::HResult IObjectSafety_GetInterfaceSafetyOptions(const ax::Guid* riid,
                                                    uint32_t* pdwSupportedOptions,
                                                    uint32_t* pdwEnabledOptions);

// Changes nothing. A null riid: S_OK. IDispatch: S_OK when (mask And enabled) is exactly 1
// and the scripting flag is set, else E_FAIL. A persistence interface: S_OK when (mask And
// enabled) is exactly 2 and the initialising flag is set, else E_FAIL. Any other
// interface: E_NOINTERFACE.
ax::HResult IObjectSafety_SetInterfaceSafetyOptions(const ax::Guid* riid, uint32_t dwOptionsSetMask,
                                                    uint32_t dwEnabledOptions);

// The IObjectSafety facet of a control: a small object of its own that keeps the control
// alive and hands every other interface request to it, so the control's identity is kept.
// Returns the facet with one reference, or null when it cannot be made.
ax::IObjectSafety* makeObjectSafetyFacet(ax::Unknown* owner);

} // namespace tavimo
