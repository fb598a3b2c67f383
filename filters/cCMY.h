#pragma once

// cCMY: one colour held both as red, green, blue and as cyan, magenta, yellow, kept in
// step (C = 255 - R, M = 255 - G, Y = 255 - B). Every value written is first reduced to
// its low byte (value & 255), so 256 is stored as 0 and -1 as 255. All start at 0.
//
// Properties are pairs of members with the same name: R() reads, R(v) writes.

#include <cstdint>

namespace tavimo {

class cCMY {
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

} // namespace tavimo
