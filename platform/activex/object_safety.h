#pragma once

#include <cstdint>

#include "platform/activex/object.h"

namespace ax {

// The object-safety interface through which a browser or script host asks a control
// whether it may be driven by an untrusted caller or initialised from untrusted data.
inline constexpr Guid IID_IObjectSafety{
    0xCB5BDC81, 0x93C1, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};

// Option bits of the interface.
inline constexpr uint32_t INTERFACESAFE_FOR_UNTRUSTED_CALLER = 1;
inline constexpr uint32_t INTERFACESAFE_FOR_UNTRUSTED_DATA = 2;

// A facet of a control's object. riid names the interface the question is about (it may
// be null); the out pointers receive the option bits.
class IObjectSafety : public Unknown {
public:
    virtual HResult GetInterfaceSafetyOptions(const Guid* riid, uint32_t* pdwSupportedOptions,
                                              uint32_t* pdwEnabledOptions) = 0;
    virtual HResult SetInterfaceSafetyOptions(const Guid* riid, uint32_t dwOptionsSetMask,
                                              uint32_t dwEnabledOptions) = 0;
};

// Writes the registry text of an identifier, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in
// upper case, followed by a NUL into a buffer of cchMax UTF-16 units. Returns the units
// written including the NUL (39), or 0 when the buffer is null or too small (nothing is
// written then).
int StringFromGUID2(const Guid& rguid, char16_t* lpsz, int cchMax);

} // namespace ax
