#include <gtest/gtest.h>

#include "platform/activex/property_bag.h"
#include "platform/activex/variant.h"

using namespace ax;

TEST(VariantTest, IntegerConversionsRoundHalvesToEven) {
    struct Case {
        Variant in;
        int32_t expected;
    } cases[] = {{Variant(2.5), 2},   {Variant(3.5), 4},      {Variant(-2.5), -2},
                 {Variant(0.5), 0},   {Variant(1.5f), 2},     {Variant(true), -1},
                 {Variant(false), 0}, {Variant("  12 "), 12}, {Variant("&H10"), 16},
                 {Variant("2.5"), 2}, {Variant(), 0},         {Variant("True"), -1},
                 {Variant("-7"), -7}};
    for (const auto& c : cases)
        EXPECT_EQ(c.in.toLong(), c.expected) << c.in.describe();
}

TEST(VariantTest, OverflowAndTypeMismatchAreErrors) {
    auto code = [](auto f) {
        try {
            f();
        } catch (const Error& e) {
            return e.code();
        }
        return S_OK;
    };
    EXPECT_EQ(code([] { Variant(32767.5).toInteger(); }), DISP_E_OVERFLOW); // rounds to 32768
    EXPECT_EQ(code([] { Variant(40000).toInteger(); }), DISP_E_OVERFLOW);
    EXPECT_EQ(code([] { Variant(-1).toByte(); }), DISP_E_OVERFLOW);
    EXPECT_EQ(code([] { Variant(1e300).toSingle(); }), DISP_E_OVERFLOW);
    EXPECT_EQ(code([] { Variant(3e9).toLong(); }), DISP_E_OVERFLOW);
    EXPECT_EQ(code([] { Variant("abc").toDouble(); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(code([] { Variant("").toLong(); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(code([] { Variant::null().toLong(); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(code([] { Variant("maybe").toBool(); }), DISP_E_TYPEMISMATCH);
    Variant out;
    EXPECT_EQ(Variant("x").changeType(VarType::Long, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Variant("5").changeType(VarType::Integer, out), S_OK);
    EXPECT_EQ(out.type(), VarType::Integer);
}

TEST(VariantTest, BooleansAndTextWithoutLocale) {
    EXPECT_TRUE(Variant(int32_t{2}).toBool());
    EXPECT_FALSE(Variant(0.0).toBool());
    EXPECT_EQ(Variant(true).toString(), "True");
    EXPECT_EQ(Variant(0.1f).toString(), "0.1");
    EXPECT_EQ(Variant(5.9901307).toString(), "5.9901307");
    EXPECT_DOUBLE_EQ(Variant("1E3").toDouble(), 1000.0);
}

TEST(VariantTest, ByRefWritesIntoTarget) {
    Variant target(int16_t{3});
    Variant ref = Variant::byRef(target);
    EXPECT_EQ(ref.type(), VarType::Integer);
    ref.assign(Variant(int16_t{9}));
    EXPECT_EQ(target.toInteger(), 9);
    Variant copy = ref; // copies keep the link
    copy.assign(Variant("x"));
    EXPECT_EQ(target.toString(), "x");
}

TEST(PropertyBagTest, TextFormRoundTripsEveryType) {
    MemoryPropertyBag bag;
    bag.setKeepDefaults(true);
    bag.writeProperty("Zoom", Variant(2.75), Variant(1.0));
    bag.writeProperty("ScrollBars", Variant(false), Variant(true));
    bag.writeProperty("Small", Variant(int16_t{-3}), Variant(int16_t{1}));
    bag.writeProperty("Color", Variant(int32_t{0x10000}), Variant(int32_t{0}));
    bag.writeProperty("Gamma", Variant(0.3f), Variant(1.0f));
    bag.writeProperty("Name", Variant("a \"b\"\\\n\tc"), Variant(""));
    bag.writeProperty("B", Variant(uint8_t{200}), Variant(uint8_t{0}));
    std::string text = bag.toText();
    EXPECT_NE(text.find("Zoom = Double 2.75\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ScrollBars = Boolean False\n"), std::string::npos);
    std::string error;
    auto back = MemoryPropertyBag::fromText(text, &error);
    ASSERT_TRUE(back) << error;
    ASSERT_EQ(back->keys(), bag.keys());
    for (const auto& key : bag.keys())
        EXPECT_TRUE(back->get(key)->sameValue(*bag.get(key))) << key;
    EXPECT_EQ(back->toText(), text);
}

TEST(PropertyBagTest, DefaultsAreNotStoredAndKeysIgnoreCase) {
    MemoryPropertyBag bag;
    bag.writeProperty("Zoom", Variant(1.0), Variant(1.0));
    EXPECT_EQ(bag.size(), 0u);
    bag.writeProperty("Zoom", Variant(2.0), Variant(1.0));
    EXPECT_DOUBLE_EQ(bag.readProperty("ZOOM", Variant(1.0)).toDouble(), 2.0);
    EXPECT_EQ(bag.readProperty("missing", Variant(int32_t{7})).toLong(), 7);
    bag.failOn("Zoom");
    EXPECT_THROW(bag.readProperty("zoom", Variant()), Error);
}

TEST(PropertyBagTest, MalformedTextIsRefusedWithTheLine) {
    const char* bad[] = {"Zoom 2",           "Zoom = Double x",           "Zoom = Long 2.5",
                         "A = Frob 1",       "S = String \"unterminated", "B = Boolean yes",
                         "I = Integer 99999"};
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(MemoryPropertyBag::fromText(std::string("# ok\n\n") + text, &error)) << text;
        EXPECT_EQ(error.rfind("line 3:", 0), 0u) << error;
    }
}
