#include "pdf/rc4.h"

#include <utility>

namespace tavimo {

Rc4::Rc4(std::string_view key) {
    for (int i = 0; i < 256; ++i)
        m_s[i] = std::uint8_t(i);
    if (key.size() > 256)
        key = key.substr(0, 256);
    if (key.empty())
        return;
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = std::uint8_t(j + m_s[i] + std::uint8_t(key[i % key.size()]));
        std::swap(m_s[i], m_s[j]);
    }
}

void Rc4::apply(std::uint8_t* data, std::size_t size) {
    std::uint8_t i = m_i, j = m_j;
    for (std::size_t n = 0; n < size; ++n) {
        i = std::uint8_t(i + 1);
        j = std::uint8_t(j + m_s[i]);
        std::swap(m_s[i], m_s[j]);
        data[n] ^= m_s[std::uint8_t(m_s[i] + m_s[j])];
    }
    m_i = i;
    m_j = j;
}

std::string Rc4::crypt(std::string_view key, std::string_view data) {
    if (key.empty())
        return {};
    std::string out(data);
    Rc4 rc4(key);
    rc4.apply(reinterpret_cast<std::uint8_t*>(out.data()), out.size());
    return out;
}

} // namespace tavimo
