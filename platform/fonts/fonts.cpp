#include "platform/fonts/fonts.h"

#include "platform/win/codepage.h"
#include "platform/win/vb_number.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

namespace fonts {

namespace {

std::uint32_t codePoint(int code) {
    return static_cast<std::uint32_t>(win::cp1252ToUnicode(static_cast<std::uint8_t>(code)));
}

std::string key(std::string_view name) {
    std::string k;
    for (char c : name) {
        if (c == ' ')
            continue;
        k += (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    }
    return k;
}

bool lessNoCase(const std::string& a, const std::string& b) {
    std::string ka = key(a), kb = key(b);
    if (ka != kb)
        return ka < kb;
    return a < b;
}

struct FcConfigDeleter {
    void operator()(FcConfig* c) const { FcConfigDestroy(c); }
};

// Per-thread state: the fontconfig configuration, the catalog and the FreeType library.
struct ThreadFonts {
    std::unique_ptr<FcConfig, FcConfigDeleter> config;
    std::optional<std::vector<std::string>> names;
    FT_Library library = nullptr;

    ~ThreadFonts() {
        if (library)
            FT_Done_FreeType(library);
    }

    FcConfig* fc() {
        if (!config)
            config.reset(FcInitLoadConfigAndFonts());
        return config.get();
    }

    FT_Library ft() {
        if (!library && FT_Init_FreeType(&library) != 0)
            library = nullptr;
        return library;
    }
};

ThreadFonts& state() {
    thread_local ThreadFonts fonts;
    return fonts;
}

std::vector<std::string> listFamilies() {
    std::vector<std::string> names;
    FcConfig* config = state().fc();
    if (!config)
        return names;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>("TrueType"));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_FILE, nullptr);
    FcFontSet* set = FcFontList(config, pattern, objects);
    if (set) {
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8* family = nullptr;
            for (int n = 0;
                 FcPatternGetString(set->fonts[i], FC_FAMILY, n, &family) == FcResultMatch; ++n)
                names.emplace_back(reinterpret_cast<const char*>(family));
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    std::sort(names.begin(), names.end(), lessNoCase);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

bool hasFamily(FcPattern* font, std::string_view family) {
    FcChar8* value = nullptr;
    for (int n = 0; FcPatternGetString(font, FC_FAMILY, n, &value) == FcResultMatch; ++n)
        if (family == reinterpret_cast<const char*>(value))
            return true;
    return false;
}

int roundHalfEven(double v) {
    return int(std::nearbyint(v));
}

} // namespace

const std::vector<std::string>& InstalledFontNames() {
    ThreadFonts& fonts = state();
    if (!fonts.names)
        fonts.names = listFamilies();
    return *fonts.names;
}

void RefreshInstalledFonts() {
    ThreadFonts& fonts = state();
    fonts.names.reset();
    fonts.config.reset();
}

bool FindInstalledFont(std::string_view name, std::string& installedName) {
    std::string wanted = key(name);
    for (const auto& installed : InstalledFontNames()) {
        if (key(installed) == wanted) {
            installedName = installed;
            return true;
        }
    }
    return false;
}

bool GetFontMetrics(std::string_view installedName, bool bold, bool italic, FontMetrics& out) {
    ThreadFonts& fonts = state();
    FcConfig* config = fonts.fc();
    FT_Library library = fonts.ft();
    if (!config || !library)
        return false;

    std::string family(installedName);
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddString(pattern, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>("TrueType"));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    FcChar8* file = nullptr;
    int index = 0;
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    // fontconfig falls back to any font it has; only the family asked for will do.
    bool ok =
        hasFamily(match, family) && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    if (ok) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        out.file = reinterpret_cast<const char*>(file);
    }
    FcPatternDestroy(match);
    if (!ok)
        return false;

    FT_Face face = nullptr;
    if (FT_New_Face(library, out.file.c_str(), index, &face) != 0)
        return false;
    struct FaceCloser {
        FT_Face f;
        ~FaceCloser() { FT_Done_Face(f); }
    } closer{face};

    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    if (!FT_IS_SFNT(face) || !hhea || face->units_per_EM == 0)
        return false;
    double scale = 1000.0 / face->units_per_EM;
    auto scaled = [scale](double v) { return roundHalfEven(v * scale); };

    out.family = family;
    out.faceIndex = index;
    out.bold = weight >= FC_WEIGHT_DEMIBOLD;
    out.italic = slant != FC_SLANT_ROMAN;
    out.maximumWidth = scaled(hhea->advance_Width_Max);
    if (os2 && os2->version != 0xFFFF) {
        out.ascent = scaled(os2->usWinAscent);
        out.descent = scaled(os2->usWinDescent);
        out.averageWidth = scaled(os2->xAvgCharWidth);
    } else {
        out.ascent = scaled(hhea->Ascender);
        out.descent = scaled(-hhea->Descender);
        out.averageWidth = out.maximumWidth / 2;
    }

    // A Microsoft symbol cmap marks a symbol font, whose codes address U+F000 + code.
    bool symbol = false;
    for (int i = 0; i < face->num_charmaps; ++i) {
        FT_CharMap map = face->charmaps[i];
        if (map->platform_id == 3 && map->encoding_id == 0) {
            symbol = true;
            FT_Set_Charmap(face, map);
        }
    }
    if (!symbol)
        FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    if (symbol) {
        out.characterSet = CharacterSet::Symbol;
        out.firstChar = os2 ? (os2->usFirstCharIndex & 0xFF) : 32;
        out.lastChar = os2 ? (os2->usLastCharIndex & 0xFF) : 255;
        if (out.lastChar < out.firstChar)
            out.lastChar = 255;
    } else {
        bool latin1 = !os2 || (os2->ulCodePageRange1 & 1) || os2->version == 0;
        out.characterSet = latin1 ? CharacterSet::Ansi : CharacterSet::Other;
        out.firstChar = 32;
        out.lastChar = 255;
    }

    for (int code = 0; code < 256; ++code) {
        std::uint32_t cp = symbol ? 0xF000 + std::uint32_t(code) : codePoint(code);
        FT_UInt glyph = FT_Get_Char_Index(face, cp);
        FT_Fixed advance = 0;
        if (FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &advance) != 0)
            advance = 0;
        out.widths[std::size_t(code)] = scaled(double(advance));
    }
    return true;
}

std::string ReadFontFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace fonts
