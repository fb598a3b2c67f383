// Our encoders' output read back by ImageMagick and by our own decoders.

#include "platform/gdiplus/codec_registry.h"
#include "tests/platform/gdiplus/codec_test_util.h"

#include <gtest/gtest.h>

namespace gp {
namespace {

struct Case {
    const char* name;
    const char* encoder;
    PixelFormat input;
    int compression; // TIFF, 0 = default
    int tolerance;
    PixelFormat decodedAs;
};

const Case kCases[] = {
    {"bmp_24", "BMP", PixelFormat24bppRGB, 0, 0, PixelFormat24bppRGB},
    {"bmp_32argb", "BMP", PixelFormat32bppARGB, 0, 0, PixelFormat32bppRGB},
    {"bmp_8grey", "BMP", PixelFormat8bppIndexed, 0, 0, PixelFormat8bppIndexed},
    {"bmp_4", "BMP", PixelFormat4bppIndexed, 0, 0, PixelFormat4bppIndexed},
    {"bmp_1", "BMP", PixelFormat1bppIndexed, 0, 0, PixelFormat1bppIndexed},
    {"bmp_48", "BMP", PixelFormat48bppRGB, 0, 0, PixelFormat24bppRGB},
    {"png_24", "PNG", PixelFormat24bppRGB, 0, 0, PixelFormat24bppRGB},
    {"png_32argb", "PNG", PixelFormat32bppARGB, 0, 0, PixelFormat32bppARGB},
    {"png_32rgb", "PNG", PixelFormat32bppRGB, 0, 0, PixelFormat24bppRGB},
    {"png_8grey", "PNG", PixelFormat8bppIndexed, 0, 0, PixelFormat8bppIndexed},
    {"png_4", "PNG", PixelFormat4bppIndexed, 0, 0, PixelFormat4bppIndexed},
    {"png_1", "PNG", PixelFormat1bppIndexed, 0, 0, PixelFormat1bppIndexed},
    {"png_48", "PNG", PixelFormat48bppRGB, 0, 0, PixelFormat48bppRGB},
    {"tiff_lzw_24", "TIFF", PixelFormat24bppRGB, 0, 0, PixelFormat24bppRGB},
    {"tiff_none_24", "TIFF", PixelFormat24bppRGB, 6, 0, PixelFormat24bppRGB},
    {"tiff_32argb", "TIFF", PixelFormat32bppARGB, 0, 0, PixelFormat32bppARGB},
    {"tiff_8grey", "TIFF", PixelFormat8bppIndexed, 0, 0, PixelFormat8bppIndexed},
    {"tiff_4", "TIFF", PixelFormat4bppIndexed, 2, 0, PixelFormat4bppIndexed},
    {"tiff_g4", "TIFF", PixelFormat1bppIndexed, 0, 0, PixelFormat1bppIndexed},
    {"tiff_g3", "TIFF", PixelFormat1bppIndexed, 3, 0, PixelFormat1bppIndexed},
    {"tiff_rle", "TIFF", PixelFormat1bppIndexed, 5, 0, PixelFormat1bppIndexed},
    {"tiff_lzw_1", "TIFF", PixelFormat1bppIndexed, 2, 0, PixelFormat1bppIndexed},
    {"gif_8grey", "GIF", PixelFormat8bppIndexed, 0, 0, PixelFormat8bppIndexed},
    {"gif_4", "GIF", PixelFormat4bppIndexed, 0, 0, PixelFormat8bppIndexed},
    {"gif_24", "GIF", PixelFormat24bppRGB, 0, 40, PixelFormat8bppIndexed},
    {"jpeg_24", "JPEG", PixelFormat24bppRGB, 0, 16, PixelFormat24bppRGB},
    {"jpeg_32argb", "JPEG", PixelFormat32bppARGB, 0, 16, PixelFormat24bppRGB},
    {"jpeg_8grey", "JPEG", PixelFormat8bppIndexed, 0, 3, PixelFormat8bppIndexed},
};

class EncoderAgainstMagick : public ::testing::TestWithParam<Case> {};

TEST_P(EncoderAgainstMagick, ImageMagickReadsWhatWeWrite) {
    const Case& c = GetParam();
    const bool alpha = c.input == PixelFormat32bppARGB && std::string(c.encoder) != "JPEG" &&
                       std::string(c.encoder) != "BMP";
    FrameData frame = test::makeFrame(test::makePattern(61, 37, alpha), c.input);
    frame.dpiX = 150;
    frame.dpiY = 75;
    test::OneParameter compression(EncoderCompression, uint32_t(c.compression));
    test::OneParameter quality(EncoderQuality, 95);
    const EncoderParameters* params = c.compression                      ? &compression.block
                                      : std::string(c.encoder) == "JPEG" ? &quality.block
                                                                         : nullptr;
    std::vector<uint8_t> bytes;
    ASSERT_EQ(encodeImage(test::encoderFor(c.encoder), frame, params, bytes), Ok);
    ASSERT_FALSE(bytes.empty());

    test::Rgba expected = test::toRgba(frame);
    if (c.input == PixelFormat32bppARGB && !alpha)
        for (size_t i = 3; i < expected.pixels.size(); i += 4)
            expected.pixels[i] = 255;
    test::Rgba theirs;
    ASSERT_TRUE(test::magickDecode(bytes, theirs));
    DecodedImage ours;
    ASSERT_EQ(decodeImage(bytes, ours), Ok);
    ASSERT_EQ(ours.frames.size(), 1u);
    EXPECT_EQ(ours.frames[0].format, c.decodedAs);
    if (std::string(c.encoder) == "JPEG") {
        // Chroma subsampling blurs the pattern's fine stripes: bound the average error, and
        // require both decoders to agree on the file.
        EXPECT_LE(test::meanDifference(theirs, expected), c.tolerance);
        EXPECT_LE(test::maxDifference(theirs, test::toRgba(ours.frames[0])), 3);
    } else {
        EXPECT_LE(test::maxDifference(theirs, expected), c.tolerance);
        EXPECT_LE(test::maxDifference(test::toRgba(ours.frames[0]), expected), c.tolerance);
    }
    if (std::string(c.encoder) != "GIF") {
        EXPECT_NEAR(ours.frames[0].dpiX, 150, 0.6);
        EXPECT_NEAR(ours.frames[0].dpiY, 75, 0.6);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EncoderAgainstMagick, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JpegEncoder, GreyRampImageBecomesOneComponentJpeg) {
    FrameData frame = test::makeFrame(test::makePattern(32, 16), PixelFormat8bppIndexed);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(encodeImage(test::encoderFor("JPEG"), frame, nullptr, bytes), Ok);
    EXPECT_EQ(test::magickIdentify(bytes, "%[channels]"), "gray");
}

TEST(JpegEncoder, QualityAboveHundredClampsAndDefaultIsSeventyFive) {
    FrameData frame = test::makeFrame(test::makePattern(64, 48), PixelFormat24bppRGB);
    std::vector<uint8_t> q150, q100, q75, none;
    test::OneParameter p150(EncoderQuality, 150), p100(EncoderQuality, 100),
        p75(EncoderQuality, 75);
    const win::Guid& jpeg = test::encoderFor("JPEG");
    ASSERT_EQ(encodeImage(jpeg, frame, &p150.block, q150), Ok);
    ASSERT_EQ(encodeImage(jpeg, frame, &p100.block, q100), Ok);
    ASSERT_EQ(encodeImage(jpeg, frame, &p75.block, q75), Ok);
    ASSERT_EQ(encodeImage(jpeg, frame, nullptr, none), Ok);
    EXPECT_EQ(q150, q100);
    EXPECT_EQ(none, q75);
    EXPECT_NE(q100, q75);
}

TEST(TiffEncoder, ParametersAreValidated) {
    const win::Guid& tiff = test::encoderFor("TIFF");
    FrameData colour = test::makeFrame(test::makePattern(16, 16), PixelFormat24bppRGB);
    std::vector<uint8_t> bytes;
    for (uint32_t ccitt : {3u, 4u, 5u}) {
        test::OneParameter p(EncoderCompression, ccitt);
        EXPECT_EQ(encodeImage(tiff, colour, &p.block, bytes), InvalidParameter) << ccitt;
    }
    for (uint32_t depth : {2u, 16u, 48u}) {
        test::OneParameter p(EncoderColorDepth, depth);
        EXPECT_EQ(encodeImage(tiff, colour, &p.block, bytes), InvalidParameter) << depth;
    }
    // Colour depth 1 thresholds, and then CCITT is allowed.
    EncoderParameters* two = static_cast<EncoderParameters*>(
        std::malloc(sizeof(EncoderParameters) + sizeof(EncoderParameter)));
    uint32_t g4 = 4, one = 1;
    two->Count = 2;
    two->Parameter[0] = {EncoderCompression, 1, EncoderParameterValueTypeLong, &g4};
    two->Parameter[1] = {EncoderColorDepth, 1, EncoderParameterValueTypeLong, &one};
    EXPECT_EQ(encodeImage(tiff, colour, two, bytes), Ok);
    std::free(two);
    DecodedImage image;
    ASSERT_EQ(decodeImage(bytes, image), Ok);
    EXPECT_EQ(image.frames[0].format, PixelFormat1bppIndexed);
    EXPECT_EQ(test::magickIdentify(bytes, "%C"), "Group4");
}

TEST(TiffEncoder, ColourDepthConvertsTheOutput) {
    const win::Guid& tiff = test::encoderFor("TIFF");
    FrameData colour = test::makeFrame(test::makePattern(16, 16, true), PixelFormat32bppARGB);
    const struct {
        uint32_t depth;
        PixelFormat decoded;
    } rows[] = {{4, PixelFormat4bppIndexed},
                {8, PixelFormat8bppIndexed},
                {24, PixelFormat24bppRGB},
                {32, PixelFormat32bppARGB}};
    for (const auto& row : rows) {
        test::OneParameter p(EncoderColorDepth, row.depth);
        std::vector<uint8_t> bytes;
        ASSERT_EQ(encodeImage(tiff, colour, &p.block, bytes), Ok);
        DecodedImage image;
        ASSERT_EQ(decodeImage(bytes, image), Ok);
        EXPECT_EQ(image.frames[0].format, row.decoded) << row.depth;
    }
}

TEST(Encoders, RefuseUnknownClassIdsAndInconsistentFrames) {
    FrameData frame = test::makeFrame(test::makePattern(8, 8), PixelFormat24bppRGB);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(encodeImage(win::Guid{1, 2, 3, {}}, frame, nullptr, bytes), InvalidParameter);
    FrameData broken = frame;
    broken.pixels.resize(10);
    EXPECT_EQ(encodeImage(test::encoderFor("PNG"), broken, nullptr, bytes), InvalidParameter);
    broken = frame;
    broken.stride = 3;
    EXPECT_EQ(encodeImage(test::encoderFor("BMP"), broken, nullptr, bytes), InvalidParameter);
    broken = frame;
    broken.format = 0x12345;
    EXPECT_EQ(encodeImage(test::encoderFor("TIFF"), broken, nullptr, bytes), InvalidParameter);
}

} // namespace
} // namespace gp

namespace gp {
namespace {

TEST(Encoders, IndexedFramesWithMissingOrShortPalettesStillMakeValidFiles) {
    FrameData frame = test::makeFrame(test::makePattern(20, 10), PixelFormat8bppIndexed);
    frame.palette.entries.clear();
    for (const char* encoder : {"BMP", "PNG", "TIFF", "GIF"}) {
        std::vector<uint8_t> bytes;
        ASSERT_EQ(encodeImage(test::encoderFor(encoder), frame, nullptr, bytes), Ok) << encoder;
        test::Rgba theirs;
        EXPECT_TRUE(test::magickDecode(bytes, theirs)) << encoder;
    }
    // Four entries, but the pixels use indices up to 255.
    frame.palette = codec::greyPalette(4);
    std::vector<uint8_t> png;
    ASSERT_EQ(encodeImage(test::encoderFor("PNG"), frame, nullptr, png), Ok);
    test::Rgba theirs;
    ASSERT_TRUE(test::magickDecode(png, theirs));
    DecodedImage ours;
    ASSERT_EQ(decodeImage(png, ours), Ok);
    EXPECT_EQ(test::maxDifference(test::toRgba(ours.frames[0]), theirs), 0);
}

} // namespace
} // namespace gp
