#pragma once

// The image resampler behind the drawing calls: pure functions over pixel rows that scale a
// rectangle of a source image into a rectangle of a destination surface and composite it
// source-over, clipped.
//
// - Separable: each source row is filtered horizontally once into a float row of the
//   output width; output rows combine the few filtered rows they need. Weight tables are
//   built once per draw; the inner loops run over contiguous float pixels (4 lanes).
// - Plain bilinear and nearest neighbour, whose kernels do not widen when shrinking, have
//   fixed-point paths that read only the source pixels the output needs: bilinear blends
//   8.8 fixed-point taps per output row (vertically, then horizontally, each rounded to
//   8 bits, within one level of the float filter); nearest neighbour gives exactly the
//   reference results.
// - Large draws are split into bands of output rows that run on a shared worker pool.
//   Every output pixel is computed by the same operations in the same order whatever the
//   band or thread, so results do not depend on the thread count.
// - Sampling geometry: destination pixel i has its centre at i + 0.5 with the half-pixel
//   offset and at i without it; a source pixel j has its centre at j + 0.5 with the offset
//   and at j without it. A point of the destination rectangle maps linearly onto the
//   source rectangle. So, with the offset, nearest neighbour at 2x replicates every source
//   pixel into a 2x2 block; without it, the picture shifts by half a source pixel.
// - Edges: taps outside the source rectangle are dropped and the remaining weights
//   renormalised (the edge pixels are not blended with transparent black).

#include "platform/gdiplus/types.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace gp {

// Resampling kernels. The high-quality ones widen the kernel by the shrink factor when
// the image is reduced, so that detail above the output's Nyquist limit is filtered out
// instead of aliasing; at or above 100 % they equal their plain twin.
enum class ResampleFilter {
    Nearest,
    Bilinear,
    Bicubic,
    HighQualityBilinear,
    HighQualityBicubic,
};

// Layouts the resampler reads and writes. 32-bpp layouts are B, G, R, A in memory.
enum class PixelLayout {
    PARGB32, // premultiplied alpha
    ARGB32,  // straight alpha
    RGB32,   // fourth byte ignored on read; as a destination: opaque, alpha written 255
    RGB24,   // B, G, R; opaque
};

struct ConstPixelView {
    const uint8_t* top = nullptr; // first byte of row 0
    ptrdiff_t step = 0;           // bytes from row y to row y + 1 (negative for bottom-up)
    int32_t width = 0;
    int32_t height = 0;
    PixelLayout layout = PixelLayout::ARGB32;
};

struct PixelView {
    uint8_t* top = nullptr;
    ptrdiff_t step = 0;
    int32_t width = 0;
    int32_t height = 0;
    PixelLayout layout = PixelLayout::ARGB32;
};

struct IntRect {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0; // half-open
    bool empty() const { return x0 >= x1 || y0 >= y1; }
};

// Per-pixel colour changes applied to source pixels (as straight ARGB) before scaling:
// first the exact-colour remap, then the gamma table on B, G and R (alpha untouched).
struct ColorAdjust {
    std::vector<std::pair<ARGB, ARGB>> remap; // old -> new; the first match wins
    bool gammaEnabled = false;
    uint8_t gamma[256] = {};
    bool active() const { return gammaEnabled || !remap.empty(); }
    // Fills the gamma table for c' = 255 * (c / 255) ^ gamma, rounded.
    void setGamma(float gammaValue);
    ARGB apply(ARGB straight) const;
};

struct ResampleRequest {
    // The rectangle of the source to draw (source pixels; may be fractional, must lie
    // inside the source image) and where it goes (destination pixels; a negative width or
    // height mirrors).
    double srcX = 0, srcY = 0, srcW = 0, srcH = 0;
    double dstX = 0, dstY = 0, dstW = 0, dstH = 0;
    ResampleFilter filter = ResampleFilter::Bilinear;
    bool halfPixelOffset = true;
    // Destination pixels that may change; intersected with the destination surface.
    IntRect clip{0, 0, INT32_MAX, INT32_MAX};
    const ColorAdjust* adjust = nullptr; // null: none
    // Worker threads: 0 takes the process setting (see setResampleThreads).
    int threads = 0;
};

// Scales and composites. Invalid geometry (empty or non-finite rectangles, a source
// rectangle outside the source) draws nothing and answers false; true otherwise, also when
// the clip leaves nothing to draw. Throws only std::bad_alloc.
bool resampleDraw(const ConstPixelView& source, const PixelView& dest,
                  const ResampleRequest& request);

// Fills the clipped rectangle with a straight ARGB colour (no blending), as a clear does.
void fillRect(const PixelView& dest, IntRect rect, ARGB color);

// The worker count for draws that name none: 0 means one per hardware thread. The
// environment variable TAVIMO_DRAW_THREADS, read once, gives the starting value.
void setResampleThreads(int threads);
int resampleThreads();

namespace test {
// Makes every draw take the generic float path instead of the fixed-point fast paths
// (as TAVIMO_GENERIC_PIXELS=1 does), so both can be checked against the same results.
void ForceGenericResample(bool force);
// Makes the fixed-point paths use their SSE2 kernels where the processor has wider ones,
// so that every kernel can be checked against the same results.
void ForceBaselineSimd(bool force);
} // namespace test

} // namespace gp
