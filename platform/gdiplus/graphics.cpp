#include "platform/gdiplus/graphics.h"

#include "platform/gdiplus/graphics_object.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/metafile.h"
#include "platform/gdiplus/session.h"
#include "platform/win/gdi_objects.h"
#include "platform/win/handles.h"

#include <cmath>
#include <new>

namespace gp {

namespace {

// Metafile content that reaches the decoders (files and streams) is played by this layer;
// linking the drawing calls in is what installs it.
[[maybe_unused]] const bool kMetafileReaderInstalled = (installMetafileReader(), true);

win::HandleTable<GraphicsObject>& graphicsTable() {
    static win::HandleTable<GraphicsObject> t(win::HandleKind::GdipGraphics);
    return t;
}

win::HandleTable<AttributesObject>& attributesTable() {
    static win::HandleTable<AttributesObject> t(win::HandleKind::GdipAttributes);
    return t;
}

double unitScale(Unit unit, double dpi, bool printer) {
    switch (unit) {
    case UnitDisplay:
        return printer ? dpi / 100.0 : 1.0;
    case UnitPoint:
        return dpi / 72.0;
    case UnitInch:
        return dpi;
    case UnitDocument:
        return dpi / 300.0;
    case UnitMillimeter:
        return dpi / 25.4;
    default:
        return 1.0;
    }
}

template <class T, class F> Status setMode(GpGraphics g, T value, T lo, T hi, F field) {
    GraphicsObject* o = findGraphics(g);
    if (!o || value < lo || value > hi)
        return InvalidParameter;
    o->*field = value;
    return Ok;
}

template <class T, class F> Status getMode(GpGraphics g, T* out, F field) {
    GraphicsObject* o = findGraphics(g);
    if (!o || !out)
        return InvalidParameter;
    *out = o->*field;
    return Ok;
}

} // namespace

double GraphicsObject::unitScaleX() const {
    return unitScale(pageUnit, dpiX, printer);
}
double GraphicsObject::unitScaleY() const {
    return unitScale(pageUnit, dpiY, printer);
}

GraphicsObject* findGraphics(GpGraphics handle) {
    return graphicsTable().get(handle);
}
AttributesObject* findAttributes(GpImageAttributes handle) {
    return attributesTable().get(handle);
}

ResampleFilter filterFor(InterpolationMode mode) {
    switch (mode) {
    case InterpolationModeNearestNeighbor:
        return ResampleFilter::Nearest;
    case InterpolationModeBicubic:
        return ResampleFilter::Bicubic;
    case InterpolationModeHighQualityBilinear:
        return ResampleFilter::HighQualityBilinear;
    case InterpolationModeHighQuality:
    case InterpolationModeHighQualityBicubic:
        return ResampleFilter::HighQualityBicubic;
    default:
        return ResampleFilter::Bilinear;
    }
}

Status GdipCreateFromHDC(win::HDC hdc, GpGraphics* graphics) {
    try {
        if (!graphics)
            return InvalidParameter;
        *graphics = 0;
        if (!isStarted())
            return GdiplusNotInitialized;
        win::DcKind kind;
        auto o = std::make_unique<GraphicsObject>();
        if (!win::dcKind(hdc, &kind) || !win::dcResolution(hdc, &o->dpiX, &o->dpiY))
            return InvalidParameter;
        o->target = GraphicsObject::Target::Dc;
        o->hdc = hdc;
        o->printer = kind == win::DcKind::Printer;
        *graphics = graphicsTable().add(std::move(o));
        return Ok;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

Status GdipGetImageGraphicsContext(GpImage image, GpGraphics* graphics) {
    try {
        if (!graphics)
            return InvalidParameter;
        *graphics = 0;
        if (!isStarted())
            return GdiplusNotInitialized;
        Image* img = findBitmap(image);
        if (!img || isIndexed(img->active().format))
            return InvalidParameter;
        if (img->isLocked())
            return ObjectBusy;
        img->keepOnlyActiveFrame();
        auto o = std::make_unique<GraphicsObject>();
        o->target = GraphicsObject::Target::Image;
        o->image = image;
        o->dpiX = img->active().dpiX > 0 ? img->active().dpiX : 96.0;
        o->dpiY = img->active().dpiY > 0 ? img->active().dpiY : 96.0;
        *graphics = graphicsTable().add(std::move(o));
        return Ok;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

Status GdipDeleteGraphics(GpGraphics graphics) {
    return graphicsTable().remove(graphics) ? Ok : InvalidParameter;
}

Status GdipSetPageUnit(GpGraphics graphics, Unit unit) {
    return setMode(graphics, unit, UnitDisplay, UnitMillimeter, &GraphicsObject::pageUnit);
}
Status GdipGetPageUnit(GpGraphics graphics, Unit* unit) {
    return getMode(graphics, unit, &GraphicsObject::pageUnit);
}

Status GdipSetInterpolationMode(GpGraphics graphics, InterpolationMode mode) {
    return setMode(graphics, mode, InterpolationModeDefault, InterpolationModeHighQualityBicubic,
                   &GraphicsObject::interpolation);
}
Status GdipGetInterpolationMode(GpGraphics graphics, InterpolationMode* mode) {
    Status s = getMode(graphics, mode, &GraphicsObject::interpolation);
    // The generic names report the mode they stand for, as GDI+ does.
    if (s == Ok && (*mode == InterpolationModeDefault || *mode == InterpolationModeLowQuality))
        *mode = InterpolationModeBilinear;
    else if (s == Ok && *mode == InterpolationModeHighQuality)
        *mode = InterpolationModeHighQualityBicubic;
    return s;
}

Status GdipSetSmoothingMode(GpGraphics graphics, SmoothingMode mode) {
    return setMode(graphics, mode, SmoothingModeDefault, SmoothingModeAntiAlias,
                   &GraphicsObject::smoothing);
}
Status GdipGetSmoothingMode(GpGraphics graphics, SmoothingMode* mode) {
    return getMode(graphics, mode, &GraphicsObject::smoothing);
}

Status GdipSetPixelOffsetMode(GpGraphics graphics, PixelOffsetMode mode) {
    return setMode(graphics, mode, PixelOffsetModeDefault, PixelOffsetModeHalf,
                   &GraphicsObject::pixelOffset);
}
Status GdipGetPixelOffsetMode(GpGraphics graphics, PixelOffsetMode* mode) {
    return getMode(graphics, mode, &GraphicsObject::pixelOffset);
}

Status GdipSetCompositingQuality(GpGraphics graphics, CompositingQuality quality) {
    return setMode(graphics, quality, CompositingQualityDefault, CompositingQualityAssumeLinear,
                   &GraphicsObject::compositing);
}
Status GdipGetCompositingQuality(GpGraphics graphics, CompositingQuality* quality) {
    return getMode(graphics, quality, &GraphicsObject::compositing);
}

Status GdipGetDpiX(GpGraphics graphics, REAL* dpi) {
    GraphicsObject* o = findGraphics(graphics);
    if (!o || !dpi)
        return InvalidParameter;
    *dpi = REAL(o->dpiX);
    return Ok;
}

Status GdipGetDpiY(GpGraphics graphics, REAL* dpi) {
    GraphicsObject* o = findGraphics(graphics);
    if (!o || !dpi)
        return InvalidParameter;
    *dpi = REAL(o->dpiY);
    return Ok;
}

// ---------------------------------------------------------------------------------------
// Attributes

Status GdipCreateImageAttributes(GpImageAttributes* attributes) {
    try {
        if (!attributes)
            return InvalidParameter;
        *attributes = 0;
        if (!isStarted())
            return GdiplusNotInitialized;
        *attributes = attributesTable().add(std::make_unique<AttributesObject>());
        return Ok;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
}

Status GdipDisposeImageAttributes(GpImageAttributes attributes) {
    return attributesTable().remove(attributes) ? Ok : InvalidParameter;
}

Status GdipSetImageAttributesGamma(GpImageAttributes attributes, ColorAdjustType type,
                                   BOOL enableFlag, REAL gamma) {
    AttributesObject* a = findAttributes(attributes);
    if (!a || type < ColorAdjustTypeDefault || type > ColorAdjustTypeText)
        return InvalidParameter;
    ColorAdjust& adjust = a->perType[type];
    if (!enableFlag) {
        adjust.gammaEnabled = false;
        return Ok;
    }
    if (!(gamma > 0) || !std::isfinite(gamma))
        return InvalidParameter;
    adjust.setGamma(gamma);
    return Ok;
}

Status GdipSetImageAttributesRemapTable(GpImageAttributes attributes, ColorAdjustType type,
                                        BOOL enableFlag, UINT mapSize, const ColorMap* map) {
    try {
        AttributesObject* a = findAttributes(attributes);
        if (!a || type < ColorAdjustTypeDefault || type > ColorAdjustTypeText)
            return InvalidParameter;
        ColorAdjust& adjust = a->perType[type];
        if (!enableFlag) {
            adjust.remap.clear();
            return Ok;
        }
        if (mapSize == 0 || !map)
            return InvalidParameter;
        adjust.remap.clear();
        for (UINT i = 0; i < mapSize; ++i)
            adjust.remap.emplace_back(map[i].oldColor, map[i].newColor);
        return Ok;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
}

} // namespace gp
