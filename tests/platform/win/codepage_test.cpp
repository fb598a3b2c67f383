#include "platform/win/codepage.h"

#include <gtest/gtest.h>

namespace {

using namespace win;

TEST(Codepage1252, KnownBytesBothWays) {
    struct Case {
        uint8_t byte;
        char32_t ch;
        const char* utf8;
    } cases[] = {
        {0x41, U'A', "A"},      {0xE9, U'é', "é"},      {0x80, U'€', "€"},
        {0x92, U'\u2019', "’"}, {0x9F, U'Ÿ', "Ÿ"},      {0xA0, 0xA0, "\u00A0"},
        {0x81, 0x81, "\u0081"}, {0x8D, 0x8D, "\u008D"}, {0x8F, 0x8F, "\u008F"},
        {0x90, 0x90, "\u0090"}, {0x9D, 0x9D, "\u009D"}, {0xFF, U'ÿ', "ÿ"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cp1252ToUnicode(c.byte), c.ch) << int(c.byte);
        EXPECT_EQ(unicodeToCp1252(c.ch), c.byte) << int(c.byte);
        std::string byte(1, static_cast<char>(c.byte));
        EXPECT_EQ(cp1252ToUtf8(byte), c.utf8) << int(c.byte);
        EXPECT_EQ(utf8ToCp1252(c.utf8), byte) << int(c.byte);
    }
}

TEST(Codepage1252, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(Codepage1252, UnmappableAndMalformedBecomeReplacement) {
    EXPECT_EQ(unicodeToCp1252(0x0100), -1);
    EXPECT_EQ(unicodeToCp1252(0x80), -1) << "U+0080 has no byte; 0x80 is the euro sign";
    EXPECT_EQ(utf8ToCp1252("a\u4E2Db"), "a?b");
    EXPECT_EQ(utf8ToCp1252("x\xC3"), "x?");              // truncated sequence
    EXPECT_EQ(utf8ToCp1252("\xC0\xA9"), "??");           // overlong form
    EXPECT_EQ(utf8ToCp1252("\xED\xA0\x80", '_'), "___"); // surrogate
    EXPECT_EQ(utf8ToCp1252("\xF0\x9F\x98\x80z"), "?z");  // outside the code page
}

TEST(Utf16, RoundTripAndBadInput) {
    std::string text = "A\u00E9\u20AC\U0001F600";
    std::u16string wide = utf8ToUtf16(text);
    EXPECT_EQ(wide, (std::u16string{u'A', 0xE9, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(utf16ToUtf8(wide), text);
    EXPECT_EQ(utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}), "a\uFFFDb");
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xDC00}), "\uFFFD");
    EXPECT_EQ(utf8ToUtf16("\xFFx"), (std::u16string{0xFFFD, u'x'}));
}

} // namespace
