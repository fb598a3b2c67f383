#include <algorithm>
#include <cmath>

#include "platform/activex/user_control.h"

namespace ax {

namespace {

// Binary raster operations on the colour bits (alpha stays opaque).
uint32_t rop2(int mode, uint32_t pen, uint32_t dst) {
    uint32_t p = pen & 0xFFFFFF, d = dst & 0xFFFFFF, r;
    switch (mode) {
    case 1:
        r = 0;
        break; // black
    case 2:
        r = ~(p | d);
        break; // not merge pen
    case 3:
        r = ~p & d;
        break; // mask not pen
    case 4:
        r = ~p;
        break; // not copy pen
    case 5:
        r = p & ~d;
        break; // mask pen not
    case 6:
        r = ~d;
        break; // not (invert)
    case 7:
        r = p ^ d;
        break; // xor pen
    case 8:
        r = ~(p & d);
        break; // not mask pen
    case 9:
        r = p & d;
        break; // mask pen
    case 10:
        r = ~(p ^ d);
        break; // not xor pen
    case 11:
        r = d;
        break; // nop
    case 12:
        r = ~p | d;
        break; // merge not pen
    case 14:
        r = p | ~d;
        break; // merge pen not
    case 15:
        r = p | d;
        break; // merge pen
    case 16:
        r = 0xFFFFFF;
        break; // white
    default:
        r = p;
        break; // 13: copy pen
    }
    return 0xFF000000u | (r & 0xFFFFFF);
}

// Dash patterns, in pixels along the outline: on, off, on, off...
bool patternOn(int style, int pos) {
    switch (style) {
    case 2:
        return pos % 12 < 8; // dash
    case 3:
        return pos % 4 < 2; // dot
    case 4: {
        int p = pos % 16;
        return p < 8 || (p >= 11 && p < 13);
    } // dash-dot
    case 5: {
        int p = pos % 20;
        return p < 8 || (p >= 11 && p < 13) || (p >= 16 && p < 18);
    }
    default:
        return true;
    }
}

void drawShape(const Shape& shape, win::GdiSurface& out, int ox, int oy, int clipW, int clipH) {
    if (!shape.Visible() || shape.BorderStyle() == 0)
        return;
    int left = static_cast<int>(std::lround(shape.Left())) + ox;
    int top = static_cast<int>(std::lround(shape.Top())) + oy;
    int w = static_cast<int>(std::lround(shape.Width()));
    int h = static_cast<int>(std::lround(shape.Height()));
    if (w <= 1 && h <= 1)
        return; // the "no rectangle" placeholder draws nothing
    uint32_t pen = oleColorToPixel(shape.BorderColor());
    int bw = std::max<int>(1, shape.BorderWidth());
    int style = shape.BorderStyle();
    // Dashed styles only exist for one-pixel pens, as with GDI pens.
    if (bw > 1 && style >= 2 && style <= 5)
        style = 1;
    auto plot = [&](int x, int y, int pos) {
        if (x < ox || y < oy || x >= ox + clipW || y >= oy + clipH || x >= out.width() ||
            y >= out.height())
            return;
        if (!patternOn(style, pos))
            return;
        uint32_t& px = pixelRow(out, y)[x];
        px = rop2(shape.DrawMode(), pen, px);
    };
    for (int t = 0; t < bw; ++t) {
        int x0 = left + t, y0 = top + t, x1 = left + w - 1 - t, y1 = top + h - 1 - t;
        if (x1 < x0 || y1 < y0)
            break;
        int pos = 0;
        for (int x = x0; x <= x1; ++x)
            plot(x, y0, pos++);
        for (int y = y0 + 1; y <= y1; ++y)
            plot(x1, y, pos++);
        if (y1 > y0)
            for (int x = x1 - 1; x >= x0; --x)
                plot(x, y1, pos++);
        if (x1 > x0)
            for (int y = y1 - 1; y > y0; --y)
                plot(x0, y, pos++);
    }
}

constexpr uint32_t kFace = 0xFFD4D0C8, kTrack = 0xFFEAE8E4, kThumb = 0xFFB0ADA6, kDark = 0xFF808080,
                   kDarker = 0xFF404040;

void drawBar(const ScrollBar& bar, win::GdiSurface& out, int ox, int oy) {
    if (!bar.Visible())
        return;
    int x = bar.Left() + ox, y = bar.Top() + oy, w = bar.Width(), h = bar.Height();
    fillRect(out, x, y, w, h, kTrack);
    bool horizontal = bar.orientation() == ScrollBar::Orientation::Horizontal;
    int t = kScrollBarThickness;
    uint32_t arrow = bar.Enabled() ? kDarker : kDark;
    if (horizontal) {
        fillRect(out, x, y, std::min(t, w), h, kFace);
        fillRect(out, x + w - t, y, std::min(t, w), h, kFace);
        fillRect(out, x + 6, y + h / 2 - 1, 5, 3, arrow);
        fillRect(out, x + w - t + 6, y + h / 2 - 1, 5, 3, arrow);
        if (bar.Enabled() && w > 3 * t)
            fillRect(out, x + bar.thumbOffset(), y + 1, t, h - 2, kThumb);
    } else {
        fillRect(out, x, y, w, std::min(t, h), kFace);
        fillRect(out, x, y + h - t, w, std::min(t, h), kFace);
        fillRect(out, x + w / 2 - 1, y + 6, 3, 5, arrow);
        fillRect(out, x + w / 2 - 1, y + h - t + 6, 3, 5, arrow);
        if (bar.Enabled() && h > 3 * t)
            fillRect(out, x + 1, y + bar.thumbOffset(), w - 2, t, kThumb);
    }
}

} // namespace

SurfacePtr composite(const UserControl& control) {
    int w = control.Width(), h = control.Height();
    int b = control.borderThickness();
    bool opaque = control.BackStyle() != 0;
    uint32_t back = oleColorToPixel(control.BackColor());
    SurfacePtr result = makeSurface(w, h, opaque ? back : 0);
    if (!result)
        return nullptr;
    win::GdiSurface& out = *result;
    int cw = control.ScaleWidth(), ch = control.ScaleHeight();

    if (control.AutoRedraw()) {
        if (SurfacePtr drawn = control.drawingSurface())
            blit(out, *drawn, b, b);
    } else if (ComPtr<Picture> picture = control.picture()) {
        if (picture->image())
            blit(out, *picture->image(), b, b);
    }
    // GDI leaves the fourth byte of what it draws at 0; the window itself is opaque.
    for (int y = b; y < std::min(h, b + ch); ++y) {
        uint32_t* row = pixelRow(out, y);
        for (int x = b; x < std::min(w, b + cw); ++x)
            row[x] |= 0xFF000000u;
    }

    for (const auto& shape : control.shapes())
        drawShape(*shape, out, b, b, cw, ch);
    for (const auto& bar : control.scrollBars())
        drawBar(*bar, out, b, b);
    for (const auto& box : control.focusBoxes())
        if (box->Visible())
            fillRect(out, box->Left() + b, box->Top() + b, box->Width(), box->Height(), kFace);

    if (b == 1) {
        fillRect(out, 0, 0, w, 1, 0xFF000000u);
        fillRect(out, 0, h - 1, w, 1, 0xFF000000u);
        fillRect(out, 0, 0, 1, h, 0xFF000000u);
        fillRect(out, w - 1, 0, 1, h, 0xFF000000u);
    } else if (b == 2) {
        // Sunken 3D edge: grey outside, dark inside on the top and left.
        fillRect(out, 0, 0, w, 1, kDark);
        fillRect(out, 0, 0, 1, h, kDark);
        fillRect(out, 1, 1, w - 2, 1, kDarker);
        fillRect(out, 1, 1, 1, h - 2, kDarker);
        fillRect(out, 0, h - 1, w, 1, 0xFFFFFFFFu);
        fillRect(out, w - 1, 0, 1, h, 0xFFFFFFFFu);
        fillRect(out, 1, h - 2, w - 2, 1, kFace);
        fillRect(out, w - 2, 1, 1, h - 2, kFace);
    }

    if (!opaque) {
        ComPtr<Picture> mask = control.maskPicture();
        if (mask && mask->image()) {
            const win::GdiSurface& m = *mask->image();
            for (int y = 0; y < ch && y + b < out.height(); ++y) {
                uint32_t* row = pixelRow(out, y + b);
                for (int x = 0; x < cw && x + b < out.width(); ++x)
                    if (x >= m.width() || y >= m.height() || (pixelAt(m, x, y) >> 24) == 0)
                        row[x + b] = 0;
            }
        }
    }
    return result;
}

} // namespace ax
