// The plug-in against files written by an independent tool (ImageMagick), and files it
// writes read back by that tool.

#include "tests/plugins/kelvra/kelvra_loader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using kelvra_test::Kelvra;
using kelvra_test::TempDir;

namespace {

const Kelvra& K() {
    return Kelvra::get();
}

bool run(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

std::string capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return out;
    std::array<char, 256> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe))
        out += buffer.data();
    pclose(pipe);
    return out;
}

bool haveConvert() {
    static const bool have = run("convert -version >/dev/null");
    return have;
}

struct Rgb {
    int r, g, b;
};

// The pixel at column x of the picture's top row, in a 24- or 32-bit bitmap, honouring the
// row order the plug-in promises for the format.
Rgb topPixel(KelvraBitmap bitmap, int32_t code, uint32_t x = 0) {
    bool topDown = code == KELVRA_FIF_JPEG || code == KELVRA_FIF_PNG || code == KELVRA_FIF_J2K ||
                   code == KELVRA_FIF_JP2;
    uint32_t row = topDown ? 0 : K().KELVRA_GetHeight(bitmap) - 1;
    const uint8_t* p = K().KELVRA_GetBits(bitmap) +
                       static_cast<size_t>(row) * K().KELVRA_GetPitch(bitmap) +
                       x * (K().KELVRA_GetBPP(bitmap) / 8);
    return {p[2], p[1], p[0]};
}

// What the bridge does with non-standard image types: grey for 16-bit grey, tone mapping
// for high-range colour, then 24 bits.
KelvraBitmap toDisplayable(KelvraBitmap bitmap) {
    KelvraBitmap converted = 0;
    switch (K().KELVRA_GetImageType(bitmap)) {
    case KELVRA_IT_BITMAP:
        converted = K().KELVRA_ConvertTo24Bits(bitmap);
        break;
    case KELVRA_IT_UINT16: {
        KelvraBitmap grey = K().KELVRA_ConvertToGreyscale(bitmap);
        converted = K().KELVRA_ConvertTo24Bits(grey);
        K().KELVRA_Unload(grey);
        break;
    }
    case KELVRA_IT_RGB16:
    case KELVRA_IT_RGBF:
    case KELVRA_IT_RGBAF:
        converted = K().KELVRA_TmoReinhard05(bitmap, 0, 0);
        break;
    default: {
        KelvraBitmap standard = K().KELVRA_ConvertToType(bitmap, KELVRA_IT_BITMAP, 1);
        converted = K().KELVRA_ConvertTo24Bits(standard);
        K().KELVRA_Unload(standard);
    }
    }
    return converted;
}

class KelvraFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(K().library, nullptr) << K().error;
        ASSERT_TRUE(K().missing.empty());
        if (!haveConvert())
            GTEST_SKIP() << "ImageMagick's convert is not installed";
    }
    TempDir m_dir;
};

TEST_F(KelvraFilesTest, FormatsWrittenByImageMagickLoadTheRightWayUp) {
    struct Case {
        const char* file;    // ImageMagick picks the format from the name
        const char* options; // extra output options
        int32_t code;
        int32_t imageType;
        bool grey; // white over black instead of red over blue
    } cases[] = {
        {"a.psd", "-depth 8", KELVRA_FIF_PSD, KELVRA_IT_BITMAP, false},
        {"a16.psd", "-depth 16", KELVRA_FIF_PSD, KELVRA_IT_RGB16, false},
        {"a.pcx", "", KELVRA_FIF_PCX, KELVRA_IT_BITMAP, false},
        {"a.sgi", "-depth 8", KELVRA_FIF_SGI, KELVRA_IT_BITMAP, false},
        {"a.ras", "", KELVRA_FIF_RAS, KELVRA_IT_BITMAP, false},
        {"a.webp", "-define webp:lossless=true", KELVRA_FIF_WEBP, KELVRA_IT_BITMAP, false},
        {"a.jp2", "-depth 8 -quality 100", KELVRA_FIF_JP2, KELVRA_IT_BITMAP, false},
        {"a.j2k", "-depth 8 -quality 100", KELVRA_FIF_J2K, KELVRA_IT_BITMAP, false},
        {"a.jpg", "-quality 95", KELVRA_FIF_JPEG, KELVRA_IT_BITMAP, false},
        {"a.png", "", KELVRA_FIF_PNG, KELVRA_IT_BITMAP, false},
        {"png48:a16.png", "", KELVRA_FIF_PNG, KELVRA_IT_RGB16, false},
        {"a16.tif", "-depth 16", KELVRA_FIF_TIFF, KELVRA_IT_RGB16, false},
        {"g16.png", "-colorspace Gray -define png:bit-depth=16 -define png:color-type=0",
         KELVRA_FIF_PNG, KELVRA_IT_UINT16, true},
        {"g16.tif", "-colorspace Gray -depth 16", KELVRA_FIF_TIFF, KELVRA_IT_UINT16, true},
        {"a.hdr", "", KELVRA_FIF_HDR, KELVRA_IT_RGBF, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string name = c.file;
        std::string prefix = name.substr(0, name.find(':') + 1);
        std::string path = m_dir.file(name.substr(prefix.size()));
        const char* colours = c.grey ? "xc:white xc:black" : "xc:red xc:blue";
        ASSERT_TRUE(run(std::string("convert -size 32x16 ") + colours + " -append " + c.options +
                        " " + prefix + path));
        EXPECT_EQ(K().KELVRA_GetFileTypeU(path.c_str(), 0), c.code);
        KelvraBitmap loaded = K().KELVRA_LoadU(c.code, path.c_str(), 0);
        ASSERT_NE(loaded, 0u);
        EXPECT_EQ(K().KELVRA_GetWidth(loaded), 32u);
        EXPECT_EQ(K().KELVRA_GetHeight(loaded), 32u);
        EXPECT_EQ(K().KELVRA_GetImageType(loaded), c.imageType);
        KelvraBitmap shown = toDisplayable(loaded);
        ASSERT_NE(shown, 0u);
        Rgb top = topPixel(shown, c.code);
        if (c.grey) {
            EXPECT_GT(top.r, 200);
        } else {
            EXPECT_TRUE(top.r > 150 && top.b < 100) << top.r << "," << top.g << "," << top.b;
        }
        K().KELVRA_Unload(shown);
        K().KELVRA_Unload(loaded);
    }
}

TEST_F(KelvraFilesTest, FilesThePluginWritesReadTheRightWayUpElsewhere) {
    std::string source = m_dir.file("source.png");
    ASSERT_TRUE(run("convert -size 8x4 xc:red xc:blue -append " + source));
    KelvraBitmap loaded = K().KELVRA_LoadU(KELVRA_FIF_PNG, source.c_str(), 0);
    ASSERT_NE(loaded, 0u);
    // A two-colour PNG loads indexed; the WebP writer takes only 24 or 32 bits and says so.
    ASSERT_LE(K().KELVRA_GetBPP(loaded), 8u);
    EXPECT_EQ(K().KELVRA_SaveU(KELVRA_FIF_WEBP, loaded, m_dir.file("x.webp").c_str(), 0), 0);
    KelvraBitmap topDown = K().KELVRA_ConvertTo24Bits(loaded);
    ASSERT_NE(topDown, 0u);
    K().KELVRA_Unload(loaded);
    for (auto [code, name] :
         {std::pair{KELVRA_FIF_TIFF, "out.tif"}, std::pair{KELVRA_FIF_WEBP, "out.webp"},
          std::pair{KELVRA_FIF_BMP, "out.bmp"}, std::pair{KELVRA_FIF_JPEG, "out.jpg"},
          std::pair{KELVRA_FIF_PNG, "out.png"}}) {
        SCOPED_TRACE(name);
        std::string path = m_dir.file(name);
        ASSERT_EQ(K().KELVRA_SaveU(code, topDown, path.c_str(), code == KELVRA_FIF_JPEG ? 95 : 0),
                  1);
        std::string top = capture(
            "convert " + path + " -format '%[fx:int(255*p{0,0}.r)] %[fx:int(255*p{0,0}.b)]' info:");
        int r = -1, b = -1;
        ASSERT_EQ(std::sscanf(top.c_str(), "%d %d", &r, &b), 2) << top;
        EXPECT_GT(r, 200);
        EXPECT_LT(b, 60);
    }
    K().KELVRA_Unload(topDown);
}

// ImageMagick's TGA files disagree with their own origin bit, so the TGA fixtures are made
// here: a 2 x 2 picture, red row over blue row, stored from either origin.
TEST(KelvraTargaTest, BothOriginsLoadTheRightWayUp) {
    ASSERT_NE(K().library, nullptr) << K().error;
    TempDir dir;
    for (bool topLeft : {false, true}) {
        SCOPED_TRACE(topLeft ? "top-left origin" : "bottom-left origin");
        std::string header(18, '\0');
        header[2] = 2;  // uncompressed true colour
        header[12] = 2; // width
        header[14] = 2; // height
        header[16] = 24;
        header[17] = topLeft ? 0x20 : 0x00;
        const std::string red("\x00\x00\xFF\x00\x00\xFF", 6);
        const std::string blue("\xFF\x00\x00\xFF\x00\x00", 6);
        std::string path = dir.file("a.tga");
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::string body = header + (topLeft ? red + blue : blue + red);
        std::fwrite(body.data(), 1, body.size(), f);
        std::fclose(f);
        KelvraBitmap loaded = K().KELVRA_LoadU(KELVRA_FIF_TARGA, path.c_str(), 0);
        ASSERT_NE(loaded, 0u);
        Rgb top = topPixel(loaded, KELVRA_FIF_TARGA);
        EXPECT_EQ(top.r, 255);
        EXPECT_EQ(top.b, 0);
        K().KELVRA_Unload(loaded);
    }
}

TEST_F(KelvraFilesTest, HighRangeImagesRoundTripThroughExrAndToneMap) {
    std::string hdr = m_dir.file("a.hdr");
    ASSERT_TRUE(run("convert -size 16x8 xc:red xc:blue -append " + hdr));
    KelvraBitmap loaded = K().KELVRA_LoadU(KELVRA_FIF_HDR, hdr.c_str(), 0);
    ASSERT_NE(loaded, 0u);
    ASSERT_EQ(K().KELVRA_GetImageType(loaded), KELVRA_IT_RGBF);
    std::string exr = m_dir.file("a.exr");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_EXR, loaded, exr.c_str(), 0), 1);
    EXPECT_EQ(K().KELVRA_GetFileTypeU(exr.c_str(), 0), KELVRA_FIF_EXR);
    KelvraBitmap again = K().KELVRA_LoadU(KELVRA_FIF_EXR, exr.c_str(), 0);
    ASSERT_NE(again, 0u);
    int32_t type = K().KELVRA_GetImageType(again);
    EXPECT_TRUE(type == KELVRA_IT_RGBF || type == KELVRA_IT_RGBAF) << type;
    KelvraBitmap mapped = K().KELVRA_TmoReinhard05(again, 0, 0);
    ASSERT_NE(mapped, 0u);
    EXPECT_EQ(K().KELVRA_GetBPP(mapped), 24u);
    Rgb top = topPixel(mapped, KELVRA_FIF_EXR);
    EXPECT_TRUE(top.r > 150 && top.b < 100) << top.r << "," << top.b;
    for (KelvraBitmap b : {loaded, again, mapped})
        K().KELVRA_Unload(b);
}

TEST_F(KelvraFilesTest, MultiPageTiffPagesAndAMinIsWhiteGroup4Page) {
    std::string path = m_dir.file("pages.tif");
    ASSERT_TRUE(run("convert -size 8x4 xc:red -size 8x6 xc:green "
                    "\\( -size 16x8 xc:white -fill black -draw 'rectangle 0,0 3,7' -monochrome "
                    "-compress Group4 -define tiff:photometric=min-is-white \\) " +
                    path));
    EXPECT_EQ(K().KELVRA_GetFileTypeU(path.c_str(), 0), KELVRA_FIF_TIFF);
    KelvraFileHandle file = K().KELVRA_OpenFileU(path.c_str());
    KelvraMultiBitmap multi = K().KELVRA_OpenMultiBitmapU(KELVRA_FIF_TIFF, 0, file);
    ASSERT_NE(multi, 0u);
    ASSERT_EQ(K().KELVRA_GetPageCount(multi), 3);
    const uint32_t heights[] = {4, 6, 8};
    for (int i = 0; i < 3; ++i) {
        KelvraBitmap page = K().KELVRA_LockPage(multi, i);
        ASSERT_NE(page, 0u);
        EXPECT_EQ(K().KELVRA_GetHeight(page), heights[i]);
        if (i == 2) {
            EXPECT_EQ(K().KELVRA_GetBPP(page), 1u);
            EXPECT_EQ(K().KELVRA_GetPhotoMetric(page), KELVRA_PM_MINISWHITE);
            // Bit 1 is black ink: the left four pixels of every row.
            const uint8_t* bits = K().KELVRA_GetBits(page);
            EXPECT_EQ(bits[0], 0xF0);
            ASSERT_EQ(K().KELVRA_Invert(page), 1);
            EXPECT_EQ(bits[0], 0x0F);
            EXPECT_EQ(K().KELVRA_GetPhotoMetric(page), KELVRA_PM_MINISWHITE)
                << "inverting leaves the palette";
        }
        EXPECT_EQ(K().KELVRA_UnlockPage(multi, page, 0), 1);
    }
    // A page saved on its own as an LZW TIFF, as page files are made.
    KelvraBitmap page = K().KELVRA_LockPage(multi, 0);
    std::string single = m_dir.file("page0.tif");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_TIFF, page, single.c_str(), KELVRA_SAVE_TIFF_LZW), 1);
    EXPECT_EQ(capture("convert " + single + " -format '%wx%h %C' info:"), "8x4 LZW");
    EXPECT_EQ(K().KELVRA_CloseMultiBitmap(multi, 0), 1);
    EXPECT_EQ(K().KELVRA_CloseFileHandle(file), 1);

    // Single-page files open as one page.
    std::string one = m_dir.file("one.tif");
    ASSERT_TRUE(run("convert -size 4x4 xc:gray " + one));
    KelvraFileHandle f1 = K().KELVRA_OpenFileU(one.c_str());
    KelvraMultiBitmap m1 = K().KELVRA_OpenMultiBitmapU(KELVRA_FIF_TIFF, 0, f1);
    EXPECT_EQ(K().KELVRA_GetPageCount(m1), 1);
    K().KELVRA_CloseMultiBitmap(m1, 0);
    K().KELVRA_CloseFileHandle(f1);
}

TEST_F(KelvraFilesTest, AnimatedGifFramesPlayBack) {
    std::string path = m_dir.file("anim.gif");
    ASSERT_TRUE(run("convert -delay 10 -size 6x6 xc:red xc:lime xc:blue " + path));
    KelvraFileHandle file = K().KELVRA_OpenFileU(path.c_str());
    KelvraMultiBitmap multi =
        K().KELVRA_OpenMultiBitmapU(KELVRA_FIF_GIF, KELVRA_LOAD_GIF_PLAYBACK, file);
    ASSERT_NE(multi, 0u);
    ASSERT_EQ(K().KELVRA_GetPageCount(multi), 3);
    KelvraBitmap frame = K().KELVRA_LockPage(multi, 2);
    ASSERT_NE(frame, 0u);
    EXPECT_EQ(K().KELVRA_GetBPP(frame), 32u);
    Rgb c = topPixel(frame, KELVRA_FIF_GIF);
    EXPECT_GT(c.b, 200);
    EXPECT_LT(c.r, 60);
    K().KELVRA_UnlockPage(multi, frame, 0);
    K().KELVRA_CloseMultiBitmap(multi, 0);
    K().KELVRA_CloseFileHandle(file);
}

TEST_F(KelvraFilesTest, ResolutionSurvivesAndDefaultsTo72Dpi) {
    std::string dpi = m_dir.file("dpi.tif");
    std::string none = m_dir.file("none.png");
    ASSERT_TRUE(run("convert -size 4x4 xc:white -units PixelsPerInch -density 300x150 " + dpi));
    ASSERT_TRUE(run("convert -size 4x4 xc:white -units Undefined " + none));
    KelvraBitmap a = K().KELVRA_LoadU(KELVRA_FIF_TIFF, dpi.c_str(), 0);
    KelvraBitmap b = K().KELVRA_LoadU(KELVRA_FIF_PNG, none.c_str(), 0);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NEAR(K().KELVRA_GetDotsPerMeterX(a), 11811, 1);
    EXPECT_NEAR(K().KELVRA_GetDotsPerMeterY(a), 5906, 1);
    EXPECT_EQ(K().KELVRA_GetDotsPerMeterX(b), 2835u);
    EXPECT_EQ(K().KELVRA_GetDotsPerMeterY(b), 2835u);
    K().KELVRA_Unload(a);
    K().KELVRA_Unload(b);
}

TEST_F(KelvraFilesTest, ExifWrittenIntoAJpegReadsBackElsewhere) {
    std::vector<uint8_t> pixels(64, 128);
    KelvraBitmap grey = K().KELVRA_ConvertFromRawBits(pixels.data(), 8, 8, 8, 8, 0, 0, 0, 1);
    uint32_t* palette = K().KELVRA_GetPalette(grey);
    for (uint32_t i = 0; i < 256; ++i)
        palette[i] = i * 0x010101u;
    struct Item {
        const char* key;
        uint16_t id;
        const char* text;
        int32_t model;
    } items[] = {{"Make", 0x010F, "Tavimo", KELVRA_MD_EXIF_EXIF},
                 {"DateTimeOriginal", 0x9003, "2024:01:02 03:04:05", KELVRA_MD_EXIF_EXIF},
                 {"GPSLatitudeRef", 0x0001, "N", KELVRA_MD_EXIF_GPS}};
    for (const Item& item : items) {
        uint32_t length = static_cast<uint32_t>(std::strlen(item.text) + 1);
        KelvraTag tag = K().KELVRA_CreateTag();
        K().KELVRA_SetTagKey(tag, item.key);
        K().KELVRA_SetTagLength(tag, length);
        K().KELVRA_SetTagCount(tag, length);
        K().KELVRA_SetTagType(tag, KELVRA_TAG_ASCII);
        K().KELVRA_SetTagID(tag, item.id);
        ASSERT_EQ(K().KELVRA_SetTagValue(tag, item.text), 1);
        ASSERT_EQ(K().KELVRA_SetMetadata(item.model, grey, item.key, tag), 1);
        K().KELVRA_DeleteTag(tag);
    }
    std::string path = m_dir.file("exif.jpg");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_JPEG, grey, path.c_str(), 80), 1);
    EXPECT_EQ(capture("identify -format '%[EXIF:Make]|%[EXIF:DateTimeOriginal]|"
                      "%[EXIF:GPSLatitudeRef]' " +
                      path),
              "Tavimo|2024:01:02 03:04:05|N");
    K().KELVRA_Unload(grey);
}

} // namespace
