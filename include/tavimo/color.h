#pragma once

// cColor: one 32-bit ARGB colour.

#include <tavimo/export.h>

#include <cstdint>

namespace tavimo {
inline namespace v0 {

// One 32-bit ARGB colour in the layout of GDI+ colours and 32bppARGB pixels: blue in the
// lowest byte, then green, red, and alpha in the highest. The value is signed, as the
// automation interface carries it: an alpha of 128 or more gives a negative number. A new
// object holds 0 (transparent black). A plain value: copy it freely, on any thread.
class cColor {
public:
    cColor() = default;
    ~cColor() { m_value = 0; }
    cColor(const cColor&) = default;
    cColor& operator=(const cColor&) = default;

    void FromARGB(uint8_t Alpha, uint8_t Red, uint8_t Green, uint8_t Blue) {
        m_value = MakeARGB(Alpha, Red, Green, Blue);
    }
    void FromARGBColor(int32_t argb) { m_value = argb; }
    // An opaque colour (alpha 255).
    void FromRGB(uint8_t Red, uint8_t Green, uint8_t Blue) {
        m_value = MakeARGB(255, Red, Green, Blue);
    }
    // A Windows COLORREF (0x00BBGGRR) as an opaque colour.
    void FromRGBColor(int32_t lrgb) { SetFromCOLORREF(lrgb); }

    uint8_t GetAlpha() const { return static_cast<uint8_t>(static_cast<uint32_t>(m_value) >> 24); }
    uint8_t GetRed() const { return static_cast<uint8_t>(static_cast<uint32_t>(m_value) >> 16); }
    uint8_t GetGreen() const { return static_cast<uint8_t>(static_cast<uint32_t>(m_value) >> 8); }
    uint8_t GetBlue() const { return static_cast<uint8_t>(m_value); }
    int32_t GetValue() const { return m_value; }

    // Builds a value from its four bytes; the object's own value is left as it is.
    static int32_t MakeARGB(uint8_t Alpha, uint8_t Red, uint8_t Green, uint8_t Blue) {
        return static_cast<int32_t>(uint32_t{Blue} | uint32_t{Green} << 8 | uint32_t{Red} << 16 |
                                    uint32_t{Alpha} << 24);
    }

    void SetFromCOLORREF(int32_t lrgb) {
        uint32_t v = static_cast<uint32_t>(lrgb);
        m_value = MakeARGB(255, v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
    }
    void SetValue(int32_t argb) { m_value = argb; }

private:
    int32_t m_value = 0;
};

} // namespace v0
} // namespace tavimo
