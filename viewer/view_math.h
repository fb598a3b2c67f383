#pragma once

// The numeric core of the viewer's layout and drawing: zoom per mode, zoomed size,
// maximum zoom, scroll-bar ranges, placement, source and destination rectangles and the
// choice of interpolation. Pure functions over plain values, so that every rule can be
// checked from a table. Rounding is to the nearest integer with halves to even unless a
// function says otherwise.

#include <cstdint>

namespace tavimo::view {

// The largest value a scroll bar holds.
inline constexpr int32_t kMaxBarValue = 32767;
// The bar range the maximum zoom allows along the image's longer displayed side.
inline constexpr int32_t kMaxBarRange = 32765;

double round(double value);
// Round, limited to the 32-bit range (NaN gives 0).
int32_t roundToInt(double value);

// The horizontal and vertical fractions of an ImageAlignment or ImagePosition value;
// `keep` is true for 3 and for values outside 0..9 (the old placement stays).
struct Fractions {
    double h = 0.5, v = 0.5;
    bool keep = false;
};
Fractions placementFractions(int32_t value);

// The pixel aspect: vertical resolution over horizontal, or 1.0 unless both are above 0
// (or when resolutions are to be ignored).
double aspectRatio(float horizontalDpi, float verticalDpi, bool skipResolution);

// The largest zoom for an image of w x h pixels (aspect as above) in a client area of
// sw x sh with bars vw wide and hh high: the bar range along the longer displayed side
// stays within kMaxBarRange. 1.0 when the image has no size.
double maxZoom(int32_t sw, int32_t sh, int32_t vw, int32_t hh, int32_t w, int32_t h, double aspect);

struct ZoomInput {
    int32_t imageWidth = 0, imageHeight = 0;
    double aspect = 1.0;
    int32_t sw = 0, sh = 0; // client size
    int32_t vw = 0, hh = 0; // bar thickness (vertical bar's width, horizontal bar's height)
    int32_t mode = 1;       // ViewerZoomMode, or 7 (area) / 10 (rectangle, area filled in)
    double zoom = 1.0;      // the current zoom (mode 4)
    double maxZoom = 1.0;
    bool scrollBars = true, forceScrollBars = false;
    int32_t areaLeft = 0, areaTop = 0, areaWidth = 0, areaHeight = 0;
};

struct ZoomResult {
    double zoom = 1.0;
    int32_t zoomedWidth = 0, zoomedHeight = 0;
    bool areaPlacement = false; // modes 7 and 10: scroll so the area's corner is at 0, 0
    bool valid = false;         // false: no image size or no room; nothing else is set
};

// The zoom of a layout pass and the zoomed size. The vertical scale is zoom / aspect.
ZoomResult computeZoom(const ZoomInput& in);

struct BarInput {
    int32_t zoomedWidth = 0, zoomedHeight = 0;
    int32_t sw = 0, sh = 0, vw = 0, hh = 0;
    bool scrollBars = true, forceScrollBars = false;
};

struct BarRanges {
    int32_t hMax = 0, vMax = 0;
    bool hNeeded = false, vNeeded = false; // the bar takes room from the view
};

// Scroll-bar ranges, decided together with the bars' presence, so that the whole image
// can be scrolled into the view left beside and above the bars; both within 0..32767.
BarRanges computeBarRanges(const BarInput& in);

// Offset of an image smaller than the view along one axis: fraction 0 -> 0, 1 -> the far
// edge (rounded), 0.5 -> centred, rounded down.
int32_t positionOffset(double fraction, int32_t view, int32_t zoomed);

// A bar value at a fraction of its range.
int32_t alignedValue(int32_t max, double fraction);

struct DrawInput {
    int32_t viewWidth = 0, viewHeight = 0;
    int32_t imageLeft = 0, imageTop = 0;
    int32_t zoomedWidth = 0, zoomedHeight = 0;
    int32_t imageWidth = 0, imageHeight = 0;
    double zoom = 1.0, aspect = 1.0;
};

struct DrawGeometry {
    int32_t dstX = 0, dstY = 0, dstWidth = 0, dstHeight = 0;
    int32_t srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0;
    // The visible part in image pixels as the control reports it (source before the
    // move that keeps it inside the image).
    int32_t displayedLeft = 0, displayedTop = 0, displayedWidth = 0, displayedHeight = 0;
};

DrawGeometry computeDrawGeometry(const DrawInput& in);

struct Interpolation {
    int32_t mode = 0;     // GDI+ InterpolationMode
    int32_t quality = -1; // the ViewerQuality automatic quality leaves, -1: unchanged
};

// The interpolation of one draw from the zoom, the quality properties and the pass.
Interpolation chooseInterpolation(double zoom, bool qualityAuto, bool qualityPass,
                                  int32_t viewerQuality);

} // namespace tavimo::view
