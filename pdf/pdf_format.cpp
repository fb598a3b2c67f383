#include "pdf/pdf_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace tavimo::pdf {

namespace {

double roundHalfEven(double v) {
    // std::nearbyint follows the current rounding mode, which the writer never changes;
    // round-to-nearest-even is the default.
    double r = std::floor(v);
    double diff = v - r;
    if (diff > 0.5)
        return r + 1;
    if (diff < 0.5)
        return r;
    return std::fmod(r, 2.0) == 0 ? r : r + 1;
}

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
    double scaled = roundHalfEven(value * scale);
    if (scaled == 0)
        return "0";
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
    double scaled = roundHalfEven(value * kPow10[decimals]);
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
