#include "platform/win/vb_number.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace win {

const char* vbErrorDescription(int number) {
    switch (number) {
    case kVbInvalidCall:
        return "Invalid procedure call or argument";
    case kVbOverflow:
        return "Overflow";
    case kVbOutOfMemory:
        return "Out of memory";
    case kVbSubscript:
        return "Subscript out of range";
    case kVbDivisionByZero:
        return "Division by zero";
    case kVbTypeMismatch:
        return "Type mismatch";
    case kVbFileNotFound:
        return "File not found";
    case kVbFileAccess:
        return "Path/File access error";
    default:
        return "Application-defined or object-defined error";
    }
}

double roundHalfEven(double value) {
    if (!std::isfinite(value))
        return value;
    double below = std::floor(value);
    double fraction = value - below; // exact: both lie in the same binade or below is 0
    if (fraction > 0.5)
        return below + 1.0;
    if (fraction < 0.5)
        return below;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

double roundHalfEven(double value, int decimals) {
    if (decimals <= 0)
        return roundHalfEven(value);
    if (decimals > 15)
        decimals = 15;
    double scale = std::pow(10.0, decimals);
    double scaled = value * scale;
    if (!std::isfinite(scaled))
        return value;
    return roundHalfEven(scaled) / scale;
}

namespace {

template <class T> bool tryRound(double value, T& out, double low, double high) {
    double rounded = roundHalfEven(value);
    if (!(rounded >= low && rounded <= high)) // also refuses NaN
        return false;
    out = static_cast<T>(rounded);
    return true;
}

template <class T> T roundOrThrow(double value, double low, double high) {
    T out{};
    if (!tryRound(value, out, low, high))
        throw VbError(kVbOverflow);
    return out;
}

constexpr double kInt32Low = -2147483648.0, kInt32High = 2147483647.0;

} // namespace

bool tryToInt32(double value, int32_t& out) {
    return tryRound(value, out, kInt32Low, kInt32High);
}
int32_t toInt32(double value) {
    return roundOrThrow<int32_t>(value, kInt32Low, kInt32High);
}
bool tryToInt16(double value, int16_t& out) {
    return tryRound(value, out, -32768.0, 32767.0);
}
int16_t toInt16(double value) {
    return roundOrThrow<int16_t>(value, -32768.0, 32767.0);
}
bool tryToByte(double value, uint8_t& out) {
    return tryRound(value, out, 0.0, 255.0);
}
uint8_t toByte(double value) {
    return roundOrThrow<uint8_t>(value, 0.0, 255.0);
}

namespace {

// Shared by Str and StrSingle: `digits` significant digits, exponent form from 10^digits.
std::string numberText(double value, int digits) {
    if (std::isnan(value))
        return " NaN";
    if (std::isinf(value))
        return value < 0 ? "-Inf" : " Inf";
    if (value == 0.0)
        return " 0";
    std::string out = value < 0 ? "-" : " ";
    // Scientific form rounds to the wanted digits (the carry into a new digit included) and
    // tells the decimal exponent of the rounded value; to_chars ignores the locale.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                std::chars_format::scientific, digits - 1);
    std::string mantissa;
    const char* p = buffer;
    for (; p != result.ptr && *p != 'e'; ++p)
        if (*p != '.')
            mantissa += *p;
    int exponent = 0;
    if (p != result.ptr)
        std::from_chars(p + (p[1] == '+' ? 2 : 1), result.ptr, exponent);
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();

    if (exponent >= digits || exponent < -4) {
        out += mantissa[0];
        if (mantissa.size() > 1) {
            out += '.';
            out.append(mantissa, 1);
        }
        char tail[16];
        std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        return out + tail;
    }
    if (exponent < 0) {
        out += '.';
        out.append(static_cast<size_t>(-exponent - 1), '0');
        return out + mantissa;
    }
    size_t whole = static_cast<size_t>(exponent) + 1;
    if (mantissa.size() <= whole)
        return out + mantissa + std::string(whole - mantissa.size(), '0');
    return out + mantissa.substr(0, whole) + "." + mantissa.substr(whole);
}

bool isValBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

double radixValue(std::string_view text, size_t pos, int radix) {
    uint32_t value = 0;
    int count = 0;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (isValBlank(c))
            continue;
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (radix == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (radix == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        if (digit >= radix)
            break;
        value = value * static_cast<uint32_t>(radix) + static_cast<uint32_t>(digit);
        if (value != 0)
            ++count;
    }
    int maxShortDigits = radix == 16 ? 4 : 6;
    if (count <= maxShortDigits && value <= 0xFFFF)
        return static_cast<int16_t>(static_cast<uint16_t>(value));
    return static_cast<int32_t>(value);
}

} // namespace

std::string Str(double value) {
    return numberText(value, 15);
}

std::string StrSingle(float value) {
    return numberText(value, 7);
}

double Val(std::string_view text) {
    size_t pos = 0;
    auto skipBlanks = [&] {
        while (pos < text.size() && isValBlank(text[pos]))
            ++pos;
    };
    skipBlanks();
    if (pos + 1 < text.size() && text[pos] == '&') {
        char kind = text[pos + 1];
        if (kind == 'H' || kind == 'h')
            return radixValue(text, pos + 2, 16);
        if (kind == 'O' || kind == 'o')
            return radixValue(text, pos + 2, 8);
        return 0.0;
    }
    // Collect the number without blanks, then let strtod read exactly that.
    std::string number;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        number += text[pos++];
    bool digits = false, point = false;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (isValBlank(c))
            continue;
        if (c >= '0' && c <= '9') {
            digits = true;
            number += c;
        } else if (c == '.' && !point) {
            point = true;
            number += c;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    skipBlanks();
    if (pos < text.size() &&
        (text[pos] == 'E' || text[pos] == 'e' || text[pos] == 'D' || text[pos] == 'd')) {
        std::string exponent = "e";
        size_t at = pos + 1;
        while (at < text.size() && isValBlank(text[at]))
            ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            exponent += text[at++];
        bool expDigits = false;
        for (; at < text.size(); ++at) {
            char c = text[at];
            if (isValBlank(c))
                continue;
            if (c < '0' || c > '9')
                break;
            expDigits = true;
            exponent += c;
        }
        if (expDigits)
            number += exponent;
    }
    // Read with the C locale so that "." is the point whatever the host's locale says.
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    double value =
        cLocale ? strtod_l(number.c_str(), nullptr, cLocale) : std::strtod(number.c_str(), nullptr);
    if (std::isinf(value))
        throw VbError(kVbOverflow);
    return value;
}

int CountDecimals(float value) {
    for (int d = 0; d <= 38; ++d) {
        float scaled = static_cast<float>(static_cast<double>(value) * std::pow(10.0, d));
        if (scaled == std::trunc(scaled))
            return d;
    }
    throw VbError(kVbOverflow);
}

} // namespace win
