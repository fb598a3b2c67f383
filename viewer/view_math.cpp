#include "viewer/view_math.h"

#include <algorithm>
#include <cmath>

#include "platform/win/vb_number.h"

namespace tavimo::view {

double round(double value) {
    return win::roundHalfEven(value);
}

int32_t roundToInt(double value) {
    if (std::isnan(value))
        return 0;
    double r = win::roundHalfEven(value);
    if (r >= 2147483647.0)
        return INT32_MAX;
    if (r <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(r);
}

Fractions placementFractions(int32_t value) {
    Fractions f;
    switch (value) {
    case 0:
        f.h = 0, f.v = 0.5;
        break;
    case 1:
        f.h = 1, f.v = 0.5;
        break;
    case 2:
        f.h = 0.5, f.v = 0.5;
        break;
    case 4:
        f.h = 0, f.v = 0;
        break;
    case 5:
        f.h = 1, f.v = 0;
        break;
    case 6:
        f.h = 0.5, f.v = 0;
        break;
    case 7:
        f.h = 0, f.v = 1;
        break;
    case 8:
        f.h = 1, f.v = 1;
        break;
    case 9:
        f.h = 0.5, f.v = 1;
        break;
    default:
        f.keep = true;
    }
    return f;
}

double aspectRatio(float horizontalDpi, float verticalDpi, bool skipResolution) {
    // A zero vertical resolution would make every later division by the aspect fail.
    if (skipResolution || !(horizontalDpi > 0) || !(verticalDpi > 0))
        return 1.0;
    return static_cast<double>(verticalDpi) / static_cast<double>(horizontalDpi);
}

double maxZoom(int32_t sw, int32_t sh, int32_t vw, int32_t hh, int32_t w, int32_t h,
               double aspect) {
    if (w < 1 || h < 1 || !(aspect > 0))
        return 1.0;
    double limW = round(double(sw) + kMaxBarRange - vw);
    double limH = round(double(sh) + kMaxBarRange - hh);
    double displayedH = h / aspect;
    double z = displayedH >= w ? limH / displayedH : limW / w;
    return z > 0 ? z : 1.0;
}

ZoomResult computeZoom(const ZoomInput& in) {
    ZoomResult r;
    const double W = in.imageWidth, H = in.imageHeight, asp = in.aspect;
    double avW = double(in.sw) - (in.forceScrollBars ? in.vw : 0);
    double avH = double(in.sh) - (in.forceScrollBars ? in.hh : 0);
    if (in.imageWidth < 1 || in.imageHeight < 1 || avW <= 0 || avH <= 0 || !(asp > 0))
        return r;
    const double A = W / H * asp;
    double zoom = in.zoom;
    bool stretch = false;
    switch (in.mode) {
    case 1:
        zoom = 1.0;
        break;
    case 2:
        zoom = avW / avH <= A ? avW / W : avH / H * asp;
        break;
    case 3:
        zoom = avW / W;
        if (W * zoom / A > avH && in.scrollBars) {
            avW = double(in.sw) - in.vw;
            zoom = avW / W;
            if (W * zoom / A < avH)
                zoom = avH / H * asp;
        }
        break;
    case 5:
        zoom = avH / H * asp;
        if (W * zoom > avW && in.scrollBars) {
            avH = double(in.sh) - in.hh;
            zoom = avH / H * asp;
            if (W * zoom < avW)
                zoom = avW / W;
        }
        break;
    case 6:
        stretch = true;
        r.zoomedWidth = roundToInt(avW);
        r.zoomedHeight = roundToInt(avH);
        zoom = double(in.sh) / H * asp;
        break;
    case 7:
    case 10:
        if (in.areaWidth > 0)
            zoom = avW / in.areaWidth;
        // The vertical scale is zoom / aspect, so the area's height limits zoom by
        // avH x aspect / height.
        if (in.areaHeight > 0 && avH * asp / in.areaHeight < zoom)
            zoom = avH * asp / in.areaHeight;
        r.areaPlacement = true;
        break;
    default:
        break;
    }
    if (zoom > in.maxZoom)
        zoom = in.maxZoom;
    r.zoom = zoom;
    if (!stretch) {
        r.zoomedWidth = roundToInt(W * zoom);
        r.zoomedHeight = roundToInt(r.zoomedWidth / A);
    }
    r.valid = true;
    return r;
}

BarRanges computeBarRanges(const BarInput& in) {
    BarRanges r;
    // Hidden bars take no room; forced bars always do.
    const int32_t vw = in.scrollBars ? in.vw : 0;
    const int32_t hh = in.scrollBars ? in.hh : 0;
    bool needH = in.forceScrollBars, needV = in.forceScrollBars;
    if (!in.forceScrollBars) {
        needH = in.zoomedWidth > in.sw;
        needV = in.zoomedHeight > in.sh;
        // One bar may make the other needed; two rounds settle it.
        for (int i = 0; i < 2; ++i) {
            needH = in.zoomedWidth > in.sw || (needV && in.zoomedWidth > in.sw - vw);
            needV = in.zoomedHeight > in.sh || (needH && in.zoomedHeight > in.sh - hh);
        }
    }
    r.hNeeded = needH;
    r.vNeeded = needV;
    auto clamp = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, 0, kMaxBarValue));
    };
    int64_t viewW = int64_t(in.sw) - (needV ? vw : 0);
    int64_t viewH = int64_t(in.sh) - (needH ? hh : 0);
    r.hMax = clamp(int64_t(in.zoomedWidth) - viewW);
    r.vMax = clamp(int64_t(in.zoomedHeight) - viewH);
    return r;
}

int32_t positionOffset(double fraction, int32_t view, int32_t zoomed) {
    if (fraction <= 0)
        return 0;
    if (fraction >= 1)
        return roundToInt(double(view) - zoomed);
    return static_cast<int32_t>(std::floor((double(view) - zoomed) / 2.0));
}

int32_t alignedValue(int32_t max, double fraction) {
    return std::clamp(roundToInt(max * fraction), 0, std::max(max, 0));
}

DrawGeometry computeDrawGeometry(const DrawInput& in) {
    DrawGeometry g;
    if (!(in.zoom > 0))
        return g;
    if (in.viewWidth < in.zoomedWidth) {
        g.dstX = 0;
        g.dstWidth = in.viewWidth;
        g.displayedLeft = roundToInt(-in.imageLeft / in.zoom);
        g.displayedWidth = roundToInt(in.viewWidth / in.zoom);
    } else {
        g.dstX = in.imageLeft;
        g.dstWidth = in.zoomedWidth;
        g.displayedLeft = 0;
        g.displayedWidth = in.imageWidth;
    }
    if (in.viewHeight < in.zoomedHeight) {
        g.dstY = 0;
        g.dstHeight = in.viewHeight;
        g.displayedTop = roundToInt(-in.imageTop / in.zoom * in.aspect);
        g.displayedHeight = roundToInt(in.viewHeight / in.zoom * in.aspect);
    } else {
        g.dstY = in.imageTop;
        g.dstHeight = in.zoomedHeight;
        g.displayedTop = 0;
        g.displayedHeight = in.imageHeight;
    }
    g.srcX = g.displayedLeft;
    g.srcY = g.displayedTop;
    g.srcWidth = g.displayedWidth;
    g.srcHeight = g.displayedHeight;
    if (int64_t(g.srcX) + g.srcWidth > in.imageWidth)
        g.srcX = in.imageWidth - g.srcWidth;
    if (int64_t(g.srcY) + g.srcHeight > in.imageHeight)
        g.srcY = in.imageHeight - g.srcHeight;
    return g;
}

Interpolation chooseInterpolation(double zoom, bool qualityAuto, bool qualityPass,
                                  int32_t viewerQuality) {
    if (zoom == 1.0)
        return {5, -1};
    if (qualityAuto)
        return qualityPass ? Interpolation{7, 4} : Interpolation{5, 0};
    switch (viewerQuality) {
    case 0:
        return {5, -1};
    case 1:
        return {3, -1};
    case 2:
        return {4, -1};
    case 3:
        return {6, -1};
    case 4:
        return {7, -1};
    default:
        return {0, -1};
    }
}

} // namespace tavimo::view
