#include "tests/plugins/kelvra/kelvra_loader.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <zlib.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

using kelvra_test::Kelvra;
using kelvra_test::TempDir;

namespace {

const Kelvra& K() {
    return Kelvra::get();
}

struct Rgb {
    int r, g, b;
};

// Memory row y of a 24- or 32-bit bitmap, pixel x (bytes are B, G, R).
Rgb pixelAt(KelvraBitmap bitmap, uint32_t x, uint32_t y) {
    const uint8_t* bits = K().KELVRA_GetBits(bitmap);
    uint32_t bytes = K().KELVRA_GetBPP(bitmap) / 8;
    const uint8_t* p = bits + static_cast<size_t>(y) * K().KELVRA_GetPitch(bitmap) + x * bytes;
    return {p[2], p[1], p[0]};
}

bool isRed(Rgb c) {
    return c.r > 200 && c.g < 60 && c.b < 60;
}
bool isBlue(Rgb c) {
    return c.b > 200 && c.r < 60 && c.g < 60;
}

// A 24-bit image whose top half is red and bottom half blue.
KelvraBitmap makeRedOverBlue(int width = 16, int height = 16) {
    int pitch = width * 3;
    std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[static_cast<size_t>(y) * pitch + x * 3];
            bool top = y < height / 2;
            p[0] = top ? 0 : 255; // B
            p[1] = 0;
            p[2] = top ? 255 : 0; // R
        }
    return K().KELVRA_ConvertFromRawBits(pixels.data(), width, height, pitch, 24, 0, 0, 0, 1);
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class KelvraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(K().library, nullptr) << K().error;
        ASSERT_TRUE(K().missing.empty()) << "not exported: " << K().missing.front();
    }
    TempDir m_dir;
};

TEST_F(KelvraTest, VersionReadsAsANonZeroNumber) {
    std::string version = K().KELVRA_GetVersion();
    EXPECT_EQ(version.rfind("3.18", 0), 0u) << version;
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 3) << version;
}

TEST_F(KelvraTest, FormatCodesFromFileNames) {
    struct Case {
        const char* name;
        int32_t code;
    } cases[] = {
        {"a.bmp", KELVRA_FIF_BMP},         {"a.ico", KELVRA_FIF_ICO},   {"a.jpg", KELVRA_FIF_JPEG},
        {"a.pcx", KELVRA_FIF_PCX},         {"a.png", KELVRA_FIF_PNG},   {"a.tga", KELVRA_FIF_TARGA},
        {"a.tif", KELVRA_FIF_TIFF},        {"a.psd", KELVRA_FIF_PSD},   {"a.gif", KELVRA_FIF_GIF},
        {"a.hdr", KELVRA_FIF_HDR},         {"a.exr", KELVRA_FIF_EXR},   {"a.j2k", KELVRA_FIF_J2K},
        {"a.jp2", KELVRA_FIF_JP2},         {"a.webp", KELVRA_FIF_WEBP}, {"a.jxr", KELVRA_FIF_JXR},
        {"a.nothing", KELVRA_FIF_UNKNOWN}, {"", KELVRA_FIF_UNKNOWN}};
    for (const Case& c : cases)
        EXPECT_EQ(K().KELVRA_GetFIFFromFilenameU(c.name), c.code) << c.name;
    EXPECT_EQ(K().KELVRA_GetFIFFromFilenameU(nullptr), KELVRA_FIF_UNKNOWN);
}

TEST_F(KelvraTest, ContentDetectionMatchesTheFormatWrittenAndNeverSays35) {
    KelvraBitmap image = makeRedOverBlue(64, 64); // JPEG 2000 wants more than 16 x 16
    ASSERT_NE(image, 0u);
    // FreeImage names every PNM file PBM by content, so the PNM variants are left out, and its
    // PSD writer leaks; PSD files come from ImageMagick in the integration tests.
    const int32_t codes[] = {KELVRA_FIF_BMP,  KELVRA_FIF_JPEG,  KELVRA_FIF_PNG,
                             KELVRA_FIF_TIFF, KELVRA_FIF_J2K,   KELVRA_FIF_JP2,
                             KELVRA_FIF_WEBP, KELVRA_FIF_TARGA, KELVRA_FIF_ICO};
    for (int32_t code : codes) {
        std::string path = m_dir.file("detect" + std::to_string(code));
        ASSERT_EQ(K().KELVRA_SaveU(code, image, path.c_str(), 0), 1) << code;
        EXPECT_EQ(K().KELVRA_GetFileTypeU(path.c_str(), 0), code) << code;
    }
    EXPECT_EQ(K().KELVRA_GetFileTypeU(m_dir.file("missing").c_str(), 0), KELVRA_FIF_UNKNOWN);
    // The reserved code is refused both ways.
    EXPECT_EQ(K().KELVRA_SaveU(KELVRA_FIF_JBIG, image, m_dir.file("x").c_str(), 0), 0);
    EXPECT_EQ(K().KELVRA_LoadU(KELVRA_FIF_JBIG, m_dir.file("detect0").c_str(), 0), 0u);
    EXPECT_EQ(K().KELVRA_LoadU(99, m_dir.file("detect0").c_str(), 0), 0u);
    K().KELVRA_Unload(image);
}

TEST_F(KelvraTest, JpegPngJ2kJp2LoadTopDownAndOtherFormatsBottomUp) {
    KelvraBitmap image = makeRedOverBlue(64, 64);
    ASSERT_NE(image, 0u);
    struct Case {
        int32_t code;
        bool topDown;
    } cases[] = {{KELVRA_FIF_BMP, false},  {KELVRA_FIF_TIFF, false}, {KELVRA_FIF_TARGA, false},
                 {KELVRA_FIF_WEBP, false}, {KELVRA_FIF_JPEG, true},  {KELVRA_FIF_PNG, true},
                 {KELVRA_FIF_J2K, true},   {KELVRA_FIF_JP2, true}};
    for (const Case& c : cases) {
        std::string path = m_dir.file("rows" + std::to_string(c.code));
        ASSERT_EQ(
            K().KELVRA_SaveU(c.code, image, path.c_str(), c.code == KELVRA_FIF_JPEG ? 100 : 0), 1);
        KelvraBitmap loaded = K().KELVRA_LoadU(c.code, path.c_str(), 0);
        ASSERT_NE(loaded, 0u) << c.code;
        Rgb first = pixelAt(loaded, 0, 0);
        EXPECT_TRUE(c.topDown ? isRed(first) : isBlue(first)) << "code " << c.code;
        K().KELVRA_Unload(loaded);
    }
    K().KELVRA_Unload(image);
}

TEST_F(KelvraTest, TopDownBitmapsAreSavedTheRightWayUpAndLeftUnchanged) {
    KelvraBitmap image = makeRedOverBlue();
    std::string png = m_dir.file("a.png");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_PNG, image, png.c_str(), 0), 1);
    KelvraBitmap topDown = K().KELVRA_LoadU(KELVRA_FIF_PNG, png.c_str(), 0);
    ASSERT_NE(topDown, 0u);

    std::string bmp = m_dir.file("b.bmp");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_BMP, topDown, bmp.c_str(), 0), 1);
    EXPECT_TRUE(isRed(pixelAt(topDown, 0, 0))) << "saving must not leave the rows turned";
    KelvraBitmap again = K().KELVRA_LoadU(KELVRA_FIF_BMP, bmp.c_str(), 0);
    EXPECT_TRUE(isBlue(pixelAt(again, 0, 0))) << "the picture itself was turned over";

    // A flip turns the rows over in memory and the mark with them: the picture is the same.
    ASSERT_EQ(K().KELVRA_FlipVertical(topDown), 1);
    EXPECT_TRUE(isBlue(pixelAt(topDown, 0, 0)));
    std::string flipped = m_dir.file("c.png");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_PNG, topDown, flipped.c_str(), 0), 1);
    KelvraBitmap reread = K().KELVRA_LoadU(KELVRA_FIF_PNG, flipped.c_str(), 0);
    EXPECT_TRUE(isRed(pixelAt(reread, 0, 0)));

    // Conversions keep the row order they came from.
    KelvraBitmap converted = K().KELVRA_ConvertTo32Bits(reread);
    ASSERT_NE(converted, 0u);
    EXPECT_TRUE(isRed(pixelAt(converted, 0, 0)));
    std::string bmp2 = m_dir.file("d.bmp");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_BMP, converted, bmp2.c_str(), 0), 1);
    KelvraBitmap bottomUp = K().KELVRA_LoadU(KELVRA_FIF_BMP, bmp2.c_str(), 0);
    EXPECT_TRUE(isBlue(pixelAt(bottomUp, 0, 0)));

    for (KelvraBitmap b : {image, topDown, again, reread, converted, bottomUp})
        EXPECT_EQ(K().KELVRA_Unload(b), 1);
}

TEST_F(KelvraTest, StaleForgedAndWrongKindHandlesAreRefused) {
    KelvraBitmap image = makeRedOverBlue(4, 4);
    KelvraTag tag = K().KELVRA_CreateTag();
    ASSERT_NE(image, 0u);
    ASSERT_NE(tag, 0u);
    EXPECT_EQ(K().KELVRA_GetWidth(image), 4u);

    // A handle of one kind is not accepted as another.
    EXPECT_EQ(K().KELVRA_GetWidth(tag), 0u);
    EXPECT_EQ(K().KELVRA_Unload(tag), 0);
    EXPECT_EQ(K().KELVRA_DeleteTag(image), 0);
    EXPECT_EQ(K().KELVRA_CloseFileHandle(image), 0);
    EXPECT_EQ(K().KELVRA_GetPageCount(image), 0);

    for (uint32_t forged : {0u, 1u, 0x12345678u, image + 1000}) {
        EXPECT_EQ(K().KELVRA_GetBits(forged), nullptr);
        EXPECT_EQ(K().KELVRA_GetInfo(forged), nullptr);
        EXPECT_EQ(K().KELVRA_GetColorType(forged), -1);
        EXPECT_EQ(K().KELVRA_GetPhotoMetric(forged), -1);
        EXPECT_EQ(K().KELVRA_ConvertTo24Bits(forged), 0u);
        EXPECT_EQ(K().KELVRA_SaveU(KELVRA_FIF_BMP, forged, m_dir.file("f.bmp").c_str(), 0), 0);
    }

    EXPECT_EQ(K().KELVRA_Unload(image), 1);
    EXPECT_EQ(K().KELVRA_Unload(image), 0);
    EXPECT_EQ(K().KELVRA_GetWidth(image), 0u);
    EXPECT_EQ(K().KELVRA_FlipVertical(image), 0);
    EXPECT_EQ(K().KELVRA_DeleteTag(tag), 1);
    EXPECT_EQ(K().KELVRA_DeleteTag(tag), 0);
    EXPECT_EQ(K().KELVRA_SetTagKey(tag, "x"), 0);
}

TEST_F(KelvraTest, InfoHeaderPaletteAndPhotometric) {
    uint8_t bits[4] = {0xF0, 0, 0, 0}; // 4 x 2 pixels, 1 bit, rows of 2 bytes
    KelvraBitmap mono = K().KELVRA_ConvertFromRawBits(bits, 4, 2, 2, 1, 0, 0, 0, 1);
    ASSERT_NE(mono, 0u);
    const KelvraBitmapInfoHeader* info = K().KELVRA_GetInfo(mono);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->size, 40u);
    EXPECT_EQ(info->width, 4);
    EXPECT_EQ(info->height, 2);
    EXPECT_EQ(info->bitCount, 1);
    EXPECT_EQ(K().KELVRA_GetColorsUsed(mono), 2u);
    uint32_t* palette = K().KELVRA_GetPalette(mono);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(info) + 40, reinterpret_cast<uint8_t*>(palette));
    EXPECT_EQ(palette[0], 0x00000000u) << "raw indexed bits get a grey ramp";
    EXPECT_EQ(palette[1], 0x00FFFFFFu);
    EXPECT_EQ(K().KELVRA_GetPhotoMetric(mono), KELVRA_PM_MINISBLACK);
    palette[0] = 0x00FFFFFF;
    palette[1] = 0x00000000;
    EXPECT_EQ(K().KELVRA_GetColorType(mono), KELVRA_CT_MINISWHITE);
    EXPECT_EQ(K().KELVRA_GetPhotoMetric(mono), KELVRA_PM_MINISWHITE);
    // Invert complements the bits and leaves the palette alone.
    ASSERT_EQ(K().KELVRA_Invert(mono), 1);
    EXPECT_EQ(palette[0], 0x00FFFFFFu);
    // The raw rows came top-down and are stored bottom-up: the first row is the last in memory.
    EXPECT_EQ(K().KELVRA_GetBits(mono)[K().KELVRA_GetPitch(mono)] & 0xF0, 0x00);
    EXPECT_EQ(K().KELVRA_GetBits(mono)[0] & 0xF0, 0xF0);

    palette[1] = 0x000000FF; // a colour: no longer grey
    EXPECT_EQ(K().KELVRA_GetPhotoMetric(mono), KELVRA_PM_PALETTE);
    KelvraBitmap rgb = makeRedOverBlue(2, 2);
    EXPECT_EQ(K().KELVRA_GetPhotoMetric(rgb), KELVRA_PM_RGB);
    EXPECT_EQ(K().KELVRA_GetPalette(rgb), nullptr);
    // A bitmap without a resolution says 72 dpi.
    EXPECT_EQ(K().KELVRA_GetDotsPerMeterX(rgb), 2835u);
    EXPECT_EQ(K().KELVRA_SetDotsPerMeterY(rgb, 11811), 1);
    EXPECT_EQ(K().KELVRA_GetDotsPerMeterY(rgb), 11811u);
    K().KELVRA_Unload(mono);
    K().KELVRA_Unload(rgb);
}

TEST_F(KelvraTest, TransparentIndicesAddUp) {
    std::vector<uint8_t> pixels(16);
    for (int i = 0; i < 16; ++i)
        pixels[i] = static_cast<uint8_t>(i); // 16 x 1, one pixel per index
    KelvraBitmap indexed = K().KELVRA_ConvertFromRawBits(pixels.data(), 16, 1, 16, 8, 0, 0, 0, 1);
    ASSERT_NE(indexed, 0u);
    EXPECT_EQ(K().KELVRA_IsTransparent(indexed), 0);
    EXPECT_EQ(K().KELVRA_SetTransparentIndex(indexed, 3), 1);
    EXPECT_EQ(K().KELVRA_SetTransparentIndex(indexed, 7), 1);
    EXPECT_EQ(K().KELVRA_SetTransparentIndex(indexed, 256), 0);
    EXPECT_EQ(K().KELVRA_SetTransparentIndex(indexed, -1), 0);
    EXPECT_EQ(K().KELVRA_IsTransparent(indexed), 1);
    EXPECT_GE(K().KELVRA_GetTransparencyCount(indexed), 8u);

    KelvraBitmap argb = K().KELVRA_ConvertTo32Bits(indexed);
    ASSERT_NE(argb, 0u);
    const uint8_t* row = K().KELVRA_GetBits(argb);
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(row[x * 4 + 3], (x == 3 || x == 7) ? 0 : 255) << "index " << x;
    K().KELVRA_Unload(argb);
    K().KELVRA_Unload(indexed);

    KelvraBitmap rgb = makeRedOverBlue(2, 2);
    EXPECT_EQ(K().KELVRA_SetTransparentIndex(rgb, 0), 0);
    K().KELVRA_Unload(rgb);
}

TEST_F(KelvraTest, RawBitsAreValidatedAnd16BitWithoutMasksKeepsRed) {
    uint16_t pixel[2] = {0x7C00, 0x7C00}; // 5-5-5 red
    KelvraBitmap b16 =
        K().KELVRA_ConvertFromRawBits(reinterpret_cast<uint8_t*>(pixel), 2, 1, 4, 16, 0, 0, 0, 1);
    ASSERT_NE(b16, 0u);
    KelvraBitmap b24 = K().KELVRA_ConvertTo24Bits(b16);
    ASSERT_NE(b24, 0u);
    EXPECT_TRUE(isRed(pixelAt(b24, 0, 0)));
    K().KELVRA_Unload(b16);
    K().KELVRA_Unload(b24);

    uint8_t bits[64] = {};
    EXPECT_EQ(K().KELVRA_ConvertFromRawBits(nullptr, 2, 2, 8, 24, 0, 0, 0, 1), 0u);
    EXPECT_EQ(K().KELVRA_ConvertFromRawBits(bits, 0, 2, 8, 24, 0, 0, 0, 1), 0u);
    EXPECT_EQ(K().KELVRA_ConvertFromRawBits(bits, 4, 2, 8, 24, 0, 0, 0, 1), 0u); // pitch < 12
    EXPECT_EQ(K().KELVRA_ConvertFromRawBits(bits, 2, 2, 8, 12, 0, 0, 0, 1), 0u);
}

TEST_F(KelvraTest, JpegQualityIsClampedToOneToHundred) {
    KelvraBitmap image = makeRedOverBlue(32, 32);
    struct Case {
        int32_t flags;
        int32_t same;
    } cases[] = {{150, 100}, {1000, 100}, {0, 1}, {-20, 1}};
    for (const Case& c : cases) {
        std::string a = m_dir.file("q" + std::to_string(c.flags) + ".jpg");
        std::string b = m_dir.file("s" + std::to_string(c.same) + ".jpg");
        ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_JPEG, image, a.c_str(), c.flags), 1);
        ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_JPEG, image, b.c_str(), c.same), 1);
        EXPECT_EQ(readFile(a), readFile(b)) << "flags " << c.flags;
    }
    EXPECT_NE(readFile(m_dir.file("s1.jpg")), readFile(m_dir.file("s100.jpg")));
    K().KELVRA_Unload(image);
}

// Makes a tag with the given fields; 0 when the plug-in refused the value.
KelvraTag makeTag(const char* key, uint16_t id, int32_t type, uint32_t count, uint32_t length,
                  const void* value) {
    KelvraTag tag = K().KELVRA_CreateTag();
    K().KELVRA_SetTagKey(tag, key);
    K().KELVRA_SetTagLength(tag, length);
    K().KELVRA_SetTagCount(tag, count);
    K().KELVRA_SetTagType(tag, type);
    K().KELVRA_SetTagID(tag, id);
    if (!K().KELVRA_SetTagValue(tag, value)) {
        K().KELVRA_DeleteTag(tag);
        return 0;
    }
    return tag;
}

struct FoundTag {
    std::string key;
    uint16_t id;
    int32_t type;
    uint32_t count;
    std::string value;
};

std::vector<FoundTag> enumerate(int32_t model, KelvraBitmap bitmap) {
    std::vector<FoundTag> found;
    KelvraTag tag = 0;
    KelvraSearch search = K().KELVRA_FindFirstMetadata(model, bitmap, &tag);
    if (!search)
        return found;
    do {
        const char* key = K().KELVRA_GetTagKey(tag);
        const char* value = static_cast<const char*>(K().KELVRA_GetTagValue(tag));
        found.push_back({key ? key : "", K().KELVRA_GetTagID(tag), K().KELVRA_GetTagType(tag),
                         K().KELVRA_GetTagCount(tag),
                         std::string(value ? value : "", K().KELVRA_GetTagLength(tag))});
    } while (K().KELVRA_FindNextMetadata(search, &tag));
    EXPECT_EQ(tag, 0u);
    EXPECT_EQ(K().KELVRA_FindCloseMetadata(search), 1);
    return found;
}

const FoundTag* findId(const std::vector<FoundTag>& tags, uint16_t id) {
    for (const FoundTag& t : tags)
        if (t.id == id)
            return &t;
    return nullptr;
}

TEST_F(KelvraTest, TagValuesMustMatchCountTimesWidth) {
    const uint16_t shorts[2] = {1, 2};
    EXPECT_EQ(makeTag("BitsPerSample", 0x0102, KELVRA_TAG_SHORT, 1, 4, shorts), 0u);
    EXPECT_EQ(makeTag("BitsPerSample", 0x0102, KELVRA_TAG_SHORT, 3, 4, shorts), 0u);
    KelvraTag two = makeTag("BitsPerSample", 0x0102, KELVRA_TAG_SHORT, 2, 4, shorts);
    EXPECT_NE(two, 0u);
    K().KELVRA_DeleteTag(two);
    // A text counted as one value, as GDI+ items count it, is taken with its byte count.
    const char text[] = "Tavimo";
    KelvraTag ok = makeTag("Artist", 0x013B, KELVRA_TAG_ASCII, 1, 7, text);
    ASSERT_NE(ok, 0u);
    EXPECT_STREQ(K().KELVRA_GetTagKey(ok), "Artist");
    EXPECT_EQ(K().KELVRA_GetTagLength(ok), 7u);
    EXPECT_EQ(K().KELVRA_GetTagCount(ok), 7u);
    EXPECT_EQ(std::memcmp(K().KELVRA_GetTagValue(ok), text, 7), 0);
    EXPECT_EQ(K().KELVRA_SetTagValue(ok, nullptr), 0);
    EXPECT_EQ(K().KELVRA_DeleteTag(ok), 1);
}

TEST_F(KelvraTest, IptcAndXmpTagsSurviveJpegAndTiffRoundTrips) {
    KelvraBitmap image = makeRedOverBlue(16, 16);
    const char name[] = "Harbour";
    KelvraTag iptc = makeTag("ObjectName", 0x0205, KELVRA_TAG_ASCII, 7, 7, name);
    ASSERT_NE(iptc, 0u);
    ASSERT_EQ(K().KELVRA_SetMetadata(KELVRA_MD_IPTC, image, nullptr, iptc), 1);
    const std::string packet = "<x:xmpmeta xmlns:x='adobe:ns:meta/'></x:xmpmeta>";
    // Given under the JPEG marker's id on purpose: it is stored under the XMP id.
    KelvraTag xmp = makeTag("XMLPacket", 0x00E1, KELVRA_TAG_ASCII, packet.size() + 1,
                            packet.size() + 1, packet.c_str());
    ASSERT_NE(xmp, 0u);
    ASSERT_EQ(K().KELVRA_SetMetadata(KELVRA_MD_XMP, image, "XMLPacket", xmp), 1);
    EXPECT_EQ(K().KELVRA_GetMetadataCount(KELVRA_MD_IPTC, image), 1u);

    std::string jpg = m_dir.file("meta.jpg");
    std::string tif = m_dir.file("meta.tif");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_JPEG, image, jpg.c_str(), 90), 1);
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_TIFF, image, tif.c_str(), KELVRA_SAVE_TIFF_LZW), 1);
    for (auto [code, path] : {std::pair{KELVRA_FIF_JPEG, jpg}, std::pair{KELVRA_FIF_TIFF, tif}}) {
        KelvraBitmap loaded = K().KELVRA_LoadU(code, path.c_str(), 0);
        ASSERT_NE(loaded, 0u);
        auto tags = enumerate(KELVRA_MD_IPTC, loaded);
        EXPECT_EQ(tags.size(), K().KELVRA_GetMetadataCount(KELVRA_MD_IPTC, loaded));
        // FreeImage's TIFF writer cuts the IPTC block short, so only JPEG keeps it whole.
        if (code == KELVRA_FIF_JPEG) {
            const FoundTag* objectName = findId(tags, 0x0205);
            ASSERT_NE(objectName, nullptr) << "format " << code;
            EXPECT_EQ(objectName->type, KELVRA_TAG_ASCII);
            EXPECT_EQ(objectName->value.substr(0, 7), "Harbour");
            EXPECT_NE(findId(tags, 0x0200), nullptr) << "the record version is added";
        }
        auto xmpTags = enumerate(KELVRA_MD_XMP, loaded);
        ASSERT_EQ(xmpTags.size(), 1u) << "format " << code;
        EXPECT_EQ(xmpTags[0].id, KELVRA_XMP_TAG_ID) << "format " << code;
        EXPECT_NE(xmpTags[0].value.find("xmpmeta"), std::string::npos);
        K().KELVRA_Unload(loaded);
    }
    K().KELVRA_DeleteTag(iptc);
    K().KELVRA_DeleteTag(xmp);
    K().KELVRA_Unload(image);
}

TEST_F(KelvraTest, SearchTagsAreReadOnlyAndOutliveTheirBitmap) {
    KelvraBitmap image = makeRedOverBlue(4, 4);
    uint32_t one = 1, two = 2;
    KelvraTag a = makeTag("A", 0x9001, KELVRA_TAG_LONG, 1, 4, &one);
    KelvraTag b = makeTag("B", 0x9002, KELVRA_TAG_LONG, 1, 4, &two);
    ASSERT_EQ(K().KELVRA_SetMetadata(KELVRA_MD_EXIF_EXIF, image, "A", a), 1);
    ASSERT_EQ(K().KELVRA_SetMetadata(KELVRA_MD_EXIF_EXIF, image, "B", b), 1);

    KelvraTag first = 0;
    KelvraSearch search = K().KELVRA_FindFirstMetadata(KELVRA_MD_EXIF_EXIF, image, &first);
    ASSERT_NE(search, 0u);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(K().KELVRA_SetTagKey(first, "changed"), 0);
    EXPECT_EQ(K().KELVRA_DeleteTag(first), 0);
    EXPECT_EQ(K().KELVRA_Unload(image), 1);
    KelvraTag second = 0;
    ASSERT_EQ(K().KELVRA_FindNextMetadata(search, &second), 1);
    EXPECT_EQ(K().KELVRA_GetTagID(first), 0) << "the previous tag is stale";
    EXPECT_EQ(*static_cast<const uint32_t*>(K().KELVRA_GetTagValue(second)), 2u);
    EXPECT_EQ(K().KELVRA_FindNextMetadata(search, &second), 0);
    EXPECT_EQ(K().KELVRA_FindCloseMetadata(search), 1);
    EXPECT_EQ(K().KELVRA_FindCloseMetadata(search), 0);
    EXPECT_EQ(K().KELVRA_FindNextMetadata(search, &second), 0);

    KelvraTag none = 1;
    KelvraBitmap empty = makeRedOverBlue(2, 2);
    EXPECT_EQ(K().KELVRA_FindFirstMetadata(KELVRA_MD_IPTC, empty, &none), 0u);
    EXPECT_EQ(none, 0u);
    EXPECT_EQ(K().KELVRA_FindFirstMetadata(42, empty, &none), 0u);
    // Tag 0 removes a key; the model cannot be dropped without one.
    ASSERT_EQ(K().KELVRA_SetMetadata(KELVRA_MD_EXIF_EXIF, empty, "A", a), 1);
    EXPECT_EQ(K().KELVRA_SetMetadata(KELVRA_MD_EXIF_EXIF, empty, nullptr, 0), 0);
    EXPECT_EQ(K().KELVRA_SetMetadata(KELVRA_MD_EXIF_EXIF, empty, "A", 0), 1);
    EXPECT_EQ(K().KELVRA_GetMetadataCount(KELVRA_MD_EXIF_EXIF, empty), 0u);
    K().KELVRA_Unload(empty);
    K().KELVRA_DeleteTag(a);
    K().KELVRA_DeleteTag(b);
}

// Writes a TIFF of pages 8 pixels wide and 4, 5, 6, ... rows high, 8-bit grey.
void writeGreyPages(const std::string& path, int pages) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    for (int p = 0; p < pages; ++p) {
        uint32_t height = 4 + p;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 8u);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
        std::vector<uint8_t> row(8, static_cast<uint8_t>(40 * p));
        for (uint32_t y = 0; y < height; ++y)
            TIFFWriteScanline(tif, row.data(), y, 0);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
}

TEST_F(KelvraTest, MultiPageOpenLockUnlockAndClose) {
    std::string path = m_dir.file("pages.tif");
    writeGreyPages(path, 3);
    KelvraFileHandle file = K().KELVRA_OpenFileU(path.c_str());
    ASSERT_NE(file, 0u);
    KelvraMultiBitmap multi = K().KELVRA_OpenMultiBitmapU(KELVRA_FIF_TIFF, 0, file);
    ASSERT_NE(multi, 0u);
    ASSERT_EQ(K().KELVRA_GetPageCount(multi), 3);

    for (int i = 0; i < 3; ++i) {
        KelvraBitmap page = K().KELVRA_LockPage(multi, i);
        ASSERT_NE(page, 0u) << i;
        EXPECT_EQ(K().KELVRA_GetHeight(page), 4u + i);
        EXPECT_EQ(K().KELVRA_GetBits(page)[0], 40 * i);
        EXPECT_EQ(K().KELVRA_Unload(page), 0) << "a locked page goes back through unlock";
        EXPECT_EQ(K().KELVRA_UnlockPage(multi, page, 0), 1);
        EXPECT_EQ(K().KELVRA_GetHeight(page), 0u);
    }
    EXPECT_EQ(K().KELVRA_LockPage(multi, 3), 0u);
    EXPECT_EQ(K().KELVRA_LockPage(multi, -1), 0u);

    // The file handle may go first; the pages stay readable until the bitmap is closed.
    EXPECT_EQ(K().KELVRA_CloseFileHandle(file), 1);
    EXPECT_EQ(K().KELVRA_CloseFileHandle(file), 0);
    KelvraBitmap kept = K().KELVRA_LockPage(multi, 2);
    ASSERT_NE(kept, 0u);
    EXPECT_EQ(K().KELVRA_LockPage(multi, 2), 0u) << "a page is locked once at a time";
    KelvraBitmap copy = K().KELVRA_ConvertTo24Bits(kept);
    EXPECT_NE(copy, 0u);
    EXPECT_EQ(K().KELVRA_CloseMultiBitmap(multi, 0), 1);
    EXPECT_EQ(K().KELVRA_GetWidth(kept), 0u) << "closing gives locked pages back";
    EXPECT_EQ(K().KELVRA_UnlockPage(multi, kept, 0), 0);
    EXPECT_EQ(K().KELVRA_CloseMultiBitmap(multi, 0), 0);
    EXPECT_EQ(K().KELVRA_GetHeight(copy), 6u) << "a converted page is independent";
    EXPECT_EQ(K().KELVRA_Unload(copy), 1);
}

TEST_F(KelvraTest, PagesBelongToTheirOwnMultiPageBitmap) {
    std::string one = m_dir.file("one.tif");
    std::string two = m_dir.file("two.tif");
    writeGreyPages(one, 1);
    writeGreyPages(two, 2);
    KelvraFileHandle f1 = K().KELVRA_OpenFileU(one.c_str());
    KelvraFileHandle f2 = K().KELVRA_OpenFileU(two.c_str());
    KelvraMultiBitmap m1 = K().KELVRA_OpenMultiBitmapU(KELVRA_FIF_TIFF, 0, f1);
    KelvraMultiBitmap m2 = K().KELVRA_OpenMultiBitmapU(KELVRA_FIF_TIFF, 0, f2);
    ASSERT_NE(m1, 0u);
    ASSERT_NE(m2, 0u);
    EXPECT_EQ(K().KELVRA_GetPageCount(m1), 1);
    KelvraBitmap page = K().KELVRA_LockPage(m2, 1);
    ASSERT_NE(page, 0u);
    EXPECT_EQ(K().KELVRA_UnlockPage(m1, page, 0), 0);
    EXPECT_EQ(K().KELVRA_UnlockPage(m2, page, 1), 1);
    EXPECT_EQ(K().KELVRA_CloseMultiBitmap(m1, 0), 1);
    EXPECT_EQ(K().KELVRA_CloseMultiBitmap(m2, 0), 1);
    EXPECT_EQ(K().KELVRA_CloseFileHandle(f1), 1);
    EXPECT_EQ(K().KELVRA_CloseFileHandle(f2), 1);

    // A file that has no pages of that format does not open.
    KelvraBitmap image = makeRedOverBlue(2, 2);
    std::string png = m_dir.file("a.png");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_PNG, image, png.c_str(), 0), 1);
    KelvraFileHandle f3 = K().KELVRA_OpenFileU(png.c_str());
    EXPECT_EQ(K().KELVRA_OpenMultiBitmapU(KELVRA_FIF_TIFF, 0, f3), 0u);
    EXPECT_EQ(K().KELVRA_OpenMultiBitmapU(KELVRA_FIF_TIFF, 0, 0), 0u);
    EXPECT_EQ(K().KELVRA_OpenFileU(m_dir.file("missing.tif").c_str()), 0u);
    K().KELVRA_CloseFileHandle(f3);
    K().KELVRA_Unload(image);
}

TEST_F(KelvraTest, ZlibOutputInflatesBack) {
    std::string text(5000, 'a');
    for (size_t i = 0; i < text.size(); i += 7)
        text[i] = static_cast<char>('a' + i % 26);
    std::vector<uint8_t> out(text.size() + text.size() / 100 + 12);
    uint32_t size = K().KELVRA_ZLibCompress2(
        out.data(), out.size(), reinterpret_cast<const uint8_t*>(text.data()), text.size());
    ASSERT_GT(size, 0u);
    ASSERT_LT(size, text.size());
    std::vector<uint8_t> back(text.size());
    uLongf backSize = back.size();
    ASSERT_EQ(uncompress(back.data(), &backSize, out.data(), size), Z_OK);
    EXPECT_EQ(std::string(back.begin(), back.begin() + backSize), text);

    uint8_t tiny[4];
    EXPECT_EQ(K().KELVRA_ZLibCompress2(tiny, sizeof tiny,
                                       reinterpret_cast<const uint8_t*>(text.data()), text.size()),
              0u);
    EXPECT_EQ(K().KELVRA_ZLibCompress2(nullptr, 100, tiny, 4), 0u);
}

// Decodes raw group 4 data with libtiff, by wrapping it in a one-strip TIFF.
std::vector<uint8_t> decodeG4(const TempDir& dir, const uint8_t* data, int32_t size, int width,
                              int height) {
    std::string path = dir.file("g4.tif");
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(height));
    TIFFWriteRawStrip(tif, 0, const_cast<uint8_t*>(data), size);
    TIFFClose(tif);

    tif = TIFFOpen(path.c_str(), "r");
    std::vector<uint8_t> rows;
    if (!tif)
        return rows;
    size_t rowBytes = (width + 7) / 8;
    std::vector<uint8_t> line(TIFFScanlineSize(tif));
    for (int y = 0; y < height; ++y) {
        if (TIFFReadScanline(tif, line.data(), y, 0) < 0)
            break;
        rows.insert(rows.end(), line.begin(), line.begin() + rowBytes);
    }
    TIFFClose(tif);
    return rows;
}

TEST_F(KelvraTest, Group4OutputDecodesToTheInputBits) {
    const int width = 37, height = 23, stride = 8; // padded rows
    std::vector<uint8_t> input(stride * height, 0);
    auto setBlack = [&](int x, int y) { input[y * stride + x / 8] |= 0x80 >> (x % 8); };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((x * x + 3 * y) % 11 < 4 || (x > 10 && x < 20 && y > 5 && y < 15))
                setBlack(x, y);
    KelvraByteArray in{input.data(), static_cast<int32_t>(input.size())};
    KelvraByteArray out{nullptr, 0};
    ASSERT_EQ(K().KELVRA_VB_CompressCCITT4(&out, &in, width, height, stride, 0), KELVRA_CCITT_OK);
    ASSERT_NE(out.data, nullptr);
    ASSERT_GT(out.size, 0);
    // The data is bare group 4, not a TIFF file.
    EXPECT_FALSE(out.size >= 2 && out.data[0] == 'I' && out.data[1] == 'I');

    std::vector<uint8_t> decoded = decodeG4(m_dir, out.data, out.size, width, height);
    ASSERT_EQ(decoded.size(), static_cast<size_t>(5 * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool want = input[y * stride + x / 8] & (0x80 >> (x % 8));
            bool got = decoded[y * 5 + x / 8] & (0x80 >> (x % 8));
            ASSERT_EQ(got, want) << x << "," << y;
        }
    K().KELVRA_FreeByteArray(&out);
    EXPECT_EQ(out.data, nullptr);
    EXPECT_EQ(out.size, 0);
}

TEST_F(KelvraTest, Group4RefusesBadArguments) {
    std::vector<uint8_t> input(16, 0xFF);
    KelvraByteArray in{input.data(), 16};
    KelvraByteArray out{reinterpret_cast<uint8_t*>(1), 5};
    struct Case {
        int width, height, rowBytes;
    } cases[] = {{0, 2, 2}, {8, 0, 2}, {17, 2, 2}, {16, 9, 2}, {-3, 2, 2}};
    for (const Case& c : cases) {
        EXPECT_EQ(K().KELVRA_VB_CompressCCITT4(&out, &in, c.width, c.height, c.rowBytes, 0),
                  KELVRA_CCITT_INVALID_PARAMETER);
        EXPECT_EQ(out.data, nullptr);
        EXPECT_EQ(out.size, 0);
    }
    EXPECT_EQ(K().KELVRA_VB_CompressCCITT4(&out, nullptr, 8, 2, 1, 0),
              KELVRA_CCITT_INVALID_PARAMETER);
    EXPECT_EQ(K().KELVRA_VB_CompressCCITT4(nullptr, &in, 8, 2, 1, 0),
              KELVRA_CCITT_INVALID_PARAMETER);
    K().KELVRA_FreeByteArray(nullptr);
}

TEST_F(KelvraTest, Utf8PathsAreUsedAsTheyAre) {
    KelvraBitmap image = makeRedOverBlue(4, 4);
    std::string path = m_dir.file("h\xC3\xA9llo \xE2\x82\xAC.png");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_PNG, image, path.c_str(), 0), 1);
    EXPECT_TRUE(std::ifstream(path).good());
    EXPECT_EQ(K().KELVRA_GetFileTypeU(path.c_str(), 0), KELVRA_FIF_PNG);
    EXPECT_EQ(K().KELVRA_GetFIFFromFilenameU(path.c_str()), KELVRA_FIF_PNG);
    KelvraBitmap loaded = K().KELVRA_LoadU(KELVRA_FIF_PNG, path.c_str(), 0);
    EXPECT_NE(loaded, 0u);
    KelvraFileHandle file = K().KELVRA_OpenFileU(path.c_str());
    EXPECT_NE(file, 0u);
    K().KELVRA_CloseFileHandle(file);
    K().KELVRA_Unload(loaded);
    K().KELVRA_Unload(image);
}

TEST_F(KelvraTest, DamagedFilesFailWithoutCrashing) {
    KelvraBitmap image = makeRedOverBlue(64, 64);
    for (int32_t code : {KELVRA_FIF_BMP, KELVRA_FIF_PNG, KELVRA_FIF_JPEG, KELVRA_FIF_TIFF,
                         KELVRA_FIF_TARGA, KELVRA_FIF_WEBP, KELVRA_FIF_JP2}) {
        SCOPED_TRACE(code);
        std::string path = m_dir.file("whole");
        ASSERT_EQ(K().KELVRA_SaveU(code, image, path.c_str(), 0), 1);
        std::vector<uint8_t> bytes = readFile(path);
        for (size_t keep : {bytes.size() / 2, size_t{40}, size_t{3}}) {
            std::string cut = m_dir.file("cut");
            std::ofstream(cut, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(keep));
            // A partial picture is acceptable; a crash or a hang is not.
            KelvraBitmap loaded = K().KELVRA_LoadU(code, cut.c_str(), 0);
            if (loaded) {
                EXPECT_EQ(K().KELVRA_Unload(loaded), 1);
            }
        }
    }
    std::string junk = m_dir.file("junk.psd");
    std::ofstream(junk, std::ios::binary) << "8BPS this is not a picture at all";
    EXPECT_EQ(K().KELVRA_LoadU(KELVRA_FIF_PSD, junk.c_str(), 0), 0u);
    EXPECT_EQ(K().KELVRA_LoadU(KELVRA_FIF_PNG, m_dir.file("absent.png").c_str(), 0), 0u);
    EXPECT_EQ(K().KELVRA_LoadU(KELVRA_FIF_PNG, nullptr, 0), 0u);
    K().KELVRA_Unload(image);
}

// An 8-bit grey bitmap, as the grey-JPEG save path hands it over.
KelvraBitmap makeGrey(int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(i * 7);
    KelvraBitmap grey =
        K().KELVRA_ConvertFromRawBits(pixels.data(), width, height, width, 8, 0, 0, 0, 1);
    uint32_t* palette = K().KELVRA_GetPalette(grey);
    for (uint32_t i = 0; i < 256; ++i)
        palette[i] = i * 0x010101u;
    return grey;
}

TEST_F(KelvraTest, ExifTagsOfABitmapAreWrittenIntoItsJpegFile) {
    KelvraBitmap grey = makeGrey(16, 16);
    ASSERT_EQ(K().KELVRA_GetColorType(grey), KELVRA_CT_MINISBLACK);
    const uint32_t exposure[2] = {1, 125}, resolution[2] = {300, 1};
    const uint16_t orientation = 1;
    const uint8_t thumbnail[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    struct Item {
        const char* key;
        uint16_t id;
        int32_t type;
        uint32_t count, length;
        const void* value;
    } exifItems[] = {
        {"Make", 0x010F, KELVRA_TAG_ASCII, 7, 7, "Tavimo"},
        {"Orientation", 0x0112, KELVRA_TAG_SHORT, 1, 2, &orientation},
        {"XResolution", 282, KELVRA_TAG_RATIONAL, 1, 8, resolution},
        {"DateTimeOriginal", 0x9003, KELVRA_TAG_ASCII, 20, 20, "2024:01:02 03:04:05"},
        {"ExposureTime", 0x829A, KELVRA_TAG_RATIONAL, 1, 8, exposure},
        {"ThumbnailData", 0x501B, KELVRA_TAG_BYTE, 8, 8, thumbnail},
    };
    for (const Item& item : exifItems) {
        KelvraTag tag = makeTag(item.key, item.id, item.type, item.count, item.length, item.value);
        ASSERT_NE(tag, 0u) << item.key;
        ASSERT_EQ(K().KELVRA_SetMetadata(KELVRA_MD_EXIF_EXIF, grey, item.key, tag), 1);
        K().KELVRA_DeleteTag(tag);
    }
    KelvraTag gps = makeTag("GPSLatitudeRef", 0x0001, KELVRA_TAG_ASCII, 2, 2, "N");
    ASSERT_EQ(K().KELVRA_SetMetadata(KELVRA_MD_EXIF_GPS, grey, nullptr, gps), 1);
    K().KELVRA_DeleteTag(gps);

    std::string path = m_dir.file("exif.jpg");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_JPEG, grey, path.c_str(), 90), 1);
    EXPECT_EQ(K().KELVRA_GetMetadataCount(KELVRA_MD_EXIF_RAW, grey), 0u)
        << "the bitmap is left as it was";

    KelvraBitmap loaded = K().KELVRA_LoadU(KELVRA_FIF_JPEG, path.c_str(), 0);
    ASSERT_NE(loaded, 0u);
    auto main = enumerate(KELVRA_MD_EXIF_MAIN, loaded);
    auto exif = enumerate(KELVRA_MD_EXIF_EXIF, loaded);
    auto gpsTags = enumerate(KELVRA_MD_EXIF_GPS, loaded);
    ASSERT_NE(findId(main, 0x010F), nullptr);
    EXPECT_EQ(findId(main, 0x010F)->value.substr(0, 6), "Tavimo");
    ASSERT_NE(findId(main, 0x0112), nullptr);
    ASSERT_NE(findId(main, 282), nullptr);
    EXPECT_EQ(findId(main, 282)->value, std::string(reinterpret_cast<const char*>(resolution), 8));
    ASSERT_NE(findId(exif, 0x9003), nullptr);
    EXPECT_EQ(findId(exif, 0x9003)->value.substr(0, 19), "2024:01:02 03:04:05");
    ASSERT_NE(findId(exif, 0x829A), nullptr);
    EXPECT_EQ(findId(exif, 0x829A)->value, std::string(reinterpret_cast<const char*>(exposure), 8));
    EXPECT_EQ(findId(main, 0x501B), nullptr);
    EXPECT_EQ(findId(exif, 0x501B), nullptr);
    ASSERT_NE(findId(gpsTags, 0x0001), nullptr);
    EXPECT_EQ(findId(gpsTags, 0x0001)->value.substr(0, 1), "N");
    K().KELVRA_Unload(loaded);
    K().KELVRA_Unload(grey);
}

TEST_F(KelvraTest, ThreadsLoadConvertAndFreeAtTheSameTime) {
    KelvraBitmap image = makeRedOverBlue(32, 32);
    std::string png = m_dir.file("shared.png");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_PNG, image, png.c_str(), 0), 1);
    K().KELVRA_Unload(image);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                KelvraBitmap b = K().KELVRA_LoadU(KELVRA_FIF_PNG, png.c_str(), 0);
                KelvraBitmap c = K().KELVRA_ConvertTo32Bits(b);
                KelvraTag tag = K().KELVRA_CreateTag();
                if (!b || !c || !tag || !isRed(pixelAt(c, 0, 0)))
                    ++failures;
                if (K().KELVRA_Unload(c) != 1 || K().KELVRA_Unload(b) != 1 ||
                    K().KELVRA_DeleteTag(tag) != 1)
                    ++failures;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

// Runs body with stderr sent to a file and answers what was written there.
template <class F> std::string stderrOf(const TempDir& dir, F&& body) {
    std::string path = dir.file("stderr.txt");
    std::fflush(stderr);
    int saved = dup(2);
    FILE* sink = std::fopen(path.c_str(), "w");
    dup2(fileno(sink), 2);
    body();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::fclose(sink);
    std::vector<uint8_t> bytes = readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST_F(KelvraTest, TiffSavesSurviveMainTagsLibtiffDoesNotKnow) {
    // An EXIF-only tag filed with the main-directory tags made FreeImage's TIFF writer crash.
    KelvraBitmap image = makeRedOverBlue(8, 8);
    const uint32_t exposure[2] = {1, 60};
    KelvraTag tag = makeTag("ExposureTime", 0x829A, KELVRA_TAG_RATIONAL, 1, 8, exposure);
    const char make[] = "Tavimo";
    KelvraTag known = makeTag("Make", 0x010F, KELVRA_TAG_ASCII, 7, 7, make); // libtiff knows it
    ASSERT_EQ(K().KELVRA_SetMetadata(KELVRA_MD_EXIF_MAIN, image, nullptr, tag), 1);
    ASSERT_EQ(K().KELVRA_SetMetadata(KELVRA_MD_EXIF_MAIN, image, nullptr, known), 1);
    std::string path = m_dir.file("tags.tif");
    ASSERT_EQ(K().KELVRA_SaveU(KELVRA_FIF_TIFF, image, path.c_str(), KELVRA_SAVE_TIFF_LZW), 1);
    auto kept = enumerate(KELVRA_MD_EXIF_MAIN, image);
    EXPECT_NE(findId(kept, 0x829A), nullptr) << "the tag is put back after the save";
    EXPECT_NE(findId(kept, 0x010F), nullptr);
    KelvraBitmap loaded = K().KELVRA_LoadU(KELVRA_FIF_TIFF, path.c_str(), 0);
    ASSERT_NE(loaded, 0u);
    EXPECT_EQ(K().KELVRA_GetWidth(loaded), 8u);
    K().KELVRA_Unload(loaded);
    K().KELVRA_DeleteTag(tag);
    K().KELVRA_DeleteTag(known);
    K().KELVRA_Unload(image);
}

// A 1 x 1 grey TIFF with a private tag (50000) that libtiff warns about when reading.
std::vector<uint8_t> tiffWithPrivateTag() {
    struct Field {
        uint16_t tag, type;
        uint32_t count, value;
    } fields[] = {{256, 3, 1, 1}, {257, 3, 1, 1}, {258, 3, 1, 8}, {259, 3, 1, 1}, {262, 3, 1, 1},
                  {273, 4, 1, 0}, {277, 3, 1, 1}, {278, 3, 1, 1}, {279, 4, 1, 1}, {50000, 3, 1, 7}};
    const uint16_t n = sizeof fields / sizeof fields[0];
    const uint32_t pixelAt = 8 + 2 + 12 * n + 4;
    fields[5].value = pixelAt;
    std::vector<uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put(n, 2);
    for (const Field& f : fields) {
        put(f.tag, 2);
        put(f.type, 2);
        put(f.count, 4);
        put(f.value, 4);
    }
    put(0, 4);
    out.push_back(0x80);
    return out;
}

TEST_F(KelvraTest, LibtiffStaysQuietDuringPluginCallsOnly) {
    std::string path = m_dir.file("private.tif");
    std::vector<uint8_t> bytes = tiffWithPrivateTag();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    // libtiff itself reports the private tag on stderr.
    std::string direct = stderrOf(m_dir, [&] {
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        EXPECT_NE(tif, nullptr);
        if (tif)
            TIFFClose(tif);
    });
    EXPECT_NE(direct.find("50000"), std::string::npos) << direct;
    KelvraBitmap loaded = 0;
    std::string during =
        stderrOf(m_dir, [&] { loaded = K().KELVRA_LoadU(KELVRA_FIF_TIFF, path.c_str(), 0); });
    EXPECT_EQ(during, "");
    EXPECT_NE(loaded, 0u);
    K().KELVRA_Unload(loaded);
}

} // namespace
