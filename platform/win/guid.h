#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <string>

namespace win {

// A 128-bit class/format identifier with the usual four-field layout.
struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};

    friend bool operator==(const Guid&, const Guid&) = default;
    friend auto operator<=>(const Guid&, const Guid&) = default;
    bool isZero() const { return *this == Guid{}; }
};

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional, any case). Text that
// is not a GUID gives the all-zero GUID, as callers that ignore the parse result expect.
Guid parseGuid(const std::string& text);

// Formats as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case, with braces.
std::string formatGuid(const Guid& guid);

} // namespace win
