// The plug-in bridge's branches against a scripted plug-in.

#include "core/image_convert.h"
#include "core/image_info.h"
#include "core/image_metadata.h"
#include "core/plugin.h"
#include "core/image_containers.h"
#include "core/plugin_bridge.h"
#include "core/plugin_metadata.h"
#include "platform/gdiplus/session.h"
#include "platform/win/module_version.h"
#include "tests/support/core_fake_plugin.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tavimo {
namespace {

using test_support::FakePlugin;

// What the scripted plug-in answers: bitmaps by handle, and the tags of each model.
struct FakeBitmap {
    uint32_t width = 4, height = 2, bpp = 24;
    int32_t type = KELVRA_IT_BITMAP, colour = KELVRA_CT_RGB, photometric = KELVRA_PM_RGB;
    uint32_t transparency = 0;
    uint32_t dotsPerMetre = 2835;
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> palette;
    KelvraBitmapInfoHeader info{};
    uint32_t pitch() const { return ((width * bpp + 31) / 32) * 4; }
};

struct FakeTag {
    uint16_t id;
    int32_t type;
    uint32_t count;
    std::vector<uint8_t> value;
};

struct Scene {
    int32_t contentCode = KELVRA_FIF_UNKNOWN;
    int32_t nameCode = KELVRA_FIF_UNKNOWN;
    KelvraBitmap loadResult = 0;
    KelvraFileHandle fileResult = 0;
    KelvraMultiBitmap multiResult = 0;
    int32_t pageCount = 0;
    KelvraBitmap converted32 = 0;
    std::map<uint32_t, FakeBitmap> bitmaps;
    std::vector<KelvraBitmap> pages; // what LockPage gives for each index
    std::map<int32_t, std::vector<FakeTag>> tags;
    // Tags made by CreateTag: their fields as last set.
    std::map<KelvraTag, FakeTag> made;
    KelvraTag nextTag = 500;
    uint16_t refusedId = 0;
    uint32_t dotsX = 0, dotsY = 0;
    int32_t searchModel = 0;
    size_t searchPos = 0;
    std::vector<std::string> log;
};

thread_local Scene* t_scene = nullptr;

FakeBitmap* bitmapOf(KelvraBitmap b) {
    auto it = t_scene->bitmaps.find(b);
    return it == t_scene->bitmaps.end() ? nullptr : &it->second;
}

const FakeTag* tagOf(KelvraTag tag) {
    auto& list = t_scene->tags[t_scene->searchModel];
    size_t i = tag - 1000;
    return i < list.size() ? &list[i] : nullptr;
}

// Binds the scene's answers into the fake's table.
void script(FakePlugin& fake) {
    KelvraApi& t = fake.table();
    t.KELVRA_GetFileTypeU = [](const char*, int32_t) { return t_scene->contentCode; };
    t.KELVRA_GetFIFFromFilenameU = [](const char*) { return t_scene->nameCode; };
    t.KELVRA_LoadU = [](int32_t, const char*, int32_t) {
        t_scene->log.push_back("load");
        return t_scene->loadResult;
    };
    t.KELVRA_OpenFileU = [](const char*) {
        t_scene->log.push_back("open file");
        return t_scene->fileResult;
    };
    t.KELVRA_OpenMultiBitmapU = [](int32_t, int32_t, KelvraFileHandle) {
        t_scene->log.push_back("open multi");
        return t_scene->multiResult;
    };
    t.KELVRA_GetPageCount = [](KelvraMultiBitmap) { return t_scene->pageCount; };
    t.KELVRA_LockPage = [](KelvraMultiBitmap, int32_t index) -> KelvraBitmap {
        t_scene->log.push_back("lock " + std::to_string(index));
        return static_cast<size_t>(index) < t_scene->pages.size() ? t_scene->pages[index] : 0;
    };
    t.KELVRA_UnlockPage = [](KelvraMultiBitmap, KelvraBitmap page, int32_t) {
        t_scene->log.push_back("unlock " + std::to_string(page));
        return 1;
    };
    t.KELVRA_CloseMultiBitmap = [](KelvraMultiBitmap, int32_t) {
        t_scene->log.push_back("close multi");
        return 1;
    };
    t.KELVRA_CloseFileHandle = [](KelvraFileHandle) {
        t_scene->log.push_back("close file");
        return 1;
    };
    t.KELVRA_Unload = [](KelvraBitmap b) {
        t_scene->log.push_back("unload " + std::to_string(b));
        return 1;
    };
    t.KELVRA_GetWidth = [](KelvraBitmap b) { return bitmapOf(b) ? bitmapOf(b)->width : 0u; };
    t.KELVRA_GetHeight = [](KelvraBitmap b) { return bitmapOf(b) ? bitmapOf(b)->height : 0u; };
    t.KELVRA_GetBPP = [](KelvraBitmap b) { return bitmapOf(b) ? bitmapOf(b)->bpp : 0u; };
    t.KELVRA_GetPitch = [](KelvraBitmap b) { return bitmapOf(b) ? bitmapOf(b)->pitch() : 0u; };
    t.KELVRA_GetBits = [](KelvraBitmap b) {
        return bitmapOf(b) ? bitmapOf(b)->pixels.data() : nullptr;
    };
    t.KELVRA_GetInfo = [](KelvraBitmap b) -> KelvraBitmapInfoHeader* {
        FakeBitmap* f = bitmapOf(b);
        return f ? &f->info : nullptr;
    };
    t.KELVRA_GetPalette = [](KelvraBitmap b) -> uint32_t* {
        FakeBitmap* f = bitmapOf(b);
        return f && !f->palette.empty() ? f->palette.data() : nullptr;
    };
    t.KELVRA_GetColorsUsed = [](KelvraBitmap b) {
        return bitmapOf(b) ? static_cast<uint32_t>(bitmapOf(b)->palette.size()) : 0u;
    };
    t.KELVRA_GetColorType = [](KelvraBitmap b) { return bitmapOf(b) ? bitmapOf(b)->colour : -1; };
    t.KELVRA_GetImageType = [](KelvraBitmap b) { return bitmapOf(b) ? bitmapOf(b)->type : 0; };
    t.KELVRA_GetPhotoMetric = [](KelvraBitmap b) {
        return bitmapOf(b) ? bitmapOf(b)->photometric : -1;
    };
    t.KELVRA_GetTransparencyCount = [](KelvraBitmap b) {
        return bitmapOf(b) ? bitmapOf(b)->transparency : 0u;
    };
    t.KELVRA_GetDotsPerMeterX = [](KelvraBitmap b) {
        return bitmapOf(b) ? bitmapOf(b)->dotsPerMetre : 0u;
    };
    t.KELVRA_GetDotsPerMeterY = t.KELVRA_GetDotsPerMeterX;
    t.KELVRA_ConvertTo32Bits = [](KelvraBitmap) { return t_scene->converted32; };
    t.KELVRA_FlipVertical = [](KelvraBitmap) {
        t_scene->log.push_back("flip");
        return 1;
    };
    t.KELVRA_Invert = [](KelvraBitmap b) {
        t_scene->log.push_back("invert");
        for (uint8_t& byte : bitmapOf(b)->pixels)
            byte = static_cast<uint8_t>(~byte);
        return 1;
    };
    t.KELVRA_GetMetadataCount = [](int32_t model, KelvraBitmap) {
        return static_cast<uint32_t>(t_scene->tags[model].size());
    };
    t.KELVRA_FindFirstMetadata = [](int32_t model, KelvraBitmap, KelvraTag* tag) -> KelvraSearch {
        *tag = 0;
        if (t_scene->tags[model].empty())
            return 0;
        t_scene->searchModel = model;
        t_scene->searchPos = 0;
        *tag = 1000;
        return 77;
    };
    t.KELVRA_FindNextMetadata = [](KelvraSearch, KelvraTag* tag) {
        // Yields one tag more than it counted, to show the copy stops at the count.
        if (++t_scene->searchPos > t_scene->tags[t_scene->searchModel].size()) {
            *tag = 0;
            return 0;
        }
        *tag = static_cast<KelvraTag>(1000 + t_scene->searchPos);
        return 1;
    };
    t.KELVRA_GetTagID = [](KelvraTag tag) { return tagOf(tag) ? tagOf(tag)->id : uint16_t{0}; };
    t.KELVRA_GetTagType = [](KelvraTag tag) { return tagOf(tag) ? tagOf(tag)->type : 0; };
    t.KELVRA_GetTagCount = [](KelvraTag tag) { return tagOf(tag) ? tagOf(tag)->count : 0u; };
    t.KELVRA_GetTagLength = [](KelvraTag tag) {
        return tagOf(tag) ? static_cast<uint32_t>(tagOf(tag)->value.size()) : 0u;
    };
    t.KELVRA_GetTagValue = [](KelvraTag tag) -> const void* {
        return tagOf(tag) ? tagOf(tag)->value.data() : nullptr;
    };
}

FakeBitmap makeBitmap(uint32_t width, uint32_t height, uint32_t bpp) {
    FakeBitmap b;
    b.width = width;
    b.height = height;
    b.bpp = bpp;
    b.pixels.assign(static_cast<size_t>(b.pitch()) * height, 0);
    b.info.size = 40;
    b.info.width = static_cast<int32_t>(width);
    b.info.height = static_cast<int32_t>(height);
    b.info.planes = 1;
    b.info.bitCount = static_cast<uint16_t>(bpp);
    return b;
}

FakeTag rational(uint16_t id, int32_t numerator, int32_t denominator) {
    FakeTag tag{id, KELVRA_TAG_RATIONAL, 1, std::vector<uint8_t>(8)};
    std::memcpy(tag.value.data(), &numerator, 4);
    std::memcpy(tag.value.data() + 4, &denominator, 4);
    return tag;
}

// Tag writing: the fields are kept per tag; one tag id can be made to be refused.
void scriptTagWriting(FakePlugin& fake) {
    KelvraApi& t = fake.table();
    t.KELVRA_CreateTag = []() {
        KelvraTag tag = t_scene->nextTag++;
        t_scene->made[tag] = {};
        t_scene->log.push_back("create " + std::to_string(tag));
        return tag;
    };
    t.KELVRA_SetTagKey = [](KelvraTag tag, const char* key) {
        t_scene->log.push_back(std::string("key ") + key);
        (void)tag;
        return 1;
    };
    t.KELVRA_SetTagLength = [](KelvraTag tag, uint32_t length) {
        t_scene->made[tag].value.resize(length);
        return 1;
    };
    t.KELVRA_SetTagCount = [](KelvraTag tag, uint32_t count) {
        t_scene->made[tag].count = count;
        return 1;
    };
    t.KELVRA_SetTagType = [](KelvraTag tag, int32_t type) {
        t_scene->made[tag].type = type;
        return 1;
    };
    t.KELVRA_SetTagID = [](KelvraTag tag, uint16_t id) {
        t_scene->made[tag].id = id;
        return 1;
    };
    t.KELVRA_SetTagValue = [](KelvraTag tag, const void* value) {
        FakeTag& f = t_scene->made[tag];
        if (!value || f.id == t_scene->refusedId)
            return 0;
        std::memcpy(f.value.data(), value, f.value.size());
        return 1;
    };
    t.KELVRA_GetTagKey = [](KelvraTag) { return "key"; };
    t.KELVRA_SetMetadata = [](int32_t model, KelvraBitmap, const char*, KelvraTag tag) {
        const FakeTag& f = t_scene->made[tag];
        t_scene->log.push_back("set " + std::to_string(model) + " " + std::to_string(f.id) +
                               " length " + std::to_string(f.value.size()));
        return 1;
    };
    t.KELVRA_DeleteTag = [](KelvraTag tag) {
        t_scene->log.push_back("delete " + std::to_string(tag));
        return 1;
    };
    t.KELVRA_SetDotsPerMeterX = [](KelvraBitmap, uint32_t v) {
        t_scene->dotsX = v;
        return 1;
    };
    t.KELVRA_SetDotsPerMeterY = [](KelvraBitmap, uint32_t v) {
        t_scene->dotsY = v;
        return 1;
    };
}

// Runs a scenario on a thread of its own, so its session, image table and installed plug-in
// are fresh. With a plug-in the scene is scripted into it before GDI+ starts.
void scenario(bool withPlugin, const std::function<void(Scene&)>& body) {
    std::thread thread([&] {
        Scene scene;
        t_scene = &scene;
        FakePlugin fake;
        std::optional<win::ScopedModuleVersionOverride> absent;
        if (withPlugin) {
            script(fake);
            scriptTagWriting(fake);
            fake.install();
        } else {
            absent.emplace("Kelvra.dll", "Unknown");
        }
        ASSERT_TRUE(StartGdiPlus());
        body(scene);
        StopGdiPlus();
        t_scene = nullptr;
    });
    thread.join();
}

bool logged(const Scene& scene, const std::string& entry) {
    return std::find(scene.log.begin(), scene.log.end(), entry) != scene.log.end();
}

TEST(PluginBridge, FormatNames) {
    struct {
        int32_t code;
        const char* name;
    } cases[] = {{-1, "UNKNOWN"}, {0, "BMP"},  {2, "JPEG"},   {13, "PNG"}, {17, "TARGA"},
                 {18, "TIFF"},    {20, "PSD"}, {27, "FAXG3"}, {34, "RAW"}, {35, "JBIG"},
                 {36, ""},        {-2, ""},    {1000, ""}};
    for (const auto& c : cases)
        EXPECT_EQ(GetPluginFormatName(c.code), c.name) << c.code;
}

TEST(PluginBridge, DetectionPrefersTheNameWhenItAgreesOrSaysTiff) {
    struct {
        int32_t content, name, expected;
    } cases[] = {{2, 2, 2},    {17, 18, 18}, {18, 2, 18},  {2, 17, 2},
                 {-1, 18, -1}, {-1, 2, -1},  {20, -1, 20}, {-1, -1, -1}};
    scenario(true, [&](Scene& scene) {
        for (const auto& c : cases) {
            scene.contentCode = c.content;
            scene.nameCode = c.name;
            EXPECT_EQ(DetectPluginFormat("/x/y"), c.expected) << c.content << " " << c.name;
        }
    });
}

TEST(PluginBridge, WithoutThePluginLoadsAreAborted) {
    scenario(false, [](Scene&) {
        ImageId id = 5;
        EXPECT_FALSE(PluginAvailable());
        EXPECT_EQ(LoadThroughPlugin(id, "/tmp/a.psd", false, true, true), Aborted);
        EXPECT_EQ(id, 0);
        int32_t count = -7;
        EXPECT_EQ(GetIptcTagCount(1, count), KelvraDllRequired);
        EXPECT_EQ(GetIptcTagId(1, 1, count), KelvraDllRequired);
        EXPECT_EQ(count, -7);
    });
}

TEST(PluginBridge, BmpPngGifAndUnknownContentAreNeverOpened) {
    scenario(true, [](Scene& scene) {
        for (int32_t code : {KELVRA_FIF_BMP, KELVRA_FIF_PNG, KELVRA_FIF_GIF, KELVRA_FIF_UNKNOWN}) {
            scene.contentCode = code;
            ImageId id = 0;
            EXPECT_EQ(LoadThroughPlugin(id, "/tmp/a", false, true, true), UnknownImageFormat);
        }
        EXPECT_TRUE(scene.log.empty());
    });
}

TEST(PluginBridge, AFileThePluginCannotLoadGivesOutOfMemory) {
    scenario(true, [](Scene& scene) {
        scene.contentCode = KELVRA_FIF_PSD;
        ImageId id = 0;
        EXPECT_EQ(LoadThroughPlugin(id, "/tmp/a.psd", false, true, true), OutOfMemory);
        EXPECT_TRUE(logged(scene, "load"));
        EXPECT_EQ(ImageTableCount(), 0);
    });
}

TEST(PluginBridge, ASinglePageTiffOpenedAsMultiPageIsClosedAndLoadedAsOne) {
    scenario(true, [](Scene& scene) {
        scene.contentCode = scene.nameCode = KELVRA_FIF_TIFF;
        scene.fileResult = 5;
        scene.multiResult = 7;
        scene.pageCount = 1;
        scene.loadResult = 11;
        scene.bitmaps[11] = makeBitmap(4, 2, 24);
        ImageId id = 0;
        ASSERT_EQ(LoadThroughPlugin(id, "/tmp/a.tif", false, true, true), OK);
        std::vector<std::string> expected = {"open file",  "open multi", "close multi",
                                             "close file", "load",       "flip"};
        EXPECT_EQ(scene.log, expected);
        const ImageRecord* r = FindImageRecord(id);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->FormatName, "TIFF");
        EXPECT_EQ(r->SourceKind, SourceKindPlugin);
        EXPECT_EQ(r->PluginHandle, 11u) << "the image draws from the plug-in's pixels";
        EXPECT_FALSE(logged(scene, "unload 11"));
        EXPECT_EQ(ReleaseImage(id), OK);
        EXPECT_TRUE(logged(scene, "unload 11")) << "released with the image";
    });
}

TEST(PluginBridge, AnEightBitImageWithTransparencyBecomesSharedArgb) {
    scenario(true, [](Scene& scene) {
        scene.contentCode = KELVRA_FIF_TARGA;
        scene.loadResult = 11;
        FakeBitmap indexed = makeBitmap(4, 2, 8);
        indexed.colour = KELVRA_CT_PALETTE;
        indexed.transparency = 1;
        indexed.palette.assign(256, 0);
        scene.bitmaps[11] = indexed;
        FakeBitmap argb = makeBitmap(4, 2, 32);
        argb.colour = KELVRA_CT_RGBALPHA;
        for (size_t i = 0; i < argb.pixels.size(); i += 4)
            argb.pixels[i + 3] = 0x80;
        scene.bitmaps[12] = argb;
        scene.converted32 = 12;
        ImageId id = 0;
        ASSERT_EQ(LoadThroughPlugin(id, "/tmp/a.tga", false, true, true), OK);
        EXPECT_TRUE(logged(scene, "unload 11")) << "the 8-bit original goes back";
        EXPECT_EQ(ImagePixelFormat(id), 0x26200Au);
        const ImageRecord* r = FindImageRecord(id);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->SourceKind, SourceKindPlugin);
        EXPECT_EQ(r->PluginHandle, 12u);
        void* scan0 = nullptr;
        ASSERT_EQ(GetImageScan0(id, scan0), OK);
        EXPECT_EQ(scan0, scene.bitmaps[12].pixels.data()) << "the pixels are shared";
        EXPECT_FALSE(logged(scene, "unload 12"));
        ReleaseImage(id);
        EXPECT_TRUE(logged(scene, "unload 12"));
    });
}

TEST(PluginBridge, ResolutionTagsReplaceExactly72Dpi) {
    struct Case {
        uint32_t dotsPerMetre;
        std::vector<FakeTag> tags;
        float x, y;
    } cases[] = {
        // 72 dpi from the plug-in, 300 x 150 in the tags (y from 283, x from 282).
        {2835, {rational(282, 300, 1), rational(283, 150, 1)}, 300, 150},
        // Without tags at 72 dpi nothing is set: the image keeps the layer's default.
        {2835, {}, 96, 96},
        // A zero denominator changes nothing.
        {2835, {rational(282, 300, 0), rational(283, 150, 1)}, 96, 96},
        // Another resolution from the plug-in wins over the tags.
        {11811, {rational(282, 100, 1), rational(283, 100, 1)}, 300, 300},
    };
    for (const Case& c : cases) {
        scenario(true, [&](Scene& scene) {
            scene.contentCode = KELVRA_FIF_PSD;
            scene.loadResult = 11;
            scene.bitmaps[11] = makeBitmap(4, 2, 24);
            scene.bitmaps[11].dotsPerMetre = c.dotsPerMetre;
            scene.tags[KELVRA_MD_EXIF_MAIN] = c.tags;
            ImageId id = 0;
            ASSERT_EQ(LoadThroughPlugin(id, "/tmp/a.psd", false, true, true), OK);
            float x = 0, y = 0;
            GetImageHorizontalResolution(id, x);
            GetImageVerticalResolution(id, y);
            EXPECT_FLOAT_EQ(x, c.x) << c.dotsPerMetre << " " << c.tags.size();
            EXPECT_FLOAT_EQ(y, c.y) << c.dotsPerMetre << " " << c.tags.size();
        });
    }
}

TEST(PluginBridge, MinIsWhiteBitsShowBlackInkOnWhite) {
    scenario(true, [](Scene& scene) {
        scene.contentCode = KELVRA_FIF_PCX;
        scene.loadResult = 11;
        FakeBitmap mono = makeBitmap(8, 2, 1);
        mono.colour = KELVRA_CT_MINISWHITE;
        mono.photometric = KELVRA_PM_MINISWHITE;
        mono.palette = {0x00FFFFFF, 0x00000000};
        mono.info.clrUsed = 2;
        mono.pixels[0] = 0xF0; // bottom row: left half ink (bit 1 = black in min-is-white)
        mono.pixels[4] = 0xF0; // top row
        // The info header is followed by the palette, as the plug-in lays it out.
        struct Packed {
            KelvraBitmapInfoHeader header;
            uint32_t colours[2];
        };
        static thread_local Packed packed;
        packed.header = mono.info;
        packed.colours[0] = 0x00FFFFFF;
        packed.colours[1] = 0x00000000;
        scene.bitmaps[11] = mono;
        auto& table = FakePlugin::current()->table();
        table.KELVRA_GetInfo = [](KelvraBitmap) { return &packed.header; };
        ImageId id = 0;
        ASSERT_EQ(LoadThroughPlugin(id, "/tmp/a.pcx", false, true, true), OK);
        EXPECT_TRUE(logged(scene, "invert"));
        EXPECT_TRUE(logged(scene, "unload 11")) << "the pixels were copied";
        gp::Palette palette;
        ASSERT_EQ(ReadImagePalette(id, palette), OK);
        ASSERT_EQ(palette.entries.size(), 2u);
        EXPECT_EQ(palette.entries[0], 0xFF000000u);
        EXPECT_EQ(palette.entries[1], 0xFFFFFFFFu);
        EXPECT_EQ(FindImageRecord(id)->SourceKind, SourceKindHBitmap);
        std::vector<uint32_t> argb = testing::readArgb(id);
        ASSERT_EQ(argb.size(), 16u);
        EXPECT_EQ(argb[0], 0xFF000000u) << "ink is black";
        EXPECT_EQ(argb[7], 0xFFFFFFFFu) << "paper is white";
        EXPECT_EQ(argb[8], 0xFF000000u);
    });
}

TEST(PluginBridge, MetadataCopiesStopAtTheirCountAndIptcIsKept) {
    scenario(true, [](Scene& scene) {
        scene.bitmaps[11] = makeBitmap(2, 2, 24);
        std::vector<uint8_t> name = {'H', 'a', 'r', 'b', 'o', 'u', 'r'};
        scene.tags[KELVRA_MD_IPTC] = {{0x0205, KELVRA_TAG_ASCII, 7, name},
                                      {0x0200, KELVRA_TAG_SSHORT, 1, {2, 0}}};
        std::vector<MetadataTagEntry> tags;
        ASSERT_EQ(GetMetadataTags(KELVRA_MD_IPTC, 11, tags), 2);
        ASSERT_EQ(tags.size(), 2u) << "the extra tag the enumeration yields is not copied";
        EXPECT_EQ(tags[0].id, 0x0205);
        EXPECT_EQ(tags[0].value, name);
        std::vector<MetadataTagEntry> untouched(3);
        EXPECT_EQ(GetMetadataTags(KELVRA_MD_XMP, 11, untouched), 0);
        EXPECT_EQ(untouched.size(), 3u);

        scene.contentCode = KELVRA_FIF_PSD;
        scene.loadResult = 11;
        ImageId id = 0;
        ASSERT_EQ(LoadThroughPlugin(id, "/tmp/a.psd", false, true, true), OK);
        int32_t count = 0, tagId = 0;
        ASSERT_EQ(GetIptcTagCount(id, count), OK);
        EXPECT_EQ(count, 2);
        ASSERT_EQ(GetIptcTagId(id, 1, tagId), OK);
        EXPECT_EQ(tagId, 0x0205);
        EXPECT_EQ(GetIptcTagId(id, 3, tagId), PropertyNotFound);
        EXPECT_EQ(GetIptcTagId(id, 0, tagId), PropertyNotFound);
        EXPECT_EQ(GetIptcTagId(id + 1, 1, tagId), PropertyNotFound);
        count = -1;
        EXPECT_EQ(GetIptcTagCount(id + 1, count), OK);
        EXPECT_EQ(count, -1);
    });
}

TEST(PluginBridge, PaletteCopiesStopAtTheShorterPalette) {
    scenario(true, [](Scene& scene) {
        FakeBitmap indexed = makeBitmap(2, 2, 8);
        indexed.palette.assign(4, 0x11111111);
        scene.bitmaps[11] = indexed;
        EXPECT_EQ(CopyPaletteToPlugin(11, {0xFF0000FF, 0xFF00FF00}), 4);
        std::vector<uint32_t> expected = {0xFF0000FF, 0xFF00FF00, 0x11111111, 0x11111111};
        EXPECT_EQ(scene.bitmaps[11].palette, expected);
        EXPECT_EQ(CopyPaletteToPlugin(11, std::vector<uint32_t>(9, 0xFFFFFFFF)), 4);
        EXPECT_EQ(scene.bitmaps[11].palette, std::vector<uint32_t>(4, 0xFFFFFFFF));
    });
}

TEST(PluginBridge, DpiAndDotsPerMetre) {
    scenario(true, [](Scene& scene) {
        scene.bitmaps[11] = makeBitmap(2, 2, 24);
        struct {
            uint32_t dotsPerMetre;
            int32_t dpi;
        } cases[] = {{2835, 72}, {3780, 96}, {11811, 300}, {0, 0}, {39, 1}};
        for (const auto& c : cases) {
            scene.bitmaps[11].dotsPerMetre = c.dotsPerMetre;
            EXPECT_EQ(GetPluginDpiX(11), c.dpi) << c.dotsPerMetre;
        }
        static thread_local uint32_t stored = 0;
        FakePlugin::current()->table().KELVRA_SetDotsPerMeterX = [](KelvraBitmap, uint32_t v) {
            stored = v;
            return 1;
        };
        SetPluginDpiX(11, 300);
        EXPECT_EQ(stored, 11811u);
        SetPluginDpiX(11, 72);
        EXPECT_EQ(stored, 2835u);
    });
}

TEST(PluginBridge, ARefusedTagDoesNotStopTheLaterOnes) {
    scenario(true, [](Scene& scene) {
        ImageId id = testing::registerBitmap(4, 4, 0x21808);
        ASSERT_NE(id, 0);
        ASSERT_EQ(SetAsciiTag(id, 0x010F, "Tavimo", false), OK);  // Make: refused
        ASSERT_EQ(SetAsciiTag(id, 0x013B, "Someone", false), OK); // Artist
        ASSERT_EQ(SetAsciiTag(id, 0x0131, "Viewer", false), OK);  // Software: refused, last
        ASSERT_EQ(SetResolution(id, 300, 150, true), OK);
        scene.log.clear();
        scene.refusedId = 0x010F;
        // Software and the last item (the y resolution) are refused too, so that a tag is
        // left over at the end.
        FakePlugin::current()->table().KELVRA_SetTagValue = [](KelvraTag tag, const void* v) {
            FakeTag& f = t_scene->made[tag];
            if (!v || f.id == 0x010F || f.id == 0x0131 || f.id == 283)
                return 0;
            std::memcpy(f.value.data(), v, f.value.size());
            return 1;
        };
        WriteMetadataToPlugin(id, 11);
        auto sets = std::count_if(scene.log.begin(), scene.log.end(),
                                  [](const std::string& e) { return e.rfind("set ", 0) == 0; });
        EXPECT_TRUE(logged(scene, "set 2 315 length 7")) << "Artist, after the refused make";
        EXPECT_TRUE(logged(scene, "set 2 282 length 8")) << "after the refused software";
        EXPECT_EQ(sets, 2);
        EXPECT_TRUE(logged(scene, "key EquipMake"));
        EXPECT_TRUE(logged(scene, "key Artist"));
        // Every tag made is freed, the one refused last included.
        auto created = std::count_if(scene.log.begin(), scene.log.end(), [](const std::string& e) {
            return e.rfind("create ", 0) == 0;
        });
        auto deleted = std::count_if(scene.log.begin(), scene.log.end(), [](const std::string& e) {
            return e.rfind("delete ", 0) == 0;
        });
        EXPECT_EQ(created, deleted);
        EXPECT_EQ(scene.log.back().rfind("delete ", 0), 0u);
        EXPECT_EQ(scene.dotsX, 11811u);
        EXPECT_EQ(scene.dotsY, 5906u);
    });
}

TEST(PluginBridge, IptcValuesReadAsText) {
    scenario(true, [](Scene& scene) {
        scene.bitmaps[11] = makeBitmap(2, 2, 24);
        std::vector<uint8_t> name = {'H', 'a', 'r', 'b', 'o', 'u', 'r'};
        scene.tags[KELVRA_MD_IPTC] = {{0x0205, KELVRA_TAG_ASCII, 7, name},
                                      {0x0200, KELVRA_TAG_SHORT, 1, {4, 0}}};
        scene.contentCode = KELVRA_FIF_PSD;
        scene.loadResult = 11;
        ImageId id = 0;
        ASSERT_EQ(LoadThroughPlugin(id, "/tmp/a.psd", false, true, true), OK);
        std::string text;
        ASSERT_EQ(GetIptcTagValue(id, 1, text), OK);
        EXPECT_EQ(text, "Harbour");
        ASSERT_EQ(GetIptcTagValue(id, 2, text), OK);
        EXPECT_EQ(text, " 4");
        EXPECT_EQ(GetIptcTagValue(id, 3, text), PropertyNotFound);
    });
}

thread_local std::vector<std::pair<ImageId, int32_t>> t_selected;

int32_t recordSelection(ImageId id, int32_t index) {
    t_selected.emplace_back(id, index);
    return OK;
}

// A three-page TIFF whose pages are 24-bit bitmaps 21, 22 and 23.
void scriptPages(Scene& scene, int32_t pages) {
    scene.contentCode = scene.nameCode = KELVRA_FIF_TIFF;
    scene.fileResult = 5;
    scene.multiResult = 7;
    scene.pageCount = pages;
    for (int32_t i = 0; i < pages; ++i) {
        KelvraBitmap page = 21 + i;
        scene.pages.push_back(page);
        scene.bitmaps[page] = makeBitmap(4, 2 + i, 24);
    }
}

struct SelectorsSet {
    SelectorsSet() {
        t_selected.clear();
        SetPluginPageSelectors(recordSelection, recordSelection);
    }
    ~SelectorsSet() { SetPluginPageSelectors(SelectTiffPage, SelectGifFrame); }
};

TEST(PluginBridge, WithoutAPageSelectorMultiPageFilesGoToGdiPlus) {
    SetPluginPageSelectors(nullptr, nullptr);
    scenario(true, [](Scene& scene) {
        scriptPages(scene, 3);
        ImageId id = 0;
        EXPECT_EQ(LoadThroughPlugin(id, "/tmp/a.tif", false, true, true), UnknownImageFormat);
        EXPECT_TRUE(logged(scene, "close multi"));
        EXPECT_TRUE(logged(scene, "close file"));
        EXPECT_EQ(ImageTableCount(), 0);
    });
    SetPluginPageSelectors(SelectTiffPage, SelectGifFrame);
}

TEST(PluginBridge, PagesInPlaceKeepTheOpenMultiPageBitmap) {
    scenario(true, [](Scene& scene) {
        SelectorsSet selectors;
        scriptPages(scene, 3);
        ImageId id = 0;
        ASSERT_EQ(LoadThroughPlugin(id, "/tmp/a.tif", false, true, true), OK);
        const ImageRecord* r = FindImageRecord(id);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->SourceKind, SourceKindPlugin);
        EXPECT_TRUE(r->IsTiffContainer);
        EXPECT_TRUE(r->PagesInPlace);
        EXPECT_EQ(r->PageCount, 3);
        EXPECT_EQ(r->PageImageIds.size(), 3u);
        EXPECT_EQ(r->PluginHandle, 7u);
        EXPECT_EQ(r->PluginFileHandle, 5u);
        EXPECT_EQ(r->FormatName, "TIFF");
        EXPECT_EQ(r->SourcePath, "/tmp/a.tif");
        ASSERT_EQ(t_selected.size(), 1u);
        EXPECT_EQ(t_selected[0], std::make_pair(id, 0));
        EXPECT_FALSE(logged(scene, "close multi"));
        EXPECT_FALSE(logged(scene, "lock 0")) << "pages are locked when they are shown";
        ReleaseImage(id);
        EXPECT_TRUE(logged(scene, "close multi"));
        EXPECT_TRUE(logged(scene, "close file"));
    });
}

TEST(PluginBridge, SplitPagesAreWrittenToPageFiles) {
    scenario(true, [](Scene& scene) {
        SelectorsSet selectors;
        scriptPages(scene, 2);
        ImageId id = 0;
        ASSERT_EQ(LoadThroughPlugin(id, "/tmp/a.tif", false, false, true), OK);
        const ImageRecord* r = FindImageRecord(id);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->SourceKind, SourceKindGdiImage);
        EXPECT_FALSE(r->PagesInPlace);
        ASSERT_EQ(r->PageFiles.size(), 2u);
        std::vector<std::string> files = r->PageFiles;
        for (const std::string& file : files) {
            ASSERT_FALSE(file.empty());
            EXPECT_GT(std::filesystem::file_size(file), 8u) << "a TIFF page was written";
        }
        EXPECT_TRUE(logged(scene, "unlock 21"));
        EXPECT_TRUE(logged(scene, "unlock 22"));
        EXPECT_TRUE(logged(scene, "close multi"));
        ASSERT_EQ(t_selected.size(), 1u);
        EXPECT_EQ(t_selected[0].second, 0);
        EXPECT_EQ(ImageTableCount(), 1) << "the page images are released after writing";
        ReleaseImage(id);
        for (const std::string& file : files)
            EXPECT_FALSE(std::filesystem::exists(file));
    });
}

TEST(PluginBridge, ASplitContainerWhoseLastPageFailsIsReleased) {
    scenario(true, [](Scene& scene) {
        SelectorsSet selectors;
        scriptPages(scene, 2);
        scene.pages[1] = 0; // the last page cannot be locked
        ImageId id = 0;
        EXPECT_EQ(LoadThroughPlugin(id, "/tmp/a.tif", false, false, true), GenericError);
        EXPECT_EQ(id, 0);
        EXPECT_EQ(ImageTableCount(), 0);
        EXPECT_TRUE(logged(scene, "unlock 21"));
        EXPECT_TRUE(logged(scene, "close file")) << "released with the container";
    });
}

} // namespace
} // namespace tavimo
