#pragma once

// cCMY and cCMYK: one colour held both as red, green, blue and as the subtractive cyan,
// magenta, yellow (and black) components, kept in step.
//
// Both are plain values: copy them freely, on any thread. Every value written is first
// reduced to its low byte (value & 255), so 256 is stored as 0 and -1 as 255; every
// component starts at 0. Properties are pairs of members with the same name: R() reads,
// R(v) writes. The blue component's member is spelled b.

#include <tavimo/export.h>

#include <cstdint>

namespace tavimo {
inline namespace v0 {

// C = 255 - R, M = 255 - G, Y = 255 - B at all times.
class TAVIMO_API cCMY {
public:
    // R + 256 G + 65536 B (Windows COLORREF order, red in the low byte). Writing takes
    // bits 0-7 as R, 8-15 as G, 16-23 as B and ignores bits 24-31.
    int32_t RGB() const;
    void RGB(int32_t value);

    int32_t R() const { return m_R; }
    int32_t G() const { return m_G; }
    int32_t b() const { return m_B; }
    void R(int32_t value);
    void G(int32_t value);
    void b(int32_t value);

    int32_t C() const { return m_C; }
    int32_t M() const { return m_M; }
    int32_t Y() const { return m_Y; }
    void C(int32_t value);
    void M(int32_t value);
    void Y(int32_t value);

    // C, M, Y := the values (each & 255), R, G, B := their complements.
    void FromCMY(int32_t cValue, int32_t mValue, int32_t yValue);

private:
    int32_t m_R = 0, m_G = 0, m_B = 0;
    int32_t m_C = 0, m_M = 0, m_Y = 0;
};

// Writing R, G, b or RGB recomputes C, M, Y, K; writing C, M, Y or K recomputes R, G, B;
// the components written are kept as written.
//
// RGB to CMYK: C' = 255 - R (M', Y' likewise), K = min(C', M', Y'); K = 255 gives
// C = M = Y = 255; otherwise C = (C' - K) * 255 / (255 - K), rounded half to even.
// CMYK to RGB: R = 255 - min(255, C * (255 - K) / 255 + K, rounded half to even).
class TAVIMO_API cCMYK {
public:
    int32_t RGB() const;
    void RGB(int32_t value);

    int32_t R() const { return m_R; }
    int32_t G() const { return m_G; }
    int32_t b() const { return m_B; }
    void R(int32_t value);
    void G(int32_t value);
    void b(int32_t value);

    int32_t C() const { return m_C; }
    int32_t M() const { return m_M; }
    int32_t Y() const { return m_Y; }
    int32_t K() const { return m_K; }
    void C(int32_t value);
    void M(int32_t value);
    void Y(int32_t value);
    void K(int32_t value);

    // R := 255 - cValue, G := 255 - mValue, B := 255 - yValue (each & 255 first), then
    // RGB to CMYK.
    void FromCMY(int32_t cValue, int32_t mValue, int32_t yValue);
    // A cCMY with this colour's RGB.
    cCMY ToCMY() const;
    // C, M, Y, K := the values (each & 255), then CMYK to RGB.
    void FromCMYK(int32_t cValue, int32_t mValue, int32_t yValue, int32_t kValue);

private:
    void rgbToCmyk();
    void cmykToRgb();

    int32_t m_R = 0, m_G = 0, m_B = 0;
    int32_t m_C = 0, m_M = 0, m_Y = 0, m_K = 0;
};

} // namespace v0
} // namespace tavimo
