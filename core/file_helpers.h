#pragma once

// The small file and system helpers the whole library shares. Paths are UTF-8 with "/" as
// the separator; none of these calls throws.

#include "platform/win/guid.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavimo {

// Runs the open-file dialog through the installed dialog provider with the title
// "Open File", no filter, a 256-character path buffer and flags 6 (hide the read-only
// box, prompt before overwriting). The chosen path, or empty when cancelled or when the
// provider fails.
std::string ShowOpenFileDialog(uint32_t ownerWindow);

// The folder for temporary files, always ending with "/": the first non-blank of the
// environment variables tmp, temp and TMPDIR, else "/tmp/".
std::string GetTempFolder();

// A new, empty temporary file created exclusively (mode 0600) in the temporary folder,
// named by a decimal number without extension. The caller owns the file. Empty when no
// file could be created.
std::string MakeTempFileName();

// Trims the path, turns "\" into "/", shrinks a leading run of separators to two and
// collapses doubled separators from the third character on (paths longer than 3
// characters only).
std::string NormalizePath(const std::string& path);

// The path when it names a regular file that can be opened for reading and is smaller
// than 2 GiB; otherwise empty.
std::string FileExists(const std::string& path);

// The file version of a module as "a.b.c.d"; "Unknown" when the module carries none;
// "Undefined" when reading it fails.
std::string GetFileVersion(const std::string& fileName);

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; a text that does not parse gives the
// all-zero GUID.
win::Guid StringToGuid(const std::string& text);

// The number of elements; 0 for an empty array.
template <class T> int32_t ArrayElementCount(const std::vector<T>& array) {
    return static_cast<int32_t>(array.size());
}

// The smallest d of 0, 1, 2, ... for which value x 10^d, in single precision, equals its
// integer part. Not-a-number and infinities give 0 (no number of decimals makes them
// whole, and callers only scale finite values).
int32_t CountDecimals(float value);

// a when a <= b, else b (so a not-a-number b gives a only when a <= b holds).
inline double MinDouble(double a, double b) {
    return a <= b ? a : b;
}

// A random identifier of 36 characters: 8, 4, 4, 4 and 12 upper-case hexadecimal digits
// joined by "-", no braces.
std::string NewRandomIdentifier();

// The high and the low 16 bits of a 32-bit value, as unsigned numbers 0..65535.
inline int32_t HiWord(uint32_t value) {
    return static_cast<int32_t>(value >> 16);
}
inline int32_t LoWord(uint32_t value) {
    return static_cast<int32_t>(value & 0xFFFF);
}

} // namespace tavimo
