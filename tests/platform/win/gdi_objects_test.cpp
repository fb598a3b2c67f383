#include "platform/win/gdi.h"
#include "platform/win/gdi_objects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using namespace win;

// A BITMAPINFO with room for a full colour table.
struct DibInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

DibInfo dibInfo(int32_t width, int32_t height, uint16_t bpp) {
    DibInfo info{};
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biBitCount = bpp;
    return info;
}

TEST(GdiDc, ScreenDcIsA32BitSurfaceAt96Dpi) {
    HDC screen = GetDC(0);
    ASSERT_NE(screen, 0u);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_GT(GetDeviceCaps(screen, HORZRES), 0);
    EXPECT_EQ(ReleaseDC(0, screen), 1);
    EXPECT_EQ(ReleaseDC(0, screen), 0);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 0);
}

TEST(GdiDc, MemoryDcDrawsOnlyOnItsSelectedBitmap) {
    auto before = gdiObjectCounts();
    HDC screen = GetDC(0);
    HDC mem = CreateCompatibleDC(screen);
    ASSERT_NE(mem, 0u);
    // Until a bitmap is selected, the DC holds the 1x1 monochrome stock bitmap.
    EXPECT_EQ(GetDeviceCaps(mem, HORZRES), 1);
    EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 1);

    HBITMAP bmp = CreateCompatibleBitmap(screen, 7, 5);
    ASSERT_NE(bmp, 0u);
    HGDIOBJ stock = SelectObject(mem, bmp);
    EXPECT_NE(stock, 0u);
    EXPECT_EQ(GetDeviceCaps(mem, HORZRES), 7);
    EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 32);
    EXPECT_EQ(dcSurface(mem), bitmapSurface(bmp));

    // A selected bitmap cannot be deleted nor selected into a second DC.
    HDC other = CreateCompatibleDC(0);
    EXPECT_EQ(SelectObject(other, bmp), 0u);
    EXPECT_EQ(DeleteObject(bmp), 0);
    EXPECT_EQ(SelectObject(mem, stock), bmp);
    EXPECT_EQ(DeleteObject(bmp), 1);
    EXPECT_EQ(DeleteObject(bmp), 0);

    EXPECT_EQ(DeleteDC(mem), 1);
    EXPECT_EQ(DeleteDC(other), 1);
    EXPECT_EQ(DeleteDC(mem), 0);
    ReleaseDC(0, screen);
    auto after = gdiObjectCounts();
    EXPECT_EQ(after.dcs, before.dcs);
    EXPECT_EQ(after.bitmaps, before.bitmaps);
}

TEST(GdiDc, DeletingADcFreesItsBitmapForReuse) {
    HDC mem = CreateCompatibleDC(0);
    HBITMAP bmp = CreateCompatibleBitmap(mem, 2, 2);
    SelectObject(mem, bmp);
    DeleteDC(mem);
    EXPECT_EQ(DeleteObject(bmp), 1);
}

TEST(GdiDc, PrinterDcReportsItsResolutionAndPageSize) {
    HDC printer = createPrinterDc(2480, 3508, 300.0, 300.0);
    ASSERT_NE(printer, 0u);
    EXPECT_EQ(GetDeviceCaps(printer, LOGPIXELSX), 300);
    EXPECT_EQ(GetDeviceCaps(printer, HORZRES), 2480);
    EXPECT_EQ(GetDeviceCaps(printer, HORZSIZE), 210);
    EXPECT_EQ(GetDeviceCaps(printer, TECHNOLOGY), DT_RASPRINTER);
    EXPECT_EQ(GetPixel(printer, 0, 0), RGB(255, 255, 255));
    HDC mem = CreateCompatibleDC(printer);
    double dx = 0, dy = 0;
    ASSERT_TRUE(dcResolution(mem, &dx, &dy));
    EXPECT_EQ(dx, 300.0);
    DeleteDC(mem);
    DeleteDC(printer);
}

TEST(GdiDc, WindowDcUsesTheRegisteredSurface) {
    auto surface = GdiSurface::create(4, 3, 32);
    setWindowSurfaceProvider([&](HWND h) { return h == 42 ? surface : nullptr; });
    HDC dc = GetDC(42);
    ASSERT_NE(dc, 0u);
    EXPECT_EQ(dcSurface(dc), surface);
    EXPECT_EQ(GetDC(43), 0u);
    EXPECT_EQ(ReleaseDC(42, dc), 1);
    setWindowSurfaceProvider(nullptr);
    EXPECT_EQ(GetDC(42), 0u);
}

TEST(GdiObject, UnknownAndForgedHandlesDoNothing) {
    EXPECT_EQ(DeleteObject(0), 0);
    EXPECT_EQ(DeleteObject(0x12345678), 0);
    EXPECT_EQ(DeleteDC(0x07000001), 0);
    EXPECT_EQ(SelectObject(0, 0), 0u);
    EXPECT_EQ(GetObject(0x02FFFFFF, 0, nullptr), 0);
    EXPECT_EQ(GetPixel(0, 0, 0), CLR_INVALID);
    // A DC handle passed as a bitmap is refused: the kinds have their own value ranges.
    HDC mem = CreateCompatibleDC(0);
    EXPECT_EQ(DeleteObject(mem), 0);
    EXPECT_EQ(DeleteDC(mem), 1);
}

TEST(GdiDibSection, KeepsOrientationColourTableAndExposesBits) {
    struct Case {
        int32_t height;
        uint16_t bpp;
        uint32_t clrUsed;
        size_t tableSize;
        int32_t stride;
    };
    const Case cases[] = {
        {3, 1, 0, 2, 4},    {-3, 4, 5, 5, 4},  {3, 8, 0, 256, 8},
        {-3, 24, 0, 0, 16}, {3, 32, 0, 0, 20}, {3, 16, 0, 0, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bpp);
        DibInfo info = dibInfo(5, c.height, c.bpp);
        info.header.biClrUsed = c.clrUsed;
        info.header.biXPelsPerMeter = 3937;
        for (int i = 0; i < 256; ++i)
            info.colors[i] = RGBQUAD{uint8_t(i), uint8_t(255 - i), 7, 0};
        void* bits = nullptr;
        HBITMAP h =
            CreateDIBSection(0, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, 0, 0);
        ASSERT_NE(h, 0u);
        ASSERT_NE(bits, nullptr);
        auto s = bitmapSurface(h);
        EXPECT_EQ(s->bits(), bits);
        EXPECT_EQ(s->bottomUp(), c.height > 0);
        EXPECT_EQ(s->stride(), c.stride);
        EXPECT_EQ(s->colorTable().size(), c.tableSize);
        if (c.tableSize > 1) {
            EXPECT_EQ(s->colorTable()[1].rgbGreen, 254);
        }
        EXPECT_NEAR(s->dpiX(), 100.0, 0.01);

        DIBSECTION ds{};
        ASSERT_EQ(GetObject(h, sizeof ds, &ds), int(sizeof ds));
        EXPECT_EQ(ds.dsBm.bmBits, bits);
        EXPECT_EQ(ds.dsBm.bmWidth, 5);
        EXPECT_EQ(ds.dsBm.bmHeight, 3);
        EXPECT_EQ(ds.dsBm.bmWidthBytes, c.stride);
        EXPECT_EQ(ds.dsBm.bmBitsPixel, c.bpp);
        EXPECT_EQ(ds.dsBmih.biHeight, c.height);
        BITMAP bm{};
        EXPECT_EQ(GetObject(h, sizeof bm, &bm), int(sizeof bm));
        EXPECT_EQ(bm.bmBits, bits);
        EXPECT_EQ(DeleteObject(h), 1);
    }
}

TEST(GdiDibSection, BottomUpRowsAreStoredLastRowFirst) {
    DibInfo info = dibInfo(1, 2, 32);
    void* bits = nullptr;
    HBITMAP h = CreateDIBSection(0, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits);
    auto* px = static_cast<uint32_t*>(bits);
    px[0] = 0x00112233; // the bottom row in memory order
    px[1] = 0x00445566;
    HDC mem = CreateCompatibleDC(0);
    SelectObject(mem, h);
    EXPECT_EQ(GetPixel(mem, 0, 1), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(GetPixel(mem, 0, 0), RGB(0x44, 0x55, 0x66));
    DeleteDC(mem);
    DeleteObject(h);
}

TEST(GdiDibSection, RefusesBadHeaders) {
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(0, nullptr, DIB_RGB_COLORS, &bits), 0u);
    EXPECT_EQ(bits, nullptr);
    DibInfo cases[] = {dibInfo(0, 1, 32), dibInfo(1, 0, 32), dibInfo(1, 1, 3), dibInfo(-1, 1, 24),
                       dibInfo(70000, 70000, 32)};
    for (DibInfo& info : cases)
        EXPECT_EQ(CreateDIBSection(0, reinterpret_cast<BITMAPINFO*>(&info), 0, &bits), 0u);
    DibInfo rle = dibInfo(4, 4, 8);
    rle.header.biCompression = BI_RLE8;
    EXPECT_EQ(CreateDIBSection(0, reinterpret_cast<BITMAPINFO*>(&rle), 0, &bits), 0u);
    DibInfo ok = dibInfo(4, 4, 8);
    EXPECT_EQ(CreateDIBSection(0, reinterpret_cast<BITMAPINFO*>(&ok), DIB_PAL_COLORS, &bits), 0u);
}

TEST(GdiBlit, BitBltCopiesClippedAndStretchBltReplicates) {
    HDC src = CreateCompatibleDC(0);
    HDC dst = CreateCompatibleDC(0);
    HBITMAP sb = CreateCompatibleBitmap(0, 2, 2);
    HBITMAP db = CreateCompatibleBitmap(0, 4, 4);
    SelectObject(src, sb);
    SelectObject(dst, db);
    SetPixel(src, 0, 0, RGB(255, 0, 0));
    SetPixel(src, 1, 0, RGB(0, 255, 0));
    SetPixel(src, 0, 1, RGB(0, 0, 255));
    SetPixel(src, 1, 1, RGB(9, 9, 9));

    EXPECT_EQ(BitBlt(dst, 3, 3, 2, 2, src, 0, 0, SRCCOPY), 1);
    EXPECT_EQ(GetPixel(dst, 3, 3), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dst, 2, 2), RGB(0, 0, 0));

    EXPECT_EQ(StretchBlt(dst, 0, 0, 4, 4, src, 0, 0, 2, 2, SRCCOPY), 1);
    EXPECT_EQ(GetPixel(dst, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dst, 2, 1), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(dst, 3, 3), RGB(9, 9, 9));
    // A negative destination width mirrors.
    EXPECT_EQ(StretchBlt(dst, 4, 0, -4, 4, src, 0, 0, 2, 2, SRCCOPY), 1);
    EXPECT_EQ(GetPixel(dst, 0, 0), RGB(0, 255, 0));
    EXPECT_EQ(BitBlt(dst, 0, 0, 1, 1, 0, 0, 0, WHITENESS), 1);
    EXPECT_EQ(GetPixel(dst, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(BitBlt(dst, 0, 0, 1, 1, src, 0, 0, 0x12345678), 0);

    DeleteDC(src);
    DeleteDC(dst);
    DeleteObject(sb);
    DeleteObject(db);
}

TEST(GdiPalette, KeepsEntriesAndReportsCount) {
    std::vector<uint8_t> storage(sizeof(LOGPALETTE) + 3 * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(storage.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = 3;
    for (int i = 0; i < 3; ++i)
        lp->palPalEntry[i] = PALETTEENTRY{uint8_t(10 * i), 1, 2, 0};
    HPALETTE pal = CreatePalette(lp);
    ASSERT_NE(pal, 0u);
    uint16_t count = 0;
    EXPECT_EQ(GetObject(pal, 2, &count), 2);
    EXPECT_EQ(count, 3);
    PALETTEENTRY out[3];
    EXPECT_EQ(GetPaletteEntries(pal, 1, 5, out), 2u);
    EXPECT_EQ(out[1].peRed, 20);
    EXPECT_EQ(DeleteObject(pal), 1);
    EXPECT_EQ(GetPaletteEntries(pal, 0, 1, out), 0u);
}

TEST(GdiIcon, KeepsCopiesOfColourAndMask) {
    HBITMAP color = CreateCompatibleBitmap(0, 2, 2);
    uint8_t maskBits[4] = {0x40, 0, 0x00, 0}; // row 0: pixel 1 transparent
    HBITMAP mask = CreateBitmap(2, 2, 1, 1, maskBits);
    ICONINFO ii{1, 0, 0, mask, color};
    HICON icon = CreateIconIndirect(&ii);
    ASSERT_NE(icon, 0u);
    DeleteObject(color);
    DeleteObject(mask);
    auto data = iconData(icon);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->width(), 2);
    EXPECT_EQ(data->height(), 2);
    EXPECT_EQ(data->mask->pixel(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(data->mask->pixel(0, 0), 0xFF000000u);

    ICONINFO back{};
    ASSERT_EQ(GetIconInfo(icon, &back), 1);
    EXPECT_NE(back.hbmColor, 0u);
    EXPECT_NE(back.hbmMask, 0u);
    EXPECT_EQ(DeleteObject(back.hbmColor), 1);
    EXPECT_EQ(DeleteObject(back.hbmMask), 1);
    EXPECT_EQ(DestroyIcon(icon), 1);
    EXPECT_EQ(DestroyIcon(icon), 0);
    ICONINFO noMask{1, 0, 0, 0, 0};
    EXPECT_EQ(CreateIconIndirect(&noMask), 0u);
}

} // namespace
