#include "platform/win/vb_number.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace {

using namespace win;

TEST(VbRounding, HalvesGoToEven) {
    struct Case {
        double in;
        double out;
    } cases[] = {
        {2.5, 2},
        {3.5, 4},
        {-2.5, -2},
        {-3.5, -4},
        {0.5, 0},
        {1.5, 2},
        {-0.5, -0},
        {2.4999999, 2},
        {2.5000001, 3},
        {-1.2, -1},
        {4503599627370497.0, 4503599627370497.0}, // 2^52 + 1 is already whole
    };
    for (const auto& c : cases)
        EXPECT_EQ(roundHalfEven(c.in), c.out) << c.in;
    EXPECT_EQ(roundHalfEven(1.0025, 3), 1.002);
    EXPECT_EQ(roundHalfEven(99.9998, 0), 100.0);
    EXPECT_EQ(roundHalfEven(2.54, 1), 2.5);
}

TEST(VbRounding, Int32RangeAndOverflow) {
    struct Case {
        double in;
        bool ok;
        int32_t out;
    } cases[] = {
        {2147483647.0, true, 2147483647},
        {2147483647.4, true, 2147483647},
        {2147483647.5, false, 0},
        {2147483648.0, false, 0},
        {-2147483648.0, true, INT32_MIN},
        {-2147483648.5, true, INT32_MIN},
        {-2147483649.0, false, 0},
        {std::nan(""), false, 0},
        {std::numeric_limits<double>::infinity(), false, 0},
        {99999999.5, true, 100000000},
    };
    for (const auto& c : cases) {
        int32_t out = 12345;
        EXPECT_EQ(tryToInt32(c.in, out), c.ok) << c.in;
        EXPECT_EQ(out, c.ok ? c.out : 12345) << c.in;
        if (!c.ok) {
            try {
                toInt32(c.in);
                ADD_FAILURE() << c.in;
            } catch (const VbError& e) {
                EXPECT_EQ(e.number(), kVbOverflow);
                EXPECT_EQ(e.description(), "Overflow");
            }
        }
    }
}

TEST(VbRounding, Int16AndByteRanges) {
    EXPECT_EQ(toInt16(32767.4), 32767);
    EXPECT_EQ(toInt16(-32768.5), -32768);
    EXPECT_THROW(toInt16(32767.5), VbError);
    EXPECT_THROW(toInt16(-32769), VbError);
    EXPECT_EQ(toByte(254.5), 254);
    EXPECT_EQ(toByte(-0.5), 0);
    EXPECT_THROW(toByte(255.5), VbError);
    EXPECT_THROW(toByte(-0.6), VbError);
}

TEST(VbStr, NumberText) {
    struct Case {
        double in;
        const char* out;
    } cases[] = {
        {0.004, " .004"},
        {72, " 72"},
        {-1.5, "-1.5"},
        {0, " 0"},
        {-0.0, " 0"},
        {-0.25, "-.25"},
        {1.0 / 3.0, " .333333333333333"},
        {2.0 / 3.0, " .666666666666667"},
        {0.1 + 0.2, " .3"},
        {123456789.123456789, " 123456789.123457"},
        {123456789012345.0, " 123456789012345"},
        {999999999999999.0, " 999999999999999"},
        {999999999999999.9, " 1E+15"},
        {1e15, " 1E+15"},
        {-1.5e16, "-1.5E+16"},
        {1e100, " 1E+100"},
        {0.0001, " .0001"},
        {0.00001, " 1E-05"},
        {-1.5e-7, "-1.5E-07"},
        {2147483647, " 2147483647"},
        {-2147483648.0, "-2147483648"},
        {100, " 100"},
        {1.25e-300, " 1.25E-300"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Str(c.in), c.out) << c.out;
    EXPECT_EQ(Str(std::nan("")), " NaN");
    EXPECT_EQ(Str(-std::numeric_limits<double>::infinity()), "-Inf");
}

TEST(VbStr, SingleTextUsesSevenDigits) {
    struct Case {
        float in;
        const char* out;
    } cases[] = {
        {0.1f, " .1"},
        {2.54f, " 2.54"},
        {1234567.0f, " 1234567"},
        {1e7f, " 1E+07"},
        {-1.0f / 3.0f, "-.3333333"},
        {1e-5f, " 1E-05"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrSingle(c.in), c.out) << c.out;
}

TEST(VbStr, IgnoresTheLocale) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr &&
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_EQ(Str(-1.5), "-1.5");
    EXPECT_EQ(Val("2.75"), 2.75);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(VbVal, LeadingNumber) {
    struct Case {
        const char* in;
        double out;
    } cases[] = {
        {"12abc", 12},      {"abc", 0},         {"", 0},
        {"  -3.5", -3.5},   {"+7", 7},          {"1 2 3", 123},
        {"\t4\n2", 42},     {".5", 0.5},        {"-.25x", -0.25},
        {"1.2.3", 1.2},     {"1e3", 1000},      {"2D2", 200},
        {"1.5E-2", 0.015},  {"3e", 3},          {"3e+", 3},
        {"-", 0},           {"&HFF", 255},      {"&hffff", -1},
        {"&H8000", -32768}, {"&H10000", 65536}, {"&HFFFFFFFF", -1},
        {"&O17", 15},       {"&Hz", 0},         {"&X1", 0},
        {"1e-400", 0},      {"72/1", 72},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Val(c.in), c.out) << c.in;
    EXPECT_THROW(Val("1e400"), VbError);
}

TEST(VbCountDecimals, SinglePrecisionRule) {
    struct Case {
        float in;
        int out;
    } cases[] = {
        {72.0f, 0},    {0.5f, 1}, {0.1f, 1},    {0.004f, 3},  {2.54f, 2},
        {-300.25f, 2}, {0.0f, 0}, {1e-10f, 10}, {96.012f, 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CountDecimals(c.in), c.out) << c.in;
    EXPECT_THROW(CountDecimals(std::nanf("")), VbError);
}

} // namespace
