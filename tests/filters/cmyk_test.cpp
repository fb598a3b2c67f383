// CMY and CMYK colour values.

#include "filters/cCMY.h"
#include "filters/cCMYK.h"

#include <gtest/gtest.h>

#include <array>

namespace tavimo {
namespace {

std::array<int32_t, 4> cmyk(const cCMYK& v) {
    return {v.C(), v.M(), v.Y(), v.K()};
}
std::array<int32_t, 3> rgb(const cCMYK& v) {
    return {v.R(), v.G(), v.b()};
}

TEST(CMY, ComponentsStayComplementsAndWritesKeepTheLowByte) {
    cCMY c;
    EXPECT_EQ(c.RGB(), 0);
    c.R(300);
    EXPECT_EQ(c.R(), 44);
    EXPECT_EQ(c.C(), 211);
    c.Y(-1);
    EXPECT_EQ(c.b(), 0);
    c.RGB(0x7F102030); // bits 24-31 ignored
    EXPECT_EQ(c.R(), 0x30);
    EXPECT_EQ(c.G(), 0x20);
    EXPECT_EQ(c.b(), 0x10);
    EXPECT_EQ(c.M(), 255 - 0x20);
    EXPECT_EQ(c.RGB(), 0x102030);
    c.FromCMY(256 + 5, 10, 20);
    EXPECT_EQ(c.C(), 5);
    EXPECT_EQ(c.R(), 250);
    EXPECT_EQ(c.G(), 245);
    EXPECT_EQ(c.b(), 235);
}

TEST(CMYK, ConversionsBothWays) {
    cCMYK v;
    v.RGB(0);
    EXPECT_EQ(cmyk(v), (std::array<int32_t, 4>{255, 255, 255, 255}));
    v.RGB(16777215);
    EXPECT_EQ(cmyk(v), (std::array<int32_t, 4>{0, 0, 0, 0}));
    v.RGB(255 + 128 * 256);
    EXPECT_EQ(cmyk(v), (std::array<int32_t, 4>{0, 127, 255, 0}));
    v.RGB(10 + 20 * 256 + 30 * 65536);
    EXPECT_EQ(cmyk(v), (std::array<int32_t, 4>{170, 85, 0, 225}));
    v.FromCMYK(170, 85, 0, 225);
    EXPECT_EQ(rgb(v), (std::array<int32_t, 3>{10, 20, 30}));
    v.FromCMYK(0, 0, 0, 255);
    EXPECT_EQ(rgb(v), (std::array<int32_t, 3>{0, 0, 0}));
    v.FromCMYK(255, 0, 0, 0);
    EXPECT_EQ(rgb(v), (std::array<int32_t, 3>{0, 255, 255}));
    // Writing one component keeps it as written and recomputes the other group.
    v.K(128);
    EXPECT_EQ(v.K(), 128);
    EXPECT_EQ(rgb(v), (std::array<int32_t, 3>{0, 127, 127}));
    v.G(300);
    EXPECT_EQ(v.G(), 44);
    v.FromCMY(245, 235, 225);
    EXPECT_EQ(rgb(v), (std::array<int32_t, 3>{10, 20, 30}));
    cCMY c = v.ToCMY();
    EXPECT_EQ(c.C(), 245);
    EXPECT_EQ(c.M(), 235);
    EXPECT_EQ(c.Y(), 225);
}

} // namespace
} // namespace tavimo
