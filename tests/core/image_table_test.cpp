#include "core/encoders.h"
#include "core/image_info.h"
#include "core/image_table.h"
#include "core/plugin.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/session.h"
#include "platform/win/files.h"
#include "platform/win/module_version.h"
#include "tests/support/core_fake_plugin.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

using namespace tavimo;

gp::GpImage makeBitmap(int w = 4, int h = 3) {
    gp::GpBitmap b = 0;
    EXPECT_EQ(gp::GdipCreateBitmapFromScan0(w, h, 0, gp::PixelFormat24bppRGB, nullptr, &b), gp::Ok);
    return b;
}

// Each test owns a GDI+ reference of its own and leaves an empty table behind.
class ImageTable : public ::testing::Test {
protected:
    void SetUp() override {
        gp::test::ResetSession();
        gp::GdiplusStartupInput input;
        ASSERT_EQ(gp::GdiplusStartup(&m_token, &input, nullptr), gp::Ok);
    }
    void TearDown() override {
        ReleaseAllImages();
        gp::GdiplusShutdown(m_token);
        gp::test::ResetSession();
    }
    ImageId add(const std::string& format = "") {
        ImageId id = 0;
        RegisterImage(id, makeBitmap(), format, "", SourceKindGdiImage);
        return id;
    }
    uintptr_t m_token = 0;
};

TEST_F(ImageTable, RegistrationFillsTheRecord) {
    ImageId id = 0;
    int32_t slot = RegisterImage(id, makeBitmap(), "", "/some/path", SourceKindFile);
    EXPECT_EQ(slot, 0);
    EXPECT_NE(id, 0);
    EXPECT_GE(id, 0);
    EXPECT_LE(id, 100000000);
    const ImageRecord* r = FindImageRecord(id);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Registered, 1);
    EXPECT_EQ(r->SourcePath, "/some/path");
    EXPECT_EQ(r->FormatName, "Memory BMP"); // from the raw format when none was given
    EXPECT_EQ(r->BitDepth, 24);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindFile);
}

TEST_F(ImageTable, FreedSlotsAreReusedAndOnlyTheLastEntryShrinksTheTable) {
    ImageId a = add(), b = add(), c = add();
    ASSERT_EQ(ImageTableCount(), 3);

    EXPECT_EQ(ReleaseImage(b), OK); // middle: leaves a free slot
    EXPECT_EQ(ImageTableCount(), 3);
    EXPECT_EQ(imageTable()[1].ImageId, 0);
    EXPECT_EQ(imageTable()[1].Registered, 1); // kept on a cleared slot

    ImageId d = add(); // takes the freed slot
    EXPECT_EQ(FindImageIndex(d), 1);

    EXPECT_EQ(ReleaseImage(c), OK); // last: the table shrinks
    EXPECT_EQ(ImageTableCount(), 2);
    EXPECT_EQ(ReleaseImage(a), OK); // first: a free slot again
    EXPECT_EQ(ImageTableCount(), 2);
    EXPECT_EQ(ReleaseImage(d), OK); // last, but the free slot before it stays
    EXPECT_EQ(ImageTableCount(), 1);
    EXPECT_EQ(imageTable()[0].ImageId, 0);

    ImageId e = add();
    EXPECT_EQ(FindImageIndex(e), 0);
    EXPECT_EQ(ImageTableCount(), 1);
}

TEST_F(ImageTable, UnknownIdentifiersAreRefusedWithoutChange) {
    ImageId a = add();
    EXPECT_EQ(ReleaseImage(0), InvalidParameter);
    EXPECT_EQ(ReleaseImage(a + 1), InvalidParameter);
    EXPECT_EQ(FindImageIndex(0), -1);
    EXPECT_EQ(GetGdiImage(a + 1), 0u);
    EXPECT_EQ(GetImageSourceKind(a + 1), 0);
    EXPECT_EQ(GetImageFormatName(a + 1), "");
    SetImageFormatName(a + 1, "X"); // does nothing
    EXPECT_EQ(ImageTableCount(), 1);
}

TEST_F(ImageTable, IdentifiersAreDistinctAndNonZero) {
    std::set<ImageId> ids;
    for (int i = 0; i < 300; ++i) {
        ImageId id = 0;
        RegisterImage(id, 0, "X", "", SourceKindGdiImage);
        EXPECT_NE(id, 0);
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 300u);
}

TEST_F(ImageTable, ReleasingAContainerReleasesItsPagesAndDeletesTheirFilesFirst) {
    ImageId page1 = 0, page2 = 0, container = 0;
    RegisterImage(container, makeBitmap(), "TIFF", "", SourceKindGdiImage);
    RegisterImage(page1, makeBitmap(), "", "", SourceKindGdiImage);
    RegisterImage(page2, makeBitmap(), "", "", SourceKindGdiImage);
    std::string file1 = win::MakeTempFileName(), file2 = win::MakeTempFileName();
    ASSERT_FALSE(win::FileExists(file1).empty());

    ImageRecord* c = FindImageRecord(container);
    c->IsTiffContainer = true;
    c->PageCount = 2;
    c->PageImageIds = {page1, page2};
    c->PageFiles = {file1, file2};
    c->CurrentPage = 1;
    EXPECT_EQ(GetGdiImage(container), GetGdiImage(page2));
    EXPECT_EQ(GetCurrentPageImageId(container), page2);

    EXPECT_EQ(ReleaseImage(container), OK);
    EXPECT_EQ(FindImageIndex(page1), -1);
    EXPECT_EQ(FindImageIndex(page2), -1);
    EXPECT_TRUE(win::FileExists(file1).empty());
    EXPECT_TRUE(win::FileExists(file2).empty());
    // The last page was the last entry and went; the container and the first page leave
    // free slots.
    EXPECT_EQ(ImageTableCount(), 2);
    EXPECT_EQ(imageTable()[0].ImageId, 0);
    EXPECT_EQ(imageTable()[1].ImageId, 0);
}

TEST_F(ImageTable, ContainerStatusIsItsOwnDisposalOrElseTheLastPage) {
    // A container without an image of its own answers the last page's release; a page
    // already gone answers 2.
    ImageId page = 0, container = 0;
    RegisterImage(container, 0, "GIF", "", SourceKindGdiImage);
    RegisterImage(page, makeBitmap(), "", "", SourceKindGdiImage);
    ImageRecord* c = FindImageRecord(container);
    c->IsGifContainer = true;
    c->PageCount = 2;
    c->PageImageIds = {page, page + 1};
    c->PageFiles = {"", ""};
    EXPECT_EQ(ReleaseImage(container), InvalidParameter);
    EXPECT_EQ(FindImageIndex(page), -1);
}

TEST_F(ImageTable, ContainerPageLookups) {
    ImageId container = 0;
    gp::GpImage own = makeBitmap();
    RegisterImage(container, own, "TIFF", "", SourceKindFile);
    ImageRecord* c = FindImageRecord(container);
    c->IsTiffContainer = true;
    c->PageCount = 3;
    c->PageImageIds.assign(3, 0);
    c->CurrentPage = -1;
    EXPECT_EQ(GetGdiImage(container), 0u); // no current page
    c->PagesInPlace = true;
    EXPECT_EQ(GetGdiImage(container), own); // pages inside the one GDI+ image
    EXPECT_EQ(GetCurrentPageImageId(container), container);
    EXPECT_EQ(GetImageSourceKind(container), SourceKindFile);
}

TEST_F(ImageTable, ModifiedMarkGoesToTheCurrentPage) {
    ImageId page = add(), container = 0;
    RegisterImage(container, 0, "TIFF", "", SourceKindGdiImage);
    ImageRecord* c = FindImageRecord(container);
    c->IsTiffContainer = true;
    c->PageCount = 1;
    c->PageImageIds = {page};
    c->CurrentPage = 0;
    MarkImageModified(container);
    EXPECT_TRUE(FindImageRecord(page)->Modified);
    EXPECT_FALSE(FindImageRecord(container)->Modified);
    ClearImageModified(container);
    EXPECT_FALSE(FindImageRecord(page)->Modified);
}

TEST_F(ImageTable, TemporarySourceFileIsDeletedOnRelease) {
    ImageId id = add();
    std::string file = win::MakeTempFileName();
    SetTempSourceFile(id, file);
    EXPECT_EQ(ReleaseImage(id), OK);
    EXPECT_TRUE(win::FileExists(file).empty());
}

TEST_F(ImageTable, HandedOverPixelBufferIsFreedWithTheImage) {
    // The leak checker of the sanitizer build fails this test if the buffer stays.
    const int w = 8, h = 2, stride = 32;
    auto* buffer = static_cast<uint8_t*>(gp::GdipAlloc(stride * h));
    gp::GpBitmap bitmap = 0;
    ASSERT_EQ(
        gp::GdipCreateBitmapFromScan0(w, h, stride, gp::PixelFormat32bppARGB, buffer, &bitmap),
        gp::Ok);
    ImageId id = 0;
    RegisterImage(id, bitmap, "", "", SourceKindOwnedBits);
    ImageRecord* r = FindImageRecord(id);
    r->PixelMemory = buffer;
    r->OwnsPixelMemory = true;
    void* scan0 = nullptr;
    ASSERT_EQ(GetImageScan0(id, scan0), OK);
    EXPECT_EQ(scan0, buffer);
    EXPECT_EQ(ReleaseImage(id), OK);
}

TEST_F(ImageTable, PluginHandlesAreClosedByKind) {
    test_support::FakePlugin fake;
    fake.install();
    struct Case {
        int32_t kind;
        bool container;
        const char* expected;
    } cases[] = {
        {SourceKindPlugin, false, "KELVRA_Unload"},
        {SourceKindPlugin, true, "KELVRA_CloseMultiBitmap"},
        {SourceKindPluginPage, false, "KELVRA_UnlockPage"},
    };
    for (const Case& c : cases) {
        fake.clearCalls();
        ImageId id = 0;
        RegisterImage(id, 0, "X", "", c.kind);
        ImageRecord* r = FindImageRecord(id);
        r->PluginHandle = 7;
        r->PluginPage = 8;
        r->PluginFileHandle = 9;
        r->IsTiffContainer = c.container;
        EXPECT_EQ(ReleaseImage(id), OK);
        EXPECT_EQ(fake.callCount(c.expected), 1) << c.expected;
        EXPECT_EQ(fake.callCount("KELVRA_CloseFileHandle"), 1);
    }
}

class GdiPlusSession : public ::testing::Test {
protected:
    void SetUp() override {
        tavimo::test::ResetSessionState();
        gp::test::ResetSession();
        tavimo::test::SetPluginAbsent(true); // a built libkelvra.so must not answer here
    }
    void TearDown() override {
        ReleaseAllImages();
        tavimo::test::SetPluginAbsent(false);
        tavimo::test::ResetSessionState();
        gp::test::ResetSession();
    }
};

TEST_F(GdiPlusSession, CountedStartAndStopReleaseImagesOnlyAtTheLastStop) {
    EXPECT_TRUE(GdiPlusNotRunning());
    EXPECT_TRUE(StartGdiPlus());
    EXPECT_TRUE(StartGdiPlus());
    EXPECT_TRUE(gp::isStarted());
    EXPECT_FALSE(GdiPlusNotRunning());
    EXPECT_EQ(GdiplusVersionText(), win::GetFileVersion("gdiplus.dll"));

    ImageId id = 0;
    RegisterImage(id, makeBitmap(), "", "", SourceKindGdiImage);
    StopGdiPlus();
    EXPECT_NE(FindImageIndex(id), -1);
    EXPECT_TRUE(gp::isStarted());
    StopGdiPlus();
    EXPECT_EQ(ImageTableCount(), 0);
    EXPECT_FALSE(gp::isStarted()); // this library's token was the only reference
}

TEST_F(GdiPlusSession, GdiPlusRunByTheHostIsUsedButNeverShutDown) {
    gp::test::StartExternally();
    EXPECT_TRUE(StartGdiPlus());
    ImageId id = 0;
    RegisterImage(id, makeBitmap(), "", "", SourceKindGdiImage);
    StopGdiPlus();
    EXPECT_EQ(ImageTableCount(), 0);
    EXPECT_TRUE(gp::isStarted());
    gp::test::StopExternally();
}

TEST_F(GdiPlusSession, OneThreadsLastStopLeavesAnotherThreadsImagesWorking) {
    ASSERT_TRUE(StartGdiPlus());
    ImageId mine = 0;
    RegisterImage(mine, makeBitmap(), "", "", SourceKindGdiImage);
    std::thread other([] {
        EXPECT_TRUE(StartGdiPlus());
        StopGdiPlus();
    });
    other.join();
    EXPECT_TRUE(gp::isStarted());
    uint32_t width = 0;
    EXPECT_EQ(gp::GdipGetImageWidth(GetGdiImage(mine), &width), gp::Ok);
    EXPECT_EQ(width, 4u);
    gp::GpBitmap fresh = 0;
    EXPECT_EQ(gp::GdipCreateBitmapFromScan0(1, 1, 0, gp::PixelFormat24bppRGB, nullptr, &fresh),
              gp::Ok);
    gp::GdipDisposeImage(fresh);
    StopGdiPlus();
    EXPECT_FALSE(gp::isStarted());
}

TEST_F(GdiPlusSession, PluginVersionIsReadAtStart) {
    EXPECT_FALSE(PluginAvailable());
    test_support::FakePlugin fake;
    fake.install();
    ASSERT_TRUE(StartGdiPlus());
    EXPECT_EQ(PluginVersionText(), "3.18.0.0");
    EXPECT_TRUE(PluginAvailable());
    StopGdiPlus();
}

} // namespace

namespace {

using namespace tavimo;

TEST(EncoderList, StartBuildsItAndKeysCompareWithoutCase) {
    tavimo::test::ResetSessionState();
    gp::test::ResetSession();
    EXPECT_EQ(FindEncoder("*.png"), -1); // never built on this thread
    ASSERT_TRUE(StartGdiPlus());
    EXPECT_EQ(EncoderCount(), 5);
    int32_t png = FindEncoder("*.png");
    int32_t jpg = FindEncoder("*.jpg");
    ASSERT_GE(png, 0);
    ASSERT_GE(jpg, 0);
    EXPECT_EQ(FindEncoder("*.JPEG"), jpg);
    EXPECT_EQ(FindEncoder("*.xyz"), -1);
    win::Guid clsid;
    EXPECT_TRUE(GetEncoderClsid(clsid, png));
    EXPECT_FALSE(clsid.isZero());
    EXPECT_FALSE(GetEncoderClsid(clsid, 5));
    StopGdiPlus();
    tavimo::test::ResetSessionState();
    gp::test::ResetSession();
}

} // namespace
