// The bridge over the real codec plug-in, on files written by ImageMagick and by the
// plug-in itself, and the same loads without the plug-in.

#include "core/image_convert.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/image_metadata.h"
#include "core/image_save.h"
#include "core/plugin.h"
#include "core/image_containers.h"
#include "core/plugin_bridge.h"
#include "core/plugin_metadata.h"
#include "platform/win/module_version.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

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

class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/tavimo-bridge-XXXXXX";
        if (mkdtemp(pattern))
            m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Runs a scenario with a fresh session and image table on its own thread; without the
// plug-in its version reads "Unknown", which is how the core tells it is absent.
void session(bool withPlugin, const std::function<void()>& body) {
    std::thread thread([&] {
        std::optional<win::ScopedModuleVersionOverride> absent;
        if (!withPlugin)
            absent.emplace("Kelvra.dll", "Unknown");
        ASSERT_TRUE(StartGdiPlus());
        body();
        StopGdiPlus();
    });
    thread.join();
}

class PluginBridgeFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(g_pluginPathSet);
        if (!plugin())
            GTEST_SKIP() << "libkelvra.so is not built";
        if (!testing::haveConvert())
            GTEST_SKIP() << "ImageMagick's convert is not installed";
    }
    TempFolder m_dir;
};

int32_t loadFile(ImageId& id, const std::string& path) {
    return LoadImageFromFile(id, path, false, false, true, 0, true, true);
}

bool isRed(uint32_t argb) {
    return ((argb >> 16) & 0xFF) > 180 && (argb & 0xFF) < 90 && ((argb >> 8) & 0xFF) < 90;
}
bool isBlue(uint32_t argb) {
    return (argb & 0xFF) > 180 && ((argb >> 16) & 0xFF) < 90 && ((argb >> 8) & 0xFF) < 90;
}

TEST_F(PluginBridgeFiles, FormatsGdiPlusCannotReadLoadTheRightWayUp) {
    struct Case {
        const char* file;
        const char* options;
        const char* formatName;
    } cases[] = {{"a.psd", "-depth 8", "PSD"},
                 {"b.psd", "-depth 16", "PSD"},
                 {"a.pcx", "", "PCX"},
                 {"a.jp2", "-depth 8", "JP2"},
                 {"a.sgi", "-depth 8", "SGI"},
                 {"a.hdr", "", "HDR"},
                 {"a16.tif", "-depth 16", "TIFF"},
                 {"a.webp", "-define webp:lossless=true", ""}};
    session(true, [&] {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.file);
            std::string path = m_dir.file(c.file);
            ASSERT_TRUE(testing::runConvert(std::string("-size 8x4 xc:red xc:blue -append ") +
                                            c.options + " " + path));
            ImageId id = 0;
            ASSERT_EQ(loadFile(id, path), OK);
            if (*c.formatName) {
                EXPECT_EQ(GetImageFormatName(id), c.formatName);
            }
            int32_t width = 0, height = 0;
            GetImageWidth(id, width);
            GetImageHeight(id, height);
            EXPECT_EQ(width, 8);
            EXPECT_EQ(height, 8);
            std::vector<uint32_t> argb = testing::readArgb(id);
            ASSERT_EQ(argb.size(), 64u);
            EXPECT_TRUE(isRed(argb[0])) << std::hex << argb[0];
            EXPECT_TRUE(isBlue(argb[63])) << std::hex << argb[63];
            EXPECT_EQ(ReleaseImage(id), OK);
        }
        EXPECT_EQ(ImageTableCount(), 0);
    });
}

TEST_F(PluginBridgeFiles, WithoutThePluginTheLoadsFallBack) {
    std::string psd = m_dir.file("a.psd");
    std::string png = m_dir.file("a.png");
    ASSERT_TRUE(testing::runConvert("-size 4x4 xc:red -depth 8 " + psd));
    ASSERT_TRUE(testing::runConvert("-size 4x4 xc:red " + png));
    session(false, [&] {
        ASSERT_FALSE(PluginAvailable());
        ImageId id = 0;
        // Nobody else reads PSD: the plug-in's status comes back.
        EXPECT_EQ(loadFile(id, psd), Aborted);
        EXPECT_EQ(id, 0);
        ASSERT_EQ(loadFile(id, png), OK) << "GDI+ still reads its own formats";
        int32_t count = 0;
        EXPECT_EQ(GetIptcTagCount(id, count), KelvraDllRequired);
        ReleaseImage(id);
    });
}

TEST_F(PluginBridgeFiles, AMinIsWhiteGroup4PageShowsBlackInk) {
    std::string path = m_dir.file("g4.tif");
    ASSERT_TRUE(testing::runConvert("-size 16x8 xc:white -fill black -draw 'rectangle 0,0 3,7' "
                                    "-monochrome -compress Group4 "
                                    "-define tiff:photometric=min-is-white " +
                                    path));
    session(true, [&] {
        ImageId id = 0;
        ASSERT_EQ(LoadThroughPlugin(id, path, false, true, true), OK);
        EXPECT_EQ(GetImageFormatName(id), "TIFF");
        EXPECT_EQ(GetImageSourceKind(id), SourceKindHBitmap) << "1-bit pixels are copied";
        EXPECT_EQ(ImagePixelFormat(id), 0x30101u);
        gp::Palette palette;
        ASSERT_EQ(ReadImagePalette(id, palette), OK);
        ASSERT_EQ(palette.entries.size(), 2u);
        EXPECT_EQ(palette.entries[0], 0xFF000000u);
        EXPECT_EQ(palette.entries[1], 0xFFFFFFFFu);
        std::vector<uint32_t> argb = testing::readArgb(id);
        ASSERT_EQ(argb.size(), 128u);
        EXPECT_EQ(argb[0], 0xFF000000u);
        EXPECT_EQ(argb[3], 0xFF000000u);
        EXPECT_EQ(argb[4], 0xFFFFFFFFu);
        EXPECT_EQ(argb[127], 0xFFFFFFFFu);
        ReleaseImage(id);
    });
}

TEST_F(PluginBridgeFiles, IptcAndXmpOfAJpegWrittenByThePlugin) {
    const KelvraApi& k = *plugin();
    std::string source = m_dir.file("s.png");
    std::string jpeg = m_dir.file("tags.jpg");
    ASSERT_TRUE(testing::runConvert("-size 8x4 xc:red xc:blue -append -type TrueColor " + source));
    KelvraBitmap bitmap = k.KELVRA_LoadU(KELVRA_FIF_PNG, source.c_str(), 0);
    ASSERT_NE(bitmap, 0u);
    auto attach = [&](int32_t model, const char* key, uint16_t id, const std::string& text) {
        KelvraTag tag = k.KELVRA_CreateTag();
        k.KELVRA_SetTagKey(tag, key);
        k.KELVRA_SetTagLength(tag, static_cast<uint32_t>(text.size()));
        k.KELVRA_SetTagCount(tag, static_cast<uint32_t>(text.size()));
        k.KELVRA_SetTagType(tag, KELVRA_TAG_ASCII);
        k.KELVRA_SetTagID(tag, id);
        EXPECT_EQ(k.KELVRA_SetTagValue(tag, text.data()), 1);
        EXPECT_EQ(k.KELVRA_SetMetadata(model, bitmap, key, tag), 1);
        k.KELVRA_DeleteTag(tag);
    };
    attach(KELVRA_MD_IPTC, "ObjectName", 0x0205, "Harbour");
    attach(KELVRA_MD_XMP, "XMLPacket", 0x02BC, std::string("<x:xmpmeta/>") + '\0');
    ASSERT_EQ(k.KELVRA_SaveU(KELVRA_FIF_JPEG, bitmap, jpeg.c_str(), 95), 1);
    k.KELVRA_Unload(bitmap);

    session(true, [&] {
        ImageId id = 0;
        ASSERT_EQ(loadFile(id, jpeg), OK);
        EXPECT_EQ(GetImageFormatName(id), "JPEG");
        std::vector<uint32_t> argb = testing::readArgb(id);
        ASSERT_EQ(argb.size(), 64u);
        EXPECT_TRUE(isRed(argb[0])) << "JPEG rows come top-down and are not turned";
        EXPECT_TRUE(isBlue(argb[63]));
        int32_t count = 0;
        ASSERT_EQ(GetIptcTagCount(id, count), OK);
        ASSERT_GE(count, 2); // the record version the writer adds, and the name
        bool found = false;
        for (int32_t i = 1; i <= count; ++i) {
            int32_t tagId = 0;
            ASSERT_EQ(GetIptcTagId(id, i, tagId), OK);
            found = found || tagId == 0x0205;
        }
        EXPECT_TRUE(found);
        int32_t tagId = 0;
        EXPECT_EQ(GetIptcTagId(id, count + 1, tagId), PropertyNotFound);
        EXPECT_TRUE(CreatePropertyItem(id, 0x02BC).has_value()) << "XMP arrives under tag 700";
        std::string text;
        bool named = false;
        for (int32_t i = 1; i <= count; ++i) {
            ASSERT_EQ(GetIptcTagValue(id, i, text), OK);
            named = named || text == "Harbour";
        }
        EXPECT_TRUE(named);
        ReleaseImage(id);
    });
}

TEST_F(PluginBridgeFiles, ImagesWithoutIptcCountNone) {
    std::string path = m_dir.file("plain.psd");
    ASSERT_TRUE(testing::runConvert("-size 4x4 xc:gray -depth 8 " + path));
    session(true, [&] {
        ImageId id = 0;
        ASSERT_EQ(loadFile(id, path), OK);
        int32_t count = -1, tagId = 0;
        EXPECT_EQ(GetIptcTagCount(id, count), OK);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(GetIptcTagId(id, 1, tagId), PropertyNotFound);
        ReleaseImage(id);
    });
}

TEST_F(PluginBridgeFiles, MultiPageTiffsBecomePageContainersKeptInPlace) {
    std::string path = m_dir.file("pages.tif");
    ASSERT_TRUE(testing::runConvert("-size 8x4 xc:red -size 8x6 xc:lime " + path));
    session(true, [&] {
        ImageId id = 0;
        ASSERT_EQ(LoadThroughPlugin(id, path, false, true, true), OK);
        int32_t pages = 0;
        EXPECT_EQ(GetTiffPageCount(id, pages), OK);
        EXPECT_EQ(pages, 2);
        EXPECT_EQ(GetImageFormatName(id), "TIFF");
        ASSERT_EQ(SelectTiffPage(id, 1), OK);
        uint32_t height = 0;
        EXPECT_EQ(gp::GdipGetImageHeight(GetGdiImage(id), &height), gp::Ok);
        EXPECT_EQ(height, 6u);
        ReleaseImage(id);
    });
}

TEST_F(PluginBridgeFiles, GreyJpegSavesThroughThePluginKeepTagsAndResolution) {
    std::string path = m_dir.file("grey.jpg");
    session(true, [&] {
        ImageId id = testing::registerBitmap(16, 8, 0x30803);
        ASSERT_NE(id, 0);
        gp::Palette grey;
        for (uint32_t i = 0; i < 256; ++i)
            grey.entries.push_back(0xFF000000u | i * 0x010101u);
        ASSERT_EQ(WriteImagePalette(id, grey), OK);
        ASSERT_TRUE(IsGreyPalette(id));
        ASSERT_EQ(SetAsciiTag(id, 0x013B, "Someone", false), OK);
        ASSERT_EQ(SetResolution(id, 300, 300, true), OK);
        ASSERT_EQ(SaveAsJpeg(id, path, 90, 0, false), OK);
        ReleaseImage(id);
    });
    // Read back by an independent reader.
    std::string out;
    FILE* pipe =
        popen(("identify -format '%[EXIF:Artist]|%x' " + path + " 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    pclose(pipe);
    EXPECT_EQ(out.substr(0, out.find('|')), "Someone");
    EXPECT_NE(out.find("300"), std::string::npos) << out;
}

int32_t ignoreSelection(ImageId, int32_t) {
    return OK;
}

TEST_F(PluginBridgeFiles, SplitPagesOfARealTiffAreReadableFiles) {
    std::string path = m_dir.file("pages.tif");
    ASSERT_TRUE(testing::runConvert(
        "-size 8x4 xc:red -size 8x6 xc:lime -size 16x8 xc:blue -compress LZW " + path));
    std::vector<std::string> files;
    session(true, [&] {
        SetPluginPageSelectors(ignoreSelection, ignoreSelection);
        ImageId id = 0;
        ASSERT_EQ(LoadThroughPlugin(id, path, false, false, true), OK);
        const ImageRecord* r = FindImageRecord(id);
        ASSERT_TRUE(r);
        ASSERT_EQ(r->PageCount, 3);
        files = r->PageFiles;
        struct Expected {
            const char* size;
            const char* topLeft;
        } expected[] = {{"8x4", "(255,0,0"}, {"8x6", "(0,255,0"}, {"16x8", "(0,0,255"}};
        for (size_t i = 0; i < files.size(); ++i) {
            SCOPED_TRACE(i);
            std::string out;
            FILE* pipe =
                popen(("convert " + files[i] + " -format '%wx%h %[pixel:p{0,0}]' info: 2>/dev/null")
                          .c_str(),
                      "r");
            ASSERT_NE(pipe, nullptr);
            char buffer[256];
            while (fgets(buffer, sizeof buffer, pipe))
                out += buffer;
            pclose(pipe);
            EXPECT_EQ(out.substr(0, out.find(' ')), expected[i].size);
            EXPECT_NE(out.find(expected[i].topLeft), std::string::npos) << out;
        }
        ReleaseImage(id);
        SetPluginPageSelectors(SelectTiffPage, SelectGifFrame);
    });
    for (const std::string& file : files)
        EXPECT_FALSE(std::filesystem::exists(file)) << "page files go with the container";
}

} // namespace
} // namespace tavimo
