// Drawing images through graphics objects: resolving the target surface and the source
// frame into pixel views, page units and source clipping, then the resampler.

#include "platform/gdiplus/graphics.h"

#include "platform/gdiplus/graphics_object.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/metafile_object.h"
#include "platform/gdiplus/mirror_extent.h"
#include "platform/gdiplus/pixel_convert.h"
#include "platform/gdiplus/session.h"
#include "platform/win/gdi_objects.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <new>

namespace gp {

namespace {

bool directLayout(PixelFormat format, PixelLayout* layout) {
    switch (format) {
    case PixelFormat32bppARGB:
        *layout = PixelLayout::ARGB32;
        return true;
    case PixelFormat32bppPARGB:
        *layout = PixelLayout::PARGB32;
        return true;
    case PixelFormat32bppRGB:
        *layout = PixelLayout::RGB32;
        return true;
    case PixelFormat24bppRGB:
        *layout = PixelLayout::RGB24;
        return true;
    default:
        return false;
    }
}

// Runs `draw` on a view of the target's pixels. `area` (device pixels) bounds what the
// drawing may change; surfaces the resampler cannot address directly are copied into a
// 32-bpp buffer over that area and written back. `draw` receives the view and the device
// position of the view's pixel (0, 0).
using DrawFn = std::function<void(const PixelView&, int32_t, int32_t)>;

Status withTarget(GraphicsObject& g, IntRect area, const DrawFn& draw) {
    if (g.target == GraphicsObject::Target::Dc) {
        auto surface = win::dcSurface(g.hdc);
        if (!surface)
            return InvalidParameter;
        IntRect bounds{0, 0, surface->width(), surface->height()};
        area.x0 = std::max(area.x0, 0);
        area.y0 = std::max(area.y0, 0);
        area.x1 = std::min(area.x1, bounds.x1);
        area.y1 = std::min(area.y1, bounds.y1);
        bool plain = !surface->redMask && !surface->greenMask && !surface->blueMask;
        if (plain && (surface->bpp() == 32 || surface->bpp() == 24)) {
            PixelView v{surface->row(0), surface->rowStep(), surface->width(), surface->height(),
                        surface->bpp() == 32 ? PixelLayout::RGB32 : PixelLayout::RGB24};
            draw(v, 0, 0);
            return Ok;
        }
        if (area.empty())
            return Ok;
        // Palette and 16-bit surfaces: draw on a 32-bpp copy of the area.
        const int32_t w = area.x1 - area.x0, h = area.y1 - area.y0;
        std::vector<uint32_t> temp(size_t(w) * size_t(h));
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                temp[size_t(y) * w + x] = surface->pixel(area.x0 + x, area.y0 + y);
        PixelView v{reinterpret_cast<uint8_t*>(temp.data()), ptrdiff_t(w) * 4, w, h,
                    PixelLayout::RGB32};
        draw(v, area.x0, area.y0);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                surface->setPixel(area.x0 + x, area.y0 + y, temp[size_t(y) * w + x]);
        return Ok;
    }

    Image* img = findBitmap(g.image);
    if (!img)
        return InvalidParameter;
    if (img->isLocked())
        return ObjectBusy;
    Frame& f = img->active();
    PixelLayout layout;
    if (directLayout(f.format, &layout)) {
        PixelView v{f.row(0), ptrdiff_t(f.stride), f.width, f.height, layout};
        draw(v, 0, 0);
        return Ok;
    }
    area.x0 = std::max(area.x0, 0);
    area.y0 = std::max(area.y0, 0);
    area.x1 = std::min(area.x1, f.width);
    area.y1 = std::min(area.y1, f.height);
    if (area.empty())
        return Ok;
    const int32_t w = area.x1 - area.x0, h = area.y1 - area.y0;
    std::vector<uint32_t> temp(size_t(w) * size_t(h));
    uint8_t* tempBytes = reinterpret_cast<uint8_t*>(temp.data());
    convertRect(f.row(area.y0), f.stride, f.format, &f.palette, area.x0, tempBytes,
                ptrdiff_t(w) * 4, PixelFormat32bppARGB, nullptr, 0, w, h);
    PixelView v{tempBytes, ptrdiff_t(w) * 4, w, h, PixelLayout::ARGB32};
    draw(v, area.x0, area.y0);
    convertRect(tempBytes, ptrdiff_t(w) * 4, PixelFormat32bppARGB, nullptr, 0, f.row(area.y0),
                f.stride, f.format, &f.palette, area.x0, w, h);
    return Ok;
}

IntRect deviceBounds(double x, double y, double w, double h) {
    double x0 = std::min(x, x + w), x1 = std::max(x, x + w);
    double y0 = std::min(y, y + h), y1 = std::max(y, y + h);
    auto clampI = [](double v) { return int32_t(std::clamp(v, -1e9, 1e9)); };
    return {clampI(std::floor(x0)), clampI(std::floor(y0)), clampI(std::ceil(x1)) + 1,
            clampI(std::ceil(y1)) + 1};
}

Status drawBitmap(GraphicsObject& g, Image& src, bool sameImage, double sx, double sy, double sw,
                  double sh, double dx, double dy, double dw, double dh,
                  const ColorAdjust* adjust) {
    const Frame& f = src.active();
    // Only the source pixels the rectangle touches are read (or converted).
    int32_t bx0 = int32_t(std::floor(sx)), by0 = int32_t(std::floor(sy));
    int32_t bx1 = std::min(f.width, int32_t(std::ceil(sx + sw)));
    int32_t by1 = std::min(f.height, int32_t(std::ceil(sy + sh)));
    if (bx0 >= bx1 || by0 >= by1)
        return Ok;

    std::vector<uint32_t> converted;
    ConstPixelView view;
    PixelLayout layout;
    if (directLayout(f.format, &layout) && !sameImage) {
        view = {f.row(0), ptrdiff_t(f.stride), f.width, f.height, layout};
    } else {
        const int32_t w = bx1 - bx0, h = by1 - by0;
        converted.resize(size_t(w) * size_t(h));
        convertRect(f.row(by0), f.stride, f.format, &f.palette, bx0,
                    reinterpret_cast<uint8_t*>(converted.data()), ptrdiff_t(w) * 4,
                    PixelFormat32bppARGB, nullptr, 0, w, h);
        view = {reinterpret_cast<const uint8_t*>(converted.data()), ptrdiff_t(w) * 4, w, h,
                PixelLayout::ARGB32};
        sx -= bx0;
        sy -= by0;
    }

    ResampleRequest r;
    r.srcX = std::max(0.0, sx);
    r.srcY = std::max(0.0, sy);
    r.srcW = std::min(sw, view.width - r.srcX);
    r.srcH = std::min(sh, view.height - r.srcY);
    r.filter = filterFor(g.interpolation);
    r.halfPixelOffset = halfPixelOffset(g.pixelOffset);
    r.adjust = adjust;
    IntRect area = deviceBounds(dx, dy, dw, dh);
    return withTarget(g, area, [&](const PixelView& target, int32_t ox, int32_t oy) {
        ResampleRequest q = r;
        q.dstX = dx - ox;
        q.dstY = dy - oy;
        q.dstW = dw;
        q.dstH = dh;
        resampleDraw(view, target, q);
    });
}

Status drawMetafile(GraphicsObject& g, const Image& src, double sx, double sy, double sw, double sh,
                    double dx, double dy, double dw, double dh, const ColorAdjust* adjust) {
    const auto* mf = dynamic_cast<const MetafileExtension*>(src.extension.get());
    if (!mf)
        return InvalidParameter;
    IntRect area = deviceBounds(dx, dy, dw, dh);
    Status status = Ok;
    Status targetStatus = withTarget(g, area, [&](const PixelView& target, int32_t ox, int32_t oy) {
        IntRect clip{std::max(area.x0 - ox, 0), std::max(area.y0 - oy, 0),
                     std::min(area.x1 - ox, target.width), std::min(area.y1 - oy, target.height)};
        if (clip.empty())
            return;
        // The metafile is played into a transparent buffer over the visible part of the
        // rectangle, then composited like any other source.
        const int32_t w = clip.x1 - clip.x0, h = clip.y1 - clip.y0;
        std::vector<uint32_t> layer(size_t(w) * size_t(h), 0);
        PixelView lv{reinterpret_cast<uint8_t*>(layer.data()), ptrdiff_t(w) * 4, w, h,
                     PixelLayout::PARGB32};
        // Metafile pixel (u, v) lands at (dx + (u - sx) * dw / sw, ...) in device space.
        double kx = dw / sw, ky = dh / sh;
        MetafileTransform t{dx - ox - clip.x0 - sx * kx, dy - oy - clip.y0 - sy * ky, kx, ky};
        if (!mf->play(lv, t)) {
            status = GenericError;
            return;
        }
        ConstPixelView cv{lv.top, lv.step, w, h, PixelLayout::PARGB32};
        ResampleRequest q;
        q.srcW = q.dstW = w;
        q.srcH = q.dstH = h;
        q.dstX = clip.x0;
        q.dstY = clip.y0;
        q.filter = ResampleFilter::Nearest;
        q.adjust = adjust;
        resampleDraw(cv, target, q);
    });
    return targetStatus != Ok ? targetStatus : status;
}

Status drawImage(GpGraphics graphics, GpImage image, double dx, double dy, double dw, double dh,
                 bool wholeImage, double sx, double sy, double sw, double sh, Unit srcUnit,
                 GpImageAttributes attributes, void* callback) {
    try {
        Status fault = takeFault(FaultPoint::Draw);
        if (fault != Ok)
            return fault;
        GraphicsObject* g = findGraphics(graphics);
        Image* src = findImage(image);
        if (!g || !src)
            return InvalidParameter;
        if (srcUnit != UnitPixel || callback)
            return NotImplemented;
        const ColorAdjust* adjust = nullptr;
        if (attributes) {
            AttributesObject* a = findAttributes(attributes);
            if (!a)
                return InvalidParameter;
            adjust = &a->forImages();
        }
        if (src->isLocked())
            return ObjectBusy;
        const Frame& f = src->active();
        if (wholeImage) {
            sx = 0;
            sy = 0;
            sw = f.width;
            sh = f.height;
        }
        for (double v : {dx, dy, dw, dh, sx, sy, sw, sh})
            if (!std::isfinite(v))
                return InvalidParameter;
        if (dw == 0 || dh == 0 || sw == 0 || sh == 0)
            return Ok;
        mirrorNegativeSourceExtent(sx, sw, dx, dw);
        mirrorNegativeSourceExtent(sy, sh, dy, dh);
        // Cut the source rectangle to the image; the destination shrinks with it so the
        // scale is kept.
        double cx0 = std::max(sx, 0.0), cy0 = std::max(sy, 0.0);
        double cx1 = std::min(sx + sw, double(f.width)), cy1 = std::min(sy + sh, double(f.height));
        if (!(cx0 < cx1) || !(cy0 < cy1))
            return Ok;
        double kx = dw / sw, ky = dh / sh;
        double ndx = dx + (cx0 - sx) * kx, ndy = dy + (cy0 - sy) * ky;
        double ndw = (cx1 - cx0) * kx, ndh = (cy1 - cy0) * ky;
        // Page units to device pixels.
        const double ux = g->unitScaleX(), uy = g->unitScaleY();
        ndx *= ux;
        ndw *= ux;
        ndy *= uy;
        ndh *= uy;
        if (src->isBitmap()) {
            bool same = g->target == GraphicsObject::Target::Image && g->image == image;
            return drawBitmap(*g, *src, same, cx0, cy0, cx1 - cx0, cy1 - cy0, ndx, ndy, ndw, ndh,
                              adjust);
        }
        return drawMetafile(*g, *src, cx0, cy0, cx1 - cx0, cy1 - cy0, ndx, ndy, ndw, ndh, adjust);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

} // namespace

Status GdipGraphicsClear(GpGraphics graphics, ARGB color) {
    try {
        GraphicsObject* g = findGraphics(graphics);
        if (!g)
            return InvalidParameter;
        IntRect all{INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2};
        return withTarget(*g, all, [&](const PixelView& target, int32_t, int32_t) {
            fillRect(target, {0, 0, target.width, target.height}, color);
        });
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

Status GdipDrawImageRectI(GpGraphics graphics, GpImage image, INT x, INT y, INT width, INT height) {
    return drawImage(graphics, image, x, y, width, height, true, 0, 0, 0, 0, UnitPixel, 0, nullptr);
}

Status GdipDrawImageRect(GpGraphics graphics, GpImage image, REAL x, REAL y, REAL width,
                         REAL height) {
    return drawImage(graphics, image, x, y, width, height, true, 0, 0, 0, 0, UnitPixel, 0, nullptr);
}

Status GdipDrawImageRectRectI(GpGraphics graphics, GpImage image, INT dstx, INT dsty, INT dstwidth,
                              INT dstheight, INT srcx, INT srcy, INT srcwidth, INT srcheight,
                              Unit srcUnit, GpImageAttributes attributes, void* callback, void*) {
    return drawImage(graphics, image, dstx, dsty, dstwidth, dstheight, false, srcx, srcy, srcwidth,
                     srcheight, srcUnit, attributes, callback);
}

Status GdipDrawImageRectRect(GpGraphics graphics, GpImage image, REAL dstx, REAL dsty,
                             REAL dstwidth, REAL dstheight, REAL srcx, REAL srcy, REAL srcwidth,
                             REAL srcheight, Unit srcUnit, GpImageAttributes attributes,
                             void* callback, void*) {
    return drawImage(graphics, image, dstx, dsty, dstwidth, dstheight, false, srcx, srcy, srcwidth,
                     srcheight, srcUnit, attributes, callback);
}

} // namespace gp
