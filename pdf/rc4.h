#pragma once

// RC4 stream cipher, as the PDF standard security handler uses it. Only the first 256 key
// bytes take part; an empty key leaves nothing to encrypt with and gives an empty result.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavimo {

class Rc4 {
public:
    explicit Rc4(std::string_view key);
    // Encrypts (or decrypts) size bytes in place, continuing the key stream.
    void apply(std::uint8_t* data, std::size_t size);

    static std::string crypt(std::string_view key, std::string_view data);

private:
    std::uint8_t m_s[256];
    std::uint8_t m_i = 0;
    std::uint8_t m_j = 0;
};

} // namespace tavimo
