#include "pdf/pdf_security.h"

#include "pdf/md5.h"
#include "pdf/rc4.h"

namespace tavimo::pdf {

namespace {

constexpr unsigned char kPadding[32] = {
    0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E, 0x56, 0xFF, 0xFA, 0x01, 0x08,
    0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

std::string paddingString() {
    return std::string(reinterpret_cast<const char*>(kPadding), 32);
}

std::string pad(std::string_view password) {
    std::string out(password.substr(0, 32));
    out += paddingString().substr(0, 32 - out.size());
    return out;
}

std::string littleEndian(std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[std::size_t(i)] = char((v >> (8 * i)) & 0xFF);
    return out;
}

std::string xorKey(std::string_view key, int i) {
    std::string out(key);
    for (char& c : out)
        c = char(static_cast<unsigned char>(c) ^ i);
    return out;
}

// Twenty RC4 passes, the later ones under the key XOR the pass number (revision 3).
std::string twentyPasses(std::string_view key, std::string data) {
    data = Rc4::crypt(key, data);
    for (int i = 1; i <= 19; ++i)
        data = Rc4::crypt(xorKey(key, i), data);
    return data;
}

std::string trimBlanks(std::string_view s) {
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return {};
    std::size_t e = s.find_last_not_of(' ');
    return std::string(s.substr(b, e - b + 1));
}

} // namespace

std::int32_t PermissionsValue(std::int32_t rights, int mode) {
    static constexpr struct {
        std::int32_t right;
        std::int32_t bit;
    } kMap[] = {{1, 4}, {2, 16}, {4, 8}, {8, 32}, {16, 256}, {32, 512}, {64, 1024}, {128, 2048}};
    std::int32_t flags = 0;
    for (auto m : kMap)
        if (rights & m.right)
            flags += m.bit;
    std::int32_t b = flags - 3904;
    if (mode == 2)
        return b;
    return static_cast<std::int32_t>(0xFFFFFF00u | (static_cast<std::uint32_t>(b) & 0xFFu));
}

SecurityValues ComputeEncryptionKeys(std::int32_t rights, int mode, std::string_view ownerPassword,
                                     std::string_view userPassword, std::string_view fileId) {
    SecurityValues s;
    s.mode = mode;
    s.permissions = PermissionsValue(rights, mode);
    std::string owner =
        trimBlanks(ownerPassword).empty() ? std::string(userPassword) : std::string(ownerPassword);
    std::string u = pad(userPassword);
    std::string o = pad(owner);
    std::string p = littleEndian(s.permissions);

    if (mode == 2) {
        std::string h = Md5::bytesOf(o);
        for (int i = 0; i < 50; ++i)
            h = Md5::bytesOf(h);
        s.ownerValue = twentyPasses(h.substr(0, 16), u);

        h = Md5::bytesOf(u + s.ownerValue + p + std::string(fileId));
        for (int i = 0; i < 50; ++i)
            h = Md5::bytesOf(h);
        s.fileKey = h;
        std::string seed = Md5::bytesOf(paddingString() + std::string(fileId));
        s.userValue = twentyPasses(s.fileKey, seed) + std::string(16, ' ');
    } else {
        s.ownerValue = Rc4::crypt(Md5::bytesOf(o).substr(0, 5), u);
        s.fileKey = Md5::bytesOf(u + s.ownerValue + p + std::string(fileId)).substr(0, 5);
        s.userValue = Rc4::crypt(s.fileKey, paddingString());
    }
    return s;
}

std::string ObjectKey(const SecurityValues& security, int objectNumber) {
    if (security.fileKey.empty())
        return {};
    std::string input = security.fileKey;
    input += char(objectNumber & 0xFF);
    input += char((objectNumber >> 8) & 0xFF);
    input += char((objectNumber >> 16) & 0xFF);
    input += '\0';
    input += '\0';
    std::string digest = Md5::bytesOf(input);
    return security.mode == 2 ? digest : digest.substr(0, 10);
}

} // namespace tavimo::pdf
