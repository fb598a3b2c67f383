#include "platform/fonts/fonts.h"
#include "test_fonts.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class Fonts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fonttest::useTestFonts();
        fonts::RefreshInstalledFonts();
    }
};

TEST_F(Fonts, CatalogListsTrueTypeFamiliesOnceInAFixedOrder) {
    const auto& names = fonts::InstalledFontNames();
    ASSERT_FALSE(names.empty());
    for (const char* family : {"DejaVu Sans", "DejaVu Sans Condensed", "DejaVu Serif",
                               "Liberation Serif", "Liberation Sans"})
        EXPECT_NE(std::find(names.begin(), names.end(), family), names.end()) << family;
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "Arial"), names.end());
    fonts::RefreshInstalledFonts();
    EXPECT_EQ(fonts::InstalledFontNames(), names);
}

TEST_F(Fonts, FindIgnoresCaseAndBlanksAndKeepsTheInstalledSpelling) {
    std::string found;
    EXPECT_TRUE(fonts::FindInstalledFont("liberation serif", found));
    EXPECT_EQ(found, "Liberation Serif");
    EXPECT_TRUE(fonts::FindInstalledFont("DEJAVUSANS", found));
    EXPECT_EQ(found, "DejaVu Sans");
    EXPECT_FALSE(fonts::FindInstalledFont("No Such Font", found));
    EXPECT_FALSE(fonts::FindInstalledFont("", found));
}

// Widths read independently from the hmtx table of DejaVu Sans, scaled to 1000 units.
TEST_F(Fonts, DejaVuSansMetricsMatchItsTables) {
    fonts::FontMetrics m;
    ASSERT_TRUE(fonts::GetFontMetrics("DejaVu Sans", false, false, m));
    EXPECT_EQ(m.widths[' '], 318);
    EXPECT_EQ(m.widths['A'], 684);
    EXPECT_EQ(m.widths['W'], 989);
    EXPECT_EQ(m.widths['i'], 278);
    EXPECT_EQ(m.widths[0x80], 636); // euro sign
    EXPECT_EQ(m.widths[0xE9], 615); // e acute
    EXPECT_EQ(m.widths[0], 600);    // no glyph: .notdef
    EXPECT_EQ(m.maximumWidth, 1874);
    EXPECT_EQ(m.averageWidth, 507);
    EXPECT_EQ(m.ascent, 928);
    EXPECT_EQ(m.descent, 236);
    EXPECT_EQ(m.firstChar, 32);
    EXPECT_EQ(m.lastChar, 255);
    EXPECT_EQ(m.characterSet, fonts::CharacterSet::Ansi);
    EXPECT_FALSE(m.bold);
    EXPECT_NE(m.file.find("DejaVuSans.ttf"), std::string::npos);
}

TEST_F(Fonts, StylesPickTheirFacesWithoutChangingFamily) {
    fonts::FontMetrics bold, italic;
    ASSERT_TRUE(fonts::GetFontMetrics("Liberation Serif", true, false, bold));
    EXPECT_TRUE(bold.bold);
    EXPECT_NE(bold.file.find("LiberationSerif-Bold.ttf"), std::string::npos) << bold.file;
    ASSERT_TRUE(fonts::GetFontMetrics("Liberation Serif", false, true, italic));
    EXPECT_TRUE(italic.italic);
    EXPECT_NE(italic.file.find("LiberationSerif-Italic"), std::string::npos) << italic.file;
    fonts::FontMetrics none;
    EXPECT_FALSE(fonts::GetFontMetrics("Arial", false, false, none));
}

TEST_F(Fonts, ReadFontFileGivesTheTrueTypeProgram) {
    fonts::FontMetrics m;
    ASSERT_TRUE(fonts::GetFontMetrics("DejaVu Sans", false, false, m));
    std::string data = fonts::ReadFontFile(m.file);
    ASSERT_GT(data.size(), 12u);
    EXPECT_EQ(data.substr(0, 4), std::string("\0\1\0\0", 4));
    EXPECT_TRUE(fonts::ReadFontFile("/no/such/font.ttf").empty());
}

} // namespace
