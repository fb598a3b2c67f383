#include "platform/win/guid.h"

#include <cstdio>

namespace win {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

Guid parseGuid(const std::string& text) {
    std::string_view body = text;
    if (body.size() == 38 && body.front() == '{' && body.back() == '}')
        body = body.substr(1, 36);
    if (body.size() != 36)
        return {};
    // Gather the 32 hex digits, checking the four hyphens on the way.
    uint8_t nibbles[32];
    int count = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (body[i] != '-')
                return {};
            continue;
        }
        int digit = hexDigit(body[i]);
        if (digit < 0)
            return {};
        nibbles[count++] = static_cast<uint8_t>(digit);
    }
    auto field = [&](int first, int length) {
        uint32_t value = 0;
        for (int i = 0; i < length; ++i)
            value = (value << 4) | nibbles[first + i];
        return value;
    };
    Guid guid;
    guid.data1 = field(0, 8);
    guid.data2 = static_cast<uint16_t>(field(8, 4));
    guid.data3 = static_cast<uint16_t>(field(12, 4));
    for (int i = 0; i < 8; ++i)
        guid.data4[i] = static_cast<uint8_t>(field(16 + 2 * i, 2));
    return guid;
}

std::string formatGuid(const Guid& guid) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  guid.data1, guid.data2, guid.data3, guid.data4[0], guid.data4[1], guid.data4[2],
                  guid.data4[3], guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
    return buffer;
}

} // namespace win
