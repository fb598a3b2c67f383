#include "platform/gdiplus/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace gp;

struct Buffer {
    int32_t width, height;
    std::vector<uint32_t> px;
    Buffer(int32_t w, int32_t h, uint32_t fill = 0)
        : width(w), height(h), px(size_t(w) * h, fill) {}
    uint32_t& at(int32_t x, int32_t y) { return px[size_t(y) * width + x]; }
    ConstPixelView view(PixelLayout l = PixelLayout::ARGB32) const {
        return {reinterpret_cast<const uint8_t*>(px.data()), ptrdiff_t(width) * 4, width, height,
                l};
    }
    PixelView target(PixelLayout l = PixelLayout::ARGB32) {
        return {reinterpret_cast<uint8_t*>(px.data()), ptrdiff_t(width) * 4, width, height, l};
    }
};

ResampleRequest request(double sx, double sy, double sw, double sh, double dx, double dy, double dw,
                        double dh, ResampleFilter f, bool half = true) {
    ResampleRequest r;
    r.srcX = sx;
    r.srcY = sy;
    r.srcW = sw;
    r.srcH = sh;
    r.dstX = dx;
    r.dstY = dy;
    r.dstW = dw;
    r.dstH = dh;
    r.filter = f;
    r.halfPixelOffset = half;
    return r;
}

Buffer checker(int32_t w, int32_t h) {
    Buffer b(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b.at(x, y) = 0xFF000000u | uint32_t(x * 37 + y * 101) * 0x010203u % 0xFFFFFF;
    return b;
}

TEST(Resample, NearestDoubleWithHalfOffsetReplicatesEveryPixel) {
    Buffer src = checker(5, 3);
    Buffer dst(10, 6);
    ASSERT_TRUE(resampleDraw(src.view(), dst.target(),
                             request(0, 0, 5, 3, 0, 0, 10, 6, ResampleFilter::Nearest)));
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 10; ++x)
            ASSERT_EQ(dst.at(x, y), src.at(x / 2, y / 2)) << x << "," << y;
}

TEST(Resample, NearestWithoutOffsetShiftsByHalfASourcePixel) {
    Buffer src(3, 1);
    src.at(0, 0) = 0xFF0000FF;
    src.at(1, 0) = 0xFF00FF00;
    src.at(2, 0) = 0xFFFF0000;
    Buffer dst(6, 1);
    ASSERT_TRUE(resampleDraw(src.view(), dst.target(),
                             request(0, 0, 3, 1, 0, 0, 6, 1, ResampleFilter::Nearest, false)));
    // The first source pixel shows once, the last three times.
    const uint32_t expected[6] = {0xFF0000FF, 0xFF00FF00, 0xFF00FF00,
                                  0xFFFF0000, 0xFFFF0000, 0xFFFF0000};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(dst.at(x, 0), expected[x]) << x;
}

TEST(Resample, BilinearPutsTheMidpointBetweenTwoPixels) {
    Buffer src(2, 1);
    src.at(0, 0) = 0xFF000000;
    src.at(1, 0) = 0xFFC8C8C8;
    Buffer dst(3, 1);
    for (ResampleFilter f : {ResampleFilter::Bilinear, ResampleFilter::HighQualityBilinear}) {
        ASSERT_TRUE(resampleDraw(src.view(), dst.target(), request(0, 0, 2, 1, 0, 0, 3, 1, f)));
        EXPECT_EQ(dst.at(0, 0), 0xFF000000u);
        EXPECT_EQ(dst.at(1, 0), 0xFF646464u);
        EXPECT_EQ(dst.at(2, 0), 0xFFC8C8C8u);
    }
}

TEST(Resample, EveryFilterCopiesAtOneToOne) {
    Buffer src = checker(9, 7);
    for (ResampleFilter f :
         {ResampleFilter::Nearest, ResampleFilter::Bilinear, ResampleFilter::Bicubic,
          ResampleFilter::HighQualityBilinear, ResampleFilter::HighQualityBicubic}) {
        Buffer dst(12, 12);
        ASSERT_TRUE(resampleDraw(src.view(), dst.target(), request(2, 1, 5, 4, 3, 6, 5, 4, f)));
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t x = 0; x < 12; ++x) {
                bool inside = x >= 3 && x < 8 && y >= 6 && y < 10;
                ASSERT_EQ(dst.at(x, y), inside ? src.at(x - 1, y - 5) : 0u) << x << "," << y;
            }
    }
}

TEST(Resample, ClipLimitsTheChangedPixels) {
    Buffer src(4, 4, 0xFF112233);
    Buffer dst(8, 8);
    ResampleRequest r = request(0, 0, 4, 4, -2, -2, 8, 8, ResampleFilter::Bicubic);
    r.clip = {1, 1, 3, 4};
    ASSERT_TRUE(resampleDraw(src.view(), dst.target(), r));
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x) {
            bool inside = x >= 1 && x < 3 && y >= 1 && y < 4;
            ASSERT_EQ(dst.at(x, y), inside ? 0xFF112233u : 0u) << x << "," << y;
        }
}

TEST(Resample, SourceOverBlendsTranslucentPixelsPerLayout) {
    Buffer src(1, 1, 0x80FF0000); // half-transparent red, straight
    struct Case {
        PixelLayout layout;
        uint32_t before, after;
    };
    const Case cases[] = {
        {PixelLayout::RGB32, 0x000000FF, 0xFF80007F},
        {PixelLayout::PARGB32, 0xFF0000FF, 0xFF80007F},
        {PixelLayout::ARGB32, 0xFF0000FF, 0xFF80007F},
        {PixelLayout::ARGB32, 0x00000000, 0x80FF0000},
    };
    for (const Case& c : cases) {
        Buffer dst(1, 1, c.before);
        ASSERT_TRUE(resampleDraw(src.view(), dst.target(c.layout),
                                 request(0, 0, 1, 1, 0, 0, 1, 1, ResampleFilter::Nearest)));
        EXPECT_EQ(dst.at(0, 0), c.after) << int(c.layout) << " " << std::hex << c.before;
    }
    Buffer clear(1, 1, 0x00000000);
    ASSERT_TRUE(resampleDraw(clear.view(), clear.target(),
                             request(0, 0, 1, 1, 0, 0, 1, 1, ResampleFilter::Nearest)));
}

TEST(Resample, ResultsDoNotDependOnTheThreadCount) {
    Buffer src(300, 200);
    std::mt19937 rng(7);
    for (auto& p : src.px)
        p = rng();
    for (ResampleFilter f :
         {ResampleFilter::Nearest, ResampleFilter::Bilinear, ResampleFilter::HighQualityBicubic}) {
        for (auto geometry : {request(3.5, 2, 290, 190, 0, 0, 517, 403, f),
                              request(0, 0, 300, 200, 0, 0, 97, 61, f)}) {
            Buffer one(520, 410), many(520, 410);
            geometry.threads = 1;
            ASSERT_TRUE(resampleDraw(src.view(), one.target(), geometry));
            geometry.threads = 7;
            ASSERT_TRUE(resampleDraw(src.view(), many.target(), geometry));
            EXPECT_EQ(one.px, many.px);
        }
    }
}

TEST(Resample, FastBilinearStaysWithinOneLevelOfTheGenericPath) {
    Buffer src(97, 61);
    std::mt19937 rng(3);
    for (auto& p : src.px)
        p = rng() | (rng() % 3 == 0 ? 0xFF000000u : 0); // some opaque, some translucent
    for (auto geometry : {request(0, 0, 97, 61, 0, 0, 300, 200, ResampleFilter::Bilinear),
                          request(1.5, 2, 90, 50, 3, 1, 23, 17, ResampleFilter::Bilinear),
                          request(0, 0, 97, 61, 50, 0, -50, 40, ResampleFilter::Bilinear, false)}) {
        // Compared premultiplied: straight alpha would magnify rounding at low alpha.
        Buffer fast(300, 200), generic(300, 200);
        ASSERT_TRUE(resampleDraw(src.view(), fast.target(PixelLayout::PARGB32), geometry));
        test::ForceGenericResample(true);
        ASSERT_TRUE(resampleDraw(src.view(), generic.target(PixelLayout::PARGB32), geometry));
        test::ForceGenericResample(false);
        for (size_t i = 0; i < fast.px.size(); ++i)
            for (int c = 0; c < 32; c += 8) {
                int a = int((fast.px[i] >> c) & 0xFF), b = int((generic.px[i] >> c) & 0xFF);
                ASSERT_LE(std::abs(a - b), 1) << i << " channel " << c;
            }
    }
}

// Random drawing cases for holding the fast paths against the reference: every source
// width from 1 to 67 in every source layout, whole and fractional source rectangles,
// fractional and odd destination offsets, enlargements and strong shrinks, mirroring and
// clipping. The source is premultiplied where its layout says so.
struct RandomCase {
    PixelLayout layout;
    int32_t width, height;
    ptrdiff_t stride;
    std::vector<uint8_t> bytes;
    ResampleRequest request;
    ConstPixelView view() const { return {bytes.data(), stride, width, height, layout}; }
};

std::vector<RandomCase> randomCases(ResampleFilter filter) {
    std::mt19937 rng(11);
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution(a, b)(rng); };
    std::vector<RandomCase> cases;
    for (int32_t width = 1; width <= 67; ++width) {
        for (int variant = 0; variant < 3; ++variant) {
            RandomCase c;
            c.layout = PixelLayout((width + variant) % 4);
            c.width = width;
            c.height = 1 + (width * 5 + variant) % 17;
            const int bpp = c.layout == PixelLayout::RGB24 ? 3 : 4;
            c.stride = ptrdiff_t(width) * bpp + (variant == 1 ? 4 : 0);
            c.bytes.resize(size_t(c.stride) * size_t(c.height));
            for (int32_t y = 0; y < c.height; ++y)
                for (int32_t x = 0; x < width; ++x) {
                    uint32_t p = rng();
                    if (rng() % 3 == 0)
                        p |= 0xFF000000u;
                    else if (rng() % 4 == 0)
                        p &= 0x00FFFFFFu;
                    if (c.layout == PixelLayout::PARGB32) {
                        uint32_t a = p >> 24, q = a << 24;
                        for (int ch = 0; ch < 24; ch += 8)
                            q |= (((p >> ch) & 0xFF) * a / 255) << ch;
                        p = q;
                    }
                    std::memcpy(&c.bytes[size_t(y) * c.stride + size_t(x) * bpp], &p, bpp);
                }
            ResampleRequest& r = c.request;
            r.filter = filter;
            r.halfPixelOffset = variant != 2;
            if (variant == 0) {
                r.srcW = width;
                r.srcH = c.height;
            } else {
                r.srcX = uniform(0, width / 2.0);
                r.srcY = uniform(0, c.height / 2.0);
                r.srcW = uniform(0.3, width - r.srcX);
                r.srcH = uniform(0.3, c.height - r.srcY);
            }
            r.dstX = int(rng() % 7) - 3 + (variant == 1 ? uniform(0, 1) : 0);
            r.dstY = int(rng() % 5) - 2 + (variant == 1 ? uniform(0, 1) : 0);
            r.dstW = variant == 2 ? 1 + rng() % 9 : 1 + rng() % 97;
            r.dstH = 1 + rng() % 45;
            if (width % 5 == 0) {
                r.dstX += r.dstW;
                r.dstW = -r.dstW;
            }
            if (width % 7 == 0) {
                r.dstY += r.dstH;
                r.dstH = -r.dstH;
            }
            if (width % 3 == 0)
                r.clip = {int32_t(rng() % 20), int32_t(rng() % 10), int32_t(30 + rng() % 60),
                          int32_t(10 + rng() % 30)};
            cases.push_back(std::move(c));
        }
    }
    return cases;
}

// A destination surface of 100 x 50 in any layout, filled with random pixels.
struct Surface {
    PixelLayout layout;
    ptrdiff_t stride;
    std::vector<uint8_t> bytes;
    Surface(PixelLayout l, uint32_t seed) : layout(l) {
        stride = 100 * (l == PixelLayout::RGB24 ? 3 : 4) + 8;
        bytes.resize(size_t(stride) * 50);
        std::mt19937 rng(seed);
        for (auto& b : bytes)
            b = uint8_t(rng() % 8 == 0 ? rng() : 255 - rng() % 2);
    }
    PixelView target() { return {bytes.data(), stride, 100, 50, layout}; }
};

TEST(Resample, FastNearestMatchesTheReferenceExactly) {
    for (const RandomCase& c : randomCases(ResampleFilter::Nearest)) {
        const PixelLayout dl = PixelLayout((c.width + c.height) % 4);
        Surface fast(dl, uint32_t(c.width)), generic = fast;
        ASSERT_TRUE(resampleDraw(c.view(), fast.target(), c.request));
        test::ForceGenericResample(true);
        ASSERT_TRUE(resampleDraw(c.view(), generic.target(), c.request));
        test::ForceGenericResample(false);
        ASSERT_EQ(fast.bytes, generic.bytes) << "width " << c.width << " height " << c.height;
    }
}

TEST(Resample, FastBilinearStaysWithinOneLevelOfTheReferenceOnRandomImages) {
    for (const RandomCase& c : randomCases(ResampleFilter::Bilinear)) {
        Buffer fast(100, 50), generic(100, 50);
        ASSERT_TRUE(resampleDraw(c.view(), fast.target(PixelLayout::PARGB32), c.request));
        test::ForceGenericResample(true);
        ASSERT_TRUE(resampleDraw(c.view(), generic.target(PixelLayout::PARGB32), c.request));
        test::ForceGenericResample(false);
        for (size_t i = 0; i < fast.px.size(); ++i)
            for (int ch = 0; ch < 32; ch += 8) {
                int a = int((fast.px[i] >> ch) & 0xFF), b = int((generic.px[i] >> ch) & 0xFF);
                ASSERT_LE(std::abs(a - b), 1)
                    << "width " << c.width << " pixel " << i << " channel " << ch;
            }
    }
}

// The SSE2 kernels and the wider ones do the same integer steps, so they agree exactly, and
// the fixed-point bilinear results are pinned: the digest was taken from the first fixed-
// point implementation, so a change of its rounding shows here and must be deliberate.
TEST(Resample, FixedPointKernelsAgreeAndKeepTheirResults) {
    test::ForceGenericResample(false); // whatever TAVIMO_GENERIC_PIXELS says
    uint64_t digest = 1469598103934665603ull;
    for (ResampleFilter f : {ResampleFilter::Bilinear, ResampleFilter::Nearest}) {
        for (const RandomCase& c : randomCases(f)) {
            const PixelLayout dl = PixelLayout((c.width * 3 + c.height) % 4);
            Surface wide(dl, uint32_t(c.height)), baseline = wide;
            ASSERT_TRUE(resampleDraw(c.view(), wide.target(), c.request));
            test::ForceBaselineSimd(true);
            ASSERT_TRUE(resampleDraw(c.view(), baseline.target(), c.request));
            test::ForceBaselineSimd(false);
            ASSERT_EQ(wide.bytes, baseline.bytes) << "width " << c.width;
            if (f == ResampleFilter::Bilinear)
                for (uint8_t b : wide.bytes)
                    digest = (digest ^ b) * 1099511628211ull;
        }
    }
#ifdef __SSE2__
    EXPECT_EQ(digest, 0x77a5a83460a7e3deull);
#endif
}

TEST(Resample, MirrorsOnNegativeDestinationSize) {
    Buffer src = checker(4, 3);
    Buffer dst(4, 3);
    ASSERT_TRUE(resampleDraw(src.view(), dst.target(),
                             request(0, 0, 4, 3, 4, 0, -4, 3, ResampleFilter::Nearest)));
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x)
            ASSERT_EQ(dst.at(x, y), src.at(3 - x, y));
}

TEST(Resample, ColourAdjustRemapsBeforeGamma) {
    Buffer src(2, 1);
    src.at(0, 0) = 0xFF0000FF;
    src.at(1, 0) = 0xFF404040;
    ColorAdjust adjust;
    adjust.remap.push_back({0xFF0000FF, 0xFF808080});
    adjust.setGamma(2.0f);
    Buffer dst(2, 1);
    ResampleRequest r = request(0, 0, 2, 1, 0, 0, 2, 1, ResampleFilter::Nearest);
    r.adjust = &adjust;
    ASSERT_TRUE(resampleDraw(src.view(), dst.target(), r));
    // 255 * (128 / 255)^2 = 64.25 and 255 * (64 / 255)^2 = 16.06.
    EXPECT_EQ(dst.at(0, 0), 0xFF404040u);
    EXPECT_EQ(dst.at(1, 0), 0xFF101010u);
}

TEST(Resample, ExtremeShrinkAveragesTheWholeSource) {
    Buffer src(4000, 3);
    for (int32_t x = 0; x < 4000; ++x)
        for (int32_t y = 0; y < 3; ++y)
            src.at(x, y) = x % 2 ? 0xFFFFFFFFu : 0xFF000000u;
    Buffer dst(1, 1);
    ASSERT_TRUE(
        resampleDraw(src.view(), dst.target(),
                     request(0, 0, 4000, 3, 0, 0, 1, 1, ResampleFilter::HighQualityBilinear)));
    EXPECT_NEAR(int(dst.at(0, 0) & 0xFF), 128, 2);
}

TEST(Resample, RefusesBadGeometry) {
    Buffer src(4, 4), dst(4, 4);
    EXPECT_FALSE(resampleDraw(src.view(), dst.target(),
                              request(0, 0, 0, 4, 0, 0, 4, 4, ResampleFilter::Nearest)));
    EXPECT_FALSE(resampleDraw(src.view(), dst.target(),
                              request(1, 0, 4, 4, 0, 0, 4, 4, ResampleFilter::Nearest)));
    EXPECT_FALSE(resampleDraw(src.view(), dst.target(),
                              request(0, 0, 4, 4, 0, 0, NAN, 4, ResampleFilter::Nearest)));
    EXPECT_TRUE(resampleDraw(src.view(), dst.target(),
                             request(0, 0, 4, 4, 100, 100, 4, 4, ResampleFilter::Nearest)));
}

// Energy of the output that nearest neighbour aliases into low frequencies: a fine
// horizontal grating at 0.45 cycles per pixel shrunk 4x must come out flat grey with a
// prefiltering filter, while nearest neighbour keeps strong stripes.
double stripeContrast(ResampleFilter f) {
    Buffer src(400, 8);
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 400; ++x) {
            uint32_t v = uint32_t(std::lround(127.5 + 127.5 * std::cos(2 * M_PI * 0.45 * x)));
            src.at(x, y) = 0xFF000000u | v * 0x010101u;
        }
    Buffer dst(100, 2);
    resampleDraw(src.view(), dst.target(), request(0, 0, 400, 8, 0, 0, 100, 2, f));
    int lo = 255, hi = 0;
    for (int32_t x = 4; x < 96; ++x) {
        int v = int(dst.at(x, 1) & 0xFF);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return hi - lo;
}

TEST(Resample, HighQualityShrinkFiltersDetailThatNearestAliases) {
    EXPECT_GT(stripeContrast(ResampleFilter::Nearest), 150);
    EXPECT_LT(stripeContrast(ResampleFilter::HighQualityBicubic), 30);
    EXPECT_LT(stripeContrast(ResampleFilter::HighQualityBilinear), 30);
}

// A zone plate whose local frequency rises to the source's Nyquist limit at the edges,
// shrunk 4x: where the source frequency passes twice the output's Nyquist limit, a
// prefiltering shrink leaves flat grey, while nearest neighbour folds the rings back into
// strong false patterns.
double aliasedEnergy(ResampleFilter f) {
    const int32_t n = 512;
    const double k = 0.5 * M_PI / (n / 2);
    Buffer src(n, n);
    for (int32_t y = 0; y < n; ++y)
        for (int32_t x = 0; x < n; ++x) {
            double dx = x - n / 2 + 0.5, dy = y - n / 2 + 0.5;
            uint32_t v = uint32_t(std::lround(127.5 + 127.5 * std::cos(k * (dx * dx + dy * dy))));
            src.at(x, y) = 0xFF000000u | v * 0x010101u;
        }
    Buffer dst(n / 4, n / 4);
    resampleDraw(src.view(), dst.target(), request(0, 0, n, n, 0, 0, n / 4, n / 4, f));
    double sum = 0, sum2 = 0;
    int count = 0;
    for (int32_t y = 0; y < n / 4; ++y)
        for (int32_t x = 0; x < n / 4; ++x) {
            double r = std::hypot((x + 0.5) * 4 - n / 2, (y + 0.5) * 4 - n / 2);
            if (r < n / 4 + 16 || r > n / 2 - 8) // source frequency above 0.28 cycles/pixel
                continue;
            double v = dst.at(x, y) & 0xFF;
            sum += v;
            sum2 += v * v;
            ++count;
        }
    double mean = sum / count;
    return std::sqrt(sum2 / count - mean * mean);
}

TEST(Resample, HighQualityShrinkOfAZonePlateShowsNoAliasing) {
    EXPECT_GT(aliasedEnergy(ResampleFilter::Nearest), 60);
    EXPECT_LT(aliasedEnergy(ResampleFilter::HighQualityBicubic), 8);
    EXPECT_LT(aliasedEnergy(ResampleFilter::HighQualityBilinear), 8);
}

TEST(Resample, FillRectWritesTheLayoutsColour) {
    Buffer dst(3, 2);
    fillRect(dst.target(PixelLayout::PARGB32), {1, 0, 5, 1}, 0x80FF0000);
    EXPECT_EQ(dst.at(0, 0), 0u);
    EXPECT_EQ(dst.at(1, 0), 0x80800000u);
    EXPECT_EQ(dst.at(2, 1), 0u);
}

} // namespace
