// ApplyFilter on 32-bit ARGB images of the real image table, whose locks hand out the
// image's own rows: the result on the rectangle equals the scalar reference, and the
// rest of the image is left alone.

#include "core/image_table.h"
#include "filters/filters.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/session.h"
#include "tests/filters/filter_fixtures.h"
#include "tests/filters/reference.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavimo {
namespace {

class DirectRowsOnCore : public ::testing::Test {
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
    // Reads or writes the whole image as 32-bit ARGB rows.
    void transfer(ImageId id, std::vector<uint32_t>& px, int32_t w, bool write) {
        gp::BitmapData bd{};
        bd.Stride = w * 4;
        bd.Scan0 = px.data();
        gp::UINT mode = (write ? gp::ImageLockModeWrite : gp::ImageLockModeRead) |
                        gp::ImageLockModeUserInputBuf;
        ASSERT_EQ(
            gp::GdipBitmapLockBits(GetGdiImage(id), nullptr, mode, gp::PixelFormat32bppARGB, &bd),
            gp::Ok);
        ASSERT_EQ(gp::GdipBitmapUnlockBits(GetGdiImage(id), &bd), gp::Ok);
    }

    uintptr_t m_token = 0;
};

TEST_F(DirectRowsOnCore, RoutesMatchTheReferenceOnWholeAndPartialRectangles) {
    const int32_t w = 29, h = 9;
    const FilterRect rects[] = {{0, 0, w, h}, {0, 3, w, 4}, {5, 2, 17, 6}};
    // Each route: in place, from the source copy, read only, and the buffer.
    for (int32_t sel : {2, 14, 21, 60, 25, 61, 63, 7, 36, 12, 15, 1, 29}) {
        for (const FilterRect& rect : rects) {
            SCOPED_TRACE("selector " + std::to_string(sel) + " rect x " + std::to_string(rect.X) +
                         " width " + std::to_string(rect.Width));
            gp::GpBitmap b = 0;
            ASSERT_EQ(gp::GdipCreateBitmapFromScan0(w, h, 0, gp::PixelFormat32bppARGB, nullptr, &b),
                      gp::Ok);
            ImageId id = 0;
            RegisterImage(id, b, "", "", SourceKindGdiImage);
            std::vector<uint32_t> before = testing::randomPixels(w, h, 40 + sel);
            transfer(id, before, w, true);
            ClearImageModified(id);

            std::vector<uint32_t> px;
            for (int32_t y = rect.Y; y < rect.Y + rect.Height; ++y) {
                for (int32_t x = rect.X; x < rect.X + rect.Width; ++x) {
                    px.push_back(before[static_cast<size_t>(y) * w + x]);
                }
            }
            std::vector<uint32_t> source = px;
            FilterParams params;
            params.P = 5;
            params.F = -1;
            FilterContext context;
            context.coversWholeImage = rect.Width == w && rect.Height == h;
            PixelFrame frame{px.data(), source.data(), rect.Width, rect.Height};
            testing::ScriptedUniform uniform({}, 3);
            FilterOutcome expected;
            {
                testing::UseUniform use(uniform);
                expected = ref::runFilterOperation(sel, frame, params, context);
            }
            uniform.restart();
            FilterRect r = rect;
            double result = -7;
            {
                testing::UseUniform use(uniform);
                ASSERT_EQ(ApplyFilter(sel, id, params.P, r, 0, 0, 0, params.F, 0, 0, result),
                          gp::Ok);
            }
            if (sel == 36) {
                EXPECT_EQ(result, expected.test ? 1.0 : 0.0);
            } else if (expected.hasValue) {
                EXPECT_EQ(result, expected.value);
            }
            EXPECT_EQ(FindImageRecord(id)->Modified, sel != 36);
            std::vector<uint32_t> now(before.size());
            transfer(id, now, w, false);
            for (int32_t y = 0; y < h; ++y) {
                for (int32_t x = 0; x < w; ++x) {
                    const bool inside = x >= rect.X && x < rect.X + rect.Width && y >= rect.Y &&
                                        y < rect.Y + rect.Height;
                    uint32_t want = before[static_cast<size_t>(y) * w + x];
                    if (inside && sel != 36) {
                        want = px[static_cast<size_t>(y - rect.Y) * rect.Width + x - rect.X];
                    }
                    ASSERT_EQ(now[static_cast<size_t>(y) * w + x], want) << x << "," << y;
                }
            }
            ReleaseAllImages();
        }
    }
}

} // namespace
} // namespace tavimo
