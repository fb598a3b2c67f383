#include "platform/win/codepage.h"

#include <array>

namespace win {
namespace {

// 0x80-0x9F; everything else is the byte's own value.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

char32_t cp1252ToUnicode(uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return kHigh[byte - 0x80];
    return byte;
}

int unicodeToCp1252(char32_t ch) {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<int>(ch);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == ch)
            return 0x80 + i;
    return -1;
}

void appendUtf8(std::string& out, char32_t ch) {
    if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        ch = 0xFFFD;
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

int32_t decodeUtf8(std::string_view text, size_t& pos) {
    auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    uint8_t lead = byte(pos);
    int length;
    int32_t value;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        ++pos;
        return -1;
    }
    if (pos + length > text.size()) {
        ++pos;
        return -1;
    }
    for (int i = 1; i < length; ++i) {
        uint8_t next = byte(pos + i);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return -1;
        }
        value = (value << 6) | (next & 0x3F);
    }
    static constexpr int32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kMinimum[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++pos;
        return -1;
    }
    pos += length;
    return value;
}

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes)
        appendUtf8(out, cp1252ToUnicode(static_cast<uint8_t>(c)));
    return out;
}

std::string utf8ToCp1252(std::string_view utf8, char replacement) {
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        int32_t ch = decodeUtf8(utf8, pos);
        int byte = ch < 0 ? -1 : unicodeToCp1252(static_cast<char32_t>(ch));
        out += byte < 0 ? replacement : static_cast<char>(byte);
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        int32_t ch = decodeUtf8(utf8, pos);
        if (ch < 0)
            ch = 0xFFFD;
        if (ch >= 0x10000) {
            ch -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (ch >> 10));
            out += static_cast<char16_t>(0xDC00 + (ch & 0x3FF));
        } else {
            out += static_cast<char16_t>(ch);
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t ch = utf16[i];
        if (ch >= 0xD800 && ch <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            ch = 0x10000 + ((ch - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (ch >= 0xD800 && ch <= 0xDFFF) {
            ch = 0xFFFD;
        }
        appendUtf8(out, ch);
    }
    return out;
}

} // namespace win
