#include "core/cColor.h"

#include <gtest/gtest.h>

namespace {

using tavimo::cColor;

TEST(cColor, NewObjectIsTransparentBlack) {
    cColor c;
    EXPECT_EQ(c.GetValue(), 0);
}

TEST(cColor, OpaqueRedFromComponentsAndFromCOLORREFAgree) {
    cColor a, b;
    a.FromRGB(255, 0, 0);
    b.FromRGBColor(255); // COLORREF red sits in the low byte
    EXPECT_EQ(a.GetValue(), static_cast<int32_t>(0xFFFF0000u));
    EXPECT_EQ(a.GetValue(), -65536);
    EXPECT_EQ(b.GetValue(), a.GetValue());
}

TEST(cColor, MakeARGBPacksBytesWithoutTouchingTheValue) {
    cColor c;
    c.SetValue(42);
    EXPECT_EQ(cColor::MakeARGB(0, 1, 2, 3), 0x00010203);
    EXPECT_EQ(c.GetValue(), 42);
}

TEST(cColor, ChannelsComeBackFromEveryConstructor) {
    cColor c;
    c.FromARGB(0x80, 0x11, 0x22, 0x33);
    EXPECT_EQ(c.GetAlpha(), 0x80);
    EXPECT_EQ(c.GetRed(), 0x11);
    EXPECT_EQ(c.GetGreen(), 0x22);
    EXPECT_EQ(c.GetBlue(), 0x33);
    EXPECT_LT(c.GetValue(), 0); // alpha >= 128 is negative as a signed value

    c.SetFromCOLORREF(0x00332211); // blue 0x33, green 0x22, red 0x11
    EXPECT_EQ(c.GetValue(), static_cast<int32_t>(0xFF112233u));
    c.FromARGBColor(0x01020304);
    EXPECT_EQ(c.GetBlue(), 4);
}

} // namespace
