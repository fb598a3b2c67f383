// Files made by ImageMagick through the flat API: loading by content, frames, property
// items, pixels through LockBits, and saving the active frame for ImageMagick to read.

#include "session_fixture.h"

#include "tests/platform/gdiplus/codec_test_util.h"

#include <filesystem>

namespace gp {
namespace {

class CodecEndToEnd : public GdiplusSessionTest {
protected:
    std::string path(const std::string& name) const { return test::scratchDir() + "/e2e-" + name; }

    // The active frame as R,G,B,A through a 32bppARGB read lock.
    static test::Rgba lockArgb(GpBitmap bitmap) {
        UINT w = 0, h = 0;
        GdipGetImageWidth(bitmap, &w);
        GdipGetImageHeight(bitmap, &h);
        BitmapData data{};
        test::Rgba out;
        if (GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data) !=
            Ok)
            return out;
        out.width = int(w);
        out.height = int(h);
        out.pixels.resize(size_t(w) * h * 4);
        for (UINT y = 0; y < h; ++y) {
            const auto* row = static_cast<const uint8_t*>(data.Scan0) + ptrdiff_t(y) * data.Stride;
            for (UINT x = 0; x < w; ++x) {
                uint8_t* p = out.at(int(x), int(y));
                p[0] = row[4 * x + 2], p[1] = row[4 * x + 1], p[2] = row[4 * x],
                p[3] = row[4 * x + 3];
            }
        }
        GdipBitmapUnlockBits(bitmap, &data);
        return out;
    }

    static win::Guid encoder(const char* description) { return test::encoderFor(description); }
};

const win::Guid kTime = codec::FrameDimensionTime;
const win::Guid kPage = codec::FrameDimensionPage;

TEST_F(CodecEndToEnd, AnimatedGifFramesAndDelaysThroughTheFlatApi) {
    std::vector<uint8_t> gif = test::magickMake(
        "-delay 12 -loop 0 -size 16x12 xc:red -dispose Background "
        "\\( -size 8x6 xc:blue -repage 16x12+4+3 \\) \\( -size 4x4 xc:lime -repage 16x12+0+0 \\)",
        "gif");
    // A misleading name: the content decides.
    const std::string file = path("animation.png");
    ASSERT_TRUE(test::writeBytes(file, gif));
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromFile(file, &bitmap), Ok);
    win::Guid raw{};
    ASSERT_EQ(GdipGetImageRawFormat(bitmap, &raw), Ok);
    EXPECT_EQ(raw, ImageFormatGIF);
    UINT frames = 0;
    ASSERT_EQ(GdipImageGetFrameCount(bitmap, &kTime, &frames), Ok);
    ASSERT_EQ(frames, 3u);
    std::vector<test::Rgba> reference = test::magickDecodeAll(gif, true);
    ASSERT_EQ(reference.size(), 3u);
    for (UINT i = 0; i < frames; ++i) {
        ASSERT_EQ(GdipImageSelectActiveFrame(bitmap, &kTime, i), Ok);
        EXPECT_EQ(test::maxDifference(lockArgb(bitmap), reference[i]), 0) << i;
    }
    UINT size = 0;
    ASSERT_EQ(GdipGetPropertyItemSize(bitmap, 0x5100, &size), Ok);
    std::vector<uint8_t> buffer(size);
    auto* item = reinterpret_cast<GdipPropertyItem*>(buffer.data());
    ASSERT_EQ(GdipGetPropertyItem(bitmap, 0x5100, size, item), Ok);
    ASSERT_EQ(item->length, 12u);
    EXPECT_EQ(static_cast<const uint32_t*>(item->value)[2], 12u);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(CodecEndToEnd, SavingATiffPageWritesThatPageOnlyWithTheChosenCompression) {
    std::vector<uint8_t> tif = test::magickMake(
        "\\( -size 40x30 gradient: -type bilevel \\) \\( -size 24x20 gradient: -rotate 90 "
        "-type bilevel \\) -compress group4",
        "tif");
    const std::string in = path("pages.tif");
    ASSERT_TRUE(test::writeBytes(in, tif));
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromFile(in, &bitmap), Ok);
    UINT pages = 0;
    ASSERT_EQ(GdipImageGetFrameCount(bitmap, &kPage, &pages), Ok);
    ASSERT_EQ(pages, 2u);
    ASSERT_EQ(GdipImageSelectActiveFrame(bitmap, &kPage, 1), Ok);
    PixelFormat format = 0;
    ASSERT_EQ(GdipGetImagePixelFormat(bitmap, &format), Ok);
    EXPECT_EQ(format, PixelFormat1bppIndexed);

    const std::string out = path("page2.tif");
    test::OneParameter g3(EncoderCompression, EncoderValueCompressionCCITT3);
    const win::Guid tiff = encoder("TIFF");
    ASSERT_EQ(GdipSaveImageToFile(bitmap, out, &tiff, &g3.block), Ok);
    std::vector<uint8_t> saved = test::readBytes(out);
    EXPECT_EQ(test::magickIdentify(saved, "%n %w %h %C"), "1 20 24 Fax");
    test::Rgba theirs;
    ASSERT_TRUE(test::magickDecode(saved, theirs));
    EXPECT_EQ(test::maxDifference(theirs, lockArgb(bitmap)), 0);
    GdipDisposeImage(bitmap);
}

TEST_F(CodecEndToEnd, GreyJpegStaysGreyThroughLoadAndSave) {
    std::vector<uint8_t> jpg = test::magickMake(
        "-size 32x24 gradient: -colorspace gray -density 200 -units PixelsPerInch", "jpg");
    const std::string in = path("grey.jpg");
    ASSERT_TRUE(test::writeBytes(in, jpg));
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromFile(in, &bitmap), Ok);
    PixelFormat format = 0;
    ASSERT_EQ(GdipGetImagePixelFormat(bitmap, &format), Ok);
    EXPECT_EQ(format, PixelFormat8bppIndexed);
    REAL dpi = 0;
    ASSERT_EQ(GdipGetImageHorizontalResolution(bitmap, &dpi), Ok);
    EXPECT_NEAR(dpi, 200, 0.5);
    const std::string out = path("grey-out.jpg");
    const win::Guid jpeg = encoder("JPEG");
    test::OneParameter quality(EncoderQuality, 250);
    ASSERT_EQ(GdipSaveImageToFile(bitmap, out, &jpeg, &quality.block), Ok);
    std::vector<uint8_t> saved = test::readBytes(out);
    EXPECT_EQ(test::magickIdentify(saved, "%[channels] %Q %x"), "gray 100 200");
    GdipDisposeImage(bitmap);
}

TEST_F(CodecEndToEnd, DamagedFilesGiveUnknownImageFormat) {
    std::vector<uint8_t> png = test::magickMake("-size 20x20 gradient:", "png");
    png.resize(png.size() / 2);
    const std::string file = path("half.png");
    ASSERT_TRUE(test::writeBytes(file, png));
    GpBitmap bitmap = 0;
    EXPECT_EQ(GdipCreateBitmapFromFile(file, &bitmap), UnknownImageFormat);
    EXPECT_EQ(bitmap, 0u);
}

} // namespace
} // namespace gp
