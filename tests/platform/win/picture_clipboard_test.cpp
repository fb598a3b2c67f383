#include "platform/win/clipboard.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_metafile.h"
#include "platform/win/gdi_objects.h"
#include "platform/win/picture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace win;

std::string tempPath(const std::string& suffix) {
    static int n = 0;
    return "/tmp/tavimo-picture-" + std::to_string(getpid()) + "-" + std::to_string(++n) + suffix;
}

HBITMAP makeDib(int32_t w, int32_t h, uint16_t bpp, int32_t signedHeight) {
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD c[256];
    } info{};
    info.h.biWidth = w;
    info.h.biHeight = signedHeight ? signedHeight : h;
    info.h.biBitCount = bpp;
    for (int i = 0; i < 256; ++i)
        info.c[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0};
    void* bits = nullptr;
    return CreateDIBSection(0, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits);
}

PicturePtr bitmapPicture(HBITMAP h, bool own) {
    PICTDESC d;
    d.picType = PICTYPE_BITMAP;
    d.bmp.hbitmap = h;
    d.bmp.hpal = 0;
    PicturePtr p;
    EXPECT_EQ(OleCreatePictureIndirect(&d, own, &p), S_OK);
    return p;
}

TEST(Picture, OwnedHandlesGoWithThePictureAndSizesAreHimetric) {
    HBITMAP owned = makeDib(96, 48, 32, 0);
    HBITMAP kept = makeDib(10, 10, 32, 0);
    {
        PicturePtr a = bitmapPicture(owned, true);
        PicturePtr b = bitmapPicture(kept, false);
        EXPECT_EQ(a->Type(), PICTYPE_BITMAP);
        EXPECT_EQ(a->Handle(), owned);
        EXPECT_EQ(a->Width(), 2540);
        EXPECT_EQ(a->Height(), 1270);
    }
    EXPECT_EQ(DeleteObject(owned), 0); // already deleted by the picture
    EXPECT_EQ(DeleteObject(kept), 1);

    PICTDESC bad;
    bad.cbSizeofstruct = 16;
    PicturePtr p;
    EXPECT_EQ(OleCreatePictureIndirect(&bad, true, &p), E_INVALIDARG);
    PICTDESC stale;
    stale.picType = PICTYPE_BITMAP;
    stale.bmp.hbitmap = owned;
    EXPECT_EQ(OleCreatePictureIndirect(&stale, true, &p), E_INVALIDARG);
    PICTDESC wrongKind;
    wrongKind.picType = PICTYPE_ICON;
    wrongKind.icon.hicon = kept;
    EXPECT_EQ(OleCreatePictureIndirect(&wrongKind, true, &p), E_INVALIDARG);
    EXPECT_EQ(OleCreatePictureIndirect(nullptr, true, &p), S_OK);
    EXPECT_EQ(p->Type(), PICTYPE_UNINITIALIZED);
}

TEST(Picture, SaveAndLoadRoundTripEveryType) {
    // Bitmap: an 8-bpp bottom-up DIB with a colour table.
    HBITMAP bmp = makeDib(5, 3, 8, 0);
    bitmapSurface(bmp)->row(1)[2] = 200;
    PicturePtr pb = bitmapPicture(bmp, true);
    std::string bmpPath = tempPath(".bmp");
    ASSERT_EQ(SavePicture(pb.get(), bmpPath), S_OK);
    PicturePtr lb;
    ASSERT_EQ(LoadPicture(bmpPath, &lb), S_OK);
    EXPECT_EQ(lb->Type(), PICTYPE_BITMAP);
    auto s = bitmapSurface(lb->Handle());
    EXPECT_EQ(s->bpp(), 8);
    EXPECT_EQ(s->width(), 5);
    EXPECT_EQ(s->pixel(2, 1), bitmapSurface(bmp)->pixel(2, 1));
    EXPECT_EQ(s->pixel(0, 0), bitmapSurface(bmp)->pixel(0, 0));

    // Icon: colour plus mask, saved as ICO and read back with the same transparency.
    HBITMAP color = CreateCompatibleBitmap(0, 4, 4);
    bitmapSurface(color)->setPixel(1, 1, 0x123456);
    uint8_t maskBits[8] = {0x80, 0, 0, 0, 0, 0, 0, 0};
    HBITMAP mask = CreateBitmap(4, 4, 1, 1, maskBits);
    ICONINFO ii{1, 0, 0, mask, color};
    PICTDESC di;
    di.picType = PICTYPE_ICON;
    di.icon.hicon = CreateIconIndirect(&ii);
    DeleteObject(color);
    DeleteObject(mask);
    PicturePtr pi;
    ASSERT_EQ(OleCreatePictureIndirect(&di, true, &pi), S_OK);
    EXPECT_EQ(pi->Width(), pixelsToHimetric(4));
    std::string icoPath = tempPath(".ico");
    ASSERT_EQ(SavePicture(pi.get(), icoPath), S_OK);
    PicturePtr li;
    ASSERT_EQ(LoadPicture(icoPath, &li), S_OK);
    ASSERT_EQ(li->Type(), PICTYPE_ICON);
    auto icon = iconData(li->Handle());
    EXPECT_EQ(icon->width(), 4);
    EXPECT_EQ(icon->color->pixel(1, 1), 0xFF123456u);
    EXPECT_EQ(icon->mask->pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(icon->mask->pixel(1, 0), 0xFF000000u);

    // Metafile: a minimal WMF (header and EOF) with a HIMETRIC size.
    const uint8_t wmf[] = {1, 0, 9, 0, 0, 3, 12, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0};
    PICTDESC dm;
    dm.picType = PICTYPE_METAFILE;
    dm.wmf.hmeta = SetMetaFileBitsEx(sizeof wmf, wmf);
    dm.wmf.xExt = 2540;
    dm.wmf.yExt = 1270;
    PicturePtr pm;
    ASSERT_EQ(OleCreatePictureIndirect(&dm, true, &pm), S_OK);
    std::string wmfPath = tempPath(".wmf");
    ASSERT_EQ(SavePicture(pm.get(), wmfPath), S_OK);
    PicturePtr lm;
    ASSERT_EQ(LoadPicture(wmfPath, &lm), S_OK);
    EXPECT_EQ(lm->Type(), PICTYPE_METAFILE);
    EXPECT_EQ(lm->Width(), 2540);
    EXPECT_EQ(lm->Height(), 1270);

    for (const std::string& p : {bmpPath, icoPath, wmfPath})
        std::remove(p.c_str());
}

TEST(Picture, LoadPictureFailuresAreRuntimeErrors) {
    PicturePtr p;
    EXPECT_EQ(LoadPicture("/nonexistent/file.bmp", &p), CTL_E_FILENOTFOUND);
    EXPECT_FALSE(p);
    std::string path = tempPath(".bmp");
    {
        std::ofstream out(path, std::ios::binary);
        out << "BM this is not a bitmap";
    }
    EXPECT_EQ(LoadPicture(path, &p), CTL_E_INVALIDPICTURE);
    std::remove(path.c_str());
    EXPECT_EQ(LoadPicture("", &p), S_OK);
    EXPECT_EQ(p->Type(), PICTYPE_NONE);
    EXPECT_EQ(SavePicture(p.get(), path), CTL_E_INVALIDPICTURE);
}

TEST(Clipboard, HoldsCopiesAndHandsOutCopies) {
    Clipboard::Clear();
    EXPECT_FALSE(Clipboard::GetFormat(CF_BITMAP));
    EXPECT_FALSE(Clipboard::GetData(CF_DIB));

    HBITMAP bmp = makeDib(3, 3, 32, 0);
    bitmapSurface(bmp)->setPixel(0, 0, 0xFF0000);
    {
        PicturePtr pic = bitmapPicture(bmp, true);
        ASSERT_TRUE(Clipboard::SetData(pic.get(), CF_BITMAP));
        EXPECT_FALSE(Clipboard::SetData(pic.get(), CF_METAFILEPICT));
    }
    // The picture (and its bitmap) are gone; the clipboard kept its own copy.
    EXPECT_TRUE(Clipboard::GetFormat(CF_BITMAP));
    EXPECT_TRUE(Clipboard::GetFormat(CF_DIB));
    EXPECT_FALSE(Clipboard::GetFormat(CF_PALETTE));
    EXPECT_FALSE(Clipboard::GetFormat(CF_METAFILEPICT));
    PicturePtr a = Clipboard::GetData(CF_DIB);
    PicturePtr b = Clipboard::GetData(CF_BITMAP);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->Handle(), b->Handle());
    EXPECT_EQ(bitmapSurface(a->Handle())->pixel(0, 0), 0xFFFF0000u);
    bitmapSurface(a->Handle())->setPixel(0, 0, 0x00FF00);
    EXPECT_EQ(bitmapSurface(Clipboard::GetData(CF_BITMAP)->Handle())->pixel(0, 0), 0xFFFF0000u);

    auto before = gdiObjectCounts();
    Clipboard::Clear();
    EXPECT_FALSE(Clipboard::GetFormat(CF_BITMAP));
    EXPECT_EQ(gdiObjectCounts().bitmaps, before.bitmaps - 1);
    PicturePtr empty;
    LoadPicture("", &empty);
    EXPECT_FALSE(Clipboard::SetData(empty.get()));
    EXPECT_FALSE(Clipboard::SetData(nullptr));
}

} // namespace
