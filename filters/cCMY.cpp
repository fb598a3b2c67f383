#include "filters/cCMY.h"

namespace tavimo {

int32_t cCMY::RGB() const {
    return m_R + m_G * 256 + m_B * 65536;
}

void cCMY::RGB(int32_t value) {
    R(value & 255);
    G((value >> 8) & 255);
    b((value >> 16) & 255);
}

void cCMY::R(int32_t value) {
    m_R = value & 255;
    m_C = 255 - m_R;
}

void cCMY::G(int32_t value) {
    m_G = value & 255;
    m_M = 255 - m_G;
}

void cCMY::b(int32_t value) {
    m_B = value & 255;
    m_Y = 255 - m_B;
}

void cCMY::C(int32_t value) {
    m_C = value & 255;
    m_R = 255 - m_C;
}

void cCMY::M(int32_t value) {
    m_M = value & 255;
    m_G = 255 - m_M;
}

void cCMY::Y(int32_t value) {
    m_Y = value & 255;
    m_B = 255 - m_Y;
}

void cCMY::FromCMY(int32_t cValue, int32_t mValue, int32_t yValue) {
    C(cValue);
    M(mValue);
    Y(yValue);
}

} // namespace tavimo
