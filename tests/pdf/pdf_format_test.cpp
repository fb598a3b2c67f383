#include "pdf/pdf_format.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <locale>
#include <random>

namespace {

using namespace tavimo::pdf;

// A comma-decimal locale, when the system has one, catches any printf or stream leak.
class CommaLocale {
public:
    CommaLocale() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
            if (std::setlocale(LC_ALL, name)) {
                active = true;
                break;
            }
        }
    }
    ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
    bool active = false;
};

TEST(FormatNumber, RoundsHalvesToEvenAndWritesTheShortestText) {
    CommaLocale comma;
    struct Case {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {0.5, 3, "0.5"},
        {-12.3456, 3, "-12.346"},
        {3.0004, 3, "3"},
        {0, 3, "0"},
        {-0.0, 3, "0"},
        {-0.0004, 3, "0"},
        {0.0625, 3, "0.062"},
        {0.1875, 3, "0.188"},
        {double(595.2f), 3, "595.2"},
        {575.2, 3, "575.2"},
        {1190.5, 3, "1190.5"},
        {1e9, 3, "1000000000"},
        {2.5, 0, "2"},
        {3.5, 0, "4"},
        {100, 3, "100"},
        {-255.0 / 255, 3, "-1"},
        {128.0 / 255, 3, "0.502"},
    };
    for (auto c : cases)
        EXPECT_EQ(FormatNumber(c.value, c.decimals), c.text) << c.value;
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::quiet_NaN(), 3), "0");
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity(), 3), "0");
}

TEST(FormatNumber, AgreesWithTheShortestTextOfTheRoundedValue) {
    std::mt19937 generator(7);
    std::uniform_real_distribution<double> values(-2e6, 2e6);
    for (int i = 0; i < 20000; ++i) {
        double v = i < 10000 ? values(generator) : values(generator) / 1e5;
        double rounded = std::nearbyint(v * 1000) / 1000;
        char buffer[64];
        auto r = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed);
        std::string expected = rounded == 0 ? "0" : std::string(buffer, r.ptr);
        ASSERT_EQ(FormatNumber(v, 3), expected) << v;
    }
    EXPECT_EQ(FormatNumber(1e300, 3).size(), 301u);
}

TEST(FormatFixed, AlwaysWritesTheDecimalsAndNeverMinusZero) {
    CommaLocale comma;
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {100, "100.00"},  {10, "10.00"},     {0, "0.00"},
        {-0.001, "0.00"}, {10.125, "10.12"}, {10.375, "10.38"},
        {-3.5, "-3.50"},  {0.07, "0.07"},    {1234567.891, "1234567.89"},
    };
    for (auto c : cases)
        EXPECT_EQ(FormatFixed(c.value, 2), c.text) << c.value;
}

TEST(Escape, TextEscapesLineEndsAndStringOnlyDelimiters) {
    EXPECT_EQ(EscapeText("a(b)\\c\r\n"), "a\\(b\\)\\\\c\\r\\n");
    EXPECT_EQ(EscapeString("a(b)\\c\r\n"), "a\\(b\\)\\\\c\r\n");
    EXPECT_EQ(EscapeName("My Form(1)/#"), "My#20Form#281#29#2F#23");
    EXPECT_EQ(XmlEscape("A&B <c> \"d\" 'e'"), "A&amp;B &lt;c&gt; &quot;d&quot; &apos;e&apos;");
}

TEST(Ansi, Windows1252RoundTripOfEveryByte) {
    for (int b = 0; b < 256; ++b) {
        std::string ansi(1, char(b));
        EXPECT_EQ(ToAnsi(AnsiToUtf8(ansi)), ansi) << b;
    }
    EXPECT_EQ(ToAnsi("\xE2\x82\xAC \xC3\xA9"), "\x80 \xE9");
    EXPECT_EQ(ToAnsi("\xE4\xB8\xAD"), "?"); // not in the code page
    EXPECT_EQ(ToAnsi("a\xFF"
                     "b\xC3"),
              "a?b?");                   // not UTF-8
    EXPECT_EQ(ToAnsi("\xC0\xAF"), "??"); // overlong
}

} // namespace
