#pragma once

// MD5 message digest (RFC 1321). The standard security handler of PDF needs it for keys and
// password values; it is small enough to keep in-tree rather than depend on a crypto library.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavimo {

class Md5 {
public:
    using Digest = std::array<std::uint8_t, 16>;

    Md5();
    void update(const void* data, std::size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
    // Finishes the digest; the object must be reset before it is used again.
    Digest finish();
    void reset();

    static Digest of(std::string_view bytes);
    // The digest as a 16-byte string, the form the security handler works with.
    static std::string bytesOf(std::string_view bytes);

private:
    void transform(const std::uint8_t* block);

    std::uint32_t m_state[4];
    std::uint64_t m_length = 0;
    std::uint8_t m_buffer[64];
    std::size_t m_buffered = 0;
};

} // namespace tavimo
