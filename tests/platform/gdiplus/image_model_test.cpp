#include "format_table.h"
#include "image_fixture.h"
#include "session_fixture.h"

#include <cstring>
#include <functional>

using namespace gp;

namespace {

using ImageModelTest = GdiplusSessionTest;

PropertyItem item(uint32_t id, uint16_t type, std::vector<uint8_t> value) {
    return PropertyItem{id, type, std::move(value)};
}

// A three-page image as a TIFF decoder would hand it over.
GpImage makeThreePageImage() {
    DecodedImage decoded;
    decoded.rawFormat = ImageFormatTIFF;
    decoded.frameDimension = FrameDimensionPage;
    for (int i = 0; i < 3; ++i) {
        FrameData frame;
        frame.width = 10 + i;
        frame.height = 5;
        frame.format = i == 1 ? PixelFormat1bppIndexed : PixelFormat24bppRGB;
        frame.stride = static_cast<int32_t>(alignedStride(frame.width, frame.format));
        frame.pixels.assign(static_cast<size_t>(frame.stride) * 5, static_cast<uint8_t>(i + 1));
        if (i == 1)
            frame.palette.entries = {0xFFFFFFFFu, 0xFF000000u};
        frame.dpiX = 100 + i;
        frame.dpiY = i == 2 ? 0 : 50; // no resolution reads as 96
        frame.properties = {
            item(0x010F, PropertyTagTypeASCII, {'p', static_cast<uint8_t>('0' + i), 0})};
        decoded.frames.push_back(std::move(frame));
    }
    return addImage(imageFromDecoded(std::move(decoded)));
}

TEST_F(ImageModelTest, FramesSelectAndReportTheirOwnAttributes) {
    GpImage image = makeThreePageImage();
    UINT count = 0;
    EXPECT_EQ(GdipImageGetFrameCount(image, &FrameDimensionPage, &count), Ok);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(GdipImageGetFrameCount(image, &FrameDimensionTime, &count), InvalidParameter);
    UINT dimensions = 0;
    win::Guid list[1];
    EXPECT_EQ(GdipImageGetFrameDimensionsCount(image, &dimensions), Ok);
    EXPECT_EQ(dimensions, 1u);
    EXPECT_EQ(GdipImageGetFrameDimensionsList(image, list, 1), Ok);
    EXPECT_EQ(list[0], FrameDimensionPage);

    ASSERT_EQ(GdipImageSelectActiveFrame(image, &FrameDimensionPage, 1), Ok);
    UINT width = 0;
    PixelFormat format = 0;
    REAL dpi = 0;
    int32_t size = 0;
    GdipGetImageWidth(image, &width);
    GdipGetImagePixelFormat(image, &format);
    GdipGetImageHorizontalResolution(image, &dpi);
    GdipGetImagePaletteSize(image, &size);
    EXPECT_EQ(width, 11u);
    EXPECT_EQ(format, PixelFormat1bppIndexed);
    EXPECT_EQ(dpi, 101.0f);
    EXPECT_EQ(size, 16);
    UINT itemSize = 0;
    std::vector<uint8_t> buffer(64);
    ASSERT_EQ(GdipGetPropertyItemSize(image, 0x010F, &itemSize), Ok);
    ASSERT_EQ(GdipGetPropertyItem(image, 0x010F, itemSize,
                                  reinterpret_cast<GdipPropertyItem*>(buffer.data())),
              Ok);
    EXPECT_STREQ(
        static_cast<const char*>(reinterpret_cast<GdipPropertyItem*>(buffer.data())->value), "p1");

    ASSERT_EQ(GdipImageSelectActiveFrame(image, &FrameDimensionPage, 2), Ok);
    GdipGetImageVerticalResolution(image, &dpi);
    EXPECT_EQ(dpi, 96.0f);
    EXPECT_EQ(GdipImageSelectActiveFrame(image, &FrameDimensionPage, 3), InvalidParameter);
    EXPECT_EQ(GdipImageSelectActiveFrame(image, &FrameDimensionTime, 0), InvalidParameter);
    win::Guid raw;
    EXPECT_EQ(GdipGetImageRawFormat(image, &raw), Ok);
    EXPECT_EQ(raw, ImageFormatTIFF);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

TEST_F(ImageModelTest, DecodedFramesThatDoNotAddUpAreRefused) {
    auto decodedWith = [](auto change) {
        DecodedImage decoded;
        FrameData frame;
        frame.width = 4;
        frame.height = 3;
        frame.format = PixelFormat24bppRGB;
        frame.stride = 16;
        frame.pixels.assign(48, 0);
        change(frame);
        decoded.frames.push_back(std::move(frame));
        return imageFromDecoded(std::move(decoded));
    };
    EXPECT_NE(decodedWith([](FrameData&) {}), nullptr);
    // The last row needs no padding.
    EXPECT_NE(decodedWith([](FrameData& f) { f.pixels.resize(44); }), nullptr);
    EXPECT_EQ(decodedWith([](FrameData& f) { f.pixels.resize(43); }), nullptr);
    EXPECT_EQ(decodedWith([](FrameData& f) { f.stride = 11; }), nullptr);
    EXPECT_EQ(decodedWith([](FrameData& f) { f.width = 0; }), nullptr);
    EXPECT_EQ(decodedWith([](FrameData& f) { f.format = 0; }), nullptr);
    EXPECT_EQ(imageFromDecoded(DecodedImage{}), nullptr);
}

TEST_F(ImageModelTest, PlainBitmapsHaveOnePage) {
    GpBitmap bitmap = makeRandomBitmap(2, 2, PixelFormat24bppRGB, 1);
    UINT count = 0;
    EXPECT_EQ(GdipImageGetFrameCount(bitmap, &FrameDimensionPage, &count), Ok);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(GdipImageSelectActiveFrame(bitmap, &FrameDimensionPage, 0), Ok);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(ImageModelTest, CloneIsDeepAndKeepsTheActiveFrame) {
    GpImage image = makeThreePageImage();
    ASSERT_EQ(GdipImageSelectActiveFrame(image, &FrameDimensionPage, 1), Ok);
    GpImage clone = 0;
    ASSERT_EQ(GdipCloneImage(image, &clone), Ok);
    EXPECT_NE(clone, image);
    UINT width = 0, count = 0;
    GdipGetImageWidth(clone, &width);
    EXPECT_EQ(width, 11u);
    GdipImageGetFrameCount(clone, &FrameDimensionPage, &count);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(frameBytes(clone), frameBytes(image));
    // Changing the clone leaves the original alone.
    EXPECT_EQ(GdipRemovePropertyItem(clone, 0x010F), Ok);
    findImage(clone)->active().pixels[0] = 0xFF;
    UINT properties = 0;
    GdipGetPropertyCount(image, &properties);
    EXPECT_EQ(properties, 1u);
    EXPECT_EQ(findImage(image)->active().pixels[0], 2);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
    // The clone lives on by itself.
    ASSERT_EQ(GdipImageSelectActiveFrame(clone, &FrameDimensionPage, 2), Ok);
    GdipGetImageWidth(clone, &width);
    EXPECT_EQ(width, 12u);
    EXPECT_EQ(GdipDisposeImage(clone), Ok);
}

TEST_F(ImageModelTest, CloneOfCallerMemoryOwnsItsPixels) {
    std::vector<uint8_t> memory(8 * 2, 0x42);
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 2, 8, PixelFormat32bppARGB, memory.data(), &bitmap), Ok);
    GpImage clone = 0;
    ASSERT_EQ(GdipCloneImage(bitmap, &clone), Ok);
    EXPECT_FALSE(findImage(clone)->active().isExternal());
    memory[0] = 0;
    EXPECT_EQ(findImage(clone)->active().row(0)[0], 0x42);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    EXPECT_EQ(GdipDisposeImage(clone), Ok);
}

TEST_F(ImageModelTest, AreaCloneConvertsAndCopiesOnlyTheRectangle) {
    GpBitmap bitmap = makeRandomBitmap(8, 6, PixelFormat32bppARGB, 4);
    ASSERT_EQ(GdipBitmapSetResolution(bitmap, 300, 150), Ok);
    PropertyItem tag = item(0x0131, PropertyTagTypeASCII, {'x', 0});
    GdipPropertyItem header{tag.id, 2, tag.type, tag.value.data()};
    ASSERT_EQ(GdipSetPropertyItem(bitmap, &header), Ok);
    GpBitmap area = 0;
    ASSERT_EQ(GdipCloneBitmapAreaI(3, 2, 4, 3, PixelFormat24bppRGB, bitmap, &area), Ok);
    PixelFormat format = 0;
    UINT properties = 9;
    REAL dpi = 0;
    win::Guid raw;
    GdipGetImagePixelFormat(area, &format);
    GdipGetPropertyCount(area, &properties);
    GdipGetImageHorizontalResolution(area, &dpi);
    GdipGetImageRawFormat(area, &raw);
    EXPECT_EQ(format, PixelFormat24bppRGB);
    EXPECT_EQ(properties, 0u);
    EXPECT_EQ(dpi, 300.0f);
    EXPECT_EQ(raw, ImageFormatMemoryBMP);
    const std::vector<uint32_t> all = readArgb(bitmap), part = readArgb(area);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(part[y * 4 + x], all[(y + 2) * 8 + x + 3] | 0xFF000000u);
    const Rect outside[] = {{5, 0, 4, 1}, {0, 4, 1, 3}, {-1, 0, 1, 1}, {0, 0, 0, 1}};
    GpBitmap none = 0;
    for (const Rect& r : outside)
        EXPECT_EQ(
            GdipCloneBitmapAreaI(r.X, r.Y, r.Width, r.Height, PixelFormat24bppRGB, bitmap, &none),
            InvalidParameter);
    EXPECT_EQ(GdipCloneBitmapArea(0.4f, 0.0f, 8.0f, 6.0f, 0, bitmap, &none), Ok);
    EXPECT_EQ(GdipDisposeImage(none), Ok);
    EXPECT_EQ(GdipDisposeImage(area), Ok);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(ImageModelTest, AreaCloneIntoIndexedKeepsAFittingPalette) {
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(4, 1, 0, PixelFormat1bppIndexed, nullptr, &bitmap), Ok);
    findBitmap(bitmap)->active().palette.entries = {0xFFFF0000u, 0xFF00FF00u};
    findBitmap(bitmap)->active().row(0)[0] = 0x50; // 0 1 0 1
    GpBitmap area = 0;
    ASSERT_EQ(GdipCloneBitmapAreaI(1, 0, 3, 1, PixelFormat8bppIndexed, bitmap, &area), Ok);
    const Frame& frame = findBitmap(area)->active();
    EXPECT_EQ(frame.palette.entries, (std::vector<ARGB>{0xFFFF0000u, 0xFF00FF00u}));
    EXPECT_EQ(frame.row(0)[0], 1);
    EXPECT_EQ(frame.row(0)[1], 0);
    EXPECT_EQ(frame.row(0)[2], 1);
    EXPECT_EQ(GdipDisposeImage(area), Ok);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(ImageModelTest, ThumbnailScalesAndAveragesWithoutFringes) {
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(300, 200, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
    // Left half opaque red, right half fully transparent green.
    std::vector<uint32_t> pixels(300 * 200);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            pixels[y * 300 + x] = x < 150 ? 0xFFFF0000u : 0x0000FF00u;
    BitmapData data{};
    data.Stride = 1200;
    data.Scan0 = pixels.data();
    ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeWrite | ImageLockModeUserInputBuf,
                                 PixelFormat32bppARGB, &data),
              Ok);
    ASSERT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
    GpImage thumb = 0;
    ASSERT_EQ(GdipGetImageThumbnail(bitmap, 0, 0, &thumb, nullptr, nullptr), Ok);
    UINT width = 0, height = 0;
    GdipGetImageWidth(thumb, &width);
    GdipGetImageHeight(thumb, &height);
    EXPECT_EQ(width, 120u);
    EXPECT_EQ(height, 120u);
    const std::vector<uint32_t> small = readArgb(thumb);
    EXPECT_EQ(small[10], 0xFFFF0000u);
    EXPECT_EQ(small[119] >> 24, 0u);
    // The column straddling the edge is half covered and still pure red.
    const uint32_t edge = small[59];
    EXPECT_EQ(edge & 0x00FFFFFFu, 0x00FF0000u);
    EXPECT_EQ(GdipDisposeImage(thumb), Ok);
    ASSERT_EQ(GdipGetImageThumbnail(bitmap, 600, 3, &thumb, nullptr, nullptr), Ok);
    GdipGetImageWidth(thumb, &width);
    EXPECT_EQ(width, 600u);
    EXPECT_EQ(readArgb(thumb)[0], 0xFFFF0000u);
    EXPECT_EQ(GdipDisposeImage(thumb), Ok);
    EXPECT_EQ(GdipGetImageThumbnail(bitmap, 0, 5, &thumb, nullptr, nullptr), InvalidParameter);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);

    // Packed sources go through their palette.
    GpBitmap bits = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(16, 16, 0, PixelFormat1bppIndexed, nullptr, &bits), Ok);
    Frame& frame = findBitmap(bits)->active();
    std::memset(frame.scan0(), 0xFF, static_cast<size_t>(frame.stride) * 16);
    ASSERT_EQ(GdipGetImageThumbnail(bits, 3, 3, &thumb, nullptr, nullptr), Ok);
    PixelFormat format = 0;
    GdipGetImagePixelFormat(thumb, &format);
    EXPECT_EQ(format, PixelFormat32bppPARGB);
    EXPECT_EQ(readArgb(thumb), std::vector<uint32_t>(9, 0xFFFFFFFFu));
    EXPECT_EQ(GdipDisposeImage(thumb), Ok);
    EXPECT_EQ(GdipDisposeImage(bits), Ok);
}

TEST_F(ImageModelTest, PaletteGetSetAndSizes) {
    GpBitmap indexed = 0, rgb = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 2, 0, PixelFormat4bppIndexed, nullptr, &indexed), Ok);
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 2, 0, PixelFormat24bppRGB, nullptr, &rgb), Ok);
    int32_t size = 0;
    ASSERT_EQ(GdipGetImagePaletteSize(rgb, &size), Ok);
    EXPECT_EQ(size, 8);
    std::vector<uint8_t> buffer(8 + 4 * 256);
    auto* palette = reinterpret_cast<ColorPalette*>(buffer.data());
    ASSERT_EQ(GdipGetImagePalette(rgb, palette, size), Ok);
    EXPECT_EQ(palette->Count, 0u);
    ASSERT_EQ(GdipGetImagePaletteSize(indexed, &size), Ok);
    EXPECT_EQ(size, 8 + 64);
    EXPECT_EQ(GdipGetImagePalette(indexed, palette, size - 1), InvalidParameter);
    ASSERT_EQ(GdipGetImagePalette(indexed, palette, size), Ok);
    EXPECT_EQ(palette->Count, 16u);
    EXPECT_EQ(palette->Entries[15], 0xFFFFFFFFu);

    palette->Flags = PaletteFlagsGrayScale;
    palette->Count = 3;
    palette->Entries[0] = 0xFF000000u;
    palette->Entries[1] = 0xFF808080u;
    palette->Entries[2] = 0xFFFFFFFFu;
    ASSERT_EQ(GdipSetImagePalette(indexed, palette), Ok);
    ASSERT_EQ(GdipGetImagePaletteSize(indexed, &size), Ok);
    EXPECT_EQ(size, 20);
    palette->Count = 17;
    EXPECT_EQ(GdipSetImagePalette(indexed, palette), InvalidParameter);
    palette->Count = 0;
    EXPECT_EQ(GdipSetImagePalette(indexed, palette), InvalidParameter);
    // A non-indexed image keeps the palette without using it.
    palette->Count = 2;
    EXPECT_EQ(GdipSetImagePalette(rgb, palette), Ok);
    ASSERT_EQ(GdipGetImagePaletteSize(rgb, &size), Ok);
    EXPECT_EQ(size, 8);
    EXPECT_EQ(GdipDisposeImage(indexed), Ok);
    EXPECT_EQ(GdipDisposeImage(rgb), Ok);
}

TEST_F(ImageModelTest, PropertyItemsKeepOrderReplaceInPlaceAndFillOneBuffer) {
    GpBitmap bitmap = makeRandomBitmap(2, 2, PixelFormat24bppRGB, 1);
    const uint32_t rational[2] = {96, 1};
    const char text[] = "hello";
    const GdipPropertyItem items[] = {
        {0x011A, 8, PropertyTagTypeRational, const_cast<uint32_t*>(rational)},
        {0x010E, 6, PropertyTagTypeASCII, const_cast<char*>(text)},
        {0x9286, 0, PropertyTagTypeUndefined, nullptr},
    };
    for (const GdipPropertyItem& p : items)
        ASSERT_EQ(GdipSetPropertyItem(bitmap, &p), Ok);
    const char replaced[] = "bye";
    const GdipPropertyItem replacement{0x010E, 4, PropertyTagTypeASCII,
                                       const_cast<char*>(replaced)};
    ASSERT_EQ(GdipSetPropertyItem(bitmap, &replacement), Ok);

    UINT count = 0;
    ASSERT_EQ(GdipGetPropertyCount(bitmap, &count), Ok);
    ASSERT_EQ(count, 3u);
    PROPID ids[3];
    EXPECT_EQ(GdipGetPropertyIdList(bitmap, 2, ids), InvalidParameter);
    ASSERT_EQ(GdipGetPropertyIdList(bitmap, 3, ids), Ok);
    EXPECT_EQ(ids[0], 0x011Au);
    EXPECT_EQ(ids[1], 0x010Eu);
    EXPECT_EQ(ids[2], 0x9286u);

    UINT size = 0;
    ASSERT_EQ(GdipGetPropertyItemSize(bitmap, 0x010E, &size), Ok);
    EXPECT_EQ(size, sizeof(GdipPropertyItem) + 4);
    std::vector<uint8_t> buffer(size);
    auto* one = reinterpret_cast<GdipPropertyItem*>(buffer.data());
    EXPECT_EQ(GdipGetPropertyItem(bitmap, 0x010E, size - 1, one), InvalidParameter);
    ASSERT_EQ(GdipGetPropertyItem(bitmap, 0x010E, size, one), Ok);
    EXPECT_EQ(one->length, 4u);
    EXPECT_EQ(one->type, PropertyTagTypeASCII);
    EXPECT_EQ(one->value, buffer.data() + sizeof(GdipPropertyItem));
    EXPECT_STREQ(static_cast<char*>(one->value), "bye");

    UINT total = 0, number = 0;
    ASSERT_EQ(GdipGetPropertySize(bitmap, &total, &number), Ok);
    EXPECT_EQ(total, 3 * sizeof(GdipPropertyItem) + 8 + 4);
    std::vector<uint8_t> all(total);
    auto* list = reinterpret_cast<GdipPropertyItem*>(all.data());
    ASSERT_EQ(GdipGetAllPropertyItems(bitmap, total, number, list), Ok);
    EXPECT_EQ(static_cast<uint32_t*>(list[0].value)[0], 96u);
    EXPECT_STREQ(static_cast<char*>(list[1].value), "bye");
    EXPECT_EQ(list[2].length, 0u);
    EXPECT_EQ(list[2].value, nullptr);
    EXPECT_GE(static_cast<uint8_t*>(list[1].value), all.data() + 3 * sizeof(GdipPropertyItem));

    EXPECT_EQ(GdipRemovePropertyItem(bitmap, 0x011A), Ok);
    EXPECT_EQ(GdipRemovePropertyItem(bitmap, 0x011A), PropertyNotFound);
    EXPECT_EQ(GdipGetPropertyItemSize(bitmap, 0x011A, &size), PropertyNotFound);
    EXPECT_EQ(GdipGetPropertyItem(bitmap, 0x011A, 100, one), PropertyNotFound);
    const GdipPropertyItem badType{1, 0, 13, nullptr};
    const GdipPropertyItem noValue{1, 4, PropertyTagTypeLong, nullptr};
    EXPECT_EQ(GdipSetPropertyItem(bitmap, &badType), InvalidParameter);
    EXPECT_EQ(GdipSetPropertyItem(bitmap, &noValue), InvalidParameter);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(ImageModelTest, InformationAndResolution) {
    GpBitmap bitmap = makeRandomBitmap(7, 5, PixelFormat32bppARGB, 1);
    UINT flags = 0;
    int32_t type = 0;
    REAL w = 0, h = 0;
    ASSERT_EQ(GdipGetImageFlags(bitmap, &flags), Ok);
    EXPECT_TRUE(flags & ImageFlagsHasAlpha);
    EXPECT_TRUE(flags & ImageFlagsColorSpaceRGB);
    ASSERT_EQ(GdipGetImageType(bitmap, &type), Ok);
    EXPECT_EQ(type, ImageTypeBitmap);
    ASSERT_EQ(GdipGetImageDimension(bitmap, &w, &h), Ok);
    EXPECT_EQ(w, 7.0f);
    EXPECT_EQ(h, 5.0f);
    RectF bounds;
    Unit unit = UnitWorld;
    ASSERT_EQ(GdipGetImageBounds(bitmap, &bounds, &unit), Ok);
    EXPECT_EQ(bounds.Width, 7.0f);
    EXPECT_EQ(unit, UnitPixel);
    EXPECT_EQ(GdipImageForceValidation(bitmap), Ok);
    EXPECT_EQ(GdipBitmapSetResolution(bitmap, 72.5f, 300), Ok);
    REAL x = 0, y = 0;
    GdipGetImageHorizontalResolution(bitmap, &x);
    GdipGetImageVerticalResolution(bitmap, &y);
    EXPECT_EQ(x, 72.5f);
    EXPECT_EQ(y, 300.0f);
    EXPECT_EQ(GdipBitmapSetResolution(bitmap, 0, 300), InvalidParameter);
    EXPECT_EQ(GdipBitmapSetResolution(bitmap, 72, -1), InvalidParameter);
    EXPECT_EQ(GdipBitmapSetResolution(bitmap, std::nanf(""), 72), InvalidParameter);
    UINT width = 0;
    EXPECT_EQ(GdipGetImageWidth(bitmap, nullptr), InvalidParameter);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    EXPECT_EQ(GdipGetImageWidth(bitmap, &width), InvalidParameter);
}

// Every call refuses a disposed handle, a forged one and 0 with InvalidParameter.
TEST_F(ImageModelTest, StaleAndForgedHandlesAreRefusedEverywhere) {
    GpBitmap stale = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 2, 0, PixelFormat24bppRGB, nullptr, &stale), Ok);
    ASSERT_EQ(GdipDisposeImage(stale), Ok);
    UINT u = 0;
    REAL r = 0, r2 = 0;
    PixelFormat f = 0;
    int32_t i = 0;
    win::Guid g;
    GpImage out = 0;
    BitmapData data{};
    std::vector<uint8_t> buffer(1100);
    auto* palette = reinterpret_cast<ColorPalette*>(buffer.data());
    palette->Count = 1;
    auto* item = reinterpret_cast<GdipPropertyItem*>(buffer.data());
    const std::vector<std::function<Status(GpImage)>> calls = {
        [&](GpImage h) { return GdipGetImageWidth(h, &u); },
        [&](GpImage h) { return GdipGetImageHeight(h, &u); },
        [&](GpImage h) { return GdipGetImageHorizontalResolution(h, &r); },
        [&](GpImage h) { return GdipGetImageVerticalResolution(h, &r); },
        [&](GpImage h) { return GdipGetImagePixelFormat(h, &f); },
        [&](GpImage h) { return GdipGetImageRawFormat(h, &g); },
        [&](GpImage h) { return GdipGetImageFlags(h, &u); },
        [&](GpImage h) { return GdipGetImageType(h, &i); },
        [&](GpImage h) { return GdipGetImageDimension(h, &r, &r2); },
        [&](GpImage h) { return GdipBitmapSetResolution(h, 96, 96); },
        [&](GpImage h) { return GdipImageForceValidation(h); },
        [&](GpImage h) { return GdipCloneImage(h, &out); },
        [&](GpImage h) { return GdipCloneBitmapAreaI(0, 0, 1, 1, PixelFormat24bppRGB, h, &out); },
        [&](GpImage h) { return GdipGetImageThumbnail(h, 4, 4, &out, nullptr, nullptr); },
        [&](GpImage h) { return GdipImageRotateFlip(h, Rotate90FlipNone); },
        [&](GpImage h) { return GdipImageGetFrameDimensionsCount(h, &u); },
        [&](GpImage h) { return GdipImageGetFrameCount(h, &FrameDimensionPage, &u); },
        [&](GpImage h) { return GdipImageSelectActiveFrame(h, &FrameDimensionPage, 0); },
        [&](GpImage h) { return GdipGetImagePaletteSize(h, &i); },
        [&](GpImage h) { return GdipGetImagePalette(h, palette, 1100); },
        [&](GpImage h) { return GdipSetImagePalette(h, palette); },
        [&](GpImage h) { return GdipGetPropertyCount(h, &u); },
        [&](GpImage h) { return GdipGetPropertyIdList(h, 0, &u); },
        [&](GpImage h) { return GdipGetPropertyItemSize(h, 1, &u); },
        [&](GpImage h) { return GdipGetPropertyItem(h, 1, 100, item); },
        [&](GpImage h) { return GdipRemovePropertyItem(h, 1); },
        [&](GpImage h) {
            return GdipBitmapLockBits(h, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &data);
        },
        [&](GpImage h) { return GdipBitmapUnlockBits(h, &data); },
        [&](GpImage h) { return GdipDisposeImage(h); },
    };
    for (GpImage handle : {stale, GpImage{0}, GpImage{0x10ABCDEF}, GpImage{0x7FFFFFFF}}) {
        for (size_t k = 0; k < calls.size(); ++k)
            EXPECT_EQ(calls[k](handle), InvalidParameter) << "call " << k << " handle " << handle;
    }
}

TEST_F(ImageModelTest, CreatingCallsAnswerNotInitializedOutsideASession) {
    GpBitmap bitmap = makeRandomBitmap(4, 4, PixelFormat24bppRGB, 1);
    GdiplusShutdown(m_token);
    GpImage out = 0;
    EXPECT_EQ(GdipCreateBitmapFromScan0(1, 1, 0, PixelFormat24bppRGB, nullptr, &out),
              GdiplusNotInitialized);
    EXPECT_EQ(GdipCloneImage(bitmap, &out), GdiplusNotInitialized);
    EXPECT_EQ(GdipCloneBitmapAreaI(0, 0, 1, 1, PixelFormat24bppRGB, bitmap, &out),
              GdiplusNotInitialized);
    EXPECT_EQ(GdipGetImageThumbnail(bitmap, 2, 2, &out, nullptr, nullptr), GdiplusNotInitialized);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

} // namespace
