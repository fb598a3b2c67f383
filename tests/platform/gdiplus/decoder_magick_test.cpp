// Our decoders against ImageMagick: files ImageMagick writes are decoded by both, pixel by
// pixel, exactly for lossless formats and within a bound for JPEG.

#include "platform/gdiplus/codec_registry.h"
#include "tests/platform/gdiplus/codec_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace gp {
namespace {

using test::maxDifference;
using test::toRgba;

struct Case {
    const char* name;
    const char* options;
    const char* output;
    PixelFormat format;
    int tolerance;
    bool alpha;
};

const Case kCases[] = {
    {"bmp24", "", "BMP3:", PixelFormat24bppRGB, 0, false},
    {"bmp8_palette", "-type palette -colors 200", "BMP3:", PixelFormat8bppIndexed, 0, false},
    {"bmp4_palette", "-type palette -colors 16", "BMP3:", PixelFormat4bppIndexed, 0, false},
    {"bmp1", "-type bilevel", "BMP3:", PixelFormat1bppIndexed, 0, false},
    {"bmp_core_header", "-type palette -colors 200", "BMP2:", PixelFormat8bppIndexed, 0, false},
    {"bmp8_rle", "-type palette -colors 60 -compress RLE", "BMP3:", PixelFormat8bppIndexed, 0,
     false},
    {"bmp_v5_alpha", "", "BMP:", PixelFormat32bppARGB, 0, true},
    {"bmp565", "-define bmp:subtype=RGB565", "BMP:", PixelFormat16bppRGB565, 8, false},
    {"png_rgb", "", "PNG24:", PixelFormat24bppRGB, 0, false},
    {"png_rgba", "", "PNG32:", PixelFormat32bppARGB, 0, true},
    {"png_grey8", "-colorspace gray", "PNG8:", PixelFormat8bppIndexed, 0, false},
    {"png_grey_depth8", "-colorspace gray -define png:color-type=0 -depth 8",
     "PNG:", PixelFormat8bppIndexed, 0, false},
    {"png_grey2", "-colorspace gray -depth 2 -define png:color-type=0 -define png:bit-depth=2",
     "PNG:", PixelFormat4bppIndexed, 0, false},
    {"png_palette", "-colors 100", "PNG8:", PixelFormat8bppIndexed, 0, false},
    {"png_palette_alpha", "-colors 100", "PNG8:", PixelFormat8bppIndexed, 0, true},
    {"png_rgb16", "-depth 16", "PNG48:", PixelFormat48bppRGB, 0, false},
    {"png_rgba16", "-depth 16", "PNG64:", PixelFormat64bppARGB, 0, true},
    {"png_adam7", "-interlace PNG", "PNG24:", PixelFormat24bppRGB, 0, false},
    {"png_grey_alpha", "-colorspace gray -define png:color-type=4", "PNG:", PixelFormat32bppARGB, 0,
     true},
    {"gif", "-colors 128", "GIF:", PixelFormat8bppIndexed, 0, false},
    {"gif_transparent", "-colors 64", "GIF:", PixelFormat8bppIndexed, 0, true},
    {"gif_interlaced", "-colors 32 -interlace GIF", "GIF:", PixelFormat8bppIndexed, 0, false},
    {"jpeg", "-quality 92", "JPEG:", PixelFormat24bppRGB, 12, false},
    {"jpeg_progressive", "-quality 92 -interlace JPEG", "JPEG:", PixelFormat24bppRGB, 12, false},
    {"jpeg_grey", "-colorspace gray -quality 92", "JPEG:", PixelFormat8bppIndexed, 6, false},
    {"jpeg_cmyk", "-colorspace cmyk -quality 95", "JPEG:", PixelFormat24bppRGB, 16, false},
    {"tiff_none", "-compress none", "TIFF:", PixelFormat24bppRGB, 0, false},
    {"tiff_lzw", "-compress lzw", "TIFF:", PixelFormat24bppRGB, 0, false},
    {"tiff_packbits", "-compress rle", "TIFF:", PixelFormat24bppRGB, 0, false},
    {"tiff_deflate", "-compress zip", "TIFF:", PixelFormat24bppRGB, 0, false},
    {"tiff_jpeg", "-compress jpeg -quality 95", "TIFF:", PixelFormat24bppRGB, 12, false},
    {"tiff_rgba", "-compress lzw", "TIFF:", PixelFormat32bppARGB, 0, true},
    {"tiff_g4", "-type bilevel -compress group4", "TIFF:", PixelFormat1bppIndexed, 0, false},
    {"tiff_g3", "-type bilevel -compress fax", "TIFF:", PixelFormat1bppIndexed, 0, false},
    {"tiff_grey_min_is_white", "-type bilevel -compress none -define quantum:polarity=min-is-white",
     "TIFF:", PixelFormat8bppIndexed, 0, false},
    {"tiff_grey8", "-colorspace gray -compress lzw", "TIFF:", PixelFormat8bppIndexed, 0, false},
    // The colour map is 16-bit; ImageMagick rounds it to 8 bits one step differently.
    {"tiff_palette", "-type palette -colors 100 -compress lzw", "TIFF:", PixelFormat8bppIndexed, 1,
     false},
    {"tiff_rgb16", "-depth 16 -compress zip", "TIFF:", PixelFormat48bppRGB, 0, false},
    {"tiff_tiled", "-define tiff:tile-geometry=32x32 -compress lzw", "TIFF:", PixelFormat24bppRGB,
     0, false},
    {"tiff_planar", "-interlace plane -compress lzw", "TIFF:", PixelFormat24bppRGB, 0, false},
    {"tiff_cmyk", "-colorspace cmyk -compress lzw", "TIFF:", PixelFormat24bppRGB, 2, false},
    {"ico", "", "ICO:", PixelFormat32bppARGB, 0, true},
    {"ico_png_entry", "-resize 256x256!", "ICO:", PixelFormat32bppARGB, 0, true},
};

class DecoderAgainstMagick : public ::testing::TestWithParam<Case> {};

TEST_P(DecoderAgainstMagick, DecodesLikeImageMagick) {
    const Case& c = GetParam();
    test::Rgba pattern = test::makePattern(67, 45, c.alpha);
    std::vector<uint8_t> file = test::magickEncode(
        pattern, std::string(c.alpha ? "" : "-alpha off ") + c.options, c.output);
    ASSERT_FALSE(file.empty()) << "ImageMagick could not write " << c.name;

    DecodedImage image;
    ASSERT_EQ(decodeImage(file, image), Ok);
    ASSERT_EQ(image.frames.size(), 1u);
    const FrameData& frame = image.frames[0];
    EXPECT_EQ(frame.format, c.format);
    const std::string name = c.name;
    if (name == "png_grey_depth8" || name == "jpeg_grey" || name == "tiff_grey8") {
        EXPECT_TRUE(codec::isGreyRamp(frame.palette));
    }

    test::Rgba reference;
    ASSERT_TRUE(test::magickDecode(file, reference, name.rfind("ico", 0) == 0 ? "ico:" : ""));
    EXPECT_LE(maxDifference(toRgba(frame), reference), c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Formats, DecoderAgainstMagick, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Truncation at any point and corruption of the payload give a failure status or a valid
// image, never a crash or a hang; cutting the file in half always fails.
class DamagedFiles : public ::testing::TestWithParam<Case> {};

TEST_P(DamagedFiles, FailCleanly) {
    const Case& c = GetParam();
    std::vector<uint8_t> file =
        test::magickEncode(test::makePattern(40, 30, c.alpha),
                           std::string(c.alpha ? "" : "-alpha off ") + c.options, c.output);
    ASSERT_FALSE(file.empty());
    DecodedImage image;
    std::vector<uint8_t> half(file.begin(), file.begin() + std::ptrdiff_t(file.size() / 2));
    // libtiff reads a palette page whose colour map was cut off as grey, which is damage it
    // is meant to tolerate; every other half file must fail.
    if (std::string(c.name) != "tiff_palette") {
        EXPECT_NE(decodeImage(half, image), Ok);
        EXPECT_TRUE(image.frames.empty());
    }
    for (size_t cut : {size_t(1), size_t(8), size_t(30), file.size() - 1}) {
        if (cut >= file.size())
            continue;
        std::vector<uint8_t> part(file.begin(), file.begin() + std::ptrdiff_t(cut));
        (void)decodeImage(part, image);
    }
    uint32_t seed = 12345;
    for (int round = 0; round < 40; ++round) {
        std::vector<uint8_t> bad = file;
        for (int k = 0; k < 6; ++k) {
            seed = seed * 1103515245u + 12345u;
            bad[(seed >> 8) % bad.size()] ^= uint8_t(seed >> 3);
        }
        Status s = decodeImage(bad, image);
        if (s == Ok) {
            EXPECT_FALSE(image.frames.empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, DamagedFiles, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace gp
