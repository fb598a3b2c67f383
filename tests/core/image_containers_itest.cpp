// Page containers whose pages stay in the codec plug-in's open multi-page bitmap, paged
// through the real plug-in.

#include "core/image_containers.h"
#include "core/image_convert.h"
#include "core/image_info.h"
#include "core/plugin.h"
#include "tests/support/containers_fixtures.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace tavimo {
namespace {

// The plug-in is built into <build>/plugins; runs that do not say where it is find it
// there (this program lives in <build>/tests/core).
const bool g_pluginPathSet = [] {
    const char* dir = std::getenv("TAVIMO_PLUGIN_PATH");
    if (!dir || !*dir) {
        std::error_code ec;
        auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (!ec)
            setenv("TAVIMO_PLUGIN_PATH",
                   (exe.parent_path().parent_path().parent_path() / "plugins").c_str(), 1);
    }
    return true;
}();

class PluginPageContainers : public testing::CoreSessionTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(g_pluginPathSet);
        if (!plugin())
            GTEST_SKIP() << "libkelvra.so is not built";
        if (!testing::haveConvert())
            GTEST_SKIP() << "ImageMagick's convert is not installed";
        m_tmp.emplace();
        testing::CoreSessionTest::SetUp();
        useRealPlugin();
        m_tiff = testing::makeThreePageTiff(m_fixtures);
        ASSERT_FALSE(m_tiff.empty());
    }
    void TearDown() override {
        if (!m_tmp)
            return;
        testing::CoreSessionTest::TearDown();
        EXPECT_EQ(m_tmp->files(), std::vector<std::string>{});
        m_tmp.reset();
    }

    // A container over the plug-in's multi-page bitmap, as the plug-in loader keeps one.
    ImageId openInPlace(const std::string& path) {
        const KelvraApi* k = plugin();
        KelvraFileHandle file = k->KELVRA_OpenFileU(path.c_str());
        KelvraMultiBitmap multi = k->KELVRA_OpenMultiBitmapU(KELVRA_FIF_TIFF, 0, file);
        int32_t pages = k->KELVRA_GetPageCount(multi);
        EXPECT_EQ(pages, 3);
        ImageId id = 0;
        RegisterImage(id, 0, "TIFF", path, SourceKindPlugin);
        ImageRecord* r = FindImageRecord(id);
        r->PagesInPlace = true;
        r->IsTiffContainer = true;
        r->PageCount = pages;
        r->PageImageIds.assign(static_cast<size_t>(pages), 0);
        r->PageFiles.assign(static_cast<size_t>(pages), "");
        r->FrameDelays.assign(static_cast<size_t>(pages), 0);
        r->CurrentPage = -1;
        r->PluginHandle = multi;
        r->PluginFileHandle = file;
        EXPECT_EQ(SelectTiffPage(id, 0), OK);
        m_multi = multi;
        return id;
    }
    // Whether page `index` is free in the plug-in (nobody holds it locked).
    bool pageIsFree(int32_t index) {
        const KelvraApi* k = plugin();
        KelvraBitmap page = k->KELVRA_LockPage(m_multi, index);
        if (page == 0)
            return false;
        k->KELVRA_UnlockPage(m_multi, page, 0);
        return true;
    }

    testing::FixtureFolder m_fixtures;
    std::optional<testing::PrivateTempFolder> m_tmp;
    std::string m_tiff;
    KelvraMultiBitmap m_multi = 0;
};

TEST_F(PluginPageContainers, PagesAreLockedOneAtATime) {
    ImageId id = openInPlace(m_tiff);
    struct Page {
        const char* size;
        uint32_t colour;
    } pages[] = {{"20x10", 0xFFFF0000u}, {"30x12", 0xFF00FF00u}, {"8x16", 0xFF0000FFu}};
    for (int32_t index : {0, 2, 1, 0}) {
        SCOPED_TRACE(index);
        ASSERT_EQ(SelectTiffPage(id, index), OK);
        EXPECT_EQ(GetCurrentTiffPage(id), index);
        EXPECT_EQ(testing::pageSize(id), pages[index].size);
        EXPECT_EQ(testing::firstPixel(id), pages[index].colour);
        // Only the current page may be held; the others went back to the plug-in.
        if (GetImageSourceKind(id) == SourceKindPluginPage) {
            EXPECT_FALSE(pageIsFree(index));
        }
        for (int32_t other = 0; other < 3; ++other) {
            if (other != index) {
                EXPECT_TRUE(pageIsFree(other)) << other;
            }
        }
    }
    EXPECT_EQ(m_tmp->files(), std::vector<std::string>{}); // nothing is written in place
}

TEST_F(PluginPageContainers, EditsOfAPageAreDroppedWhenAnotherIsSelected) {
    ImageId id = openInPlace(m_tiff);
    ASSERT_EQ(SelectTiffPage(id, 1), OK);
    ASSERT_EQ(SetResolution(id, 300, 300, false), OK);
    float dpi = 0;
    GetImageHorizontalResolution(id, dpi);
    EXPECT_FLOAT_EQ(dpi, 300.0f);
    ASSERT_EQ(SelectTiffPage(id, 2), OK);
    ASSERT_EQ(SelectTiffPage(id, 1), OK);
    GetImageHorizontalResolution(id, dpi);
    EXPECT_FLOAT_EQ(dpi, 150.0f);

    // A replacing edit makes the edited page the whole image, under the same identifier.
    ASSERT_EQ(RotateFlip(id, gp::Rotate90FlipNone, false), OK);
    EXPECT_FALSE(IsTiffContainer(id));
    EXPECT_EQ(testing::pageSize(id), "12x30");
    EXPECT_EQ(ReleaseImage(id), OK);
}

TEST_F(PluginPageContainers, SplitPagesLoadThroughThePluginAndKeepTheirEdits) {
    ImageId id = 0;
    ASSERT_EQ(testing::loadContainerStream(id, m_tiff), OK);
    ASSERT_TRUE(IsTiffTempFileContainer(id));
    ASSERT_EQ(SelectTiffPage(id, 2), OK);
    ASSERT_EQ(RotateFlip(id, gp::Rotate270FlipNone, false), OK);
    ASSERT_EQ(SelectTiffPage(id, 0), OK);
    EXPECT_EQ(testing::pageSize(id), "20x10");
    ASSERT_EQ(SelectTiffPage(id, 2), OK);
    EXPECT_EQ(testing::pageSize(id), "16x8");
    EXPECT_EQ(testing::firstPixel(id), 0xFF0000FFu);
    EXPECT_EQ(m_tmp->files().size(), 3u);
}

} // namespace
} // namespace tavimo
