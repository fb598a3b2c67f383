#pragma once

// The PDF standard security handler: revision 2 (40-bit RC4) and revision 3 (128-bit RC4).
// All values are byte strings (Windows-1252 for passwords).

#include <cstdint>
#include <string>
#include <string_view>

namespace tavimo::pdf {

struct SecurityValues {
    int mode = 0;        // 1 = revision 2, 2 = revision 3
    std::string fileKey; // 5 or 16 bytes
    std::string ownerValue;
    std::string userValue;
    std::int32_t permissions = 0;
};

// P from the rights bits of the writer's interface (print 1, copy 2, modify 4, notes 8, fill
// 16, access 32, assemble 64, print-full 128; -1 means all).
std::int32_t PermissionsValue(std::int32_t rights, int mode);

// O, U, P and the file key for mode 1 or 2. `fileId` is the first element of the trailer's
// identifier (its bytes as written). An owner password that is empty or only blanks is
// replaced by the user password.
SecurityValues ComputeEncryptionKeys(std::int32_t rights, int mode, std::string_view ownerPassword,
                                     std::string_view userPassword, std::string_view fileId);

// The key of one indirect object (generation 0): 10 bytes in mode 1, 16 in mode 2.
std::string ObjectKey(const SecurityValues& security, int objectNumber);

} // namespace tavimo::pdf
