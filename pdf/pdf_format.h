#pragma once

// Text helpers of the PDF writer: number formatting (locale-free, so a comma-decimal locale
// never leaks into a file), literal-string escaping and hexadecimal text.

#include <string>
#include <string_view>

namespace tavimo::pdf {

// The value rounded to `decimals` places (halves to even), as the shortest decimal text: no
// exponent, no trailing zeros, "0" for zero (never "-0"), a dot as separator. NaN and
// infinities, which have no PDF form, give "0".
std::string FormatNumber(double value, int decimals);

// The value with exactly `decimals` digits after the dot (halves to even), never "-0.00".
std::string FormatFixed(double value, int decimals);

// Backslash, parentheses, CR and LF escaped, for literal strings whose bytes must survive a
// reader's end-of-line rule.
std::string EscapeText(std::string_view text);
// Backslash and parentheses escaped only.
std::string EscapeString(std::string_view text);

// Two uppercase hexadecimal digits per byte.
std::string BytesToHex(std::string_view bytes);

// A name written after "/" in a PDF: delimiters, blanks, '#' and bytes outside the printable
// ASCII range become #xx, so a caller's name never breaks the syntax.
std::string EscapeName(std::string_view name);

// Plain decimal text of an integer, never with a blank.
std::string IntText(long long value);

// Windows-1252 conversion at the API boundary: UTF-8 in, one byte per character out, '?' for
// characters the code page cannot hold and for bytes that are not UTF-8.
std::string ToAnsi(std::string_view utf8);
// The reverse, for values that go into UTF-8 text (the XMP packet).
std::string AnsiToUtf8(std::string_view ansi);

// A document-information value as a PDF text string. Bytes that Windows-1252 and PDF's own
// text encoding read alike are kept; a value holding any other byte (0x18-0x1F, 0x7F-0xA0,
// 0xAD) is written as UTF-16BE with its byte order mark, so readers show its characters.
std::string InfoText(std::string_view ansi);

// XML character escaping for the XMP packet.
std::string XmlEscape(std::string_view utf8);

} // namespace tavimo::pdf
