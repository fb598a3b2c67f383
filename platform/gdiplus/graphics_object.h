#pragma once

// The objects behind GpGraphics and GpImageAttributes handles, shared by the graphics
// calls, the drawing code and the metafile player.

#include "platform/gdiplus/graphics.h"
#include "platform/gdiplus/resample.h"

#include <memory>

namespace win {
class GdiSurface;
}

namespace gp {

struct GraphicsObject {
    enum class Target { Dc, Image };
    Target target = Target::Dc;
    win::HDC hdc = 0;
    bool printer = false;
    GpImage image = 0;
    double dpiX = 96.0;
    double dpiY = 96.0;
    Unit pageUnit = UnitDisplay;
    InterpolationMode interpolation = InterpolationModeBilinear;
    SmoothingMode smoothing = SmoothingModeNone;
    PixelOffsetMode pixelOffset = PixelOffsetModeDefault;
    CompositingQuality compositing = CompositingQualityDefault;

    // Device pixels per page unit on each axis.
    double unitScaleX() const;
    double unitScaleY() const;
};

struct AttributesObject {
    // Settings per adjust type (Default .. Text).
    ColorAdjust perType[5];
    // What image drawing applies: the Bitmap settings when any are set, else Default.
    const ColorAdjust& forImages() const {
        return perType[ColorAdjustTypeBitmap].active() ? perType[ColorAdjustTypeBitmap]
                                                       : perType[ColorAdjustTypeDefault];
    }
};

GraphicsObject* findGraphics(GpGraphics handle);
AttributesObject* findAttributes(GpImageAttributes handle);

ResampleFilter filterFor(InterpolationMode mode);
inline bool halfPixelOffset(PixelOffsetMode mode) {
    return mode == PixelOffsetModeHalf || mode == PixelOffsetModeHighQuality;
}

} // namespace gp
