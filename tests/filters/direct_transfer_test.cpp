// The routes of 32-bit ARGB images, which work on the image's own rows: every selector
// through the whole ApplyFilter against the scalar reference on the rectangle's pixels,
// the checks that come before any lock, and the 3x3 rank filters across their column
// blocks.

#include "filters/filter_engine.h"
#include "filters/filters.h"
#include "tests/filters/filter_fixtures.h"
#include "tests/filters/reference.h"
#include "tests/support/filters_fake_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace tavimo {
namespace {

using testing::FakeFilterImages;
using testing::randomPixels;
using testing::ScriptedUniform;
using testing::UseUniform;

FilterParams paramsOf(int32_t sel) {
    FilterParams p;
    p.P = sel == 33 ? 60 : 4;
    p.d = 0.5f;
    p.e = 1.0f;
    p.F = sel == 69 ? 2 : (sel == 60 ? -1 : (sel == 37 || sel == 38 ? 3 : 0));
    p.G = sel == 37 || sel == 38 ? 1.5 : 0;
    return p;
}

class Direct32 : public ::testing::Test {
protected:
    void TearDown() override {
        SetFilterThreadCount(0);
        fx::forceGenericPath(false);
    }
    ImageId add(int32_t w, int32_t h, uint32_t seed, const std::vector<uint8_t>& alphabet = {}) {
        ImageId id = images.add(w, h, gp::PixelFormat32bppARGB);
        std::vector<uint32_t> px = randomPixels(w, h, seed, alphabet);
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                images.setArgb(id, x, y, px[static_cast<size_t>(y) * w + x]);
            }
        }
        images.image(id).modified = false;
        return id;
    }
    FakeFilterImages images;
};

TEST_F(Direct32, EverySelectorMatchesTheReferenceOnTheRectangle) {
    const int32_t w = 37, h = 11;
    const FilterRect rects[] = {{0, 0, w, h}, {0, 2, w, 6}, {3, 1, 20, 7}};
    for (int32_t sel = 0; sel <= 71; ++sel) {
        const FilterParams params = paramsOf(sel);
        for (const FilterRect& rect : rects) {
            for (int threads : {1, 8}) {
                SetFilterThreadCount(threads);
                SCOPED_TRACE("selector " + std::to_string(sel) + " rect " + std::to_string(rect.X) +
                             "," + std::to_string(rect.Y) + " " + std::to_string(rect.Width) + "x" +
                             std::to_string(rect.Height) + " threads " + std::to_string(threads));
                ImageId id = add(w, h, 500 + static_cast<uint32_t>(sel),
                                 sel == 36 || sel == 59 ? std::vector<uint8_t>{0, 255}
                                                        : std::vector<uint8_t>{});
                std::vector<uint32_t> before(static_cast<size_t>(w) * h);
                for (int32_t y = 0; y < h; ++y) {
                    for (int32_t x = 0; x < w; ++x) {
                        before[static_cast<size_t>(y) * w + x] = images.argb(id, x, y);
                    }
                }
                // The reference on the rectangle's pixels.
                std::vector<uint32_t> px, source;
                for (int32_t y = rect.Y; y < rect.Y + rect.Height; ++y) {
                    for (int32_t x = rect.X; x < rect.X + rect.Width; ++x) {
                        px.push_back(before[static_cast<size_t>(y) * w + x]);
                    }
                }
                source = px;
                FilterContext context;
                context.coversWholeImage = h <= rect.Height && w <= rect.Width;
                PixelFrame frame{px.data(), source.data(), rect.Width, rect.Height};
                bool ok = true;
                FilterOutcome expected;
                ScriptedUniform uniform({}, 11);
                {
                    UseUniform use(uniform);
                    try {
                        expected = ref::runFilterOperation(sel, frame, params, context);
                    } catch (const FilterFault&) {
                        ok = false;
                    }
                }
                uniform.restart();
                double result = -7;
                FilterRect r = rect;
                gp::Status s;
                {
                    UseUniform use(uniform);
                    s = ApplyFilter(images, sel, id, params.P, r, params.c, params.d, params.e,
                                    params.F, params.G, params.X, result);
                }
                const bool test = sel == 36 || sel == 53 || sel == 59;
                ASSERT_EQ(s, ok ? gp::Ok : gp::GenericError);
                EXPECT_EQ(images.image(id).modified, ok && !test);
                if (test) {
                    EXPECT_EQ(result, ok && expected.test ? 1.0 : 0.0);
                } else if (ok && expected.hasValue) {
                    EXPECT_EQ(result, expected.value);
                } else {
                    EXPECT_EQ(result, -7.0);
                }
                for (int32_t y = 0; y < h; ++y) {
                    for (int32_t x = 0; x < w; ++x) {
                        const bool inside = x >= rect.X && x < rect.X + rect.Width && y >= rect.Y &&
                                            y < rect.Y + rect.Height;
                        uint32_t want = before[static_cast<size_t>(y) * w + x];
                        if (inside && ok && !test) {
                            want = px[static_cast<size_t>(y - rect.Y) * rect.Width + x - rect.X];
                        }
                        ASSERT_EQ(images.argb(id, x, y), want) << "pixel " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST_F(Direct32, ParametersAreCheckedBeforeAnyLock) {
    struct Row {
        int32_t sel;
        double P, F;
    } rows[] = {{14, 2e9, 0}, {14, 1e10, 0}, {16, 1e300, 0}, {7, std::nan(""), 0},
                {25, 0, 0},   {60, 0, 1e12}, {2, 0, 0}};
    for (const Row& row : rows) {
        ImageId id = add(6, 5, 3);
        const auto before = images.image(id).data;
        const int locks = images.locks();
        FilterRect rect{0, 0, 6, 5};
        double result = -7;
        gp::Status s = ApplyFilter(images, row.sel, id, row.P, rect, 0, 0, 0, row.F, 0, 0, result);
        if (row.sel == 25 || row.sel == 2) {
            EXPECT_EQ(s, gp::Ok);
            EXPECT_TRUE(images.image(id).modified);
            EXPECT_EQ(images.locks(), locks + 1) << "one lock of the image's own rows";
            continue;
        }
        EXPECT_EQ(s, gp::GenericError) << row.sel;
        EXPECT_EQ(images.locks(), locks) << row.sel;
        EXPECT_EQ(images.image(id).data, before) << row.sel;
        EXPECT_FALSE(images.image(id).modified) << row.sel;
    }
    // A lock that fails leaves the image as it was.
    ImageId id = add(6, 5, 4);
    const auto before = images.image(id).data;
    images.failLock(1, gp::ObjectBusy);
    FilterRect rect{0, 0, 6, 5};
    double result = 0;
    EXPECT_EQ(ApplyFilter(images, 61, id, 0, rect, 0, 0, 0, 0, 0, 0, result), gp::ObjectBusy);
    EXPECT_EQ(images.image(id).data, before);
    EXPECT_FALSE(images.image(id).modified);
}

TEST(ThreeByThreeBlocks, RankFiltersMatchTheReferenceAcrossColumnBlocks) {
    // Widths about the 512-pixel column blocks and the 8-pixel groups; the 5x5 median
    // shares its sorted columns the same way.
    const int32_t widths[] = {3, 4, 10, 511, 512, 513, 514, 515, 520, 1025, 1030};
    for (int32_t sel : {25, 26, 27, 61, 63}) {
        for (int32_t w : widths) {
            for (int32_t h : {3, 4, 9, 70}) {
                for (int alphabet = 0; alphabet < 2; ++alphabet) {
                    std::vector<uint32_t> input =
                        alphabet ? randomPixels(w, h, 7u * w + h, {0, 1, 2, 200, 255})
                                 : randomPixels(w, h, 3u * w + h);
                    std::vector<uint32_t> expected = input, source = input;
                    PixelFrame rf{expected.data(), source.data(), w, h};
                    ref::runFilterOperation(sel, rf, {}, {});
                    // Thread counts 1, 2 and 8 and the generic path, each with a separate
                    // source and in place (the source being the pixels themselves).
                    const int runs = sel == 27 || sel == 63 ? 4 : 8; // a separate source only
                    for (int run = 0; run < runs; ++run) {
                        SetFilterThreadCount(run % 4 == 0 ? 1 : (run % 4 == 2 ? 8 : 2));
                        fx::forceGenericPath(run % 4 == 3);
                        std::vector<uint32_t> actual = input;
                        PixelFrame f{actual.data(), run < 4 ? source.data() : actual.data(), w, h};
                        runFilterOperation(sel, f, {}, {});
                        fx::forceGenericPath(false);
                        ASSERT_EQ(actual, expected)
                            << "selector " << sel << " " << w << "x" << h << " run " << run;
                    }
                }
            }
        }
    }
    SetFilterThreadCount(0);
}

TEST(MosaicInPlace, TheRowsThemselvesMayBeTheSource) {
    // Widths past one run of 256 blocks, odd block sizes and ragged last blocks.
    struct Row {
        int32_t w, h;
        double P;
    } rows[] = {{600, 5, 1}, {1001, 7, 3}, {2050, 9, 8}, {5, 5, 0}, {7, 3, 1e9}};
    for (const Row& r : rows) {
        std::vector<uint32_t> input = randomPixels(r.w, r.h, static_cast<uint32_t>(r.w));
        std::vector<uint32_t> expected = input, source = input;
        FilterParams params;
        params.P = r.P;
        PixelFrame rf{expected.data(), source.data(), r.w, r.h};
        ref::runFilterOperation(15, rf, params, {});
        for (int threads : {1, 8}) {
            SetFilterThreadCount(threads);
            std::vector<uint32_t> actual = input;
            PixelFrame f{actual.data(), actual.data(), r.w, r.h};
            runFilterOperation(15, f, params, {});
            ASSERT_EQ(actual, expected) << r.w << "x" << r.h << " P " << r.P;
        }
    }
    SetFilterThreadCount(0);
}

} // namespace
} // namespace tavimo
