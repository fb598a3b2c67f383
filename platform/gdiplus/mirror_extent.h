#pragma once

// Drawing an image part into a rectangle: a negative source extent mirrors like a negative
// destination extent. This turns a negative source extent positive by starting both
// rectangles at their other edge, so the rest of a blit only sees positive source sizes.

namespace gp {

template <class S, class D>
inline void mirrorNegativeSourceExtent(S& start, S& extent, D& destStart, D& destExtent) {
    if (extent < 0) {
        start += extent;
        extent = -extent;
        destStart += destExtent;
        destExtent = -destExtent;
    }
}

} // namespace gp
