#include "pdf/pdf_format.h"

#include <cstdint>

// Windows-1252 conversion used at the writer's API boundary.

namespace tavimo::pdf {

namespace {

// Code points of bytes 0x80..0x9F; the five bytes Windows leaves undefined map to themselves.
constexpr std::uint16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char fromCodePoint(std::uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return char(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == cp)
            return char(0x80 + i);
    return '?';
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string ToAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += char(b);
            ++i;
            continue;
        }
        int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        std::uint32_t cp = extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
        bool valid = extra > 0 && i + std::size_t(extra) < utf8.size();
        if (valid) {
            for (int k = 1; k <= extra; ++k) {
                auto c = static_cast<unsigned char>(utf8[i + std::size_t(k)]);
                if ((c & 0xC0) != 0x80) {
                    valid = false;
                    break;
                }
                cp = (cp << 6) | (c & 0x3F);
            }
        }
        // Overlong forms and surrogates are not characters.
        static constexpr std::uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
        if (valid && (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            valid = false;
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        out += fromCodePoint(cp);
        i += std::size_t(extra) + 1;
    }
    return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size() + ansi.size() / 4);
    for (unsigned char b : ansi)
        appendUtf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b);
    return out;
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
        std::uint16_t cp = b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b;
        out += char(cp >> 8);
        out += char(cp & 0xFF);
    }
    return out;
}

} // namespace tavimo::pdf
