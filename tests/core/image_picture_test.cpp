#include "core/image_info.h"
#include "core/image_load.h"
#include "core/image_picture.h"
#include "core/quennet_status.h"
#include "platform/win/clipboard.h"
#include "platform/win/files.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_metafile.h"
#include "tests/support/core_fixtures.h"
#include "tests/support/gdi_metafile_writer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace tavimo;
using tavimo::testing::CoreSessionTest;
using tavimo::testing::readArgb;

// A top-down 32-bpp DIB section of one colour (0x00RRGGBB).
win::HBITMAP solidBitmap(int32_t width, int32_t height, uint32_t rgb) {
    win::BITMAPINFO info{};
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    win::HBITMAP bitmap = win::CreateDIBSection(0, &info, 0, &bits);
    auto* p = static_cast<uint32_t*>(bits);
    for (int32_t i = 0; p && i < width * height; ++i)
        p[i] = rgb;
    return bitmap;
}

win::PicturePtr bitmapPicture(win::HBITMAP bitmap) {
    win::PICTDESC desc;
    desc.picType = win::PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    desc.bmp.hpal = 0;
    win::PicturePtr picture;
    EXPECT_EQ(win::OleCreatePictureIndirect(&desc, true, &picture), win::S_OK);
    return picture;
}

win::PicturePtr iconPicture() {
    win::HBITMAP colour = solidBitmap(4, 4, 0x00FF00);
    const uint8_t mask[8] = {};
    win::HBITMAP andMask = win::CreateBitmap(4, 4, 1, 1, mask);
    win::ICONINFO info;
    info.hbmColor = colour;
    info.hbmMask = andMask;
    win::HICON icon = win::CreateIconIndirect(&info);
    win::DeleteObject(colour);
    win::DeleteObject(andMask);
    win::PICTDESC desc;
    desc.picType = win::PICTYPE_ICON;
    desc.icon.hicon = icon;
    win::PicturePtr picture;
    EXPECT_EQ(win::OleCreatePictureIndirect(&desc, true, &picture), win::S_OK);
    return picture;
}

// A bare WMF (no placeable header) that fills its window with red.
win::HMETAFILE redWmfHandle() {
    testsupport::WmfWriter w;
    w.setWindowOrg(0, 0);
    w.setWindowExt(100, 100);
    w.createBrush(0x0000FF);
    w.createPen(5, 0, 0);
    w.selectObject(0);
    w.selectObject(1);
    w.rectangle(0, 0, 100, 100);
    std::vector<uint8_t> bytes = w.bytes(0, 0, 0, 0, 0);
    return win::SetMetaFileBitsEx(static_cast<uint32_t>(bytes.size()), bytes.data());
}

win::PicturePtr wmfPicture(int32_t himetricX, int32_t himetricY) {
    win::PICTDESC desc;
    desc.picType = win::PICTYPE_METAFILE;
    desc.wmf.hmeta = redWmfHandle();
    desc.wmf.xExt = himetricX;
    desc.wmf.yExt = himetricY;
    win::PicturePtr picture;
    EXPECT_EQ(win::OleCreatePictureIndirect(&desc, true, &picture), win::S_OK);
    return picture;
}

class Pictures : public CoreSessionTest {
protected:
    void TearDown() override {
        win::Clipboard::Clear();
        test::FailNextIconConversion(false);
        CoreSessionTest::TearDown();
    }
};

TEST_F(Pictures, BitmapPicturesLoadThroughTheHBitmapLoader) {
    win::PicturePtr picture = bitmapPicture(solidBitmap(3, 2, 0x123456));
    ImageId id = 0;
    ASSERT_EQ(LoadFromPicture(id, picture.get()), OK);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindHBitmap);
    EXPECT_EQ(readArgb(id)[5] & 0xFFFFFFu, 0x123456u);
    EXPECT_EQ(LoadFromPicture(id, nullptr), InvalidParameter);
    win::PicturePtr empty;
    ASSERT_EQ(win::OleCreatePictureIndirect(nullptr, false, &empty), win::S_OK);
    EXPECT_EQ(LoadFromPicture(id, empty.get()), InvalidParameter);
    EXPECT_EQ(id, 0);
}

TEST_F(Pictures, WmfPicturesAreFramedByTheirHimetricSize) {
    // 1440 HIMETRIC at the declared 1440 units per inch: one inch, 96 pixels.
    ImageId id = 0;
    ASSERT_EQ(LoadFromPicture(id, wmfPicture(1440, 720).get()), OK);
    int32_t w = 0, h = 0;
    GetImageWidth(id, w);
    GetImageHeight(id, h);
    EXPECT_EQ(w, 96);
    EXPECT_EQ(h, 48);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindHBitmap);
    EXPECT_EQ(readArgb(id)[static_cast<size_t>(10 * w + 10)] & 0xFFFFFFu, 0xFF0000u);

    // Extents beyond 16 bits are scaled down with the units per inch: same pixel size.
    ImageId wide = 0;
    ASSERT_EQ(LoadFromPicture(wide, wmfPicture(72000, 1440).get()), OK);
    GetImageWidth(wide, w);
    GetImageHeight(wide, h);
    EXPECT_NEAR(w, 4800, 5);
    EXPECT_NEAR(h, 96, 1);
}

TEST_F(Pictures, IconPictures) {
    win::PicturePtr picture = iconPicture();
    ImageId id = 0;
    ASSERT_EQ(LoadFromPicture(id, picture.get()), OK);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindHIcon);
    EXPECT_TRUE(FindImageRecord(id)->SourcePath.empty());
}

TEST_F(Pictures, IconsGdiplusCannotTakeGoThroughATemporaryFileDeletedOnRelease) {
    win::PicturePtr picture = iconPicture();
    test::FailNextIconConversion(true);
    ImageId id = 0;
    ASSERT_EQ(LoadFromPicture(id, picture.get()), OK);
    const ImageRecord* r = FindImageRecord(id);
    ASSERT_TRUE(r);
    std::string file = r->SourcePath;
    EXPECT_TRUE(r->DeleteSourceFile);
    EXPECT_EQ(GetImageFormatName(id), "ICON");
    EXPECT_FALSE(win::FileExists(file).empty());
    EXPECT_EQ(readArgb(id)[0], 0xFF00FF00u);
    EXPECT_EQ(ReleaseImage(id), OK);
    EXPECT_TRUE(win::FileExists(file).empty());
}

TEST_F(Pictures, ThePictureLoaderLeavesTheFormatNameEmpty) {
    // Only the picture loader is tried when the others fail, so call it directly.
    win::PicturePtr picture = bitmapPicture(solidBitmap(2, 2, 0xFF0000));
    std::string path = tempPath("picture.bmp");
    ASSERT_EQ(win::SavePicture(picture.get(), path), win::S_OK);
    ImageId id = 0;
    ASSERT_EQ(LoadThroughPicture(id, path), OK);
    EXPECT_EQ(GetImageFormatName(id), "");
    EXPECT_EQ(LoadThroughPicture(id, tempPath("missing.bmp")), UnknownImageFormat);
    EXPECT_EQ(id, 0);
}

TEST_F(Pictures, ClipboardFormatsInOrder) {
    ImageId id = 0;
    win::Clipboard::Clear();
    EXPECT_EQ(LoadFromClipboard(id), GenericError);
    ASSERT_TRUE(win::Clipboard::SetData(wmfPicture(1440, 1440).get()));
    ASSERT_EQ(LoadFromClipboard(id), OK);
    EXPECT_EQ(readArgb(id)[0] & 0xFFFFFFu, 0xFF0000u); // the metafile, rasterised

    ASSERT_TRUE(win::Clipboard::SetData(bitmapPicture(solidBitmap(2, 2, 0x0000FF)).get()));
    ASSERT_EQ(LoadFromClipboard(id), OK);
    EXPECT_EQ(readArgb(id)[0] & 0xFFFFFFu, 0x0000FFu);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindHBitmap);
}

TEST_F(Pictures, PicturesOfImages) {
    ImageId id = tavimo::testing::registerBitmap(3, 1, gp::PixelFormat24bppRGB,
                                                 {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0});
    win::PicturePtr picture;
    ASSERT_EQ(GetImageStdPicture(id, picture), OK);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->Type(), win::PICTYPE_BITMAP);
    EXPECT_TRUE(picture->ownsHandle());
    ImageId back = 0;
    ASSERT_EQ(LoadFromPicture(back, picture.get()), OK);
    EXPECT_EQ(readArgb(back), readArgb(id));
    EXPECT_EQ(GetImageStdPicture(4711, picture), InvalidParameter);
    EXPECT_FALSE(picture);
    EXPECT_FALSE(ImageToStdPicture(4711));
    EXPECT_TRUE(ImageToStdPicture(id));
}

} // namespace
