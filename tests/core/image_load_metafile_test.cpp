#include "core/image_info.h"
#include "core/image_load.h"
#include "core/image_load_metafile.h"
#include "core/quennet_status.h"
#include "platform/win/files.h"
#include "platform/win/gdi_metafile.h"
#include "tests/support/core_fixtures.h"
#include "tests/support/gdi_metafile_writer.h"

#include <gtest/gtest.h>

namespace {

using namespace tavimo;
using tavimo::testing::CoreSessionTest;
using tavimo::testing::readArgb;

// A placeable WMF, 1 x 0.5 inch at 1000 units per inch (96 x 48 pixels), with a red
// rectangle over its left half.
std::vector<uint8_t> redWmf() {
    testsupport::WmfWriter w;
    w.setWindowOrg(0, 0);
    w.setWindowExt(1000, 500);
    w.createBrush(0x0000FF);
    w.createPen(5, 0, 0);
    w.selectObject(0);
    w.selectObject(1);
    w.rectangle(0, 0, 500, 500);
    return w.bytes(0, 0, 1000, 500, 1000);
}

// An EMF of 20 x 10 mm on a 1000 x 500 pixel, 250 x 125 mm device (4 px per mm: 80 x 40).
std::vector<uint8_t> blueEmf() {
    testsupport::EmfWriter e(2000, 1000, 1000, 500, 250, 125);
    e.createBrush(1, 0xFF0000);
    e.selectObject(1);
    e.rectangle(0, 0, 40, 40);
    return e.bytes();
}

class LoadMetafile : public CoreSessionTest {
protected:
    std::string write(const std::vector<uint8_t>& bytes, const std::string& name) {
        std::string path = tempPath(name);
        EXPECT_TRUE(win::writeWholeFile(path, bytes));
        return path;
    }
};

TEST_F(LoadMetafile, AWmfFileLoadsThroughTheDispatcherAsWmf) {
    std::string path = write(redWmf(), "drawing.wmf");
    ImageId id = 0;
    ASSERT_EQ(LoadImageFromFile(id, path, false, false, true, 0, true, true), OK);
    EXPECT_EQ(GetImageFormatName(id), "WMF");
    EXPECT_EQ(DetectImageFormatName(id), "WMF");
}

TEST_F(LoadMetafile, FilesAreRasterisedAtAScale) {
    std::string path = write(redWmf(), "drawing.wmf");
    ImageId id = 0;
    ASSERT_EQ(LoadMetafileFromFile(id, path, 2.0, true), OK);
    EXPECT_EQ(GetImageSourceKind(id), SourceKindRawBits);
    EXPECT_EQ(ImagePixelFormat(id), gp::PixelFormat32bppARGB);
    int32_t w = 0, h = 0;
    GetImageWidth(id, w);
    GetImageHeight(id, h);
    EXPECT_EQ(w, 192);
    EXPECT_EQ(h, 96);
    std::vector<uint32_t> px = readArgb(id);
    EXPECT_EQ(px[static_cast<size_t>(48 * w + 40)], 0xFFFF0000u); // inside the rectangle
    EXPECT_EQ(px[static_cast<size_t>(48 * w + 150)] >> 24, 0u);   // nothing drawn there

    ASSERT_EQ(ReleaseImage(id), OK);
    EXPECT_EQ(LoadMetafileFromFile(id, path, 1.0, false), Aborted);
    EXPECT_EQ(LoadMetafileFromFile(id, tempPath("none.wmf"), 1.0, true), FileNotFound);
    EXPECT_EQ(LoadMetafileFromFile(id, "", 1.0, true), FileNotFound);
    EXPECT_EQ(LoadMetafileFromFile(id, write({1, 2, 3, 4}, "junk.wmf"), 1.0, true),
              UnknownImageFormat);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(ImageTableCount(), 0);
}

TEST_F(LoadMetafile, HandlesBecomeMetafileImagesAndRasterisedBitmaps) {
    std::vector<uint8_t> bytes = blueEmf();
    win::HENHMETAFILE emf =
        win::SetEnhMetaFileBits(static_cast<uint32_t>(bytes.size()), bytes.data());
    ASSERT_NE(emf, 0u);
    ImageId meta = 0;
    ASSERT_EQ(CreateMetafileFromEmf(emf, true, meta), OK);
    EXPECT_EQ(GetImageSourceKind(meta), SourceKindGdiImage);
    EXPECT_EQ(GetImageFormatName(meta), "EMF");

    ImageId bitmap = 0;
    ASSERT_EQ(RasterizeMetafileImage(meta, bitmap), OK);
    EXPECT_EQ(FindImageIndex(meta), -1); // the metafile image is gone
    EXPECT_EQ(GetImageSourceKind(bitmap), SourceKindHBitmap);
    int32_t w = 0, h = 0;
    GetImageWidth(bitmap, w);
    GetImageHeight(bitmap, h);
    EXPECT_EQ(w, 80);
    EXPECT_EQ(h, 40);
    std::vector<uint32_t> px = readArgb(bitmap);
    EXPECT_EQ(px[static_cast<size_t>(5 * w + 5)] & 0xFFFFFFu, 0x0000FFu);
    EXPECT_EQ(px[static_cast<size_t>(5 * w + 70)] & 0xFFFFFFu, 0xFFFFFFu); // white ground

    ImageId none = 0;
    EXPECT_EQ(CreateMetafileFromEmf(0x06FFFFF0u, false, none), InvalidParameter);
    EXPECT_EQ(none, 0);
    gp::WmfPlaceableFileHeader header;
    EXPECT_EQ(CreateMetafileFromWmf(0, false, &header, none), InvalidParameter);
}

} // namespace
