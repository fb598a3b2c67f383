#include "pdf/pdf_format.h"

#include "platform/win/vb_number.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace tavimo::pdf {

namespace {

constexpr double kPow10[] = {1, 10, 100, 1000, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

} // namespace

std::string FormatNumber(double value, int decimals) {
    if (!std::isfinite(value))
        return "0";
    if (decimals < 0)
        decimals = 0;
    if (decimals > 9)
        decimals = 9;
    double scale = kPow10[decimals];
    double scaled = win::roundHalfEven(value * scale);
    if (scaled == 0)
        return "0";
    // Below 10^15 the rounded value as an integer count of 10^-decimals is exact, and its
    // digits are the shortest text of the number; larger values take the general path.
    if (std::fabs(scaled) < 1e15) {
        auto units = static_cast<long long>(scaled);
        bool negative = units < 0;
        unsigned long long magnitude = negative ? 0ull - static_cast<unsigned long long>(units)
                                                : static_cast<unsigned long long>(units);
        char digits[32];
        char* end = digits + sizeof digits;
        char* p = end;
        int fraction = decimals;
        // Fraction digits, dropping trailing zeros.
        while (fraction > 0 && magnitude % 10 == 0) {
            magnitude /= 10;
            --fraction;
        }
        for (int i = 0; i < fraction; ++i) {
            *--p = char('0' + magnitude % 10);
            magnitude /= 10;
        }
        if (fraction > 0)
            *--p = '.';
        do {
            *--p = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude > 0);
        if (negative)
            *--p = '-';
        return std::string(p, end);
    }
    double rounded = scaled / scale;
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed);
    if (result.ec != std::errc())
        return "0";
    return std::string(buffer, result.ptr);
}

std::string FormatFixed(double value, int decimals) {
    if (!std::isfinite(value))
        value = 0;
    if (decimals < 0)
        decimals = 0;
    if (decimals > 9)
        decimals = 9;
    double scaled = win::roundHalfEven(value * kPow10[decimals]);
    bool negative = scaled < 0;
    double magnitude = std::fabs(scaled);
    char digits[400];
    auto result =
        std::to_chars(digits, digits + sizeof digits, magnitude, std::chars_format::fixed, 0);
    std::string text(digits, result.ec == std::errc() ? result.ptr : digits);
    if (text.size() < std::size_t(decimals) + 1)
        text.insert(0, std::size_t(decimals) + 1 - text.size(), '0');
    if (decimals > 0)
        text.insert(text.size() - std::size_t(decimals), 1, '.');
    if (negative && magnitude != 0)
        text.insert(0, 1, '-');
    return text;
}

std::string EscapeString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\\' || c == '(' || c == ')')
            out += '\\';
        out += c;
    }
    return out;
}

std::string EscapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
        case '\\':
        case '(':
        case ')':
            out += '\\';
            out += c;
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string BytesToHex(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

std::string EscapeName(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size());
    for (unsigned char c : name) {
        bool plain = c > 32 && c < 127;
        switch (c) {
        case '(':
        case ')':
        case '<':
        case '>':
        case '[':
        case ']':
        case '{':
        case '}':
        case '/':
        case '%':
        case '#':
            plain = false;
            break;
        default:
            break;
        }
        if (plain) {
            out += char(c);
        } else {
            out += '#';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string IntText(long long value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string XmlEscape(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 8);
    for (char c : utf8) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace tavimo::pdf
