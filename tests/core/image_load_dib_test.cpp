#include "core/image_info.h"
#include "core/image_load.h"
#include "core/quennet_status.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win/global_memory.h"
#include "tests/support/core_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace tavimo;
using tavimo::testing::CoreSessionTest;
using tavimo::testing::readArgb;

// Builds packed DIBs: a header of `headerSize` bytes, optional masks, a colour table and
// bottom-up rows.
struct DibBuilder {
    int32_t width = 2, height = 2;
    uint16_t bpp = 24;
    uint32_t headerSize = 40;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    int32_t ppmX = 3937, ppmY = 3937;
    std::vector<uint32_t> masks;   // written behind a 40-byte header, inside longer ones
    std::vector<uint32_t> colours; // the colour table as written
    std::vector<uint8_t> bits;     // all rows, padded

    win::HGLOBAL build(size_t shortBy = 0) const {
        std::vector<uint8_t> out(headerSize, 0);
        win::BITMAPINFOHEADER h;
        h.biSize = headerSize;
        h.biWidth = width;
        h.biHeight = height;
        h.biBitCount = bpp;
        h.biCompression = compression;
        h.biXPelsPerMeter = ppmX;
        h.biYPelsPerMeter = ppmY;
        h.biClrUsed = clrUsed;
        std::memcpy(out.data(), &h, sizeof h);
        auto put = [&](const void* p, size_t n) {
            const auto* b = static_cast<const uint8_t*>(p);
            out.insert(out.end(), b, b + n);
        };
        if (!masks.empty()) {
            if (headerSize == 40)
                put(masks.data(), 12);
            else
                std::memcpy(out.data() + 40, masks.data(), 12);
        }
        put(colours.data(), colours.size() * 4);
        put(bits.data(), bits.size());
        out.resize(out.size() - shortBy);
        win::HGLOBAL memory = win::GlobalAlloc(win::GHND, out.size());
        std::memcpy(win::GlobalLock(memory), out.data(), out.size());
        win::GlobalUnlock(memory);
        return memory;
    }
};

class LoadDib : public CoreSessionTest {
protected:
    void TearDown() override {
        CoreSessionTest::TearDown();
        for (win::HGLOBAL m : m_blocks)
            win::GlobalFree(m);
    }
    win::HGLOBAL keep(win::HGLOBAL m) {
        m_blocks.push_back(m);
        return m;
    }
    std::vector<win::HGLOBAL> m_blocks;
};

TEST_F(LoadDib, TwentyFourBitsWithResolution) {
    DibBuilder d;
    // Bottom-up: the first row in memory is the bottom one.
    d.bits = {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0, 0, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0, 0};
    ImageId id = 0;
    ASSERT_EQ(LoadFromDib(id, keep(d.build()), false, true), OK);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindMemory);
    EXPECT_EQ(readArgb(id),
              (std::vector<uint32_t>{0xFF0000FFu, 0xFFFFFFFFu, 0xFFFF0000u, 0xFF00FF00u}));
    float x = 0, y = 0;
    GetImageHorizontalResolution(id, x);
    GetImageVerticalResolution(id, y);
    EXPECT_EQ(x, 100.0f); // 3,937 / 100 x 2.54 = 99.9998
    EXPECT_EQ(y, 100.0f);
}

TEST_F(LoadDib, ResolutionRounding) {
    struct Case {
        int32_t ppm;
        bool whole;
        float dpi;
    } cases[] = {{2835, true, 72.0f},
                 {2835, false, 72.009f},
                 {3937, false, 100.0f},
                 {11811, true, 300.0f},
                 {0, true, 96.0f}};
    for (const Case& c : cases) {
        DibBuilder d;
        d.ppmX = d.ppmY = c.ppm;
        d.bits.assign(16, 0);
        ImageId id = 0;
        ASSERT_EQ(LoadFromDib(id, keep(d.build()), false, c.whole), OK);
        float x = 0;
        GetImageHorizontalResolution(id, x);
        EXPECT_NEAR(x, c.dpi, 1e-4) << c.ppm;
    }
}

TEST_F(LoadDib, WhiteFirstOneBitIsRewrittenBlackFirst) {
    struct Case {
        const char* what;
        std::vector<uint32_t> palette;
        bool rewritten;
    } cases[] = {
        {"white, black", {0xFFFFFFFFu, 0xFF000000u}, true},
        {"black, white", {0xFF000000u, 0xFFFFFFFFu}, false},
        {"white, red", {0xFFFFFFFFu, 0xFFFF0000u}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DibBuilder d;
        d.width = 10;
        d.height = 1;
        d.bpp = 1;
        // Colour table entries are BGR0: opaque in the bitmap's palette.
        for (uint32_t e : c.palette)
            d.colours.push_back(e & 0x00FFFFFFu);
        d.bits = {0xA0, 0x40, 0x00, 0x00};
        ImageId id = 0;
        ASSERT_EQ(LoadFromDib(id, keep(d.build()), false, true), OK);
        std::vector<uint32_t> pixels = readArgb(id);
        ASSERT_EQ(pixels.size(), 10u);
        // The picture looks as the DIB says whatever happened to the palette.
        EXPECT_EQ(pixels[0], c.palette[1]);
        EXPECT_EQ(pixels[1], c.palette[0]);
        EXPECT_EQ(pixels[9], c.palette[1]);
        gp::Palette palette;
        ASSERT_EQ(ReadImagePalette(id, palette), OK);
        std::vector<uint32_t> blackFirst = {0xFF000000u, 0xFFFFFFFFu};
        EXPECT_EQ(palette.entries, c.rewritten ? blackFirst : c.palette);
        int32_t stride = GetStride(10, 1);
        std::vector<uint8_t> own = tavimo::testing::readOwnRows(id, stride);
        EXPECT_EQ(own[0], c.rewritten ? 0x5F : 0xA0);
        EXPECT_FALSE(FindImageRecord(id)->Modified);
    }
}

TEST_F(LoadDib, ShortColourTablesMasksAndLongHeadersPlaceTheBits) {
    {
        SCOPED_TRACE("8 bpp with two colours used");
        DibBuilder d;
        d.bpp = 8;
        d.height = 1;
        d.clrUsed = 2;
        d.colours = {0x00112233u, 0x00445566u};
        d.bits = {1, 0, 0, 0};
        ImageId id = 0;
        ASSERT_EQ(LoadFromDib(id, keep(d.build()), false, true), OK);
        EXPECT_EQ(readArgb(id), (std::vector<uint32_t>{0xFF445566u, 0xFF112233u}));
    }
    {
        SCOPED_TRACE("32 bpp bit fields behind a 40-byte header");
        DibBuilder d;
        d.bpp = 32;
        d.height = 1;
        d.compression = 3;
        d.masks = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
        d.bits = {0x10, 0x20, 0x30, 0x00, 0x40, 0x50, 0x60, 0x00};
        ImageId id = 0;
        ASSERT_EQ(LoadFromDib(id, keep(d.build()), false, true), OK);
        std::vector<uint32_t> px = readArgb(id);
        ASSERT_EQ(px.size(), 2u);
        EXPECT_EQ(px[0] & 0x00FFFFFFu, 0x302010u);
        EXPECT_EQ(px[1] & 0x00FFFFFFu, 0x605040u);
    }
    {
        SCOPED_TRACE("24 bpp behind a 124-byte header");
        DibBuilder d;
        d.headerSize = 124;
        d.height = 1;
        d.bits = {1, 2, 3, 4, 5, 6, 0, 0};
        ImageId id = 0;
        ASSERT_EQ(LoadFromDib(id, keep(d.build()), false, true), OK);
        EXPECT_EQ(readArgb(id), (std::vector<uint32_t>{0xFF030201u, 0xFF060504u}));
    }
}

TEST_F(LoadDib, HandedOverBlocksAreFreedWithTheImage) {
    DibBuilder d;
    d.bits.assign(16, 7);
    win::HGLOBAL memory = d.build();
    ImageId id = 0;
    ASSERT_EQ(LoadFromDib(id, memory, true, true), OK);
    EXPECT_EQ(FindImageRecord(id)->MemoryHandle, memory);
    EXPECT_TRUE(win::GlobalIsHandle(memory));
    EXPECT_EQ(win::GlobalLockCount(memory), 0u);
    EXPECT_EQ(ReleaseImage(id), OK);
    EXPECT_FALSE(win::GlobalIsHandle(memory));
}

TEST_F(LoadDib, BadBlocks) {
    ImageId id = 4;
    EXPECT_EQ(LoadFromDib(id, 0, false, true), InvalidParameter);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(LoadFromDib(id, 0x01FFFFF0u, false, true), GenericError); // no live block
    DibBuilder d;
    d.bits.assign(16, 0);
    EXPECT_EQ(LoadFromDib(id, keep(d.build(3)), false, true), GenericError); // bits cut short
    DibBuilder tiny;
    tiny.headerSize = 40;
    tiny.bpp = 8; // needs 256 colours that are not there
    EXPECT_EQ(LoadFromDib(id, keep(tiny.build()), false, true), GenericError);
    win::HGLOBAL small = keep(win::GlobalAlloc(win::GHND, 12));
    EXPECT_EQ(LoadFromDib(id, small, false, true), GenericError);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(ImageTableCount(), 0);
}

} // namespace
