#include "pdf/pdf_format.h"

#include "platform/win/codepage.h"

#include <cstdint>

// Windows-1252 conversion used at the writer's API boundary.

namespace tavimo::pdf {

std::string ToAnsi(std::string_view utf8) {
    return win::utf8ToCp1252(utf8);
}

std::string AnsiToUtf8(std::string_view ansi) {
    return win::cp1252ToUtf8(ansi);
}

std::string InfoText(std::string_view ansi) {
    bool plain = true;
    for (unsigned char b : ansi)
        if ((b >= 0x18 && b <= 0x1F) || (b >= 0x7F && b <= 0xA0) || b == 0xAD)
            plain = false;
    if (plain)
        return std::string(ansi);
    std::string out = "\xFE\xFF";
    for (unsigned char b : ansi) {
        auto cp = static_cast<std::uint32_t>(win::cp1252ToUnicode(b));
        out += char(cp >> 8);
        out += char(cp & 0xFF);
    }
    return out;
}

} // namespace tavimo::pdf
