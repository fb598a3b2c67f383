#include "filters/cCMYK.h"

#include "platform/win/vb_number.h"

#include <algorithm>

namespace tavimo {

int32_t cCMYK::RGB() const {
    return m_R + m_G * 256 + m_B * 65536;
}

void cCMYK::RGB(int32_t value) {
    m_R = value & 255;
    m_G = (value >> 8) & 255;
    m_B = (value >> 16) & 255;
    rgbToCmyk();
}

void cCMYK::R(int32_t value) {
    m_R = value & 255;
    rgbToCmyk();
}

void cCMYK::G(int32_t value) {
    m_G = value & 255;
    rgbToCmyk();
}

void cCMYK::b(int32_t value) {
    m_B = value & 255;
    rgbToCmyk();
}

void cCMYK::C(int32_t value) {
    m_C = value & 255;
    cmykToRgb();
}

void cCMYK::M(int32_t value) {
    m_M = value & 255;
    cmykToRgb();
}

void cCMYK::Y(int32_t value) {
    m_Y = value & 255;
    cmykToRgb();
}

void cCMYK::K(int32_t value) {
    m_K = value & 255;
    cmykToRgb();
}

void cCMYK::FromCMY(int32_t cValue, int32_t mValue, int32_t yValue) {
    m_R = 255 - (cValue & 255);
    m_G = 255 - (mValue & 255);
    m_B = 255 - (yValue & 255);
    rgbToCmyk();
}

cCMY cCMYK::ToCMY() const {
    cCMY out;
    out.RGB(RGB());
    return out;
}

void cCMYK::FromCMYK(int32_t cValue, int32_t mValue, int32_t yValue, int32_t kValue) {
    m_C = cValue & 255;
    m_M = mValue & 255;
    m_Y = yValue & 255;
    m_K = kValue & 255;
    cmykToRgb();
}

void cCMYK::rgbToCmyk() {
    const int32_t c = 255 - m_R, m = 255 - m_G, y = 255 - m_B;
    m_C = c;
    m_M = m;
    m_Y = y;
    m_K = std::min({c, m, y});
    if (m_K == 255) {
        m_C = m_M = m_Y = 255;
        return;
    }
    auto part = [this](int32_t v) {
        return static_cast<int32_t>(win::roundHalfEven((v - m_K) * 255.0 / (255 - m_K)));
    };
    m_C = part(c);
    m_M = part(m);
    m_Y = part(y);
}

void cCMYK::cmykToRgb() {
    auto channel = [this](int32_t v) {
        double ink = win::roundHalfEven(v * (255.0 - m_K) / 255.0 + m_K);
        return 255 - static_cast<int32_t>(std::min(255.0, ink));
    };
    m_R = channel(m_C);
    m_G = channel(m_M);
    m_B = channel(m_Y);
}

} // namespace tavimo
