#include "image_fixture.h"
#include "session_fixture.h"

#include "platform/win/files.h"
#include "platform/win/stream.h"

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

using namespace gp;

namespace {

class LoadSaveTest : public GdiplusSessionTest {
protected:
    void SetUp() override {
        GdiplusSessionTest::SetUp();
        m_dir = std::filesystem::temp_directory_path() /
                ("tavimo-gdiplus-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
        GdiplusSessionTest::TearDown();
    }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    std::filesystem::path m_dir;
};

std::vector<ImageCodecInfo> encoders(std::vector<uint8_t>& storage) {
    UINT count = 0, size = 0;
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    storage.assign(size, 0);
    auto* list = reinterpret_cast<ImageCodecInfo*>(storage.data());
    EXPECT_EQ(GdipGetImageEncoders(count, size, list), Ok);
    return std::vector<ImageCodecInfo>(list, list + count);
}

win::Guid encoderFor(const char* mime) {
    static std::vector<uint8_t> storage;
    for (const ImageCodecInfo& info : encoders(storage))
        if (std::string(info.MimeType) == mime)
            return info.Clsid;
    ADD_FAILURE() << "no encoder for " << mime;
    return {};
}

TEST_F(LoadSaveTest, EncoderListIsOrderedWithUniqueIdsAndPatterns) {
    std::vector<uint8_t> storage;
    const std::vector<ImageCodecInfo> list = encoders(storage);
    ASSERT_EQ(list.size(), 5u);
    const char* expected[] = {"*.BMP;*.DIB;*.RLE", "*.JPG;*.JPEG;*.JPE;*.JFIF", "*.GIF",
                              "*.TIF;*.TIFF", "*.PNG"};
    std::set<win::Guid> ids;
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_STREQ(list[i].FilenameExtension, expected[i]);
        ids.insert(list[i].Clsid);
        // Texts live inside the caller's buffer.
        EXPECT_GE(reinterpret_cast<const uint8_t*>(list[i].FilenameExtension), storage.data());
        EXPECT_LT(reinterpret_cast<const uint8_t*>(list[i].FilenameExtension),
                  storage.data() + storage.size());
    }
    EXPECT_EQ(ids.size(), 5u);
    UINT count = 0, size = 0;
    GdipGetImageEncodersSize(&count, &size);
    EXPECT_EQ(
        GdipGetImageEncoders(count, size - 1, reinterpret_cast<ImageCodecInfo*>(storage.data())),
        InvalidParameter);
}

TEST_F(LoadSaveTest, LosslessFormatsRoundTripThroughFilesAndStreams) {
    struct Case {
        const char* mime;
        PixelFormat format;
    };
    const Case cases[] = {
        {"image/png", PixelFormat32bppARGB},   {"image/png", PixelFormat24bppRGB},
        {"image/png", PixelFormat8bppIndexed}, {"image/bmp", PixelFormat24bppRGB},
        {"image/tiff", PixelFormat24bppRGB},   {"image/tiff", PixelFormat1bppIndexed}};
    for (const Case& c : cases) {
        GpBitmap bitmap = makeRandomBitmap(17, 9, c.format, 21);
        const win::Guid clsid = encoderFor(c.mime);
        const std::vector<uint32_t> expected = readArgb(bitmap);

        const std::string file = path("image");
        ASSERT_EQ(GdipSaveImageToFile(bitmap, file, &clsid, nullptr), Ok) << c.mime;
        GpBitmap fromFile = 0;
        ASSERT_EQ(GdipCreateBitmapFromFile(file, &fromFile), Ok) << c.mime;
        EXPECT_EQ(readArgb(fromFile), expected) << c.mime << " " << std::hex << c.format;

        win::RefPtr<win::IStream> stream;
        ASSERT_EQ(win::CreateStreamOnHGlobal(0, true, stream.put()), win::S_OK);
        ASSERT_EQ(GdipSaveImageToStream(bitmap, stream.get(), &clsid, nullptr), Ok);
        ASSERT_EQ(stream->Seek(0, win::STREAM_SEEK_SET, nullptr), win::S_OK);
        GpImage fromStream = 0;
        ASSERT_EQ(GdipLoadImageFromStream(stream.get(), &fromStream), Ok);
        EXPECT_EQ(readArgb(fromStream), expected) << c.mime;

        EXPECT_EQ(GdipDisposeImage(fromStream), Ok);
        EXPECT_EQ(GdipDisposeImage(fromFile), Ok);
        EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    }
}

TEST_F(LoadSaveTest, LoadedImagesCarryTheirRawFormat) {
    GpBitmap bitmap = makeRandomBitmap(8, 8, PixelFormat24bppRGB, 2);
    const std::pair<const char*, win::Guid> cases[] = {{"image/jpeg", ImageFormatJPEG},
                                                       {"image/gif", ImageFormatGIF},
                                                       {"image/png", ImageFormatPNG},
                                                       {"image/bmp", ImageFormatBMP},
                                                       {"image/tiff", ImageFormatTIFF}};
    for (const auto& [mime, raw] : cases) {
        const win::Guid clsid = encoderFor(mime);
        // The file name says nothing: decoders go by the content.
        const std::string file = path("image.dat");
        ASSERT_EQ(GdipSaveImageToFile(bitmap, file, &clsid, nullptr), Ok) << mime;
        GpImage image = 0;
        ASSERT_EQ(GdipLoadImageFromFile(file, &image), Ok) << mime;
        win::Guid format;
        ASSERT_EQ(GdipGetImageRawFormat(image, &format), Ok);
        EXPECT_EQ(format, raw) << mime;
        UINT width = 0;
        GdipGetImageWidth(image, &width);
        EXPECT_EQ(width, 8u);
        EXPECT_EQ(GdipDisposeImage(image), Ok);
    }
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(LoadSaveTest, StreamsAreReadFromTheirCurrentPosition) {
    GpBitmap bitmap = makeRandomBitmap(5, 4, PixelFormat32bppARGB, 8);
    const win::Guid png = encoderFor("image/png");
    win::RefPtr<win::IStream> stream;
    ASSERT_EQ(win::CreateStreamOnHGlobal(0, true, stream.put()), win::S_OK);
    ASSERT_EQ(stream->Write("JUNK", 4, nullptr), win::S_OK);
    ASSERT_EQ(GdipSaveImageToStream(bitmap, stream.get(), &png, nullptr), Ok);
    ASSERT_EQ(stream->Seek(4, win::STREAM_SEEK_SET, nullptr), win::S_OK);
    GpBitmap loaded = 0;
    ASSERT_EQ(GdipCreateBitmapFromStream(stream.get(), &loaded), Ok);
    EXPECT_EQ(readArgb(loaded), readArgb(bitmap));
    ASSERT_EQ(stream->Seek(0, win::STREAM_SEEK_SET, nullptr), win::S_OK);
    GpBitmap junk = 7;
    EXPECT_EQ(GdipCreateBitmapFromStream(stream.get(), &junk), UnknownImageFormat);
    EXPECT_EQ(junk, 0u);
    EXPECT_EQ(GdipDisposeImage(loaded), Ok);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(LoadSaveTest, SavingWritesTheActiveFrameOnly) {
    DecodedImage decoded;
    decoded.rawFormat = ImageFormatTIFF;
    decoded.frameDimension = FrameDimensionPage;
    for (int i = 0; i < 3; ++i) {
        Frame frame;
        ASSERT_EQ(makeOwnedFrame(3 + i, 2, PixelFormat24bppRGB, frame), Ok);
        decoded.frames.push_back(std::move(frame));
    }
    GpImage image = addImage(imageFromDecoded(std::move(decoded)));
    ASSERT_EQ(GdipImageSelectActiveFrame(image, &FrameDimensionPage, 2), Ok);
    const win::Guid tiff = encoderFor("image/tiff");
    ASSERT_EQ(GdipSaveImageToFile(image, path("page.tif"), &tiff, nullptr), Ok);
    GpImage loaded = 0;
    ASSERT_EQ(GdipLoadImageFromFile(path("page.tif"), &loaded), Ok);
    UINT width = 0, count = 0;
    GdipGetImageWidth(loaded, &width);
    GdipImageGetFrameCount(loaded, &FrameDimensionPage, &count);
    EXPECT_EQ(width, 5u);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(GdipDisposeImage(loaded), Ok);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

TEST_F(LoadSaveTest, CallerMemoryBitmapsSave) {
    std::vector<uint32_t> memory(4 * 3, 0xFF336699u);
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(4, 3, -16, PixelFormat32bppARGB,
                                        reinterpret_cast<uint8_t*>(memory.data() + 8), &bitmap),
              Ok);
    const win::Guid png = encoderFor("image/png");
    ASSERT_EQ(GdipSaveImageToFile(bitmap, path("mem.png"), &png, nullptr), Ok);
    GpBitmap loaded = 0;
    ASSERT_EQ(GdipCreateBitmapFromFile(path("mem.png"), &loaded), Ok);
    EXPECT_EQ(readArgb(loaded), std::vector<uint32_t>(12, 0xFF336699u));
    EXPECT_EQ(GdipDisposeImage(loaded), Ok);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(LoadSaveTest, EncoderParametersAreListedAndApplied) {
    GpBitmap bitmap = makeRandomBitmap(16, 16, PixelFormat24bppRGB, 3);
    const win::Guid jpeg = encoderFor("image/jpeg"), tiff = encoderFor("image/tiff"),
                    png = encoderFor("image/png");
    UINT size = 0;
    ASSERT_EQ(GdipGetEncoderParameterListSize(bitmap, &tiff, &size), Ok);
    std::vector<uint8_t> buffer(size);
    auto* list = reinterpret_cast<EncoderParameters*>(buffer.data());
    ASSERT_EQ(GdipGetEncoderParameterList(bitmap, &tiff, size, list), Ok);
    ASSERT_EQ(list->Count, 2u);
    EXPECT_EQ(list->Parameter[0].Guid, EncoderCompression);
    EXPECT_EQ(static_cast<uint32_t*>(list->Parameter[1].Value)[4], 32u);
    ASSERT_EQ(GdipGetEncoderParameterListSize(bitmap, &png, &size), Ok);
    buffer.assign(size, 0xFF);
    list = reinterpret_cast<EncoderParameters*>(buffer.data());
    ASSERT_EQ(GdipGetEncoderParameterList(bitmap, &png, size, list), Ok);
    EXPECT_EQ(list->Count, 0u);

    // A high quality keeps the picture closer than a low one.
    auto jpegBytes = [&](uint32_t quality) {
        EncoderParameters params;
        params.Count = 1;
        params.Parameter[0] = {EncoderQuality, 1, EncoderParameterValueTypeLong, &quality};
        win::RefPtr<win::IStream> stream;
        EXPECT_EQ(win::CreateStreamOnHGlobal(0, true, stream.put()), win::S_OK);
        EXPECT_EQ(GdipSaveImageToStream(bitmap, stream.get(), &jpeg, &params), Ok);
        win::StreamStat stat;
        stream->Stat(&stat, 0);
        return stat.size;
    };
    EXPECT_GT(jpegBytes(250), jpegBytes(5));
    // CCITT compression needs 1-bpp output.
    uint32_t ccitt = EncoderValueCompressionCCITT4;
    EncoderParameters params;
    params.Count = 1;
    params.Parameter[0] = {EncoderCompression, 1, EncoderParameterValueTypeLong, &ccitt};
    EXPECT_EQ(GdipSaveImageToFile(bitmap, path("x.tif"), &tiff, &params), InvalidParameter);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(LoadSaveTest, FailuresAreStatuses) {
    GpImage image = 5;
    EXPECT_EQ(GdipLoadImageFromFile(path("missing.png"), &image), FileNotFound);
    EXPECT_EQ(image, 0u);
    EXPECT_EQ(GdipCreateBitmapFromFile("", &image), FileNotFound);
    EXPECT_EQ(GdipCreateBitmapFromFile(m_dir.string(), &image), FileNotFound); // a directory
    ASSERT_TRUE(win::writeWholeFile(path("empty"), std::vector<uint8_t>{}));
    EXPECT_EQ(GdipCreateBitmapFromFile(path("empty"), &image), UnknownImageFormat);
    ASSERT_TRUE(win::writeWholeFile(path("text"), std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(GdipCreateBitmapFromFileICM(path("text"), &image), UnknownImageFormat);
    EXPECT_EQ(GdipLoadImageFromStream(nullptr, &image), InvalidParameter);

    GpBitmap bitmap = makeRandomBitmap(4, 4, PixelFormat24bppRGB, 1);
    const win::Guid png = encoderFor("image/png");
    const win::Guid unknown{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(GdipSaveImageToFile(bitmap, path("a.png"), &unknown, nullptr), InvalidParameter);
    EXPECT_EQ(GdipSaveImageToFile(bitmap, path("a.png"), nullptr, nullptr), InvalidParameter);
    EXPECT_EQ(GdipSaveImageToFile(bitmap, path("no/such/dir/a.png"), &png, nullptr), Win32Error);
    EXPECT_EQ(GdipSaveImageToStream(bitmap, nullptr, &png, nullptr), InvalidParameter);
    win::RefPtr<win::IStream> readOnly;
    ASSERT_EQ(win::CreateStreamOnBytes({}, readOnly.put()), win::S_OK);
    EXPECT_EQ(GdipSaveImageToStream(bitmap, readOnly.get(), &png, nullptr), Win32Error);

    test::FailNext(FaultPoint::Encode, 1, GenericError);
    EXPECT_EQ(GdipSaveImageToFile(bitmap, path("a.png"), &png, nullptr), GenericError);
    ASSERT_EQ(GdipSaveImageToFile(bitmap, path("a.png"), &png, nullptr), Ok);
    test::FailNext(FaultPoint::Decode, 1, OutOfMemory);
    EXPECT_EQ(GdipLoadImageFromFile(path("a.png"), &image), OutOfMemory);

    GdiplusShutdown(m_token);
    EXPECT_EQ(GdipLoadImageFromFile(path("a.png"), &image), GdiplusNotInitialized);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

} // namespace
