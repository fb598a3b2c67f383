// The image-core calls and ApplyFilter of the C++ API, through libtavimo.so only.

#include <tavimo/filters.h>
#include <tavimo/image.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bmp.h"

namespace {

namespace fs = std::filesystem;
using namespace tavimo;

// Each test runs in a process of its own, so the temporary folder set here is the one the
// library uses for its staged copies.
class PublicImageTest : public testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("tavimo-public-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        setenv("tmp", (m_dir.string() + "/").c_str(), 1);
        ASSERT_TRUE(m_session.started());
    }
    void TearDown() override { fs::remove_all(m_dir); }

    size_t filesInTemp() const {
        return size_t(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }

    ImageId load(const std::vector<uint8_t>& bytes) {
        ImageId id = 0;
        EXPECT_EQ(LoadImageFromMemory(id, bytes.data(), bytes.size()), OK);
        EXPECT_NE(id, 0);
        return id;
    }

    std::vector<uint32_t> pixels(ImageId id, int& w, int& h) {
        std::vector<uint8_t> bytes;
        EXPECT_EQ(SaveToByteArray(id, bytes, "bmp"), OK);
        return publictest::readBmp(bytes, w, h);
    }

    fs::path m_dir;
    ImageSession m_session;
};

TEST_F(PublicImageTest, LoadsFromMemoryAndReportsTheImage) {
    ImageId id = load(publictest::bmp24(5, 3, [](int, int) { return 0x336699u; }));
    int32_t w = 0, h = 0, bits = 0, pages = -1;
    float dpiX = 0, dpiY = 0;
    PixelFormats format = PixelFormatUndefined;
    EXPECT_EQ(GetImageWidth(id, w), OK);
    EXPECT_EQ(GetImageHeight(id, h), OK);
    EXPECT_EQ(GetImageHorizontalResolution(id, dpiX), OK);
    EXPECT_EQ(GetImageVerticalResolution(id, dpiY), OK);
    EXPECT_EQ(GetImagePixelFormat(id, format), OK);
    EXPECT_EQ(GetImageBitDepth(id, bits), OK);
    EXPECT_EQ(GetTiffPageCount(id, pages), UnsupportedImageFormat);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 3);
    EXPECT_NEAR(dpiX, 96, 0.05); // 3780 pixels per metre
    EXPECT_NEAR(dpiY, 96, 0.05);
    EXPECT_EQ(format, PixelFormat24bppRGB);
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(pages, 0);
    EXPECT_EQ(GetImageFormatName(id), "BMP");
    EXPECT_EQ(ReleaseImage(id), OK);
}

TEST_F(PublicImageTest, FiltersChangeTheRectangleAndReportTheirCounts) {
    ImageId id = load(publictest::bmp24(4, 2, [](int, int) { return 0x102030u; }));

    FilterRect left{0, 0, 2, 2};
    double result = -1;
    ASSERT_EQ(ApplyFilter(FilterNegative, id, 0, left, 0, 0, 0, 0, 0, 0, result), OK);
    EXPECT_EQ(result, -1); // not a counting operation: left alone
    int w = 0, h = 0;
    std::vector<uint32_t> after = pixels(id, w, h);
    ASSERT_EQ(after.size(), 8u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(after[size_t(y * 4 + x)], x < 2 ? 0xEFDFCFu : 0x102030u) << x << "," << y;

    // The count of a colour comes back through `result`; colours are signed ARGB values.
    FilterRect whole{0, 0, 4, 2};
    const double inverted = double(int32_t(0xFFEFDFCFu));
    ASSERT_EQ(ApplyFilter(FilterCountColor, id, 0, whole, 0, 0, 0, inverted, 0, 0, result), OK);
    EXPECT_EQ(result, 4);

    // The short form works on the whole image.
    ASSERT_EQ(ApplyFilter(FilterNegative, id), OK);
    after = pixels(id, w, h);
    ASSERT_EQ(after.size(), 8u);
    EXPECT_EQ(after[0], 0x102030u);
    EXPECT_EQ(after[3], 0xEFDFCFu);
    ReleaseImage(id);
}

TEST_F(PublicImageTest, TheStagedCopyOfAMemoryLoadGoesWithItsImage) {
    ImageId id = load(publictest::bmp24(2, 2, [](int x, int) { return x ? 0xFFFFFFu : 0u; }));
    EXPECT_EQ(filesInTemp(), 1u);
    EXPECT_EQ(ReleaseImage(id), OK);
    EXPECT_EQ(filesInTemp(), 0u);

    const std::vector<uint8_t> garbage(64, 0x5A);
    id = 7;
    EXPECT_NE(LoadImageFromMemory(id, garbage.data(), garbage.size()), OK);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(filesInTemp(), 0u);
}

TEST_F(PublicImageTest, SavedFilesLoadBackInTheirFormat) {
    ImageId id = load(publictest::bmp24(6, 4, [](int x, int y) { return uint32_t(x * 40 + y); }));
    struct Case {
        const char* file;
        QuennetStatus (*save)(ImageId, const std::string&);
        const char* format;
    };
    const Case cases[] = {
        {"a.png", [](ImageId i, const std::string& p) { return SaveAsPng(i, p); }, "PNG"},
        {"a.jpg", [](ImageId i, const std::string& p) { return SaveAsJpeg(i, p, 90); }, "JPEG"},
        {"a.tif", [](ImageId i, const std::string& p) { return SaveAsTiff(i, p, 2); }, "TIFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = (m_dir / c.file).string();
        ASSERT_EQ(c.save(id, path), OK);
        ImageId back = 0;
        ASSERT_EQ(LoadImageFromFile(back, path), OK);
        int32_t w = 0, h = 0;
        EXPECT_EQ(GetImageWidth(back, w), OK);
        EXPECT_EQ(GetImageHeight(back, h), OK);
        EXPECT_EQ(w, 6);
        EXPECT_EQ(h, 4);
        EXPECT_EQ(GetImageFormatName(back), c.format);
        ReleaseImage(back);
    }
    ReleaseImage(id);
}

TEST_F(PublicImageTest, TheCodecPluginIsFoundBesideTheLibrary) {
#ifndef TAVIMO_TEST_CODEC_PLUGIN
    GTEST_SKIP() << "the codec plug-in is not built";
#endif
    // The tests run without TAVIMO_PLUGIN_PATH (the plug-in loads once, at first use).
    ASSERT_EQ(std::getenv("TAVIMO_PLUGIN_PATH"), nullptr);
    // 4 x 2 pixels of uncompressed true-colour TGA: a format only the plug-in reads.
    std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 24, 0};
    for (int i = 0; i < 8; ++i)
        tga.insert(tga.end(), {0xFF, 0, 0});
    ImageId id = load(tga);
    int32_t w = 0;
    EXPECT_EQ(GetImageWidth(id, w), OK);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(GetImageFormatName(id), "TARGA");
    ReleaseImage(id);
}

TEST_F(PublicImageTest, FailuresAreStatuses) {
    ImageId id = load(publictest::bmp24(3, 3, [](int, int) { return 0u; }));
    const ImageId unknown = id + 1;
    int32_t w = 9;
    PixelFormats format = PixelFormat32bppARGB;
    FilterRect outside{2, 2, 5, 5};
    double result = 0;
    ImageId loaded = 5;
    const uint8_t one = 0;

    EXPECT_EQ(GetImageWidth(unknown, w), InvalidParameter);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(GetImagePixelFormat(unknown, format), InvalidParameter);
    EXPECT_EQ(format, PixelFormatUndefined);
    EXPECT_EQ(GetImageFormatName(unknown), "");
    EXPECT_EQ(ApplyFilter(FilterNegative, unknown), InvalidParameter);
    EXPECT_EQ(ApplyFilter(FilterNegative, id, 0, outside, 0, 0, 0, 0, 0, 0, result),
              InvalidParameter);
    EXPECT_EQ(LoadImageFromFile(loaded, ""), FileNotFound);
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(LoadImageFromFile(loaded, (m_dir / "missing.png").string()), FileNotFound);
    EXPECT_EQ(LoadImageFromMemory(loaded, nullptr, 10), InvalidParameter);
    EXPECT_EQ(LoadImageFromMemory(loaded, &one, 0), InvalidParameter);
    EXPECT_NE(SaveAsPng(id, (m_dir / "no-such-folder" / "x.png").string()), OK);
    EXPECT_EQ(SelectTiffPage(id, 1), UnsupportedImageFormat);

    EXPECT_EQ(ReleaseImage(id), OK);
    EXPECT_EQ(ReleaseImage(id), InvalidParameter);
}

TEST_F(PublicImageTest, ImagesBelongToTheThreadThatLoadedThem) {
    ImageId id = load(publictest::bmp24(3, 2, [](int, int) { return 0u; }));
    QuennetStatus elsewhere = OK;
    std::thread other([&] {
        ImageSession session;
        int32_t w = 0;
        elsewhere = GetImageWidth(id, w);
    });
    other.join();
    EXPECT_EQ(elsewhere, InvalidParameter);
    // The other thread's last stop released its own table only.
    int32_t w = 0;
    EXPECT_EQ(GetImageWidth(id, w), OK);
    ReleaseImage(id);
}

} // namespace
