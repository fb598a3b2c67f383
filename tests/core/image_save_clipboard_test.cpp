// Clipboard copies, the temporary file of grey JPEG byte arrays, the length of byte arrays,
// and the palette a plug-in save copy receives.

#include "core/image_info.h"
#include "core/image_picture.h"
#include "core/image_save.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win/clipboard.h"
#include "platform/win/files.h"
#include "tests/support/containers_fixtures.h"
#include "tests/support/core_fake_plugin.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

namespace tavimo {
namespace {

using test_support::FakePlugin;

class SaveAndClipboard : public testing::CoreSessionTest {
protected:
    void SetUp() override {
        m_tmp.emplace();
        testing::CoreSessionTest::SetUp();
    }
    void TearDown() override {
        testing::CoreSessionTest::TearDown();
        win::Clipboard::Clear();
        EXPECT_EQ(m_tmp->files(), std::vector<std::string>{});
        m_tmp.reset();
    }
    ImageId greyImage() {
        std::vector<uint8_t> rows(16 * 8);
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<uint8_t>(i * 2);
        ImageId id = testing::registerBitmap(16, 8, gp::PixelFormat8bppIndexed, rows);
        gp::Palette grey;
        for (uint32_t i = 0; i < 256; ++i)
            grey.entries.push_back(0xFF000000u | i * 0x010101u);
        EXPECT_EQ(WriteImagePalette(id, grey), OK);
        EXPECT_TRUE(IsGreyPalette(id));
        return id;
    }
    std::optional<testing::PrivateTempFolder> m_tmp;
};

TEST_F(SaveAndClipboard, CopyPutsTheImageOnTheClipboard) {
    std::vector<uint8_t> rows(4 * 3 * 4);
    for (size_t i = 0; i < rows.size(); i += 4) {
        rows[i] = 0x20;     // blue
        rows[i + 1] = 0x40; // green
        rows[i + 2] = 0x80; // red
        rows[i + 3] = 0xFF;
    }
    ImageId id = testing::registerBitmap(4, 3, gp::PixelFormat32bppARGB, rows);
    ASSERT_NE(id, 0);

    // An absent image leaves what the clipboard held.
    ASSERT_EQ(CopyToClipboard(id), OK);
    EXPECT_EQ(CopyToClipboard(4711), InvalidParameter);
    EXPECT_TRUE(win::Clipboard::GetFormat(win::CF_BITMAP));

    ImageId pasted = 0;
    ASSERT_EQ(LoadFromClipboard(pasted), OK);
    EXPECT_EQ(testing::pageSize(pasted), "4x3");
    EXPECT_EQ(testing::firstPixel(pasted), 0xFF804020u);

    // The clipboard holds a copy: releasing the image changes nothing there.
    ReleaseImage(id);
    ImageId again = 0;
    ASSERT_EQ(LoadFromClipboard(again), OK);
    EXPECT_EQ(testing::firstPixel(again), 0xFF804020u);
}

// The plug-in writes what the test says into the file it is given.
thread_local const char* t_pluginWrites = nullptr;

int32_t saveWritingFile(int32_t, KelvraBitmap, const char* path, int32_t) {
    if (t_pluginWrites && *t_pluginWrites)
        win::writeWholeFile(path, t_pluginWrites, std::strlen(t_pluginWrites));
    return t_pluginWrites ? 1 : 0;
}

TEST_F(SaveAndClipboard, GreyJpegByteArraysLeaveNoTemporaryFile) {
    FakePlugin fake;
    fake.install();
    fake.setResult("KELVRA_ConvertFromRawBits", 5);
    fake.table().KELVRA_SaveU = &saveWritingFile;
    ImageId id = greyImage();

    struct Case {
        const char* writes; // null: the plug-in save fails
        bool fromPlugin;
    } cases[] = {
        {"plug-in bytes", true}, // read back from the file
        {"", false},             // saved, but nothing written: the stream path follows
        {nullptr, false},        // refused: GDI+ writes the file instead
    };
    for (const Case& c : cases) {
        t_pluginWrites = c.writes;
        int32_t length = 0;
        std::vector<uint8_t> bytes;
        ASSERT_EQ(SaveToByteArray(id, length, bytes, "JPG", 80), OK);
        EXPECT_EQ(length, static_cast<int32_t>(bytes.size()));
        if (c.fromPlugin) {
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.writes);
        } else {
            ASSERT_GE(bytes.size(), 2u);
            EXPECT_EQ(bytes[0], 0xFF);
            EXPECT_EQ(bytes[1], 0xD8);
        }
        EXPECT_EQ(m_tmp->files(), std::vector<std::string>{});
    }
    t_pluginWrites = nullptr;
}

TEST_F(SaveAndClipboard, ByteArraysHoldExactlyTheEncodedData) {
    ImageId id = testing::registerBitmap(9, 7, gp::PixelFormat24bppRGB);
    int32_t length = 0;
    std::vector<uint8_t> bytes;
    ASSERT_EQ(SaveToByteArray(id, length, bytes, "png", 0), OK);
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(length, static_cast<int32_t>(bytes.size()));
    // The last chunk is IEND and nothing follows its checksum.
    EXPECT_EQ(std::string(bytes.end() - 8, bytes.end() - 4), "IEND");
}

uint32_t t_pluginPalette[256];
std::vector<int32_t> t_transparent;

TEST_F(SaveAndClipboard, PluginCopyGetsThePaletteItHasRoomFor) {
    FakePlugin fake;
    fake.install();
    fake.setResult("KELVRA_ConvertFromRawBits", 5);
    fake.setResult("KELVRA_GetColorsUsed", 256);
    std::fill(std::begin(t_pluginPalette), std::end(t_pluginPalette), 0x12345678u);
    t_transparent.clear();
    fake.table().KELVRA_GetPalette = [](KelvraBitmap) { return t_pluginPalette; };
    fake.table().KELVRA_SetTransparentIndex = [](KelvraBitmap, int32_t index) {
        t_transparent.push_back(index);
        return 1;
    };

    // An 8-bit image whose palette has only 16 entries, two of them fully transparent.
    ImageId id = testing::registerBitmap(4, 4, gp::PixelFormat8bppIndexed);
    gp::Palette small;
    for (uint32_t i = 0; i < 16; ++i)
        small.entries.push_back((i == 3 || i == 9 ? 0u : 0xFF000000u) | i * 0x0F0F0Fu);
    ASSERT_EQ(WriteImagePalette(id, small), OK);

    KelvraHandle bitmap = 0;
    ASSERT_EQ(PrepareForPluginSave(bitmap, id), OK);
    EXPECT_EQ(bitmap, 5u);
    for (uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(t_pluginPalette[i], small.entries[i]) << i;
    for (uint32_t i = 16; i < 256; ++i)
        ASSERT_EQ(t_pluginPalette[i], 0xFF000000u) << i;
    EXPECT_EQ(t_transparent, (std::vector<int32_t>{3, 9}));

    // Without a bitmap from the plug-in nothing is handed out.
    fake.setResult("KELVRA_ConvertFromRawBits", 0);
    EXPECT_EQ(PrepareForPluginSave(bitmap, id), OutOfMemory);
    EXPECT_EQ(bitmap, 0u);
}

} // namespace
} // namespace tavimo
