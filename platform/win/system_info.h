#pragma once

#include <cstdint>

namespace win {

// The operating-system version the library reports and branches on: a fixed 6.1, so the
// code paths for current systems run.
inline constexpr uint32_t kOsMajorVersion = 6;
inline constexpr uint32_t kOsMinorVersion = 1;
inline constexpr double kOsVersion = 6.1;

// The library's module instance handle. It is only stored and passed on (dialogs), never
// looked up, so any fixed non-zero value does; this one lies outside every handle table's
// range.
inline constexpr uint32_t kModuleInstance = 0x00400000;

} // namespace win
