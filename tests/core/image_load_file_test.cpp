#include "core/image_info.h"
#include "core/image_load.h"
#include "core/quennet_status.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/session.h"
#include "platform/win/files.h"
#include "platform/win/stream.h"
#include "platform/win/ui_services.h"
#include "tests/support/core_fake_plugin.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace tavimo;
using tavimo::testing::CoreSessionTest;

// Records the order in which the dispatcher tried the loaders.
thread_local std::vector<std::string> t_calls;
thread_local int32_t t_pluginAnswer = 0;

int32_t fakePluginLoader(ImageId& id, const std::string& path, bool, bool, bool) {
    t_calls.push_back("plugin");
    id = 0;
    if (t_pluginAnswer != OK)
        return t_pluginAnswer;
    // A successful plug-in load registers an image of its own.
    gp::GpBitmap bitmap = 0;
    gp::GdipCreateBitmapFromScan0(2, 2, 0, gp::PixelFormat24bppRGB, nullptr, &bitmap);
    RegisterImage(id, bitmap, "PLUGIN", path, SourceKindPlugin);
    return OK;
}

class LoadFile : public CoreSessionTest {
protected:
    void SetUp() override {
        CoreSessionTest::SetUp();
        t_calls.clear();
        t_pluginAnswer = OK;
    }
    void TearDown() override {
        test::SetPluginFileLoader(nullptr);
        win::setFileDialogProvider(nullptr);
        CoreSessionTest::TearDown();
    }
    std::string png() {
        if (m_png.empty()) {
            m_png = tempPath("image.png");
            // A 3 x 2 red image written by an independent encoder.
            EXPECT_TRUE(tavimo::testing::runConvert("-size 3x2 xc:'#FF0000' " + m_png));
        }
        return m_png;
    }
    std::string garbage() {
        std::string path = tempPath("garbage.bin");
        win::writeWholeFile(path, "not an image at all", 19);
        return path;
    }
    std::string m_png;
};

TEST_F(LoadFile, GdiplusLoadRegistersTheFileWithItsFormat) {
    if (!tavimo::testing::haveConvert())
        GTEST_SKIP() << "ImageMagick convert is not installed";
    ImageId id = 0;
    ASSERT_EQ(LoadImageFromFile(id, png(), false, true, true, 0, true, true), OK);
    const ImageRecord* r = FindImageRecord(id);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->SourceKind, SourceKindFile);
    EXPECT_EQ(r->FormatName, "PNG");
    EXPECT_EQ(r->SourcePath, png());
    EXPECT_EQ(r->BitDepth, ImageBitDepth(id));
    std::vector<uint32_t> pixels = tavimo::testing::readArgb(id);
    ASSERT_EQ(pixels.size(), 6u);
    EXPECT_EQ(pixels[5], 0xFFFF0000u);
}

TEST_F(LoadFile, FormatsWrittenByImageMagick) {
    if (!tavimo::testing::haveConvert())
        GTEST_SKIP() << "ImageMagick convert is not installed";
    struct Case {
        const char* file;
        const char* options;
        const char* format;
    } cases[] = {
        {"a.jpg", "-quality 95", "JPEG"},
        {"a.tif", "", "TIFF"},
        {"a.gif", "", "GIF"},
        {"a.bmp", "", "BMP"},
        {"a.ico", "", "ICON"},
        {"a.png", "", "PNG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string path = tempPath(c.file);
        ASSERT_TRUE(tavimo::testing::runConvert("-size 16x8 xc:'#0000FF' " +
                                                std::string(c.options) + " " + path));
        ImageId id = 0;
        ASSERT_EQ(LoadImageFromFile(id, path, false, false, true, 0, true, true), OK);
        EXPECT_EQ(GetImageFormatName(id), c.format);
        EXPECT_EQ(GetImageSourceKind(id), SourceKindFile);
        int32_t w = 0, h = 0;
        GetImageWidth(id, w);
        GetImageHeight(id, h);
        EXPECT_EQ(w, 16);
        EXPECT_EQ(h, 8);
        std::vector<uint32_t> px = tavimo::testing::readArgb(id);
        ASSERT_FALSE(px.empty());
        EXPECT_LT((px[20] >> 16) & 0xFFu, 8u); // blue, within the JPEG's error
        EXPECT_LT((px[20] >> 8) & 0xFFu, 8u);
        EXPECT_GT(px[20] & 0xFFu, 0xF0u);
        EXPECT_EQ(ReleaseImage(id), OK);
    }
}

TEST_F(LoadFile, PathsAreNormalisedBeforeTheyAreOpened) {
    if (!tavimo::testing::haveConvert())
        GTEST_SKIP() << "ImageMagick convert is not installed";
    std::string file = png();
    std::string folder = file.substr(0, file.rfind('/'));
    std::string messy = "  " + folder + "\\\\image.png ";
    ImageId id = 0;
    ASSERT_EQ(LoadImageFromFile(id, messy, false, false, true, 0, true, true), OK);
    EXPECT_EQ(FindImageRecord(id)->SourcePath, file);
}

TEST_F(LoadFile, MissingFilesAndCancelledDialogsGiveFileNotFound) {
    auto dialog = std::make_shared<win::ScriptedFileDialogProvider>();
    win::setFileDialogProvider(dialog);
    ImageId id = 5;
    EXPECT_EQ(LoadImageFromFile(id, "", false, false, true, 77, false, true), FileNotFound);
    EXPECT_EQ(id, 0);
    ASSERT_EQ(dialog->requests().size(), 1u);
    EXPECT_EQ(dialog->requests()[0].title, "Open File");
    EXPECT_EQ(dialog->requests()[0].flags, 6u);
    EXPECT_EQ(dialog->requests()[0].ownerWindow, 77u);
    EXPECT_TRUE(dialog->requests()[0].filter.empty());

    // With noDialog an empty path is simply missing.
    EXPECT_EQ(LoadImageFromFile(id, "   ", false, false, true, 0, true, true), FileNotFound);
    EXPECT_EQ(dialog->requests().size(), 1u);
    EXPECT_EQ(LoadImageFromFile(id, tempPath("absent.png"), false, false, true, 0, true, true),
              FileNotFound);
    EXPECT_EQ(ImageTableCount(), 0);
}

TEST_F(LoadFile, TheDialogsAnswerIsLoaded) {
    if (!tavimo::testing::haveConvert())
        GTEST_SKIP() << "ImageMagick convert is not installed";
    auto dialog = std::make_shared<win::ScriptedFileDialogProvider>();
    dialog->queueAnswer(png());
    win::setFileDialogProvider(dialog);
    ImageId id = 0;
    ASSERT_EQ(LoadImageFromFile(id, "", false, false, true, 0, false, true), OK);
    EXPECT_EQ(FindImageRecord(id)->SourcePath, png());
}

TEST_F(LoadFile, DispatcherOrder) {
    if (!tavimo::testing::haveConvert())
        GTEST_SKIP() << "ImageMagick convert is not installed";
    test::SetPluginFileLoader(fakePluginLoader);
    struct Case {
        const char* what;
        bool icm, gdiOnly;
        int32_t pluginAnswer;
        int gdiplusFaults; // decodes that fail
        int32_t status;
        const char* kind; // "plugin", "gdiplus", "picture" or "" for nothing registered
        std::vector<std::string> calls;
    } cases[] = {
        {"plug-in first", false, false, OK, 0, OK, "plugin", {"plugin"}},
        {"GDI+ after the plug-in", false, false, OutOfMemory, 0, OK, "gdiplus", {"plugin"}},
        {"picture loader last", false, false, OutOfMemory, 1, OK, "picture", {"plugin"}},
        {"GDI+ only never asks the plug-in", false, true, OK, 0, OK, "gdiplus", {}},
        {"GDI+ only failure", false, true, OK, 1, UnknownImageFormat, "", {}},
        {"ICM tries GDI+ first", true, false, OK, 0, OK, "gdiplus", {}},
        {"ICM falls back to the plug-in", true, false, OK, 1, OK, "plugin", {"plugin"}},
        {"ICM then GDI+ again", true, false, Aborted, 1, OK, "gdiplus", {"plugin"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        t_calls.clear();
        t_pluginAnswer = c.pluginAnswer;
        if (c.gdiplusFaults > 0)
            gp::test::FailNext(gp::FaultPoint::Decode, c.gdiplusFaults, gp::UnknownImageFormat);
        ImageId id = 0;
        EXPECT_EQ(LoadImageFromFile(id, png(), c.icm, c.gdiOnly, true, 0, true, true), c.status);
        gp::test::FailNext(gp::FaultPoint::Decode, 0, gp::Ok);
        EXPECT_EQ(t_calls, c.calls);
        std::string kind = c.kind;
        if (kind.empty()) {
            EXPECT_EQ(id, 0);
        } else {
            ASSERT_NE(id, 0);
            int32_t expected = kind == "plugin"    ? SourceKindPlugin
                               : kind == "picture" ? SourceKindHBitmap
                                                   : SourceKindFile;
            EXPECT_EQ(GetImageSourceKind(id), expected);
            // Pictures carry no format name of their own.
            EXPECT_EQ(GetImageFormatName(id).empty(), kind == "picture");
        }
        ReleaseAllImages();
    }

    // Content nobody reads: the plug-in's status comes back.
    t_calls.clear();
    t_pluginAnswer = OutOfMemory;
    ImageId id = 0;
    EXPECT_EQ(LoadImageFromFile(id, garbage(), false, false, true, 0, true, true), OutOfMemory);
    EXPECT_EQ(t_calls, std::vector<std::string>{"plugin"});
    EXPECT_EQ(id, 0);
    EXPECT_EQ(ImageTableCount(), 0);
}

TEST_F(LoadFile, WithoutALoaderThePluginStatusComesBack) {
    std::string file = garbage();
    ImageId id = 0;
    tavimo::test::SetPluginAbsent(true);
    restartWithVersion("");
    EXPECT_EQ(LoadImageFromFile(id, file, false, false, true, 0, true, true), Aborted);
    tavimo::test::SetPluginAbsent(false);
    EXPECT_EQ(ImageTableCount(), 0);

    // With a plug-in present, unknown content is left to GDI+, which cannot read it either.
    tavimo::test_support::FakePlugin fake;
    fake.install();
    restartWithVersion("");
    ASSERT_TRUE(PluginAvailable());
    EXPECT_EQ(LoadImageFromFile(id, file, false, false, true, 0, true, true), UnknownImageFormat);
    EXPECT_EQ(ImageTableCount(), 0);
}

TEST_F(LoadFile, APluginThatCannotReadTheFileIsFollowedByGdiplus) {
    if (!tavimo::testing::haveConvert())
        GTEST_SKIP() << "ImageMagick convert is not installed";
    // The plug-in takes the content for a TIFF but loads nothing.
    tavimo::test_support::FakePlugin fake;
    fake.setResult("KELVRA_GetFileTypeU", 18);
    fake.setResult("KELVRA_GetFIFFromFilenameU", -1);
    fake.install();
    restartWithVersion("");
    ASSERT_TRUE(PluginAvailable());
    ImageId id = 0;
    ASSERT_EQ(LoadImageFromFile(id, png(), false, false, true, 0, true, true), OK);
    EXPECT_GE(fake.callCount("KELVRA_LoadU"), 1);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindFile);
    EXPECT_EQ(GetImageFormatName(id), "PNG");
    // Nobody reads it: the plug-in's "cannot read" comes back.
    EXPECT_EQ(LoadImageFromFile(id, garbage(), false, false, true, 0, true, true), OutOfMemory);
    EXPECT_EQ(id, 0);
}

using LoadStream = CoreSessionTest;

TEST_F(LoadStream, LoadsFromThePositionAndRegistersKindZero) {
    if (!tavimo::testing::haveConvert())
        GTEST_SKIP() << "ImageMagick convert is not installed";
    std::string path = tempPath("s.png");
    ASSERT_TRUE(tavimo::testing::runConvert("-size 4x1 xc:'#00FF00' " + path));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(win::readWholeFile(path, bytes));
    win::IStream* raw = nullptr;
    ASSERT_EQ(win::CreateStreamOnBytes(bytes, &raw), win::S_OK);
    auto stream = win::RefPtr<win::IStream>::adopt(raw);
    ImageId id = 0;
    ASSERT_EQ(LoadFromStream(id, stream.get(), false), OK);
    const ImageRecord* r = FindImageRecord(id);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->SourceKind, SourceKindGdiImage);
    EXPECT_EQ(r->FormatName, "PNG");
    EXPECT_TRUE(r->SourcePath.empty());
}

TEST_F(LoadStream, BadStreams) {
    ImageId id = 9;
    EXPECT_EQ(LoadFromStream(id, nullptr, false), InvalidParameter);
    EXPECT_EQ(id, 0);
    win::IStream* raw = nullptr;
    ASSERT_EQ(win::CreateStreamOnBytes({1, 2, 3, 4, 5}, &raw), win::S_OK);
    auto stream = win::RefPtr<win::IStream>::adopt(raw);
    EXPECT_EQ(LoadFromStream(id, stream.get(), true), UnknownImageFormat);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(ImageTableCount(), 0);
}

using LoadDerived = CoreSessionTest;

TEST_F(LoadDerived, RawBitsAtACallersAddressOrHandedOver) {
    std::vector<uint32_t> mine(6, 0xFF0000FFu);
    ImageId id = 0;
    ASSERT_EQ(LoadFromRawBits(3, 2, 12, gp::PixelFormat32bppARGB, mine.data(), id, false), OK);
    const ImageRecord* r = FindImageRecord(id);
    EXPECT_EQ(r->SourceKind, SourceKindRawBits);
    EXPECT_FALSE(r->OwnsPixelMemory);
    EXPECT_EQ(r->PixelMemory, mine.data());
    mine[4] = 0xFF00FF00u; // the image draws from the caller's memory
    EXPECT_EQ(tavimo::testing::readArgb(id)[4], 0xFF00FF00u);
    EXPECT_EQ(ReleaseImage(id), OK);

    void* buffer = gp::GdipAlloc(24);
    ASSERT_EQ(LoadFromRawBits(3, 2, 12, gp::PixelFormat32bppARGB, buffer, id, true), OK);
    r = FindImageRecord(id);
    EXPECT_EQ(r->SourceKind, SourceKindOwnedBits);
    EXPECT_TRUE(r->OwnsPixelMemory);
    EXPECT_EQ(ReleaseImage(id), OK); // frees the buffer (the sanitizer build sees a leak otherwise)

    EXPECT_EQ(LoadFromRawBits(0, 2, 0, gp::PixelFormat32bppARGB, nullptr, id, false),
              InvalidParameter);
    EXPECT_EQ(id, 0);
}

TEST_F(LoadDerived, ThumbnailsAndClonesRegisterEvenWhenGdiplusFails) {
    ImageId source = tavimo::testing::registerBitmap(8, 6, gp::PixelFormat24bppRGB);
    ImageId thumb = 0, clone = 0, area = 0;
    ASSERT_EQ(CreateThumbnail(source, 4, 3, thumb), OK);
    EXPECT_EQ(GetImageSourceKind(thumb), SourceKindRawBits);
    int32_t w = 0;
    GetImageWidth(thumb, w);
    EXPECT_EQ(w, 4);
    ASSERT_EQ(CloneImage(clone, source), OK);
    EXPECT_EQ(GetImageSourceKind(clone), SourceKindGdiImage);
    ASSERT_EQ(CloneImageArea(2, 2, 3, 3, gp::PixelFormat32bppARGB, source, area), OK);
    EXPECT_EQ(ImagePixelFormat(area), gp::PixelFormat32bppARGB);

    // A rectangle outside the image fails, and the caller still gets an (empty) entry.
    ImageId bad = 0;
    EXPECT_EQ(CloneImageArea(6, 0, 5, 5, 0, source, bad), InvalidParameter);
    ASSERT_NE(bad, 0);
    EXPECT_EQ(GetGdiImage(bad), 0u);
    EXPECT_EQ(ReleaseImage(bad), OK);
    // No source at all: nothing is registered for a thumbnail.
    EXPECT_EQ(CreateThumbnail(0, 4, 3, thumb), InvalidParameter);
    EXPECT_EQ(thumb, 0);
}

TEST_F(LoadDerived, RegisterValidatedImage) {
    ImageId id = 3;
    EXPECT_EQ(RegisterValidatedImage(id, 0), InvalidParameter);
    EXPECT_EQ(id, 0);
    gp::GpBitmap bitmap = 0;
    ASSERT_EQ(gp::GdipCreateBitmapFromScan0(2, 2, 0, gp::PixelFormat24bppRGB, nullptr, &bitmap),
              gp::Ok);
    ASSERT_EQ(RegisterValidatedImage(id, bitmap), OK);
    EXPECT_EQ(GetGdiImage(id), bitmap);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindGdiImage);
    EXPECT_EQ(RegisterValidatedImage(id, 0x10FFFFFFu), InvalidParameter); // forged handle
}

} // namespace
