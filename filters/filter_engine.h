#pragma once

// Internal helpers of the filter engine: pixel byte access, the checked conversions that
// turn out-of-range results into run-time failures, row parallelism and the row
// wavefront used by the in-place recurrences.

#include "filters/filter_types.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <type_traits>
#include <utility>

namespace tavimo::fx {

// A non-owning reference to a callable, valid while the callable lives. Unlike
// std::function it never allocates, so handing work to the threads cannot fail.
template <class Signature> class FunctionRef;
template <class R, class... Args> class FunctionRef<R(Args...)> {
public:
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, FunctionRef>>>
    FunctionRef(F&& f) noexcept
        : m_object(const_cast<void*>(static_cast<const void*>(&f))),
          m_call([](void* o, Args... args) -> R {
              return (*static_cast<std::remove_reference_t<F>*>(o))(std::forward<Args>(args)...);
          }) {}
    R operator()(Args... args) const { return m_call(m_object, std::forward<Args>(args)...); }

private:
    void* m_object;
    R (*m_call)(void*, Args...);
};

inline constexpr double kPi = 3.141592657;

inline constexpr uint32_t blueOf(uint32_t p) {
    return p & 0xFFu;
}
inline constexpr uint32_t greenOf(uint32_t p) {
    return (p >> 8) & 0xFFu;
}
inline constexpr uint32_t redOf(uint32_t p) {
    return (p >> 16) & 0xFFu;
}
inline constexpr uint32_t alphaOf(uint32_t p) {
    return p >> 24;
}
inline constexpr uint32_t withBgr(uint32_t p, uint32_t b, uint32_t g, uint32_t r) {
    return (p & 0xFF000000u) | (r << 16) | (g << 8) | b;
}
inline constexpr uint32_t packArgb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

[[noreturn]] void fail(const char* what);

// Sets the thread's rounding mode to nearest (halves to even) for its lifetime and puts
// the previous mode back afterwards; the operations' rounding (rint) relies on it.
class RoundToNearest {
public:
    RoundToNearest();
    ~RoundToNearest();
    RoundToNearest(const RoundToNearest&) = delete;
    RoundToNearest& operator=(const RoundToNearest&) = delete;

private:
    int m_previous;
};

// Nearest integer, halves to even: rint under the mode that RoundToNearest ensures for
// every call of the engine (rint is nearbyint without the care for the inexact flag, and
// inlined). NaN and values outside the 32-bit range are run-time failures.
inline int32_t toInt32(double v) {
    double r = std::rint(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) {
        fail("integer conversion out of range");
    }
    return static_cast<int32_t>(r);
}

// Nearest integer, halves to even, then a range check: outside 0..255 fails.
inline uint32_t toByte(double v) {
    double r = std::rint(v);
    if (!(r >= 0.0 && r <= 255.0)) {
        fail("byte conversion out of range");
    }
    return static_cast<uint32_t>(r);
}

inline constexpr int32_t clampByte(int64_t v) {
    return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int32_t>(v));
}

// A 64-bit intermediate that must fit a 32-bit integer, as the recurrences compute it.
inline int64_t checked32(int64_t v) {
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        fail("integer overflow");
    }
    return v;
}

// Integer division truncated toward zero, failing on a zero divisor.
inline int64_t divTrunc(int64_t a, int64_t b) {
    if (b == 0) {
        fail("division by zero");
    }
    return checked32(a / b);
}

// Splits P into its three bias bytes: c0 keeps the sign of P (remainder of a truncating
// division), c1 and c2 are bits 8-15 and 16-23.
struct ColorParts {
    int32_t c0, c1, c2;
};
inline ColorParts splitColorRef(int32_t p) {
    return {p % 256, (p >> 8) & 255, (p >> 16) & 255};
}

// Number of threads the row-parallel operations use (at least 1).
int threadCount();

// Runs body(begin, end) over disjoint row ranges covering [first, last). The ranges are
// at least `grain` rows; results must not depend on how the rows are split. An exception
// thrown by any range is rethrown here after every range has stopped.
void parallelRows(int32_t first, int32_t last, int32_t grain,
                  FunctionRef<void(int32_t, int32_t)> body);

// Runs body(y, x0, x1) for every row y in [first, last) and column block [x0, x1) of
// [colFirst, colLast), rows in parallel but each block started only once the row above
// is final up to column x1 (exclusive) + 1, so a recurrence that reads its rewritten
// NW, N, NE and W neighbours sees exactly what a sequential scan would.
void wavefrontRows(int32_t first, int32_t last, int32_t colFirst, int32_t colLast,
                   FunctionRef<void(int32_t, int32_t, int32_t)> body);

// Working memory of the calling thread, at least `bytes`, kept for its next calls. Only
// grows, so once reserved it is handed out again without allocating.
void* scratchMemory(size_t bytes);

// The bands of a 3x3 filter that runs in place over `rows` interior rows, and the working
// memory they use (four rows each).
inline int32_t inPlaceBands(int32_t rows) {
    return std::max<int32_t>(1, std::min<int32_t>(rows, threadCount() * 4));
}
inline size_t inPlaceScratchBytes(int32_t width, int32_t rows) {
    return static_cast<size_t>(inPlaceBands(rows)) * 4 * static_cast<size_t>(width) * 4;
}

// Rows per parallel range for frames `width` pixels wide: enough pixels that handing a
// range out costs little next to working on it.
inline int32_t rowGrain(int32_t width) {
    return std::max<int32_t>(1, 32768 / std::max<int32_t>(width, 1));
}

// Applies fn to every pixel of the frame, rows in parallel.
template <class Fn> void mapPixels(PixelFrame& f, Fn fn) {
    const int64_t w = f.width;
    parallelRows(0, f.height, rowGrain(f.width), [&](int32_t y0, int32_t y1) {
        uint32_t* p = f.pixels + y0 * w;
        const int64_t n = (y1 - y0) * w;
        for (int64_t i = 0; i < n; ++i) {
            p[i] = fn(p[i]);
        }
    });
}

// Whether the vectorised operations may take their AVX2 variant: the processor has it,
// the environment variable TAVIMO_FILTERS_GENERIC is not set, and the generic path is not
// forced on this thread.
bool useAvx2();
// Forces the generic variants on the calling thread (tests run both ways).
void forceGenericPath(bool force);

// Draws `count` values of the thread's uniform generator in [0, 1), in order.
void drawUniform(float* out, size_t count);

} // namespace tavimo::fx
