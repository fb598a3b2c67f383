#pragma once

// The installed TrueType fonts and their metrics, in place of the GDI font list and text
// measurement. Fonts come from fontconfig (FONTCONFIG_FILE selects another configuration,
// as the tests do); metrics are read from the font tables by FreeType. Only TrueType-outline
// faces are listed. State is per thread: each thread has its own catalog and FreeType library.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fonts {

// Installed family names, each once, in a fixed order (sorted without regard to case). A
// face that carries several family names ("DejaVu Sans,DejaVu Sans Condensed") lists each.
const std::vector<std::string>& InstalledFontNames();

// Forgets the catalog of this thread, so the next call reads the installed fonts again.
void RefreshInstalledFonts();

// Finds an installed family by name: upper-cased and without blanks, the first name in list
// order that compares equal wins. Answers the installed spelling, or false.
bool FindInstalledFont(std::string_view name, std::string& installedName);

enum class CharacterSet { Ansi = 0, Symbol = 2, Other = 255 };

// Metrics in thousandths of the em (a font height of 1000 units), rounded halves to even.
struct FontMetrics {
    std::string family;  // the installed family name asked for
    std::string file;    // the font file of the face used
    int faceIndex = 0;   // index of the face in its file
    bool bold = false;   // the face used is bold
    bool italic = false; // the face used is italic or oblique
    int firstChar = 32;  // first and last Windows-1252 code the font covers
    int lastChar = 255;
    std::array<int, 256> widths{}; // advance width of every code 0..255
    int averageWidth = 0;
    int maximumWidth = 0;
    int ascent = 0;  // above the baseline, positive
    int descent = 0; // below the baseline, positive
    CharacterSet characterSet = CharacterSet::Ansi;
};

// Measures the face of an installed family with the given style. When the family has no
// face of that style its nearest face is measured (no synthesised emboldening); another
// family is never substituted. False when the family is not installed or cannot be read.
bool GetFontMetrics(std::string_view installedName, bool bold, bool italic, FontMetrics& out);

// The bytes of a font file (for embedding); empty when it cannot be read.
std::string ReadFontFile(const std::string& path);

} // namespace fonts
