// Page containers over multi-page TIFF and animated GIF files made by ImageMagick: the
// queries, paging in place and through page files, where edits land, saves read back by
// ImageMagick, and that no page file outlives its container.

#include "core/image_containers.h"
#include "core/image_convert.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/image_metadata.h"
#include "core/image_pages.h"
#include "core/image_save.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win/files.h"
#include "platform/win/stream.h"
#include "tests/support/containers_fixtures.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace tavimo {
namespace {

using testing::firstPixel;
using testing::identifyFile;
using testing::pageSize;

constexpr uint32_t kRed = 0xFFFF0000u, kLime = 0xFF00FF00u, kBlue = 0xFF0000FFu;

// The value text of the first item with `tag` on the image (its current page).
std::optional<std::string> tagText(ImageId id, uint32_t tag) {
    uint32_t count = 0;
    GetImagePropertyCount(id, count);
    for (uint32_t i = 1; i <= count; ++i) {
        auto item = GetPropertyItemByIndex(id, static_cast<int32_t>(i), count);
        if (item && static_cast<uint32_t>(item->ID()) == tag)
            return GetExifTagValue(id, static_cast<int32_t>(i));
    }
    return std::nullopt;
}

class ImageContainers : public testing::CoreSessionTest {
protected:
    void SetUp() override {
        if (!testing::haveConvert())
            GTEST_SKIP() << "ImageMagick's convert is not installed";
        m_tmp.emplace();
        testing::CoreSessionTest::SetUp();
        m_tiff = testing::makeThreePageTiff(m_fixtures);
        m_gif = testing::makeThreeFrameGif(m_fixtures);
        ASSERT_FALSE(m_tiff.empty());
        ASSERT_FALSE(m_gif.empty());
    }
    void TearDown() override {
        if (!m_tmp)
            return;
        testing::CoreSessionTest::TearDown();
        // The last stop released every image: not one page file may be left.
        EXPECT_EQ(m_tmp->files(), std::vector<std::string>{});
        m_tmp.reset();
    }
    // Releases everything and checks the temporary folder is empty again.
    void expectNoPageFilesAfterRelease() {
        ReleaseAllImages();
        EXPECT_EQ(m_tmp->files(), std::vector<std::string>{});
    }
    std::string pageFile(ImageId container, int32_t page) {
        const ImageRecord* r = FindImageRecord(container);
        return r ? r->PageFiles.at(static_cast<size_t>(page)) : std::string();
    }

    testing::FixtureFolder m_fixtures;
    std::optional<testing::PrivateTempFolder> m_tmp;
    std::string m_tiff, m_gif;
};

TEST_F(ImageContainers, QueriesAnswerByKindOfImage) {
    std::string png = m_fixtures.file("one.png");
    std::string oneFrame = m_fixtures.file("one.gif");
    ASSERT_TRUE(testing::runConvert("-size 4x4 xc:red '" + png + "'"));
    ASSERT_TRUE(testing::runConvert("-size 4x4 xc:red '" + oneFrame + "'"));
    ImageId plain = 0, single = 0, gif = 0, tiff = 0, split = 0;
    ASSERT_EQ(testing::loadContainerFile(plain, png), OK);
    ASSERT_EQ(testing::loadContainerFile(single, oneFrame), OK);
    ASSERT_EQ(testing::loadContainerFile(gif, m_gif), OK);
    ASSERT_EQ(testing::loadContainerFile(tiff, m_tiff), OK);
    ASSERT_EQ(testing::loadContainerStream(split, m_tiff), OK);
    const ImageId absent = 4711;
    ASSERT_LT(FindImageIndex(absent), 0);

    struct Row {
        const char* name;
        ImageId id;
        int32_t tiffStatus, tiffCount, gifStatus, gifCount;
        bool isTiff, isGif, tiffTemp;
        int32_t currentTiff, currentGif;
    } rows[] = {
        {"plain", plain, 22, 0, 22, 0, false, false, false, -1, -1},
        {"one-frame GIF", single, 22, 0, 22, 0, false, false, false, -1, -1},
        {"GIF in place", gif, 22, 0, 0, 3, false, true, false, -1, 0},
        {"TIFF in place", tiff, 0, 3, 22, 0, true, false, false, 0, -1},
        {"TIFF split", split, 0, 3, 22, 0, true, false, true, 0, -1},
        {"absent", absent, 22, 99, 22, 99, false, false, false, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int32_t count = 99;
        EXPECT_EQ(GetTiffPageCount(row.id, count), row.tiffStatus);
        EXPECT_EQ(count, row.tiffCount);
        count = 99;
        EXPECT_EQ(GetGifFrameCount(row.id, count), row.gifStatus);
        EXPECT_EQ(count, row.gifCount);
        EXPECT_EQ(IsTiffContainer(row.id), row.isTiff);
        EXPECT_EQ(IsGifContainer(row.id), row.isGif);
        EXPECT_EQ(IsTiffTempFileContainer(row.id), row.tiffTemp);
        EXPECT_FALSE(IsGifTempFileContainer(row.id));
        EXPECT_EQ(GetCurrentTiffPage(row.id), row.currentTiff);
        EXPECT_EQ(GetCurrentGifFrame(row.id), row.currentGif);
    }

    // Selection: absent 1, wrong kind 22, outside the pages 2.
    EXPECT_EQ(SelectTiffPage(absent, 0), GenericError);
    EXPECT_EQ(SelectGifFrame(tiff, 0), UnsupportedImageFormat);
    EXPECT_EQ(SelectTiffPage(plain, 0), UnsupportedImageFormat);
    EXPECT_EQ(SelectPage(tiff, 0, "PNG"), UnsupportedImageFormat);
    EXPECT_EQ(SelectTiffPage(tiff, 3), InvalidParameter);
    EXPECT_EQ(SelectTiffPage(tiff, -1), InvalidParameter);
    EXPECT_EQ(GetCurrentTiffPage(tiff), 0);

    // Frame delays: 2 absent; untouched for what is not a GIF container.
    std::vector<int32_t> delays{7};
    EXPECT_EQ(GetGifFrameDelays(absent, delays), InvalidParameter);
    EXPECT_EQ(GetGifFrameDelays(tiff, delays), OK);
    EXPECT_EQ(delays, std::vector<int32_t>{7});

    // The raw frame queries: 2 for an absent id, a count over the image's own frames.
    int32_t frames = 5;
    EXPECT_EQ(CountGifFrames(absent, frames), InvalidParameter);
    EXPECT_EQ(ActivateTiffPage(absent, 0), InvalidParameter);
    EXPECT_EQ(CountTiffPages(plain, frames), OK);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(CommitPageChanges(absent, plain), 0);
    EXPECT_EQ(CommitPageChanges(0, plain), 0);

    // The page count agrees with an independent reader.
    EXPECT_EQ(identifyFile("%n\n", m_tiff).substr(0, 2), "3\n");
    expectNoPageFilesAfterRelease();
}

TEST_F(ImageContainers, TiffPagesInEveryStorageMode) {
    ImageId inPlace = 0, split = 0;
    ASSERT_EQ(testing::loadContainerFile(inPlace, m_tiff), OK);
    ASSERT_EQ(testing::loadContainerStream(split, m_tiff), OK);
    EXPECT_EQ(GetImageSourceKind(inPlace), SourceKindFile);
    EXPECT_EQ(FindImageRecord(split)->SourceKind, SourceKindGdiImage);
    EXPECT_EQ(m_tmp->files().size(), 3u); // one LZW TIFF per page of the split container
    EXPECT_EQ(identifyFile("%C", pageFile(split, 1)), "LZW");

    struct Page {
        const char* size;
        uint32_t colour;
        const char* description;
    } pages[] = {{"20x10", kRed, "one"}, {"30x12", kLime, "two"}, {"8x16", kBlue, "three"}};
    for (ImageId id : {inPlace, split}) {
        // Forwards, backwards and again: every page shows itself, whatever came before.
        for (int32_t index : {0, 1, 2, 1, 0, 2}) {
            SCOPED_TRACE(::testing::Message()
                         << "container " << (id == split ? "split" : "in place") << " page "
                         << index);
            ASSERT_EQ(SelectTiffPage(id, index), OK);
            EXPECT_EQ(GetCurrentTiffPage(id), index);
            EXPECT_EQ(pageSize(id), pages[index].size);
            EXPECT_EQ(firstPixel(id), pages[index].colour);
            EXPECT_EQ(tagText(id, 0x010E).value_or("?"),
                      std::string(pages[index].description) + '\0');
            float dpi = 0;
            GetImageHorizontalResolution(id, dpi);
            EXPECT_FLOAT_EQ(dpi, 150.0f);
        }
    }

    // Selecting the current page again decodes nothing.
    ImageId current = GetCurrentPageImageId(split);
    EXPECT_EQ(SelectTiffPage(split, 2), OK);
    EXPECT_EQ(GetCurrentPageImageId(split), current);
    // A split container holds one decoded page at most.
    int32_t held = 0;
    for (ImageId page : FindImageRecord(split)->PageImageIds)
        held += page != 0;
    EXPECT_EQ(held, 1);
    expectNoPageFilesAfterRelease();
}

TEST_F(ImageContainers, StreamGifBecomesSplitContainerWithPngPages) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(win::readWholeFile(m_gif, bytes));
    win::RefPtr<win::IStream> stream;
    ASSERT_EQ(win::CreateStreamOnHGlobal(0, true, stream.put()), win::S_OK);
    stream->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr);
    stream->Seek(0, win::STREAM_SEEK_SET, nullptr);
    gp::GpImage image = 0;
    ASSERT_EQ(gp::GdipLoadImageFromStream(stream.get(), &image), gp::Ok);
    ImageId loaded = 0, result = 0;
    RegisterImage(loaded, image, "", "", SourceKindGdiImage);

    ASSERT_EQ(SetupMultiFrame("", loaded, result, false, false), OK);
    EXPECT_NE(result, loaded);
    EXPECT_LT(FindImageIndex(loaded), 0); // the source image is gone
    EXPECT_TRUE(IsGifTempFileContainer(result));
    EXPECT_EQ(GetCurrentGifFrame(result), 0);
    ASSERT_EQ(m_tmp->files().size(), 3u);
    for (int32_t i = 0; i < 3; ++i) {
        std::vector<uint8_t> page;
        ASSERT_TRUE(win::readWholeFile(pageFile(result, i), page));
        ASSERT_GE(page.size(), 4u);
        EXPECT_EQ(page[1], 'P') << "page " << i << " is a PNG";
    }
    uint32_t expected[] = {kRed, kLime, kBlue};
    for (int32_t i : {2, 0, 1}) {
        ASSERT_EQ(SelectGifFrame(result, i), OK);
        EXPECT_EQ(firstPixel(result), expected[i]);
    }
    expectNoPageFilesAfterRelease();
}

TEST_F(ImageContainers, GifAnimationValuesSurviveFrameChanges) {
    // A loop count above 32767 is an unsigned SHORT too: it must be written back as it is.
    std::string looping = testing::makeThreeFrameGif(m_fixtures, 40000, "hello gif");
    ImageId inPlace = 0, split = 0;
    ASSERT_EQ(testing::loadContainerFile(inPlace, looping), OK);
    ASSERT_EQ(testing::loadContainerStream(split, looping), OK);
    for (ImageId id : {inPlace, split}) {
        SCOPED_TRACE(id == split ? "split" : "in place");
        std::vector<int32_t> delays;
        ASSERT_EQ(GetGifFrameDelays(id, delays), OK);
        EXPECT_EQ(delays, (std::vector<int32_t>{10, 25, 20})); // 0 is shown as 25
        const ImageRecord* r = FindImageRecord(id);
        EXPECT_EQ(r->LoopCount, 40000);
        EXPECT_EQ(r->Comment, "hello gif");
        // Every frame change writes the values onto the page, and they read back unchanged:
        // the comment is not shortened and the loop count not lost.
        for (int32_t frame : {1, 2, 0, 1, 2}) {
            ASSERT_EQ(SelectGifFrame(id, frame), OK);
            EXPECT_EQ(tagText(id, 0x5100).value_or("?"), " 10,  25,  20");
            EXPECT_EQ(tagText(id, 0x5101).value_or("?"), " 40000");
            EXPECT_EQ(tagText(id, 0x9286).value_or("?"), "hello gif");
            EXPECT_FALSE(FindImageRecord(GetCurrentPageImageId(id))->Modified);
        }
    }
    // Read straight from a loaded GIF before it is a container.
    gp::GpBitmap bitmap = 0;
    ASSERT_EQ(gp::GdipCreateBitmapFromFile(m_gif, &bitmap), gp::Ok);
    ImageId raw = 0;
    RegisterImage(raw, bitmap, "", "", SourceKindFile);
    std::vector<int32_t> read;
    EXPECT_EQ(ReadGifFrameDelays(raw, read), 3);
    EXPECT_EQ(read, (std::vector<int32_t>{10, 0, 20}));
    EXPECT_EQ(GetGifLoopCount(raw), 2);
    EXPECT_EQ(GetImageComment(raw), "hello gif");
    expectNoPageFilesAfterRelease();
}

TEST_F(ImageContainers, EditedSplitPageReplacesOnlyItsOwnFile) {
    ImageId id = 0;
    ASSERT_EQ(testing::loadContainerStream(id, m_tiff), OK);
    const std::string before[] = {pageFile(id, 0), pageFile(id, 1), pageFile(id, 2)};
    ASSERT_EQ(SelectTiffPage(id, 2), OK);
    ASSERT_EQ(RotateFlip(id, gp::Rotate90FlipNone, false), OK);
    EXPECT_EQ(pageSize(id), "16x8");
    EXPECT_EQ(pageFile(id, 0), before[0]);
    EXPECT_EQ(pageFile(id, 1), before[1]);
    EXPECT_NE(pageFile(id, 2), before[2]);
    EXPECT_TRUE(win::FileExists(before[2]).empty()); // the old page file is gone
    EXPECT_EQ(m_tmp->files().size(), 3u);
    int32_t count = 0;
    EXPECT_EQ(GetTiffPageCount(id, count), OK);
    EXPECT_EQ(count, 3);

    // An edit that replaces nothing is written when the page stops being current.
    ASSERT_EQ(SelectTiffPage(id, 1), OK);
    ASSERT_EQ(SetResolution(id, 300, 300, false), OK);
    ASSERT_EQ(SelectTiffPage(id, 0), OK);
    EXPECT_NE(pageFile(id, 1), before[1]);
    EXPECT_EQ(pageFile(id, 0), before[0]);

    struct Expect {
        int32_t page;
        const char* size;
        float dpi;
        uint32_t colour;
    } expected[] = {{2, "16x8", 150, kBlue}, {1, "30x12", 300, kLime}, {0, "20x10", 150, kRed}};
    for (const Expect& e : expected) {
        ASSERT_EQ(SelectTiffPage(id, e.page), OK);
        EXPECT_EQ(pageSize(id), e.size) << e.page;
        float dpi = 0;
        GetImageHorizontalResolution(id, dpi);
        EXPECT_FLOAT_EQ(dpi, e.dpi) << e.page;
        EXPECT_EQ(firstPixel(id), e.colour) << e.page;
    }
    expectNoPageFilesAfterRelease();
}

TEST_F(ImageContainers, FailedPageWriteKeepsTheOldPageAndReportsIt) {
    ImageId id = 0;
    ASSERT_EQ(testing::loadContainerStream(id, m_tiff), OK);
    ASSERT_EQ(SelectTiffPage(id, 1), OK);
    const std::string file = pageFile(id, 1);
    const int32_t entries = ImageTableCount();

    // No temporary file can be made any more: the new page cannot be written.
    const std::string tmp = std::getenv("tmp");
    setenv("tmp", "/nonexistent-tavimo-folder/", 1);
    EXPECT_NE(RotateFlip(id, gp::Rotate90FlipNone, false), OK);
    ImageId same = 0;
    EXPECT_NE(ConvertPixelFormat(id, gp::PixelFormat32bppARGB, false, same), OK);
    setenv("tmp", tmp.c_str(), 1);

    EXPECT_EQ(pageFile(id, 1), file);
    EXPECT_FALSE(win::FileExists(file).empty());
    EXPECT_EQ(GetCurrentTiffPage(id), 1);
    EXPECT_NE(GetGdiImage(id), 0u);        // the old page image is still current
    EXPECT_EQ(ImageTableCount(), entries); // and no copy was left behind
    ASSERT_EQ(SelectTiffPage(id, 0), OK);
    ASSERT_EQ(SelectTiffPage(id, 1), OK);
    EXPECT_EQ(firstPixel(id), kLime);
    expectNoPageFilesAfterRelease();
}

TEST_F(ImageContainers, PagesThatWereNeverWritten) {
    // No page file can be made at all: nothing stays registered.
    const std::string tmp = std::getenv("tmp");
    setenv("tmp", "/nonexistent-tavimo-folder/", 1);
    ImageId id = 123;
    EXPECT_EQ(testing::loadContainerStream(id, m_gif), UnknownImageFormat);
    setenv("tmp", tmp.c_str(), 1);
    EXPECT_EQ(id, 0);
    for (const ImageRecord& entry : imageTable())
        EXPECT_EQ(entry.ImageId, 0);

    // A page whose write failed has no file: selecting it answers 1 and shows nothing.
    ASSERT_EQ(testing::loadContainerStream(id, m_tiff), OK);
    ImageRecord* r = FindImageRecord(id);
    win::deleteFileQuietly(r->PageFiles[1]);
    r->PageFiles[1].clear();
    EXPECT_EQ(SelectTiffPage(id, 1), GenericError);
    EXPECT_EQ(GetGdiImage(id), 0u);
    ASSERT_EQ(SelectTiffPage(id, 2), OK);
    EXPECT_EQ(pageSize(id), "8x16");
    expectNoPageFilesAfterRelease();
}

TEST_F(ImageContainers, EditOfInPlaceContainerLeavesThePlainPage) {
    for (const std::string& path : {m_gif, m_tiff}) {
        ImageId id = 0;
        ASSERT_EQ(testing::loadContainerFile(id, path), OK);
        const bool gif = path == m_gif;
        ASSERT_EQ(gif ? SelectGifFrame(id, 1) : SelectTiffPage(id, 1), OK);
        const std::string sizeBefore = pageSize(id);
        ASSERT_EQ(RotateFlip(id, gp::RotateNoneFlipX, false), OK);
        // The edited frame is all that is left, under the same identifier.
        EXPECT_FALSE(IsGifContainer(id));
        EXPECT_FALSE(IsTiffContainer(id));
        EXPECT_EQ(GetCurrentGifFrame(id), -1);
        int32_t count = 5;
        EXPECT_EQ(GetGifFrameCount(id, count), UnsupportedImageFormat);
        EXPECT_EQ(pageSize(id), sizeBefore);
        EXPECT_EQ(firstPixel(id), kLime);
        EXPECT_EQ(ReleaseImage(id), OK);
    }

    // An in-place GDI+ GIF whose frames collapse under a pixel write is demoted by the
    // edit itself, so its release finds no emptied page arrays to walk.
    ImageId gif = 0;
    ASSERT_EQ(testing::loadContainerFile(gif, m_gif), OK);
    gp::BitmapData data{};
    gp::Rect one{0, 0, 1, 1};
    ASSERT_EQ(LockImageBits(gif, &one, gp::ImageLockModeWrite, gp::PixelFormat32bppARGB, data), OK);
    ASSERT_EQ(UnlockImageBits(gif, data), OK);
    MarkImageModified(gif);
    EXPECT_FALSE(IsGifContainer(gif));
    EXPECT_EQ(GetCurrentGifFrame(gif), -1);
    EXPECT_EQ(FindImageRecord(gif)->PageCount, 1);
    EXPECT_EQ(ReleaseImage(gif), OK);
}

TEST_F(ImageContainers, SavedPagesReadBackInImageMagick) {
    ImageId tiff = 0, gif = 0;
    ASSERT_EQ(testing::loadContainerFile(tiff, m_tiff), OK);
    ASSERT_EQ(testing::loadContainerStream(gif, m_gif), OK);
    ASSERT_EQ(SelectTiffPage(tiff, 1), OK);
    ASSERT_EQ(SelectGifFrame(gif, 2), OK);

    std::string tif = m_fixtures.file("page.tif"), png = m_fixtures.file("frame.png");
    ASSERT_EQ(SaveAsTiff(tiff, tif, 2, 0), OK);
    ASSERT_EQ(SaveAsPng(gif, png), OK);
    // One page, its size, resolution, description and colour.
    EXPECT_EQ(identifyFile("%n %wx%h %x %[comment] %C|", tif), "1 30x12 150 two LZW|");
    EXPECT_EQ(identifyFile("%[pixel:p{0,0}]", tif), "srgb(0,255,0)");
    EXPECT_EQ(identifyFile("%wx%h %[fx:int(255*p{3,3}.r)],%[fx:int(255*p{3,3}.g)],"
                           "%[fx:int(255*p{3,3}.b)]",
                           png),
              "8x6 0,0,255");

    // A byte array of the container is its current page.
    int32_t length = 0;
    std::vector<uint8_t> bytes;
    ASSERT_EQ(SaveToByteArray(tiff, length, bytes, "png", 0), OK);
    std::string fromBytes = m_fixtures.file("bytes.png");
    ASSERT_TRUE(win::writeWholeFile(fromBytes, bytes));
    EXPECT_EQ(identifyFile("%m %wx%h", fromBytes), "PNG 30x12");
    expectNoPageFilesAfterRelease();
}

} // namespace
} // namespace tavimo
