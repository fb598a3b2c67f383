// ApplyFilter on images of the real image table, through the GDI+ layer's locking.

#include "core/image_table.h"
#include "filters/filters.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tavimo {
namespace {

class ApplyFilterOnCore : public ::testing::Test {
protected:
    void SetUp() override {
        gp::test::ResetSession();
        gp::GdiplusStartupInput input;
        ASSERT_EQ(gp::GdiplusStartup(&m_token, &input, nullptr), gp::Ok);
    }
    void TearDown() override {
        ReleaseAllImages();
        gp::GdiplusShutdown(m_token);
        gp::test::ResetSession();
    }
    ImageId add(int32_t w, int32_t h, gp::PixelFormat format) {
        gp::GpBitmap b = 0;
        EXPECT_EQ(gp::GdipCreateBitmapFromScan0(w, h, 0, format, nullptr, &b), gp::Ok);
        ImageId id = 0;
        RegisterImage(id, b, "", "", SourceKindGdiImage);
        ClearImageModified(id);
        return id;
    }
    // Reads or writes the whole image as rows of `format`.
    std::vector<uint8_t> bytes(ImageId id, gp::PixelFormat format, int32_t stride, int32_t h,
                               const std::vector<uint8_t>* write = nullptr) {
        std::vector<uint8_t> buf =
            write ? *write : std::vector<uint8_t>(static_cast<size_t>(stride) * h);
        gp::BitmapData bd{};
        bd.Stride = stride;
        bd.Scan0 = buf.data();
        gp::UINT mode = (write ? gp::ImageLockModeWrite : gp::ImageLockModeRead) |
                        gp::ImageLockModeUserInputBuf;
        EXPECT_EQ(gp::GdipBitmapLockBits(GetGdiImage(id), nullptr, mode, format, &bd), gp::Ok);
        EXPECT_EQ(gp::GdipBitmapUnlockBits(GetGdiImage(id), &bd), gp::Ok);
        return buf;
    }
    bool modified(ImageId id) { return FindImageRecord(id)->Modified; }
    gp::Status apply(int32_t sel, ImageId id, FilterRect rect, double P = 0) {
        return ApplyFilter(sel, id, P, rect, 0, 0.5f, 1.0f, 0, 0, 0, m_result);
    }

    uintptr_t m_token = 0;
    double m_result = 0;
};

TEST_F(ApplyFilterOnCore, NegativeOfASubRectangleOfA32BitImage) {
    ImageId id = add(5, 4, gp::PixelFormat32bppARGB);
    std::vector<uint8_t> px(5 * 4 * 4);
    for (size_t i = 0; i < px.size(); ++i) {
        px[i] = static_cast<uint8_t>(i * 13);
    }
    bytes(id, gp::PixelFormat32bppARGB, 20, 4, &px);
    ClearImageModified(id);
    ASSERT_EQ(apply(2, id, FilterRect{1, 1, 3, 2}), gp::Ok);
    std::vector<uint8_t> now = bytes(id, gp::PixelFormat32bppARGB, 20, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            bool inside = x >= 1 && x <= 3 && y >= 1 && y <= 2;
            for (int c = 0; c < 4; ++c) {
                size_t i = static_cast<size_t>((y * 5 + x) * 4 + c);
                uint8_t expected = inside && c < 3 ? static_cast<uint8_t>(255 - px[i]) : px[i];
                EXPECT_EQ(now[i], expected) << x << "," << y << " byte " << c;
            }
        }
    }
    EXPECT_TRUE(modified(id));
}

TEST_F(ApplyFilterOnCore, OneBitNegativeAndPaletteMode) {
    ImageId bits = add(12, 2, gp::PixelFormat1bppIndexed);
    std::vector<uint8_t> packed = {0xA5, 0x30, 0, 0, 0x0F, 0xF0, 0, 0};
    bytes(bits, gp::PixelFormat1bppIndexed, 4, 2, &packed);
    ClearImageModified(bits);
    ASSERT_EQ(apply(2, bits, FilterRect{0, 0, 12, 2}), gp::Ok);
    std::vector<uint8_t> now = bytes(bits, gp::PixelFormat1bppIndexed, 4, 2);
    EXPECT_EQ(now[0], 0x5A);
    EXPECT_EQ(now[1] & 0xF0, 0xC0);
    EXPECT_EQ(now[4], 0xF0);
    EXPECT_TRUE(modified(bits));

    ImageId pal = add(3, 3, gp::PixelFormat8bppIndexed);
    std::vector<uint32_t> rec = {0, 2, 0xFF102030u, 0xFF405060u};
    ASSERT_EQ(
        gp::GdipSetImagePalette(GetGdiImage(pal), reinterpret_cast<gp::ColorPalette*>(rec.data())),
        gp::Ok);
    ClearImageModified(pal);
    ASSERT_EQ(apply(2, pal, FilterRect{0, 0, 3, 3}), gp::Ok);
    std::vector<uint32_t> out(4);
    ASSERT_EQ(gp::GdipGetImagePalette(GetGdiImage(pal),
                                      reinterpret_cast<gp::ColorPalette*>(out.data()), 16),
              gp::Ok);
    EXPECT_EQ(out[2], 0xFFEFDFCFu);
    EXPECT_EQ(out[3], 0xFFBFAF9Fu);
    EXPECT_TRUE(modified(pal));
}

TEST_F(ApplyFilterOnCore, FailuresLeaveTheImageUnmarked) {
    ImageId id = add(4, 4, gp::PixelFormat24bppRGB);
    EXPECT_EQ(apply(1, id, FilterRect{0, 0, 4, 4}, -8), gp::GenericError);
    EXPECT_FALSE(modified(id));
    EXPECT_EQ(apply(61, id, FilterRect{0, 0, 5, 4}), gp::InvalidParameter);
    EXPECT_EQ(apply(61, 12345, FilterRect{0, 0, 4, 4}), gp::InvalidParameter);
    EXPECT_FALSE(modified(id));
    EXPECT_EQ(apply(61, id, FilterRect{0, 0, 4, 4}), gp::Ok);
    EXPECT_TRUE(modified(id));
}

} // namespace
} // namespace tavimo
