// Files written by libpng and libtiff directly, in every colour type, depth and layout the
// decoders must take, read by our decoders and by ImageMagick and compared pixel by pixel.

#include "platform/gdiplus/codec_registry.h"
#include "tests/platform/gdiplus/codec_test_util.h"

#include <gtest/gtest.h>

#include <png.h>
#include <tiffio.h>

namespace gp {
namespace {

struct PngCase {
    int colorType;
    int depth;
    bool trns;
    PixelFormat format;
};

const PngCase kPngCases[] = {
    {PNG_COLOR_TYPE_GRAY, 1, false, PixelFormat1bppIndexed},
    {PNG_COLOR_TYPE_GRAY, 2, false, PixelFormat4bppIndexed},
    {PNG_COLOR_TYPE_GRAY, 4, false, PixelFormat4bppIndexed},
    {PNG_COLOR_TYPE_GRAY, 8, false, PixelFormat8bppIndexed},
    {PNG_COLOR_TYPE_GRAY, 16, false, PixelFormat48bppRGB},
    {PNG_COLOR_TYPE_GRAY, 2, true, PixelFormat32bppARGB},
    {PNG_COLOR_TYPE_GRAY, 8, true, PixelFormat32bppARGB},
    {PNG_COLOR_TYPE_GRAY, 16, true, PixelFormat64bppARGB},
    {PNG_COLOR_TYPE_RGB, 8, false, PixelFormat24bppRGB},
    {PNG_COLOR_TYPE_RGB, 16, false, PixelFormat48bppRGB},
    {PNG_COLOR_TYPE_RGB, 8, true, PixelFormat32bppARGB},
    {PNG_COLOR_TYPE_RGB, 16, true, PixelFormat64bppARGB},
    {PNG_COLOR_TYPE_PALETTE, 1, false, PixelFormat1bppIndexed},
    {PNG_COLOR_TYPE_PALETTE, 2, false, PixelFormat4bppIndexed},
    {PNG_COLOR_TYPE_PALETTE, 4, true, PixelFormat4bppIndexed},
    {PNG_COLOR_TYPE_PALETTE, 8, true, PixelFormat8bppIndexed},
    {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, PixelFormat32bppARGB},
    {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, PixelFormat64bppARGB},
    {PNG_COLOR_TYPE_RGB_ALPHA, 8, false, PixelFormat32bppARGB},
    {PNG_COLOR_TYPE_RGB_ALPHA, 16, false, PixelFormat64bppARGB},
};

TEST(PngFromLibpng, EveryColourTypeAndDepthPlainAndInterlaced) {
    for (const PngCase& c : kPngCases) {
        for (bool interlace : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "type " << c.colorType << " depth " << c.depth
                                              << " trns " << c.trns << " adam7 " << interlace);
            std::vector<uint8_t> file =
                test::libpngFixture(c.colorType, c.depth, interlace, c.trns);
            ASSERT_FALSE(file.empty());
            DecodedImage image;
            ASSERT_EQ(decodeImage(file, image), Ok);
            const FrameData& f = image.frames[0];
            EXPECT_EQ(f.format, c.format);
            if (c.colorType == PNG_COLOR_TYPE_GRAY && c.depth == 8 && !c.trns) {
                EXPECT_TRUE(codec::isGreyRamp(f.palette));
                EXPECT_TRUE(f.palette.flags & PaletteFlagsGrayScale);
            }
            if (c.colorType == PNG_COLOR_TYPE_PALETTE && c.trns) {
                EXPECT_TRUE(f.palette.flags & PaletteFlagsHasAlpha);
            }
            EXPECT_EQ(f.dpiX, 96.0);
            test::Rgba reference;
            ASSERT_TRUE(test::magickDecode(file, reference));
            // ImageMagick rounds 16-bit samples to 8 bits; we take the high byte.
            EXPECT_LE(test::maxDifference(test::toRgba(f), reference), c.depth == 16 ? 1 : 0);
        }
    }
}

struct TiffCase {
    const char* name;
    int photometric, bits, samples, compression, tile;
    PixelFormat format;
};

const TiffCase kTiffCases[] = {
    {"bilevel_white_none", PHOTOMETRIC_MINISWHITE, 1, 1, COMPRESSION_NONE, 0,
     PixelFormat1bppIndexed},
    {"bilevel_white_g3", PHOTOMETRIC_MINISWHITE, 1, 1, COMPRESSION_CCITTFAX3, 0,
     PixelFormat1bppIndexed},
    {"bilevel_white_g4", PHOTOMETRIC_MINISWHITE, 1, 1, COMPRESSION_CCITTFAX4, 0,
     PixelFormat1bppIndexed},
    {"bilevel_white_rle", PHOTOMETRIC_MINISWHITE, 1, 1, COMPRESSION_CCITTRLE, 0,
     PixelFormat1bppIndexed},
    {"bilevel_black_lzw", PHOTOMETRIC_MINISBLACK, 1, 1, COMPRESSION_LZW, 0, PixelFormat1bppIndexed},
    {"bilevel_black_packbits", PHOTOMETRIC_MINISBLACK, 1, 1, COMPRESSION_PACKBITS, 0,
     PixelFormat1bppIndexed},
    {"bilevel_tiled", PHOTOMETRIC_MINISBLACK, 1, 1, COMPRESSION_LZW, 16, PixelFormat1bppIndexed},
    {"grey4", PHOTOMETRIC_MINISBLACK, 4, 1, COMPRESSION_LZW, 0, PixelFormat4bppIndexed},
    {"grey8", PHOTOMETRIC_MINISBLACK, 8, 1, COMPRESSION_ADOBE_DEFLATE, 0, PixelFormat8bppIndexed},
    {"grey8_white", PHOTOMETRIC_MINISWHITE, 8, 1, COMPRESSION_LZW, 0, PixelFormat8bppIndexed},
    {"grey16", PHOTOMETRIC_MINISBLACK, 16, 1, COMPRESSION_LZW, 0, PixelFormat48bppRGB},
    {"palette4", PHOTOMETRIC_PALETTE, 4, 1, COMPRESSION_PACKBITS, 0, PixelFormat4bppIndexed},
    {"palette8", PHOTOMETRIC_PALETTE, 8, 1, COMPRESSION_LZW, 0, PixelFormat8bppIndexed},
    {"palette8_tiled", PHOTOMETRIC_PALETTE, 8, 1, COMPRESSION_NONE, 16, PixelFormat8bppIndexed},
    {"rgb8", PHOTOMETRIC_RGB, 8, 3, COMPRESSION_LZW, 0, PixelFormat24bppRGB},
    {"rgb8_tiled", PHOTOMETRIC_RGB, 8, 3, COMPRESSION_ADOBE_DEFLATE, 16, PixelFormat24bppRGB},
    {"rgb16", PHOTOMETRIC_RGB, 16, 3, COMPRESSION_ADOBE_DEFLATE, 0, PixelFormat48bppRGB},
    {"rgba8", PHOTOMETRIC_RGB, 8, 4, COMPRESSION_LZW, 0, PixelFormat32bppARGB},
    {"rgba16", PHOTOMETRIC_RGB, 16, 4, COMPRESSION_NONE, 0, PixelFormat64bppARGB},
    {"cmyk8", PHOTOMETRIC_SEPARATED, 8, 4, COMPRESSION_LZW, 0, PixelFormat24bppRGB},
};

TEST(TiffFromLibtiff, EveryLayoutThePagesUse) {
    for (const TiffCase& c : kTiffCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> file =
            test::libtiffFixture(c.photometric, c.bits, c.samples, c.compression, c.tile);
        ASSERT_FALSE(file.empty());
        DecodedImage image;
        ASSERT_EQ(decodeImage(file, image), Ok);
        const FrameData& f = image.frames[0];
        EXPECT_EQ(f.format, c.format);
        if (c.bits == 1) {
            // min-is-white reads [white, black], min-is-black [black, white].
            const bool white = c.photometric == PHOTOMETRIC_MINISWHITE;
            EXPECT_EQ(f.palette.entries.at(0), white ? 0xFFFFFFFFu : 0xFF000000u);
            EXPECT_EQ(f.palette.entries.at(1), white ? 0xFF000000u : 0xFFFFFFFFu);
        }
        test::Rgba reference;
        ASSERT_TRUE(test::magickDecode(file, reference));
        const int tolerance = c.bits == 16 ? 1 : c.photometric == PHOTOMETRIC_SEPARATED ? 2 : 0;
        EXPECT_LE(test::maxDifference(test::toRgba(f), reference), tolerance);
    }
}

} // namespace
} // namespace gp
