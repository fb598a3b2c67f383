// Multi-frame content: GIF animations composed frame by frame, multi-page TIFF.

#include "platform/gdiplus/codec_registry.h"
#include "tests/platform/gdiplus/codec_test_util.h"

#include <gtest/gtest.h>

#include <tiffio.h>

namespace gp {
namespace {

TEST(GifAnimation, FramesAreComposedLikeImageMagickCoalesces) {
    // Disposal none, background and previous, with a transparent overlay frame.
    std::vector<uint8_t> gif =
        test::magickMake("-comment 'hello gif' -delay 7 -loop 3 -size 24x16 xc:red "
                         "-dispose Background \\( -size 10x8 xc:blue -repage 24x16+10+4 \\) "
                         "-dispose Previous \\( -size 6x6 xc:lime -repage 24x16+2+2 \\) "
                         "-dispose None \\( -size 24x16 xc:none -fill yellow -draw 'rectangle 0,0 "
                         "3,3' -repage 24x16+0+0 \\)",
                         "gif");
    ASSERT_FALSE(gif.empty());
    DecodedImage image;
    ASSERT_EQ(decodeImage(gif, image), Ok);
    EXPECT_EQ(image.frameDimension, codec::FrameDimensionTime);
    std::vector<test::Rgba> reference = test::magickDecodeAll(gif, true);
    ASSERT_EQ(image.frames.size(), reference.size());
    ASSERT_EQ(image.frames.size(), 4u);
    for (size_t i = 0; i < image.frames.size(); ++i) {
        EXPECT_EQ(image.frames[i].format, PixelFormat32bppARGB);
        EXPECT_EQ(test::maxDifference(test::toRgba(image.frames[i]), reference[i]), 0) << i;
    }
    const FrameData& f = image.frames[0];
    const PropertyItem* delay = codec::findItem(f.properties, 0x5100);
    ASSERT_NE(delay, nullptr);
    EXPECT_EQ(delay->type, PropertyTagTypeLong);
    ASSERT_EQ(delay->value.size(), 16u);
    uint32_t d[4];
    std::memcpy(d, delay->value.data(), 16);
    EXPECT_EQ(d[0], 7u);
    EXPECT_EQ(d[3], 7u);
    const PropertyItem* loop = codec::findItem(f.properties, 0x5101);
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->value.size(), 2u);
    // The count the file holds (ImageMagick stores repeats, not plays).
    const std::string raw(gif.begin(), gif.end());
    const size_t at = raw.find("NETSCAPE2.0");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(loop->value[0], uint8_t(raw[at + 13]));
    EXPECT_NE(loop->value[0], 0);
    const PropertyItem* comment = codec::findItem(f.properties, 0x9286);
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->type, PropertyTagTypeUndefined);
    EXPECT_EQ(std::string(comment->value.begin(), comment->value.end()),
              std::string("ASCII\0\0\0hello gif", 17));
    EXPECT_NE(codec::findItem(f.properties, 0x5102), nullptr);
}

TEST(GifSingleFrame, IsIndexedWithTransparentEntryAtAlphaZero) {
    std::vector<uint8_t> gif =
        test::magickMake("-size 8x8 xc:none -fill red -draw 'rectangle 0,0 3,3'", "gif");
    DecodedImage image;
    ASSERT_EQ(decodeImage(gif, image), Ok);
    ASSERT_EQ(image.frames.size(), 1u);
    const FrameData& f = image.frames[0];
    EXPECT_EQ(f.format, PixelFormat8bppIndexed);
    EXPECT_TRUE(f.palette.flags & PaletteFlagsHasAlpha);
    const PropertyItem* t = codec::findItem(f.properties, 0x5104);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(f.palette.entries[t->value[0]] >> 24, 0u);
    EXPECT_EQ(f.pixels[7 * f.stride + 7], t->value[0]);
    const PropertyItem* loop = codec::findItem(f.properties, 0x5101);
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->value[0], 0);
}

TEST(TiffPages, EveryPageIsAFrameWithItsOwnSizeAndTags) {
    std::vector<uint8_t> tif = test::magickMake(
        "\\( -size 30x20 gradient: -type bilevel -compress group4 \\) -depth 8 "
        "\\( -size 12x9 xc:orange -alpha off -compress lzw \\) "
        "\\( -size 7x5 gradient: -colorspace gray -compress zip \\) -depth 8 -alpha off",
        "tif");
    ASSERT_FALSE(tif.empty());
    DecodedImage image;
    ASSERT_EQ(decodeImage(tif, image), Ok);
    ASSERT_EQ(image.frames.size(), 3u);
    EXPECT_EQ(image.frameDimension, codec::FrameDimensionPage);
    EXPECT_EQ(image.frames[0].width, 30);
    EXPECT_EQ(image.frames[1].width, 12);
    EXPECT_EQ(image.frames[2].height, 5);
    std::vector<test::Rgba> reference = test::magickDecodeAll(tif, false);
    ASSERT_EQ(reference.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(test::maxDifference(test::toRgba(image.frames[i]), reference[i]), 0) << i;
    // Each page lists its own tags.
    const PropertyItem* width = codec::findItem(image.frames[1].properties, 0x0100);
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(width->value[0], 12);
}

} // namespace
} // namespace gp

namespace gp {
namespace {

TEST(TiffPages, BigTiffIsReadToo) {
    const std::string path = test::scratchDir() + "/big.tif";
    TIFF* tif = TIFFOpen(path.c_str(), "w8");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 9u);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 7u);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    uint8_t row[9];
    for (uint32_t y = 0; y < 7; ++y) {
        for (int x = 0; x < 9; ++x)
            row[x] = uint8_t(x * 20 + y);
        TIFFWriteScanline(tif, row, y, 0);
    }
    TIFFClose(tif);
    std::vector<uint8_t> bytes = test::readBytes(path);
    ASSERT_EQ(bytes.at(2), 0x2B);
    DecodedImage image;
    ASSERT_EQ(decodeImage(bytes, image), Ok);
    const FrameData& f = image.frames[0];
    EXPECT_EQ(f.format, PixelFormat8bppIndexed);
    EXPECT_EQ(f.pixels[size_t(6) * f.stride + 8], 8 * 20 + 6);
}

} // namespace
} // namespace gp

namespace gp {
namespace {

TEST(GifAnimation, ManyFramesAreRefusedBeforeTheyExhaustMemory) {
    // 1x1 screen, 20000 one-pixel frames: each frame would carry 80 KB of delays.
    std::vector<uint8_t> gif = {'G',  'I', 'F', '8', '9', 'a', 1,   0,   1,  0,
                                0x80, 0,   0,   0,   0,   0,   255, 255, 255};
    for (int i = 0; i < 20000; ++i)
        gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0});
    gif.push_back(0x3B);
    DecodedImage image;
    DecodeOptions options;
    options.maxPixels = int64_t(1) << 26;
    EXPECT_EQ(decodeImage(gif, image, options), OutOfMemory);
    // A few hundred frames decode.
    gif.resize(19 + 300 * 15);
    gif.push_back(0x3B);
    ASSERT_EQ(decodeImage(gif, image, options), Ok);
    EXPECT_EQ(image.frames.size(), 300u);
}

} // namespace
} // namespace gp
