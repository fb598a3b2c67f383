// The registry: content sniffing, the encoder list, and the metafile hook.

#include "platform/gdiplus/codec_registry.h"
#include "tests/platform/gdiplus/codec_test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace gp {
namespace {

TEST(EncoderList, HasTheFiveEncodersInOrderWithUniqueIdsAndPatterns) {
    auto list = encoderList();
    ASSERT_EQ(list.size(), 5u);
    const char* names[] = {"BMP", "JPEG", "GIF", "TIFF", "PNG"};
    const char* patterns[] = {"*.BMP;*.DIB;*.RLE", "*.JPG;*.JPEG;*.JPE;*.JFIF", "*.GIF",
                              "*.TIF;*.TIFF", "*.PNG"};
    const char* mimes[] = {"image/bmp", "image/jpeg", "image/gif", "image/tiff", "image/png"};
    std::set<win::Guid> ids;
    std::set<std::string> allPatterns;
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_STREQ(list[i].formatDescription, names[i]);
        EXPECT_STREQ(list[i].filenameExtension, patterns[i]);
        EXPECT_STREQ(list[i].mimeType, mimes[i]);
        EXPECT_TRUE(list[i].flags & ImageCodecFlagsEncoder);
        ids.insert(list[i].clsid);
        EXPECT_EQ(findEncoder(list[i].clsid), &list[i]);
        std::string p = list[i].filenameExtension;
        for (size_t start = 0; start <= p.size();) {
            size_t end = p.find(';', start);
            if (end == std::string::npos)
                end = p.size();
            EXPECT_TRUE(allPatterns.insert(p.substr(start, end - start)).second);
            start = end + 1;
        }
    }
    EXPECT_EQ(ids.size(), 5u);
    EXPECT_EQ(list[3].formatId, ImageFormatTIFF);
}

TEST(Sniffing, GoesByContentNotName) {
    FrameData frame = test::makeFrame(test::makePattern(8, 8), PixelFormat24bppRGB);
    const struct {
        const char* encoder;
        ImageKind kind;
        win::Guid raw;
    } rows[] = {{"BMP", ImageKind::Bmp, ImageFormatBMP},
                {"JPEG", ImageKind::Jpeg, ImageFormatJPEG},
                {"GIF", ImageKind::Gif, ImageFormatGIF},
                {"TIFF", ImageKind::Tiff, ImageFormatTIFF},
                {"PNG", ImageKind::Png, ImageFormatPNG}};
    for (const auto& row : rows) {
        std::vector<uint8_t> bytes;
        ASSERT_EQ(encodeImage(test::encoderFor(row.encoder), frame, nullptr, bytes), Ok);
        EXPECT_EQ(sniffImageKind(bytes), row.kind) << row.encoder;
        DecodedImage image;
        ASSERT_EQ(decodeImage(bytes, image), Ok);
        EXPECT_EQ(image.rawFormat, row.raw);
    }
    const uint8_t text[] = "just some text, not an image";
    DecodedImage image;
    EXPECT_EQ(decodeImage(std::span<const uint8_t>(text, sizeof text), image), UnknownImageFormat);
    EXPECT_EQ(decodeImage({}, image), InvalidParameter);
}

Status fakeMetafileReader(std::span<const uint8_t>, ImageKind kind, DecodedImage& out) {
    out.rawFormat = kind == ImageKind::Wmf ? ImageFormatWMF : ImageFormatEMF;
    out.frames.emplace_back();
    codec::allocateFrame(out.frames.back(), 3, 2, PixelFormat32bppARGB);
    return Ok;
}

TEST(Sniffing, MetafilesGoToTheMetafileReader) {
    std::vector<uint8_t> wmf = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> emf(88, 0);
    emf[0] = 1;
    emf[40] = ' ', emf[41] = 'E', emf[42] = 'M', emf[43] = 'F';
    EXPECT_EQ(sniffImageKind(wmf), ImageKind::Wmf);
    EXPECT_EQ(sniffImageKind(emf), ImageKind::Emf);
    DecodedImage image;
    setMetafileReader(nullptr);
    EXPECT_EQ(decodeImage(wmf, image), UnknownImageFormat);
    setMetafileReader(fakeMetafileReader);
    ASSERT_EQ(decodeImage(emf, image), Ok);
    EXPECT_EQ(image.rawFormat, ImageFormatEMF);
    ASSERT_EQ(decodeImage(wmf, image), Ok);
    EXPECT_EQ(image.rawFormat, ImageFormatWMF);
    setMetafileReader(nullptr);
}

TEST(BmpDecoder, HonoursShortColourTablesAndTopDownRows) {
    // 2x2 8-bit top-down BMP with a two-entry table (biClrUsed = 2).
    std::vector<uint8_t> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0};
    auto put32 = [&](uint32_t v) { codec::put32(bmp, v); };
    put32(40);
    put32(2);
    put32(uint32_t(-2));
    codec::put16(bmp, 1);
    codec::put16(bmp, 8);
    put32(0);
    put32(0);
    put32(3780); // 96 dpi in pels per metre
    put32(0);
    put32(2);
    put32(0);
    put32(0x000000FF); // entry 0: blue (bytes B,G,R,0)
    put32(0x00FF0000); // entry 1: red
    bmp.insert(bmp.end(), {0, 1, 0, 0, 1, 0, 0, 0});
    DecodedImage image;
    ASSERT_EQ(decodeImage(bmp, image), Ok);
    const FrameData& f = image.frames[0];
    EXPECT_EQ(f.format, PixelFormat8bppIndexed);
    ASSERT_EQ(f.palette.entries.size(), 2u);
    EXPECT_EQ(f.palette.entries[0], 0xFF0000FFu);
    EXPECT_EQ(f.pixels[0], 0); // top row first
    EXPECT_EQ(f.pixels[f.stride], 1);
    EXPECT_NEAR(f.dpiX, 96.0, 0.1);
}

TEST(BmpDecoder, ExpandsRle4RunsAbsoluteRunsAndDeltas) {
    std::vector<uint8_t> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 118, 0, 0, 0};
    codec::put32(bmp, 40);
    codec::put32(bmp, 4);
    codec::put32(bmp, 3);
    codec::put16(bmp, 1);
    codec::put16(bmp, 4);
    codec::put32(bmp, 2); // BI_RLE4
    for (int i = 0; i < 5; ++i)
        codec::put32(bmp, 0);
    for (uint32_t i = 0; i < 16; ++i)
        codec::put32(bmp, i * 0x101010);
    // Bottom row: a run; middle row: an absolute run of three and a run of one; top row: a
    // delta of two pixels and a run, then the end of the bitmap.
    bmp.insert(bmp.end(),
               {4, 0x12, 0, 0, 0, 3, 0x34, 0x50, 1, 0x60, 0, 0, 0, 2, 2, 0, 2, 0x77, 0, 1});
    DecodedImage image;
    ASSERT_EQ(decodeImage(bmp, image), Ok);
    const FrameData& f = image.frames[0];
    ASSERT_EQ(f.format, PixelFormat4bppIndexed);
    auto pixel = [&](int x, int y) {
        uint8_t b = f.pixels[size_t(y) * size_t(f.stride) + size_t(x / 2)];
        return (x & 1) ? (b & 0xF) : (b >> 4);
    };
    const int expected[3][4] = {{0, 0, 7, 7}, {3, 4, 5, 6}, {1, 2, 1, 2}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixel(x, y), expected[y][x]) << x << "," << y;
    // Without its end-of-bitmap code the data is truncated.
    bmp.resize(bmp.size() - 2);
    EXPECT_EQ(decodeImage(bmp, image), UnknownImageFormat);
}

} // namespace
} // namespace gp

namespace gp {
namespace {

TEST(DecodeLimits, TheProcessDefaultBoundsDecodesThatSetNoLimit) {
    FrameData frame = test::makeFrame(test::makePattern(64, 64), PixelFormat24bppRGB);
    std::vector<uint8_t> png;
    ASSERT_EQ(encodeImage(test::encoderFor("PNG"), frame, nullptr, png), Ok);
    DecodedImage image;
    setDefaultMaxPixels(1000);
    EXPECT_EQ(decodeImage(png, image), OutOfMemory);
    DecodeOptions own;
    own.maxPixels = 4096;
    EXPECT_EQ(decodeImage(png, image, own), Ok);
    setDefaultMaxPixels(0);
    EXPECT_EQ(defaultMaxPixels(), int64_t(1) << 30);
    EXPECT_EQ(decodeImage(png, image), Ok);
}

// Every input that once broke the fuzz targets decodes to a status without faults.
TEST(FuzzRegressions, DecodeWithoutFaults) {
    const char* root = std::getenv("TAVIMO_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    std::string dir = std::string(root) + "/tests/platform/gdiplus/fuzz/regressions";
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        DecodedImage image;
        Status s = decodeImage(test::readBytes(entry.path().string()), image);
        EXPECT_TRUE(s == Ok || s == UnknownImageFormat || s == OutOfMemory) << entry.path();
        ++seen;
    }
    EXPECT_GT(seen, 0);
}

} // namespace
} // namespace gp
