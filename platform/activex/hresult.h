#pragma once

#include <cstdint>

namespace ax {

// Result codes of the object model and of dispatch, with their documented values.
using HResult = int32_t;

constexpr HResult hr(uint32_t v) {
    return static_cast<HResult>(v);
}

inline constexpr HResult S_OK = 0;
inline constexpr HResult S_FALSE = 1;
inline constexpr HResult E_NOTIMPL = hr(0x80004001u);
inline constexpr HResult E_NOINTERFACE = hr(0x80004002u);
inline constexpr HResult E_POINTER = hr(0x80004003u);
inline constexpr HResult E_FAIL = hr(0x80004005u);
inline constexpr HResult E_UNEXPECTED = hr(0x8000FFFFu);
inline constexpr HResult E_OUTOFMEMORY = hr(0x8007000Eu);
inline constexpr HResult E_INVALIDARG = hr(0x80070057u);
inline constexpr HResult CLASS_E_NOAGGREGATION = hr(0x80040110u);
inline constexpr HResult CLASS_E_CLASSNOTAVAILABLE = hr(0x80040111u);
inline constexpr HResult CONNECT_E_NOCONNECTION = hr(0x80040200u);
inline constexpr HResult SELFREG_E_CLASS = hr(0x80040201u);
inline constexpr HResult DISP_E_MEMBERNOTFOUND = hr(0x80020003u);
inline constexpr HResult DISP_E_PARAMNOTFOUND = hr(0x80020004u);
inline constexpr HResult DISP_E_TYPEMISMATCH = hr(0x80020005u);
inline constexpr HResult DISP_E_UNKNOWNNAME = hr(0x80020006u);
inline constexpr HResult DISP_E_EXCEPTION = hr(0x80020009u);
inline constexpr HResult DISP_E_OVERFLOW = hr(0x8002000Au);
inline constexpr HResult DISP_E_BADPARAMCOUNT = hr(0x8002000Eu);
inline constexpr HResult DISP_E_PARAMNOTOPTIONAL = hr(0x8002000Fu);

constexpr bool Succeeded(HResult r) {
    return r >= 0;
}
constexpr bool Failed(HResult r) {
    return r < 0;
}

} // namespace ax
