#pragma once

// Internals shared by the resampler's generic code (resample.cpp) and its fixed-point fast
// paths (resample_fixed.cpp): pixel helpers, the per-axis sampling maps and the draw state.

#include "platform/gdiplus/resample.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace gp::detail {

inline uint32_t div255(uint32_t x) {
    return (x + 128 + ((x + 128) >> 8)) >> 8;
}

inline uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void store32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

inline uint32_t premultiply(uint32_t p) {
    uint32_t a = p >> 24;
    if (a == 255)
        return p;
    if (a == 0)
        return 0;
    uint32_t b = div255((p & 0xFF) * a), g = div255(((p >> 8) & 0xFF) * a),
             r = div255(((p >> 16) & 0xFF) * a);
    return (a << 24) | (r << 16) | (g << 8) | b;
}

inline uint32_t unpremultiply(uint32_t p) {
    uint32_t a = p >> 24;
    if (a == 255 || a == 0)
        return a == 0 ? 0 : p;
    auto un = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
    return (a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) | un(p & 0xFF);
}

// Source pixel j of a row, as straight (ARGB/RGB) or premultiplied (PARGB) 0xAARRGGBB.
inline uint32_t readRaw(const uint8_t* row, int32_t j, PixelLayout layout) {
    switch (layout) {
    case PixelLayout::RGB24: {
        const uint8_t* p = row + 3 * size_t(j);
        return 0xFF000000u | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
    }
    case PixelLayout::RGB32:
        return load32(row + 4 * size_t(j)) | 0xFF000000u;
    default:
        return load32(row + 4 * size_t(j));
    }
}

inline int bytesPerPixel(PixelLayout l) {
    return l == PixelLayout::RGB24 ? 3 : 4;
}

// Composites premultiplied pixels source-over onto a destination row.
void compositeRow(uint8_t* dst, PixelLayout layout, const uint32_t* src, int32_t n);

struct AxisMap {
    int32_t o0 = 0, o1 = 0; // output pixels drawn: [o0, o1)
    bool identity = false;  // source index = output index + shift
    int32_t shift = 0;
    std::vector<int32_t> nearest; // per output (nearest filter)
    // Filter taps: output k uses source [start[k], start[k] + taps) with weights
    // weights[k * taps ...]; unused taps carry weight 0.
    int taps = 0;
    std::vector<int32_t> start;
    std::vector<float> weights;
    int32_t lo = 0, hi = 0; // source indexes used: [lo, hi)
};

struct DrawContext {
    const ConstPixelView* src;
    const PixelView* dst;
    const ColorAdjust* adjust;
    AxisMap x, y;
};

inline const uint8_t* srcRow(const ConstPixelView& s, int32_t y) {
    return s.top + s.step * y;
}
inline uint8_t* dstRow(const PixelView& d, int32_t y) {
    return d.top + d.step * y;
}

// ---------------------------------------------------------------------------------------
// Fixed-point fast paths (resample_fixed.cpp). Each gives exactly the results its own
// definition states, whatever the instruction set, band or thread.

// Bilinear in 8.8 fixed point. Output pixel k of row y blends the source pixels
// a = i0[k], b = i1[k] of rows r0 = i0[y], r1 = i1[y] with weights w1 (of b, of r1) in
// 1/256: each of the two columns first vertically, v = (p(r0) * (256 - wy) + p(r1) * wy +
// 128) >> 8, then v(a) and v(b) horizontally the same way, on premultiplied channels. The
// tables are built once per draw.
struct BilinearPlan {
    struct Axis {
        std::vector<int32_t> i0, i1;
        std::vector<uint16_t> w1;
    };
    Axis x, y;
    // Per output column: the byte offset of a pixel pair (p, p + 1) inside the row and
    // the pair's weights as eight 16-bit lanes (four for p, four for p + 1), so that every
    // column is one 8-byte load and one multiply whatever its edge case.
    std::vector<int32_t> pairOffset;
    std::vector<int16_t> pairWeights; // 8 per column
    // Per column, four lanes of the weight of p + 1 times 128 for a rounding high multiply
    // (32767 stands for 256: the product of a channel difference rounds to itself).
    std::vector<int16_t> pairSteps;
    bool pairs = false; // false: the source is one pixel wide
};

// Builds the plan of a draw whose axes are filtered with the plain bilinear kernel.
void planBilinear(const DrawContext& c, BilinearPlan& plan);
// Draws output rows [y0, y1).
void drawBilinearRows(const DrawContext& c, const BilinearPlan& plan, int32_t y0, int32_t y1);

// Nearest neighbour without colour changes: output rows [y0, y1) through the sampling map.
void drawNearestRowsFast(const DrawContext& c, int32_t y0, int32_t y1);

} // namespace gp::detail
