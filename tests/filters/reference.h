#pragma once

// Plain scalar versions of every filter operation, written straight from their
// definitions: one pixel at a time, 1-based coordinates, every intermediate checked. The
// differential tests hold the engine's threaded and vectorised operations to them.

#include "filters/filter_types.h"

#include <cmath>
#include <cstdint>

namespace tavimo::ref {

FilterOutcome runFilterOperation(int32_t selector, PixelFrame& frame, const FilterParams& params,
                                 const FilterContext& context);

// Shared by the reference files.
namespace detail {

inline constexpr double kPi = 3.141592657;

[[noreturn]] inline void fault() {
    throw FilterFault("reference fault");
}

inline int64_t check(int64_t v) {
    if (v < INT32_MIN || v > INT32_MAX) {
        fault();
    }
    return v;
}
inline int32_t cint(double v) { // "to integer"
    double r = std::nearbyint(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) {
        fault();
    }
    return static_cast<int32_t>(r);
}
inline int32_t cbyte(double v) { // "to byte"
    int32_t r = cint(v);
    if (r < 0 || r > 255) {
        fault();
    }
    return r;
}
inline int32_t clamp(int64_t v) {
    return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int32_t>(v));
}
inline int64_t idiv(int64_t a, int64_t b) {
    if (b == 0) {
        fault();
    }
    return check(a / b);
}

// Pixel access by 1-based column and row; channel 0 blue, 1 green, 2 red, 3 alpha.
struct Img {
    uint32_t* px;
    const uint32_t* src;
    int32_t W, H;
    uint32_t& at(int32_t x, int32_t y) { return px[(static_cast<int64_t>(y) - 1) * W + x - 1]; }
    uint32_t from(int32_t x, int32_t y) const {
        return src[(static_cast<int64_t>(y) - 1) * W + x - 1];
    }
};
inline int32_t ch(uint32_t p, int k) {
    return static_cast<int32_t>((p >> (8 * k)) & 0xFF);
}
inline void setCh(uint32_t& p, int k, int32_t v) {
    p = (p & ~(0xFFu << (8 * k))) | (static_cast<uint32_t>(v & 0xFF) << (8 * k));
}
inline void setBgr(uint32_t& p, int32_t b, int32_t g, int32_t r) {
    setCh(p, 0, b);
    setCh(p, 1, g);
    setCh(p, 2, r);
}
inline Img img(PixelFrame& f) {
    return Img{f.pixels, f.source, f.width, f.height};
}
float draw();

FilterOutcome point(int32_t selector, PixelFrame& f, const FilterParams& a,
                    const FilterContext& context, bool& handled);
bool rank(int32_t selector, PixelFrame& f);
bool neighbourhood(int32_t selector, PixelFrame& f, const FilterParams& a);
bool cleanup(int32_t selector, PixelFrame& f, const FilterParams& a);
bool geometric(int32_t selector, PixelFrame& f, const FilterParams& a, const FilterContext& c);

} // namespace detail
} // namespace tavimo::ref
