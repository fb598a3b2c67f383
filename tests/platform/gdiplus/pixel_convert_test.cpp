#include "platform/gdiplus/pixel_convert.h"
#include "platform/gdiplus/pixel_format.h"

#include "format_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace gp;

namespace {

std::vector<uint32_t> randomArgb(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> pixels(n);
    for (uint32_t& p : pixels)
        p = rng();
    // Make sure the extremes of alpha occur.
    if (n > 2) {
        pixels[0] |= 0xFF000000u;
        pixels[1] &= 0x00FFFFFFu;
    }
    return pixels;
}

// Pixels in `format` that 32bppARGB can represent: random colours written in the format.
std::vector<uint8_t> canonicalRow(PixelFormat format, int32_t width, uint32_t seed) {
    const Palette palette = defaultPalette(format);
    std::vector<uint32_t> argb = randomArgb(static_cast<size_t>(width), seed);
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes(width, format)));
    convertRect(reinterpret_cast<const uint8_t*>(argb.data()), 0, PixelFormat32bppARGB, nullptr, 0,
                row.data(), 0, format, &palette, 0, width, 1);
    return row;
}

class PixelConvertTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { test::ForceGenericPixelPaths(GetParam()); }
    void TearDown() override { test::ForceGenericPixelPaths(false); }
};

TEST_P(PixelConvertTest, EveryFormatSurvivesARoundTripThroughArgb) {
    const int32_t width = 1001; // odd, and longer than one internal chunk
    for (PixelFormat format : kAllFormats) {
        const Palette palette = defaultPalette(format);
        std::vector<uint8_t> original = canonicalRow(format, width, 7);
        std::vector<uint32_t> argb(width);
        std::vector<uint8_t> back(original.size(), 0);
        convertRect(original.data(), 0, format, &palette, 0,
                    reinterpret_cast<uint8_t*>(argb.data()), 0, PixelFormat32bppARGB, nullptr, 0,
                    width, 1);
        convertRect(reinterpret_cast<const uint8_t*>(argb.data()), 0, PixelFormat32bppARGB, nullptr,
                    0, back.data(), 0, format, &palette, 0, width, 1);
        EXPECT_EQ(back, original) << std::hex << format;
    }
}

TEST_P(PixelConvertTest, KnownValuesPerFormat) {
    struct Case {
        PixelFormat format;
        ARGB colour;
        std::vector<uint8_t> bytes; // what the colour becomes
        ARGB readBack;
    };
    const std::vector<Case> cases = {
        {PixelFormat24bppRGB, 0x80102030u, {0x30, 0x20, 0x10}, 0xFF102030u},
        {PixelFormat32bppRGB, 0x00102030u, {0x30, 0x20, 0x10, 0xFF}, 0xFF102030u},
        {PixelFormat32bppARGB, 0x80102030u, {0x30, 0x20, 0x10, 0x80}, 0x80102030u},
        {PixelFormat32bppPARGB, 0x80FF4000u, {0x00, 0x20, 0x80, 0x80}, 0x80FF4000u},
        {PixelFormat32bppPARGB, 0x00FFFFFFu, {0, 0, 0, 0}, 0x00000000u},
        {PixelFormat16bppRGB555, 0xFFFF0000u, {0x00, 0x7C}, 0xFFFF0000u},
        {PixelFormat16bppRGB565, 0xFF00FF00u, {0xE0, 0x07}, 0xFF00FF00u},
        {PixelFormat16bppARGB1555, 0x7F0000FFu, {0x1F, 0x00}, 0x000000FFu},
        {PixelFormat16bppARGB1555, 0x800000FFu, {0x1F, 0x80}, 0xFF0000FFu},
        {PixelFormat16bppGrayScale, 0xFF808080u, {0x80, 0x80}, 0xFF808080u},
        {PixelFormat16bppGrayScale, 0xFFFF0000u, {0x4C, 0x4C}, 0xFF4C4C4Cu},
        {PixelFormat48bppRGB, 0x12010203u, {0x03, 0x03, 0x02, 0x02, 0x01, 0x01}, 0xFF010203u},
        {PixelFormat64bppARGB, 0x80FF0000u, {0, 0, 0, 0, 0xFF, 0xFF, 0x80, 0x80}, 0x80FF0000u},
        {PixelFormat64bppPARGB, 0x80FF0000u, {0, 0, 0, 0, 0x80, 0x80, 0x80, 0x80}, 0x80FF0000u},
        {PixelFormat1bppIndexed, 0xFFC0C0C0u, {0x80}, 0xFFFFFFFFu},
        {PixelFormat4bppIndexed, 0xFFFF0101u, {0x90}, 0xFFFF0000u},
        {PixelFormat8bppIndexed, 0x00330066u, {1 * 36 + 0 * 6 + 2}, 0xFF330066u},
    };
    for (const Case& c : cases) {
        const Palette palette = defaultPalette(c.format);
        std::vector<uint8_t> bytes(c.bytes.size(), 0);
        pixelFromArgb(c.colour, bytes.data(), 0, c.format, &palette);
        EXPECT_EQ(bytes, c.bytes) << std::hex << c.format << " " << c.colour;
        EXPECT_EQ(pixelToArgb(bytes.data(), 0, c.format, &palette), c.readBack)
            << std::hex << c.format << " " << c.colour;
    }
}

TEST_P(PixelConvertTest, NearestPaletteEntryFirstMinimumWinsAndIgnoresAlpha) {
    Palette palette;
    palette.entries = {0xFF000000u, 0xFF0A0A0Au, 0x000A0A0Au, 0xFF141414u, 0xFF0A0A0Au};
    PaletteMapper mapper(palette);
    EXPECT_EQ(mapper.map(0xFF0A0A0Au), 1); // exact, first of three equal entries
    EXPECT_EQ(mapper.map(0x000A0A0Au), 1); // alpha ignored
    EXPECT_EQ(mapper.map(0xFF050505u), 0); // tie between 0 and 1: the first wins
    EXPECT_EQ(mapper.map(0xFF0F0F0Fu), 1); // tie between 1 and 3
    EXPECT_EQ(mapper.map(0xFFFFFFFFu), 3);
    EXPECT_EQ(mapper.map(0xFF0F0F0Fu), 1); // cached answer is the same
}

TEST(PaletteMapperTest, AgreesWithAFullSearchOnRandomPalettes) {
    std::mt19937 rng(99);
    for (int round = 0; round < 6; ++round) {
        Palette palette;
        const size_t size = round == 0 ? 2 : (round == 1 ? 16 : 256);
        for (size_t i = 0; i < size; ++i)
            palette.entries.push_back(rng() | 0xFF000000u);
        // Duplicates and near-duplicates check the first-minimum rule inside the cells.
        if (size > 8) {
            palette.entries[5] = palette.entries[3];
            palette.entries[7] = palette.entries[6] ^ 1;
        }
        PaletteMapper mapper(palette);
        for (int k = 0; k < 20000; ++k) {
            const uint32_t colour =
                round == 5 ? (palette.entries[k % size] ^ (rng() & 0x070707)) : rng();
            uint32_t best = UINT32_MAX;
            uint8_t expected = 0;
            for (size_t i = 0; i < size; ++i) {
                const uint32_t e = palette.entries[i];
                const int dr = int(e >> 16 & 255) - int(colour >> 16 & 255);
                const int dg = int(e >> 8 & 255) - int(colour >> 8 & 255);
                const int db = int(e & 255) - int(colour & 255);
                const uint32_t d = uint32_t(dr * dr + dg * dg + db * db);
                if (d < best)
                    best = d, expected = static_cast<uint8_t>(i);
            }
            ASSERT_EQ(mapper.map(colour), expected) << std::hex << colour << " round " << round;
        }
    }
}

TEST_P(PixelConvertTest, IndexPastThePaletteReadsOpaqueBlack) {
    Palette palette;
    palette.entries = {0xFFFFFFFFu};
    const uint8_t row[] = {0, 5};
    EXPECT_EQ(pixelToArgb(row, 0, PixelFormat8bppIndexed, &palette), 0xFFFFFFFFu);
    EXPECT_EQ(pixelToArgb(row, 1, PixelFormat8bppIndexed, &palette), 0xFF000000u);
}

TEST_P(PixelConvertTest, SubByteTargetsKeepBitsOutsideTheSpan) {
    for (PixelFormat format : {PixelFormat1bppIndexed, PixelFormat4bppIndexed}) {
        const Palette palette = defaultPalette(format);
        const int bpp = bitsPerPixel(format);
        for (int32_t x0 = 0; x0 < 9; ++x0) {
            for (int32_t n : {1, 2, 3, 7, 8, 9, 17}) {
                std::vector<uint8_t> dst(16, 0xA5);
                const std::vector<uint8_t> before = dst;
                std::vector<uint32_t> white(static_cast<size_t>(n), 0xFF000000u);
                convertRect(reinterpret_cast<const uint8_t*>(white.data()), 0, PixelFormat32bppARGB,
                            nullptr, 0, dst.data(), 0, format, &palette, x0, n, 1);
                const int32_t total = static_cast<int32_t>(dst.size()) * 8 / bpp;
                for (int32_t x = 0; x < total; ++x) {
                    const uint32_t got = pixelToArgb(dst.data(), x, format, &palette);
                    const uint32_t was = pixelToArgb(before.data(), x, format, &palette);
                    if (x >= x0 && x < x0 + n)
                        EXPECT_EQ(got, 0xFF000000u) << bpp << " " << x0 << " " << n << " " << x;
                    else
                        EXPECT_EQ(got, was) << bpp << " " << x0 << " " << n << " " << x;
                }
            }
        }
    }
}

TEST_P(PixelConvertTest, SameFormatCopiesShiftBitsAcrossBytes) {
    // 1 bpp source 10110011 01...: copy 5 pixels from x=3 to x=6 of another row.
    const uint8_t src[] = {0xB3, 0x5A};
    uint8_t dst[] = {0x00, 0x00};
    convertRect(src, 0, PixelFormat1bppIndexed, nullptr, 3, dst, 0, PixelFormat1bppIndexed, nullptr,
                6, 5, 1);
    // source pixels 3..7 = 1,0,0,1,1 -> destination pixels 6..10
    EXPECT_EQ(dst[0], 0x02);
    EXPECT_EQ(dst[1], 0x60);
    const uint8_t src4[] = {0x12, 0x34, 0x56};
    uint8_t dst4[] = {0xFF, 0xFF, 0xFF};
    convertRect(src4, 0, PixelFormat4bppIndexed, nullptr, 1, dst4, 0, PixelFormat4bppIndexed,
                nullptr, 0, 4, 1);
    EXPECT_EQ(dst4[0], 0x23);
    EXPECT_EQ(dst4[1], 0x45);
    EXPECT_EQ(dst4[2], 0xFF);
}

INSTANTIATE_TEST_SUITE_P(FastAndGeneric, PixelConvertTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Generic" : "Fast"; });

TEST(PixelConvertPaths, FastPathsAgreeWithTheGenericPath) {
    const int32_t width = 77;
    for (PixelFormat src : kAllFormats) {
        const Palette srcPalette = defaultPalette(src);
        const std::vector<uint8_t> row = canonicalRow(src, width, 11);
        for (PixelFormat dst : kAllFormats) {
            const Palette dstPalette = defaultPalette(dst);
            std::vector<uint8_t> fast(static_cast<size_t>(rowBytes(width, dst)), 0);
            std::vector<uint8_t> generic = fast;
            test::ForceGenericPixelPaths(false);
            convertRect(row.data(), 0, src, &srcPalette, 0, fast.data(), 0, dst, &dstPalette, 0,
                        width, 1);
            test::ForceGenericPixelPaths(true);
            convertRect(row.data(), 0, src, &srcPalette, 0, generic.data(), 0, dst, &dstPalette, 0,
                        width, 1);
            test::ForceGenericPixelPaths(false);
            EXPECT_EQ(fast, generic) << std::hex << src << " -> " << dst;
        }
    }
}

TEST(PixelConvertPaths, PremultiplyIsExactForEveryAlphaAndChannel) {
    std::vector<uint32_t> straight;
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t c = 0; c < 256; ++c)
            straight.push_back(a << 24 | c << 16 | (255 - c) << 8 | c);
    std::vector<uint32_t> premultiplied(straight.size());
    convertRect(reinterpret_cast<const uint8_t*>(straight.data()), 0, PixelFormat32bppARGB, nullptr,
                0, reinterpret_cast<uint8_t*>(premultiplied.data()), 0, PixelFormat32bppPARGB,
                nullptr, 0, static_cast<int32_t>(straight.size()), 1);
    for (size_t i = 0; i < straight.size(); ++i) {
        const uint32_t a = straight[i] >> 24, c = (straight[i] >> 16) & 255;
        const uint32_t expected = a << 24 | (c * a + 127) / 255 << 16 |
                                  ((255 - c) * a + 127) / 255 << 8 | (c * a + 127) / 255;
        ASSERT_EQ(premultiplied[i], expected) << a << " " << c;
    }
}

TEST(PixelConvertPaths, PremultiplyRoundsAndUnpremultiplyInvertsIt) {
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t c = 0; c <= a; ++c) {
            const uint8_t premultiplied[4] = {uint8_t(c), uint8_t(c), uint8_t(c), uint8_t(a)};
            const ARGB straight = pixelToArgb(premultiplied, 0, PixelFormat32bppPARGB, nullptr);
            uint8_t back[4] = {};
            pixelFromArgb(straight, back, 0, PixelFormat32bppPARGB, nullptr);
            ASSERT_EQ(std::memcmp(back, premultiplied, 4), 0) << a << " " << c;
        }
    }
}

} // namespace
