#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace win {

// The Windows-1252 ("ANSI") code page, from our own 256-entry table. Every byte maps to a
// character: 0x00-0x7F and 0xA0-0xFF are Latin-1, 0x80-0x9F hold the typographic extras
// (euro sign, quotes, dashes...), and the five bytes the code page leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same value, as
// Windows converts them. So bytes -> text -> bytes is lossless for every byte.

// The character for a byte.
char32_t cp1252ToUnicode(uint8_t byte);

// The byte for a character, or -1 when the code page has none.
int unicodeToCp1252(char32_t ch);

// Bytes in Windows-1252 to UTF-8.
std::string cp1252ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252 bytes. Characters the code page lacks, and malformed UTF-8
// sequences (each bad byte), become `replacement` ('?' as the system converter does).
std::string utf8ToCp1252(std::string_view utf8, char replacement = '?');

// Appends the UTF-8 form of a code point (U+FFFD for values that are not characters).
void appendUtf8(std::string& out, char32_t ch);

// Decodes one UTF-8 character at `pos` and advances `pos`; malformed input (bad lead
// or continuation bytes, overlong forms, surrogates, values past U+10FFFF) consumes one
// byte and gives -1.
int32_t decodeUtf8(std::string_view text, size_t& pos);

// UTF-8 <-> UTF-16 (the form of strings handed across COM-style interfaces). Malformed
// UTF-8 bytes and unpaired surrogates become U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

} // namespace win
