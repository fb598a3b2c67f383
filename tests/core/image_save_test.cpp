#include "core/image_info.h"
#include "core/image_save.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/session.h"
#include "platform/win/files.h"
#include "tests/support/core_fake_plugin.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>

namespace {

using namespace tavimo;

// ImageMagick's answer for a format string on a file: an independent reader.
std::string identify(const std::string& format, const std::string& path) {
    std::string command = "identify -format '" + format + "' '" + path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    std::array<char, 256> buffer;
    while (pipe && fgets(buffer.data(), buffer.size(), pipe.get()))
        out += buffer.data();
    return out;
}

class ImageSave : public ::testing::Test {
protected:
    void SetUp() override {
        gp::test::ResetSession();
        ASSERT_TRUE(StartGdiPlus());
        m_dir = win::GetTempFolder();
    }
    void TearDown() override {
        StopGdiPlus();
        gp::test::ResetSession();
        for (const std::string& f : m_files)
            win::deleteFileQuietly(f);
    }
    ImageId image(gp::PixelFormat format, int w = 16, int h = 8) {
        gp::GpBitmap b = 0;
        EXPECT_EQ(gp::GdipCreateBitmapFromScan0(w, h, 0, format, nullptr, &b), gp::Ok);
        ImageId id = 0;
        RegisterImage(id, b, "", "", SourceKindGdiImage);
        return id;
    }
    ImageId greyImage() {
        ImageId id = image(gp::PixelFormat8bppIndexed);
        std::vector<uint8_t> buffer(sizeof(gp::ColorPalette) + 255 * sizeof(gp::ARGB));
        auto* palette = reinterpret_cast<gp::ColorPalette*>(buffer.data());
        palette->Flags = gp::PaletteFlagsGrayScale;
        palette->Count = 256;
        for (uint32_t i = 0; i < 256; ++i)
            palette->Entries[i] = 0xFF000000u | i * 0x010101u;
        EXPECT_EQ(gp::GdipSetImagePalette(GetGdiImage(id), palette), gp::Ok);
        EXPECT_TRUE(IsGreyPalette(id));
        return id;
    }
    std::string file(const std::string& extension) {
        std::string path = win::MakeTempFileName() + extension;
        m_files.push_back(path);
        return path;
    }
    std::string m_dir;
    std::vector<std::string> m_files;
};

TEST_F(ImageSave, JpegQualityIsClampedOrLeftToTheEncoder) {
    ImageId id = image(gp::PixelFormat24bppRGB);
    std::string high = file(".jpg"), fallback = file(".jpg"), given = file(".jpg");
    ASSERT_EQ(SaveAsJpeg(id, high, 150, 0, true), OK);
    ASSERT_EQ(SaveAsJpeg(id, fallback, -1, 0, true), OK);
    ASSERT_EQ(SaveAsJpeg(id, given, 40, 0, true), OK);
    EXPECT_EQ(identify("%Q", high), "100");
    EXPECT_EQ(identify("%Q", given), "40");
    EXPECT_EQ(identify("%m", fallback), "JPEG");
}

TEST_F(ImageSave, TiffCompressionFollowsTheOutputDepth) {
    struct Case {
        gp::PixelFormat format;
        int32_t compression, depth;
        const char* expectedCompression;
        const char* expectedDepth;
    } cases[] = {
        {gp::PixelFormat24bppRGB, 4, 0, "LZW", "8"},
        {gp::PixelFormat1bppIndexed, 4, 0, "Group4", "1"},
        {gp::PixelFormat24bppRGB, 0, 16, "", "8"}, // 16 is written as 24 (8 per sample)
        {gp::PixelFormat24bppRGB, 6, 0, "None", "8"},
    };
    for (const Case& c : cases) {
        ImageId id = image(c.format);
        std::string path = file(".tif");
        ASSERT_EQ(SaveAsTiff(id, path, c.compression, c.depth), OK);
        if (*c.expectedCompression) {
            EXPECT_EQ(identify("%C", path), c.expectedCompression) << c.compression;
        }
        EXPECT_EQ(identify("%z", path), c.expectedDepth);
        ReleaseImage(id);
    }
}

TEST_F(ImageSave, ByteArraysByFormatText) {
    ImageId id = image(gp::PixelFormat24bppRGB);
    int32_t length = 0;
    std::vector<uint8_t> bytes;
    ASSERT_EQ(SaveToByteArray(id, length, bytes, "xyz", 0), OK); // unknown: BMP
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(length, static_cast<int32_t>(bytes.size()));

    ASSERT_EQ(SaveToByteArray(id, length, bytes, " PNG ", 0), OK);
    EXPECT_EQ(bytes[1], 'P');

    // Quality below 0 in a stream means 75; 0 means no parameter (the encoder's default).
    std::string low = file(".jpg"), none = file(".jpg");
    ASSERT_EQ(SaveToByteArray(id, length, bytes, "jpg", -5), OK);
    ASSERT_TRUE(win::writeWholeFile(low, bytes));
    EXPECT_EQ(identify("%Q", low), "75");
    ASSERT_EQ(SaveToByteArray(id, length, bytes, "jpg", 0), OK);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
}

TEST_F(ImageSave, GreyJpegGoesToThePluginAndFallsBackWhenItFails) {
    test_support::FakePlugin fake;
    fake.install();
    fake.setResult("KELVRA_ConvertFromRawBits", 5);
    ImageId id = greyImage();

    fake.setResult("KELVRA_SaveU", 1);
    std::string viaPlugin = file(".jpg");
    EXPECT_EQ(SaveAsJpeg(id, viaPlugin, 80, 0, false), OK);
    EXPECT_EQ(fake.callCount("KELVRA_SaveU"), 1);
    EXPECT_EQ(fake.callCount("KELVRA_Unload"), 1);
    EXPECT_TRUE(win::FileExists(viaPlugin).empty()); // the fake wrote nothing

    fake.setResult("KELVRA_SaveU", 0);
    std::string viaGdiplus = file(".jpg");
    EXPECT_EQ(SaveAsJpeg(id, viaGdiplus, 80, 0, false), OK);
    EXPECT_EQ(identify("%m %[colorspace]", viaGdiplus), "JPEG Gray");
}

TEST_F(ImageSave, NothingIsWrittenWithoutAnImage) {
    std::string path = file(".png");
    EXPECT_NE(SaveAsPng(12345, path), OK);
    int32_t length = 0;
    std::vector<uint8_t> bytes;
    EXPECT_NE(SaveToByteArray(12345, length, bytes, "png", 0), OK);
}

} // namespace
