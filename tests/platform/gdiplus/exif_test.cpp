// Property items through EXIF, PNG chunks, GIF extensions and TIFF tags.

#include "platform/gdiplus/codec_registry.h"
#include "platform/gdiplus/exif.h"
#include "tests/platform/gdiplus/codec_test_util.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace gp {
namespace {

const PropertyItem* item(const FrameData& f, uint32_t id) {
    return codec::findItem(f.properties, id);
}

std::string text(const PropertyItem* p) {
    return p ? std::string(p->value.begin(), p->value.end()).c_str() : std::string("<none>");
}

uint32_t longValue(const PropertyItem* p) {
    uint32_t v = 0;
    if (p && p->value.size() >= 4)
        std::memcpy(&v, p->value.data(), 4);
    return v;
}

TEST(Exif, JpegRoundTripKeepsTagsOfEveryDirectoryAndTheThumbnail) {
    FrameData thumbFrame = test::makeFrame(test::makePattern(16, 12), PixelFormat24bppRGB);
    std::vector<uint8_t> thumb;
    ASSERT_EQ(encodeImage(test::encoderFor("JPEG"), thumbFrame, nullptr, thumb), Ok);

    FrameData frame = test::makeFrame(test::makePattern(40, 30), PixelFormat24bppRGB);
    frame.properties.push_back(codec::makeAscii(0x010F, "Maker"));
    frame.properties.push_back(codec::makeShort(0x0112, 6));
    frame.properties.push_back(codec::makeAscii(0x9003, "2024:01:02 03:04:05"));
    frame.properties.push_back(codec::makeRational(0x829A, 1, 250));
    uint32_t latitude[6] = {52, 1, 30, 1, 15, 1};
    frame.properties.push_back(codec::makeItem(0x0002, PropertyTagTypeRational, latitude, 24));
    frame.properties.push_back(
        codec::makeItem(0x501B, PropertyTagTypeByte, thumb.data(), thumb.size()));
    // Structural and rejected tags are regenerated or dropped, never copied.
    frame.properties.push_back(codec::makeLong(0x0100, 9999));
    frame.properties.push_back(codec::makeItem(0x882A, PropertyTagTypeByte, "x", 1));

    std::vector<uint8_t> bytes;
    ASSERT_EQ(encodeImage(test::encoderFor("JPEG"), frame, nullptr, bytes), Ok);
    DecodedImage image;
    ASSERT_EQ(decodeImage(bytes, image), Ok);
    const FrameData& f = image.frames[0];
    EXPECT_EQ(text(item(f, 0x010F)), "Maker");
    ASSERT_NE(item(f, 0x0112), nullptr);
    EXPECT_EQ(item(f, 0x0112)->value, frame.properties[1].value);
    EXPECT_EQ(text(item(f, 0x9003)), "2024:01:02 03:04:05");
    ASSERT_NE(item(f, 0x829A), nullptr);
    EXPECT_EQ(item(f, 0x829A)->type, PropertyTagTypeRational);
    ASSERT_NE(item(f, 0x0002), nullptr);
    EXPECT_EQ(item(f, 0x0002)->value.size(), 24u);
    EXPECT_NE(item(f, 0x8769), nullptr);
    EXPECT_NE(item(f, 0x8825), nullptr);
    EXPECT_EQ(item(f, 0x0100), nullptr);
    EXPECT_EQ(item(f, 0x882A), nullptr);
    ASSERT_NE(item(f, 0x501B), nullptr);
    EXPECT_EQ(item(f, 0x501B)->value, thumb);
    EXPECT_EQ(longValue(item(f, 0x5012)), 1u);
    EXPECT_EQ(longValue(item(f, 0x5013)), 16u);
    EXPECT_EQ(longValue(item(f, 0x5014)), 12u);
    ASSERT_NE(item(f, 0x5023), nullptr);
    EXPECT_EQ(item(f, 0x5023)->value, (std::vector<uint8_t>{6, 0}));
    ASSERT_NE(item(f, 0x5090), nullptr);
    EXPECT_EQ(item(f, 0x5090)->value.size(), 128u);
    EXPECT_NE(item(f, 0x5091), nullptr);
    // The orientation is reported, not applied.
    EXPECT_EQ(f.width, 40);
}

TEST(Exif, BigEndianBlocksReadLikeLittleEndianOnes) {
    // IFD0 with Make (ASCII) and XResolution (RATIONAL 300/1), big-endian.
    const uint8_t mm[] = {'M',  'M',  0, 42, 0, 0, 0, 8, 0,   2,            // two entries
                          0x01, 0x0F, 0, 2,  0, 0, 0, 4, 'A', 'B', 'C', 0,  // Make "ABC"
                          0x01, 0x1A, 0, 5,  0, 0, 0, 1, 0,   0,   0,   38, // XResolution at 38
                          0,    0,    0, 0,                                 // no IFD1
                          0,    0,    1, 44, 0, 0, 0, 1};
    std::vector<PropertyItem> items;
    ASSERT_TRUE(exif::readExif(mm, items));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(text(&items[0]), "ABC");
    uint32_t r[2];
    std::memcpy(r, items[1].value.data(), 8);
    EXPECT_EQ(r[0], 300u);
    EXPECT_EQ(r[1], 1u);
}

TEST(Exif, DamagedDirectoriesNeverCrashOrLoop) {
    // An IFD that points at itself through the Exif pointer, and counts past the end.
    const uint8_t loop[] = {'I',  'I',  42, 0, 8, 0, 0, 0, 2, 0,    0x69, 0x87, 4,
                            0,    1,    0,  0, 0, 8, 0, 0, 0, 0x0F, 0x01, 2,    0,
                            0xFF, 0xFF, 0,  0, 0, 0, 0, 0, 8, 0,    0,    0};
    std::vector<PropertyItem> items;
    EXPECT_TRUE(exif::readExif(loop, items));
    EXPECT_LE(items.size(), 4u);
    uint32_t seed = 7;
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> junk(loop, loop + sizeof loop);
        for (auto& b : junk) {
            seed = seed * 1664525u + 1013904223u;
            if ((seed >> 28) == 0)
                b = uint8_t(seed >> 16);
        }
        items.clear();
        exif::readExif(junk, items);
    }
}

TEST(PngChunks, BecomeTagsAndResolution) {
    std::vector<uint8_t> png = test::magickMake(
        "-size 8x8 xc:red -density 300 -units PixelsPerInch -set Title 'A title' "
        "-set Author Someone -define png:include-chunk=gAMA,tEXt,pHYs,cHRM -gamma 0.45455",
        "png");
    ASSERT_FALSE(png.empty());
    DecodedImage image;
    ASSERT_EQ(decodeImage(png, image), Ok);
    const FrameData& f = image.frames[0];
    EXPECT_NEAR(f.dpiX, 300, 0.5);
    EXPECT_EQ(text(item(f, 0x0320)), "A title");
    EXPECT_EQ(text(item(f, 0x013B)), "Someone");
    ASSERT_NE(item(f, 0x0301), nullptr);
    EXPECT_EQ(item(f, 0x0301)->type, PropertyTagTypeRational);
    ASSERT_NE(item(f, 0x5110), nullptr);
    EXPECT_EQ(item(f, 0x5110)->value[0], 1);
    EXPECT_EQ(longValue(item(f, 0x5111)), 11811u);

    // Written back by our encoder.
    std::vector<uint8_t> again;
    ASSERT_EQ(encodeImage(test::encoderFor("PNG"), f, nullptr, again), Ok);
    DecodedImage back;
    ASSERT_EQ(decodeImage(again, back), Ok);
    EXPECT_EQ(text(item(back.frames[0], 0x0320)), "A title");
    EXPECT_NE(item(back.frames[0], 0x0301), nullptr);
    EXPECT_NEAR(back.frames[0].dpiX, 300, 0.5);
}

TEST(Resolution, MissingResolutionReadsNinetySixAndJfifUnitsConvert) {
    DecodedImage image;
    std::vector<uint8_t> plain = test::magickMake("-size 4x4 xc:blue +set density -strip", "png");
    ASSERT_EQ(decodeImage(plain, image), Ok);
    EXPECT_EQ(image.frames[0].dpiX, 96.0);
    std::vector<uint8_t> cm =
        test::magickMake("-size 4x4 xc:blue -units PixelsPerCentimeter -density 100", "jpg");
    ASSERT_EQ(decodeImage(cm, image), Ok);
    EXPECT_NEAR(image.frames[0].dpiX, 254, 0.5);
    std::vector<uint8_t> tif =
        test::magickMake("-size 4x4 xc:blue -units PixelsPerInch -density 200x100", "tif");
    ASSERT_EQ(decodeImage(tif, image), Ok);
    EXPECT_NEAR(image.frames[0].dpiX, 200, 0.5);
    EXPECT_NEAR(image.frames[0].dpiY, 100, 0.5);
    EXPECT_NE(item(image.frames[0], 0x011A), nullptr);
    EXPECT_EQ(image.frameDimension, codec::FrameDimensionPage);
}

} // namespace
} // namespace gp

namespace gp {
namespace {

TEST(TiffTags, PropertyItemsAreWrittenBackExceptStructuralOnes) {
    FrameData frame = test::makeFrame(test::makePattern(12, 10), PixelFormat24bppRGB);
    const uint8_t comment[] = {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'i'};
    const uint8_t profile[] = {1, 2, 3, 4, 5, 6, 7, 8};
    frame.properties = {codec::makeAscii(0x010E, "a description"),
                        codec::makeAscii(0x0131, "Tavimo"),
                        codec::makeShort(0x0112, 3),
                        codec::makeItem(0x9286, PropertyTagTypeUndefined, comment, sizeof comment),
                        codec::makeRational(0x829A, 1, 4),
                        codec::makeItem(0x8773, PropertyTagTypeUndefined, profile, sizeof profile),
                        codec::makeLong(0x0100, 9999),
                        codec::makeShort(0x013D, 2),
                        codec::makeLong(0x5100, 10)};
    std::vector<uint8_t> bytes;
    ASSERT_EQ(encodeImage(test::encoderFor("TIFF"), frame, nullptr, bytes), Ok);
    DecodedImage image;
    ASSERT_EQ(decodeImage(bytes, image), Ok);
    const FrameData& f = image.frames[0];
    EXPECT_EQ(f.width, 12);
    EXPECT_EQ(text(item(f, 0x010E)), "a description");
    EXPECT_EQ(text(item(f, 0x0131)), "Tavimo");
    ASSERT_NE(item(f, 0x0112), nullptr);
    EXPECT_EQ(item(f, 0x0112)->value, (std::vector<uint8_t>{3, 0}));
    ASSERT_NE(item(f, 0x9286), nullptr);
    EXPECT_EQ(item(f, 0x9286)->value, std::vector<uint8_t>(comment, comment + sizeof comment));
    ASSERT_NE(item(f, 0x829A), nullptr);
    uint32_t r[2];
    std::memcpy(r, item(f, 0x829A)->value.data(), 8);
    EXPECT_DOUBLE_EQ(double(r[0]) / r[1], 0.25);
    ASSERT_NE(item(f, 0x8773), nullptr);
    EXPECT_EQ(item(f, 0x8773)->value, std::vector<uint8_t>(profile, profile + sizeof profile));
    ASSERT_NE(item(f, 0x0100), nullptr);
    EXPECT_EQ(item(f, 0x0100)->value[0], 12); // regenerated from the frame
    EXPECT_EQ(item(f, 0x013D), nullptr);
    EXPECT_EQ(item(f, 0x5100), nullptr);
}

TEST(Icm, EmbeddedProfilesConvertToSrgbOnlyWhenAsked) {
    const std::string adobe = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";
    const std::string srgb = "/usr/share/color/icc/sRGB.icc";
    if (!std::filesystem::exists(adobe) || !std::filesystem::exists(srgb))
        GTEST_SKIP() << "icc-profiles-free is not installed";
    for (const char* ext : {"png", "jpg", "tif"}) {
        std::vector<uint8_t> wide =
            test::magickMake("-size 16x16 xc:'rgb(60,170,90)' -depth 8 -profile " + adobe, ext);
        DecodedImage plain, managed;
        ASSERT_EQ(decodeImage(wide, plain), Ok) << ext;
        DecodeOptions icm;
        icm.applyIcm = true;
        ASSERT_EQ(decodeImage(wide, managed, icm), Ok) << ext;
        EXPECT_NE(item(plain.frames[0], 0x8773), nullptr) << ext;
        EXPECT_GT(
            test::maxDifference(test::toRgba(plain.frames[0]), test::toRgba(managed.frames[0])), 10)
            << ext;
        std::vector<uint8_t> same =
            test::magickMake("-size 16x16 xc:'rgb(60,170,90)' -depth 8 -profile " + srgb, ext);
        ASSERT_EQ(decodeImage(same, plain), Ok);
        ASSERT_EQ(decodeImage(same, managed, icm), Ok);
        EXPECT_LE(
            test::maxDifference(test::toRgba(plain.frames[0]), test::toRgba(managed.frames[0])), 2)
            << ext;
    }
}

} // namespace
} // namespace gp

#include <cstdio>
#include <jpeglib.h>
#include <lcms2.h>

namespace gp {
namespace {

// A CMYK input profile whose table sends every colour to one neutral grey, so that its use
// shows in the pixels.
std::vector<uint8_t> flatGreyCmykProfile() {
    cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(p, 2.1);
    cmsSetDeviceClass(p, cmsSigInputClass);
    cmsSetColorSpace(p, cmsSigCmykData);
    cmsSetPCS(p, cmsSigLabData);
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 2, 4, 3, nullptr);
    cmsStageSampleCLut16bit(
        clut,
        [](const cmsUInt16Number[], cmsUInt16Number out[], void*) -> cmsInt32Number {
            out[0] = out[1] = out[2] = 0x8000;
            return TRUE;
        },
        nullptr, 0);
    cmsPipelineInsertStage(pipeline, cmsAT_BEGIN, clut);
    cmsWriteTag(p, cmsSigAToB0Tag, pipeline);
    cmsPipelineFree(pipeline);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(p, nullptr, &size);
    std::vector<uint8_t> bytes(size);
    cmsSaveProfileToMem(p, bytes.data(), &size);
    cmsCloseProfile(p);
    return bytes;
}

std::vector<uint8_t> cmykJpeg(const std::vector<uint8_t>& profile) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = 16;
    c.image_height = 8;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    jpeg_write_icc_profile(&c, profile.data(), unsigned(profile.size()));
    std::vector<uint8_t> row(16 * 4);
    for (int x = 0; x < 16; ++x) {
        row[4 * x] = uint8_t(255 - x * 16); // Adobe CMYK is stored inverted
        row[4 * x + 1] = 255;
        row[4 * x + 2] = uint8_t(x * 16);
        row[4 * x + 3] = 255;
    }
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

TEST(Icm, CmykJpegsGoThroughTheirCmykProfile) {
    std::vector<uint8_t> jpeg = cmykJpeg(flatGreyCmykProfile());
    DecodedImage plain, managed;
    ASSERT_EQ(decodeImage(jpeg, plain), Ok);
    DecodeOptions icm;
    icm.applyIcm = true;
    ASSERT_EQ(decodeImage(jpeg, managed, icm), Ok);
    ASSERT_EQ(managed.frames[0].format, PixelFormat24bppRGB);
    const test::Rgba grey = test::toRgba(managed.frames[0]);
    for (size_t i = 0; i < grey.pixels.size(); i += 4) {
        EXPECT_EQ(grey.pixels[i], grey.pixels[0]);
        EXPECT_NEAR(grey.pixels[i + 1], grey.pixels[i], 1);
        EXPECT_NEAR(grey.pixels[i + 2], grey.pixels[i], 1);
    }
    // Without ICM the plain CMYK arithmetic gives colours.
    EXPECT_GT(test::maxDifference(test::toRgba(plain.frames[0]), grey), 50);
}

} // namespace
} // namespace gp

namespace gp {
namespace {

TEST(Exif, XmpAndIccDescriptionAreItemsAndXmpIsWrittenBack) {
    const std::string xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>tavimo</x:xmpmeta>";
    FrameData frame = test::makeFrame(test::makePattern(8, 8), PixelFormat24bppRGB);
    frame.properties.push_back(codec::makeAscii(0x02BC, xmp));
    std::vector<uint8_t> bytes;
    ASSERT_EQ(encodeImage(test::encoderFor("JPEG"), frame, nullptr, bytes), Ok);
    DecodedImage image;
    ASSERT_EQ(decodeImage(bytes, image), Ok);
    EXPECT_EQ(text(item(image.frames[0], 0x02BC)), xmp);

    const std::string srgb = "/usr/share/color/icc/sRGB.icc";
    if (!std::filesystem::exists(srgb))
        GTEST_SKIP() << "icc-profiles-free is not installed";
    std::vector<uint8_t> jpg = test::magickMake("-size 8x8 xc:white -profile " + srgb, "jpg");
    ASSERT_EQ(decodeImage(jpg, image), Ok);
    ASSERT_NE(item(image.frames[0], 0x8773), nullptr);
    EXPECT_EQ(item(image.frames[0], 0x8773)->value, test::readBytes(srgb));
    EXPECT_FALSE(text(item(image.frames[0], 0x0302)).empty());
    EXPECT_NE(text(item(image.frames[0], 0x0302)), "<none>");
}

TEST(Exif, TiffExifSubDirectoryIsExpanded) {
    // A 1x1 grey TIFF whose IFD0 points at an Exif IFD holding DateTimeOriginal.
    std::vector<uint8_t> t = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        codec::put16(t, tag);
        codec::put16(t, type);
        codec::put32(t, count);
        codec::put32(t, value);
    };
    const uint32_t exifAt = 8 + 2 + 10 * 12 + 4, textAt = exifAt + 2 + 12 + 4,
                   pixelAt = textAt + 20;
    codec::put16(t, 10);
    entry(0x0100, 3, 1, 1);
    entry(0x0101, 3, 1, 1);
    entry(0x0102, 3, 1, 8);
    entry(0x0103, 3, 1, 1);
    entry(0x0106, 3, 1, 1);
    entry(0x0111, 4, 1, pixelAt);
    entry(0x0115, 3, 1, 1);
    entry(0x0116, 3, 1, 1);
    entry(0x0117, 4, 1, 1);
    entry(0x8769, 4, 1, exifAt);
    codec::put32(t, 0);
    codec::put16(t, 1);
    entry(0x9003, 2, 20, textAt);
    codec::put32(t, 0);
    const char date[20] = "2023:05:06 07:08:09";
    t.insert(t.end(), date, date + 20);
    t.push_back(200);
    DecodedImage image;
    ASSERT_EQ(decodeImage(t, image), Ok);
    const FrameData& f = image.frames[0];
    EXPECT_EQ(f.pixels[0], 200);
    ASSERT_NE(item(f, 0x8769), nullptr);
    EXPECT_EQ(item(f, 0x8769)->type, PropertyTagTypeLong);
    EXPECT_EQ(text(item(f, 0x9003)), "2023:05:06 07:08:09");
}

} // namespace
} // namespace gp
