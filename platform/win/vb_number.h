#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace win {

// Error numbers of the BASIC runtime that members raise internally and turn into their
// status or message at their public boundary.
enum VbErrorNumber : int {
    kVbInvalidCall = 5,
    kVbOverflow = 6,
    kVbOutOfMemory = 7,
    kVbSubscript = 9,
    kVbDivisionByZero = 11,
    kVbTypeMismatch = 13,
    kVbFileNotFound = 53,
    kVbFileAccess = 75,
};

// The runtime's description of an error number ("Overflow", "Out of memory", ...);
// "Application-defined or object-defined error" for numbers it does not list.
const char* vbErrorDescription(int number);

// A run-time error inside a member. Never let one leave a public member: catch it and
// answer the member's status.
class VbError : public std::exception {
public:
    explicit VbError(int number, std::string description = {})
        : m_number(number),
          m_description(description.empty() ? vbErrorDescription(number) : std::move(description)) {
    }
    int number() const { return m_number; }
    const std::string& description() const { return m_description; }
    const char* what() const noexcept override { return m_description.c_str(); }

private:
    int m_number;
    std::string m_description;
};

// --- Rounding ---------------------------------------------------------------------------
// Every conversion of a real to an integer rounds to the nearest integer, halves to even
// (2.5 -> 2, 3.5 -> 4, -2.5 -> -2), independent of the FPU rounding mode.

double roundHalfEven(double value);

// Rounds to `decimals` places (0..15), halves to even on the value scaled by 10^decimals
// in double precision, as the runtime's Round(x, n) does.
double roundHalfEven(double value, int decimals);

// To a 32-bit integer; false (and `out` unchanged) when the rounded value is outside
// -2^31..2^31-1 or not a number.
bool tryToInt32(double value, int32_t& out);
// The same, throwing VbError(kVbOverflow) out of range.
int32_t toInt32(double value);

// To a 16-bit integer (-32768..32767), the same way.
bool tryToInt16(double value, int16_t& out);
int16_t toInt16(double value);

// To a byte (0..255), the same way.
bool tryToByte(double value, uint8_t& out);
uint8_t toByte(double value);

// --- Number text ------------------------------------------------------------------------

// The runtime's general number text of a double (Str): a blank before zero and positive
// numbers, "-" before negative ones, "." as the point, no zero before the point of a value
// between -1 and 1, up to 15 significant digits with trailing zeros dropped. Numbers whose
// decimal exponent is 15 or more, or -5 or less, are written with an exponent: mantissa,
// "E", a sign and at least two digits ("1E+15", "1.5E-07", "-1E+100"). So 0.004 gives
// " .004", 72 " 72", -1.5 "-1.5", 0.00001 " 1E-05", 123456789012345 " 123456789012345".
// Not-a-number and infinities give " NaN", " Inf" and "-Inf" (the runtime never prints them).
std::string Str(double value);

// The same for a single-precision value: 7 significant digits, exponent form from 1E+07.
std::string StrSingle(float value);

// The leading number of a text, as the runtime's Val reads it: blanks, tabs and line feeds
// are skipped everywhere; then an optional sign, digits with one optional ".", and an
// optional exponent ("E" or "D", optional sign, digits). Reading stops at the first other
// character; no number gives 0. "&H" / "&O" start a hexadecimal / octal integer: up to
// four digits read as a 16-bit signed value ("&HFFFF" is -1), more as a 32-bit signed value
// (further high digits are dropped). A decimal number beyond the double range throws
// VbError(kVbOverflow).
double Val(std::string_view text);

// The smallest d of 0, 1, 2, ... for which value x 10^d, as a single, equals its integer
// part: 72 -> 0, 0.5 -> 1, 0.004 -> 3. When 10^d leaves the single range (d > 38; only
// not-a-number gets there) it throws VbError(kVbOverflow).
int CountDecimals(float value);

} // namespace win
