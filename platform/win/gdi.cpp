#include "platform/win/gdi.h"

#include "platform/win/gdi_objects.h"
#include "platform/win/handles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace win {

namespace {

struct BitmapObject {
    std::shared_ptr<GdiSurface> surface;
    bool dib = false;
    bool stock = false;
    HDC selectedIn = 0;
};

struct DcObject {
    DcKind kind = DcKind::Memory;
    std::shared_ptr<GdiSurface> surface; // every kind but Memory
    HBITMAP selected = 0;                // Memory only
    double dpiX = 96.0;
    double dpiY = 96.0;
    bool fromGetDC = false;
    bool hasPrinterGeometry = false; // printer DCs made with a sheet geometry
    PrinterDcGeometry geometry;
};

struct IconObject {
    std::shared_ptr<IconData> data;
};

struct PaletteObject {
    std::vector<PALETTEENTRY> entries;
};

// One lock for every object: selection touches a DC and a bitmap at once, and the calls
// are short.
std::recursive_mutex& gdiMutex() {
    static std::recursive_mutex m;
    return m;
}

HandleTable<BitmapObject>& bitmaps() {
    static HandleTable<BitmapObject> t(HandleKind::GdiBitmap);
    return t;
}
HandleTable<DcObject>& dcs() {
    static HandleTable<DcObject> t(HandleKind::GdiDc);
    return t;
}
HandleTable<IconObject>& icons() {
    static HandleTable<IconObject> t(HandleKind::GdiIcon);
    return t;
}
HandleTable<PaletteObject>& palettes() {
    static HandleTable<PaletteObject> t(HandleKind::GdiPalette);
    return t;
}

struct ScreenState {
    int32_t width = 1920;
    int32_t height = 1080;
    std::shared_ptr<GdiSurface> surface;
    std::function<std::shared_ptr<GdiSurface>(HWND)> windowProvider;
};
ScreenState& screen() {
    static ScreenState s;
    return s;
}

std::vector<RGBQUAD> monochromeTable() {
    RGBQUAD black{0, 0, 0, 0};
    RGBQUAD white{255, 255, 255, 0};
    return {black, white};
}

HBITMAP stockBitmap() {
    static HBITMAP stock = [] {
        auto o = std::make_unique<BitmapObject>();
        o->surface = GdiSurface::create(1, 1, 1, false, monochromeTable());
        o->stock = true;
        return bitmaps().add(std::move(o));
    }();
    return stock;
}

std::shared_ptr<GdiSurface> surfaceOf(const DcObject& dc) {
    if (dc.kind != DcKind::Memory)
        return dc.surface;
    BitmapObject* b = bitmaps().get(dc.selected);
    return b ? b->surface : nullptr;
}

HBITMAP addBitmap(std::shared_ptr<GdiSurface> surface, bool dib) {
    if (!surface)
        return 0;
    auto o = std::make_unique<BitmapObject>();
    o->surface = std::move(surface);
    o->dib = dib;
    return bitmaps().add(std::move(o));
}

// Converts any surface into a 1-bpp top-down mask: set bits where the pixel is not black.
std::shared_ptr<GdiSurface> toMask(const GdiSurface& s) {
    if (s.bpp() == 1 && !s.bottomUp()) {
        auto c = s.clone();
        if (c)
            c->colorTable() = monochromeTable();
        return c;
    }
    auto m = GdiSurface::create(s.width(), s.height(), 1, false, monochromeTable());
    if (!m)
        return nullptr;
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width(); ++x)
            if (s.pixel(x, y) & 0xFFFFFF)
                m->row(y)[x >> 3] |= uint8_t(0x80 >> (x & 7));
    return m;
}

// Converts any surface into a 32-bpp top-down colour image; the alpha byte is kept only
// from a 32-bpp source.
std::shared_ptr<GdiSurface> toColor(const GdiSurface& s, bool* hasAlpha) {
    auto c = GdiSurface::create(s.width(), s.height(), 32, false);
    if (!c)
        return nullptr;
    bool alpha = false;
    bool plain32 = s.bpp() == 32 && !s.redMask && !s.greenMask && !s.blueMask;
    for (int32_t y = 0; y < s.height(); ++y) {
        uint8_t* out = c->row(y);
        if (plain32) {
            std::memcpy(out, s.row(y), size_t(s.width()) * 4);
            for (int32_t x = 0; x < s.width(); ++x)
                alpha = alpha || out[4 * x + 3] != 0;
        } else {
            for (int32_t x = 0; x < s.width(); ++x) {
                uint32_t v = s.pixel(x, y) & 0xFFFFFF;
                std::memcpy(out + 4 * x, &v, 4);
            }
        }
    }
    *hasAlpha = alpha;
    return c;
}

uint32_t applyRop(uint32_t rop, uint32_t s, uint32_t d) {
    switch (rop) {
    case SRCCOPY:
        return s;
    case SRCPAINT:
        return s | d;
    case SRCAND:
        return s & d;
    case SRCINVERT:
        return s ^ d;
    case NOTSRCCOPY:
        return ~s;
    case BLACKNESS:
        return 0;
    case WHITENESS:
        return 0xFFFFFF;
    default:
        return d;
    }
}

bool knownRop(uint32_t rop) {
    return rop == SRCCOPY || rop == SRCPAINT || rop == SRCAND || rop == SRCINVERT ||
           rop == NOTSRCCOPY || rop == BLACKNESS || rop == WHITENESS;
}

bool plain32(const GdiSurface& s) {
    return s.bpp() == 32 && !s.redMask && !s.greenMask && !s.blueMask;
}

BOOL stretch(HDC dest, int32_t x, int32_t y, int32_t w, int32_t h, HDC source, int32_t sx,
             int32_t sy, int32_t sw, int32_t sh, uint32_t rop) {
    std::lock_guard lock(gdiMutex());
    DcObject* d = dcs().get(dest);
    if (!d || !knownRop(rop))
        return 0;
    auto ds = surfaceOf(*d);
    if (!ds)
        return 0;
    bool needsSource = rop != BLACKNESS && rop != WHITENESS;
    std::shared_ptr<GdiSurface> ss;
    if (needsSource) {
        DcObject* s = dcs().get(source);
        if (!s)
            return 0;
        ss = surfaceOf(*s);
        if (!ss)
            return 0;
    }
    bool mirrorX = (w < 0) != (sw < 0);
    bool mirrorY = (h < 0) != (sh < 0);
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    if (sw < 0) {
        sx += sw;
        sw = -sw;
    }
    if (sh < 0) {
        sy += sh;
        sh = -sh;
    }
    if (w == 0 || h == 0 || (needsSource && (sw == 0 || sh == 0)))
        return 1;
    int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
    int32_t x1 = int32_t(std::min<int64_t>(int64_t(x) + w, ds->width()));
    int32_t y1 = int32_t(std::min<int64_t>(int64_t(y) + h, ds->height()));
    if (x0 >= x1 || y0 >= y1)
        return 1;
    auto srcIndex = [](int32_t i, int32_t n, int32_t sn, bool mirror) {
        int64_t k = (int64_t(i) * 2 + 1) * sn / (int64_t(n) * 2);
        return int32_t(mirror ? sn - 1 - k : k);
    };
    bool identity = needsSource && w == sw && h == sh && !mirrorX && !mirrorY;
    bool fast = identity && rop == SRCCOPY && plain32(*ds) && plain32(*ss);
    for (int32_t py = y0; py < y1; ++py) {
        int32_t srow = sy + (needsSource ? srcIndex(py - y, h, sh, mirrorY) : 0);
        if (needsSource && (srow < 0 || srow >= ss->height()))
            continue;
        if (fast) {
            int32_t a = std::max(x0, x - sx), b = std::min<int32_t>(x1, x - sx + ss->width());
            if (a < b)
                std::memmove(ds->row(py) + 4 * size_t(a), ss->row(srow) + 4 * size_t(a - x + sx),
                             size_t(b - a) * 4);
            continue;
        }
        for (int32_t px = x0; px < x1; ++px) {
            uint32_t s = 0;
            if (needsSource) {
                int32_t scol = sx + srcIndex(px - x, w, sw, mirrorX);
                if (scol < 0 || scol >= ss->width())
                    continue;
                s = ss->pixel(scol, srow) & 0xFFFFFF;
            }
            uint32_t dv = ds->pixel(px, py) & 0xFFFFFF;
            ds->setPixel(px, py, applyRop(rop, s, dv) & 0xFFFFFF);
        }
    }
    return 1;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Access for other layers

std::shared_ptr<GdiSurface> dcSurface(HDC hdc) {
    std::lock_guard lock(gdiMutex());
    DcObject* d = dcs().get(hdc);
    return d ? surfaceOf(*d) : nullptr;
}

bool dcKind(HDC hdc, DcKind* kind) {
    std::lock_guard lock(gdiMutex());
    DcObject* d = dcs().get(hdc);
    if (!d)
        return false;
    if (kind)
        *kind = d->kind;
    return true;
}

bool dcResolution(HDC hdc, double* dpiX, double* dpiY) {
    std::lock_guard lock(gdiMutex());
    DcObject* d = dcs().get(hdc);
    if (!d)
        return false;
    if (dpiX)
        *dpiX = d->dpiX;
    if (dpiY)
        *dpiY = d->dpiY;
    return true;
}

HDC createSurfaceDc(std::shared_ptr<GdiSurface> surface, DcKind kind) {
    if (!surface || kind == DcKind::Memory)
        return 0;
    std::lock_guard lock(gdiMutex());
    auto o = std::make_unique<DcObject>();
    o->kind = kind;
    o->dpiX = surface->dpiX();
    o->dpiY = surface->dpiY();
    o->surface = std::move(surface);
    o->fromGetDC = kind == DcKind::Window || kind == DcKind::Screen;
    return dcs().add(std::move(o));
}

HDC createPrinterDc(int32_t widthPx, int32_t heightPx, double dpiX, double dpiY) {
    if (!(dpiX > 0) || !(dpiY > 0))
        return 0;
    auto s = GdiSurface::create(widthPx, heightPx, 32, false, {}, dpiX, dpiY);
    if (!s)
        return 0;
    std::memset(s->bits(), 0xFF, s->byteSize());
    return createSurfaceDc(std::move(s), DcKind::Printer);
}

HDC createPrinterDc(std::shared_ptr<GdiSurface> surface, const PrinterDcGeometry& geometry,
                    double dpiX, double dpiY) {
    if (!(dpiX > 0) || !(dpiY > 0) || geometry.areaWidth < 1 || geometry.areaHeight < 1)
        return 0;
    std::lock_guard lock(gdiMutex());
    auto o = std::make_unique<DcObject>();
    o->kind = DcKind::Printer;
    o->dpiX = dpiX;
    o->dpiY = dpiY;
    o->surface = std::move(surface);
    o->hasPrinterGeometry = true;
    o->geometry = geometry;
    return dcs().add(std::move(o));
}

void setWindowSurfaceProvider(std::function<std::shared_ptr<GdiSurface>(HWND)> provider) {
    std::lock_guard lock(gdiMutex());
    screen().windowProvider = std::move(provider);
}

std::shared_ptr<GdiSurface> screenSurface() {
    std::lock_guard lock(gdiMutex());
    ScreenState& s = screen();
    if (!s.surface)
        s.surface = GdiSurface::create(s.width, s.height, 32, false);
    return s.surface;
}

void setScreenSize(int32_t width, int32_t height) {
    std::lock_guard lock(gdiMutex());
    if (width < 1 || height < 1)
        return;
    screen().width = width;
    screen().height = height;
    screen().surface.reset();
}

std::shared_ptr<GdiSurface> bitmapSurface(HBITMAP bitmap) {
    std::lock_guard lock(gdiMutex());
    BitmapObject* b = bitmaps().get(bitmap);
    return b ? b->surface : nullptr;
}

bool isDibSection(HBITMAP bitmap) {
    std::lock_guard lock(gdiMutex());
    BitmapObject* b = bitmaps().get(bitmap);
    return b && b->dib;
}

HBITMAP adoptBitmap(std::shared_ptr<GdiSurface> surface, bool dibSection) {
    std::lock_guard lock(gdiMutex());
    return addBitmap(std::move(surface), dibSection);
}

HBITMAP copyBitmap(HBITMAP bitmap) {
    std::lock_guard lock(gdiMutex());
    BitmapObject* b = bitmaps().get(bitmap);
    if (!b)
        return 0;
    return addBitmap(b->surface->clone(), b->dib);
}

std::shared_ptr<const IconData> iconData(HICON icon) {
    std::lock_guard lock(gdiMutex());
    IconObject* i = icons().get(icon);
    return i ? i->data : nullptr;
}

HICON adoptIcon(std::shared_ptr<IconData> data) {
    if (!data || !data->mask)
        return 0;
    std::lock_guard lock(gdiMutex());
    auto o = std::make_unique<IconObject>();
    o->data = std::move(data);
    return icons().add(std::move(o));
}

bool paletteEntries(HPALETTE palette, std::vector<PALETTEENTRY>* entries) {
    std::lock_guard lock(gdiMutex());
    PaletteObject* p = palettes().get(palette);
    if (!p)
        return false;
    if (entries)
        *entries = p->entries;
    return true;
}

GdiObjectCounts gdiObjectCounts() {
    std::lock_guard lock(gdiMutex());
    stockBitmap();
    GdiObjectCounts c;
    c.dcs = dcs().size();
    c.bitmaps = bitmaps().size() - 1; // the stock bitmap is not counted
    c.icons = icons().size();
    c.palettes = palettes().size();
    return c;
}

// ---------------------------------------------------------------------------------------
// GDI calls

HDC GetDC(HWND hwnd) {
    try {
        std::shared_ptr<GdiSurface> surface;
        DcKind kind = DcKind::Screen;
        if (hwnd == 0) {
            surface = screenSurface();
        } else {
            std::function<std::shared_ptr<GdiSurface>(HWND)> provider;
            {
                std::lock_guard lock(gdiMutex());
                provider = screen().windowProvider;
            }
            if (!provider)
                return 0;
            surface = provider(hwnd);
            kind = DcKind::Window;
        }
        if (!surface)
            return 0;
        std::lock_guard lock(gdiMutex());
        auto o = std::make_unique<DcObject>();
        o->kind = kind;
        o->surface = std::move(surface);
        o->fromGetDC = true;
        return dcs().add(std::move(o));
    } catch (...) {
        return 0;
    }
}

int ReleaseDC(HWND, HDC hdc) {
    std::lock_guard lock(gdiMutex());
    DcObject* d = dcs().get(hdc);
    if (!d || !d->fromGetDC)
        return 0;
    dcs().remove(hdc);
    return 1;
}

HDC CreateCompatibleDC(HDC hdc) {
    try {
        std::lock_guard lock(gdiMutex());
        double dx = 96.0, dy = 96.0;
        if (hdc != 0) {
            DcObject* d = dcs().get(hdc);
            if (!d)
                return 0;
            dx = d->dpiX;
            dy = d->dpiY;
        }
        auto o = std::make_unique<DcObject>();
        o->kind = DcKind::Memory;
        o->selected = stockBitmap();
        o->dpiX = dx;
        o->dpiY = dy;
        return dcs().add(std::move(o));
    } catch (...) {
        return 0;
    }
}

BOOL DeleteDC(HDC hdc) {
    std::lock_guard lock(gdiMutex());
    auto d = dcs().take(hdc);
    if (!d)
        return 0;
    if (d->kind == DcKind::Memory) {
        BitmapObject* b = bitmaps().get(d->selected);
        if (b && !b->stock)
            b->selectedIn = 0;
    }
    return 1;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int32_t width, int32_t height) {
    try {
        std::lock_guard lock(gdiMutex());
        if (hdc != 0 && !dcs().contains(hdc))
            return 0;
        return addBitmap(GdiSurface::create(width, height, 32, false), false);
    } catch (...) {
        return 0;
    }
}

HBITMAP CreateBitmap(int32_t width, int32_t height, uint32_t planes, uint32_t bitCount,
                     const void* bits) {
    try {
        if (planes != 1)
            return 0;
        auto s = GdiSurface::create(width, height, int(bitCount), false,
                                    bitCount == 1 ? monochromeTable() : std::vector<RGBQUAD>{});
        if (!s)
            return 0;
        if (bits) {
            size_t rowBytes = (size_t(width) * bitCount + 15) / 16 * 2;
            size_t copy = std::min(rowBytes, size_t(s->stride()));
            for (int32_t y = 0; y < height; ++y)
                std::memcpy(s->row(y), static_cast<const uint8_t*>(bits) + rowBytes * y, copy);
        }
        std::lock_guard lock(gdiMutex());
        return addBitmap(std::move(s), false);
    } catch (...) {
        return 0;
    }
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, uint32_t usage, void** bits, uint32_t,
                         uint32_t) {
    try {
        if (bits)
            *bits = nullptr;
        if (!info || usage != DIB_RGB_COLORS)
            return 0;
        BITMAPINFOHEADER h;
        std::memcpy(&h, &info->bmiHeader, sizeof h);
        if (h.biSize < 40 || h.biPlanes != 1 || h.biWidth <= 0 || h.biHeight == 0 ||
            h.biHeight == INT32_MIN)
            return 0;
        int bpp = h.biBitCount;
        if (h.biCompression == BI_BITFIELDS) {
            if (bpp != 16 && bpp != 32)
                return 0;
        } else if (h.biCompression != BI_RGB) {
            return 0;
        }
        if (hdc != 0 && !dcs().contains(hdc))
            return 0;
        bool bottomUp = h.biHeight > 0;
        int32_t height = bottomUp ? h.biHeight : -h.biHeight;
        const uint8_t* base = reinterpret_cast<const uint8_t*>(info);
        std::vector<RGBQUAD> table;
        if (bpp <= 8) {
            size_t n =
                h.biClrUsed ? std::min<size_t>(h.biClrUsed, size_t(1) << bpp) : (size_t(1) << bpp);
            table.resize(n);
            std::memcpy(table.data(), base + h.biSize, n * sizeof(RGBQUAD));
        }
        double dpiX = h.biXPelsPerMeter > 0 ? h.biXPelsPerMeter * 0.0254 : 96.0;
        double dpiY = h.biYPelsPerMeter > 0 ? h.biYPelsPerMeter * 0.0254 : 96.0;
        auto s = GdiSurface::create(h.biWidth, height, bpp, bottomUp, std::move(table), dpiX, dpiY);
        if (!s)
            return 0;
        if (h.biCompression == BI_BITFIELDS) {
            // The masks follow a 40-byte header and sit inside the larger headers at the
            // same offset, so offset 40 serves both.
            uint32_t m[3];
            std::memcpy(m, base + 40, sizeof m);
            s->redMask = m[0];
            s->greenMask = m[1];
            s->blueMask = m[2];
        }
        std::lock_guard lock(gdiMutex());
        HBITMAP hb = addBitmap(s, true);
        if (hb && bits)
            *bits = s->bits();
        return hb;
    } catch (...) {
        return 0;
    }
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    std::lock_guard lock(gdiMutex());
    DcObject* d = dcs().get(hdc);
    BitmapObject* b = bitmaps().get(object);
    if (!d || !b || d->kind != DcKind::Memory)
        return 0;
    if (object == d->selected)
        return object;
    if (!b->stock && b->selectedIn != 0)
        return 0;
    HBITMAP previous = d->selected;
    BitmapObject* old = bitmaps().get(previous);
    if (old && !old->stock)
        old->selectedIn = 0;
    if (!b->stock)
        b->selectedIn = hdc;
    d->selected = object;
    return previous;
}

HGDIOBJ GetCurrentObject(HDC hdc, uint32_t type) {
    std::lock_guard lock(gdiMutex());
    DcObject* d = dcs().get(hdc);
    if (!d || type != OBJ_BITMAP || d->kind != DcKind::Memory)
        return 0;
    return d->selected;
}

BOOL DeleteObject(HGDIOBJ object) {
    std::lock_guard lock(gdiMutex());
    switch (HandleTable<int>::kindOf(object)) {
    case HandleKind::GdiBitmap: {
        BitmapObject* b = bitmaps().get(object);
        if (!b)
            return 0;
        if (b->stock)
            return 1;
        if (b->selectedIn != 0)
            return 0;
        bitmaps().remove(object);
        return 1;
    }
    case HandleKind::GdiPalette:
        return palettes().remove(object) ? 1 : 0;
    case HandleKind::GdiIcon:
        return icons().remove(object) ? 1 : 0;
    default:
        return 0;
    }
}

int GetObject(HGDIOBJ object, int size, void* buffer) {
    std::lock_guard lock(gdiMutex());
    if (BitmapObject* b = bitmaps().get(object)) {
        const GdiSurface& s = *b->surface;
        BITMAP bm;
        bm.bmWidth = s.width();
        bm.bmHeight = s.height();
        bm.bmWidthBytes = s.stride();
        bm.bmBitsPixel = uint16_t(s.bpp());
        bm.bmBits = b->dib ? b->surface->bits() : nullptr;
        if (!buffer)
            return b->dib ? int(sizeof(DIBSECTION)) : int(sizeof(BITMAP));
        if (b->dib && size >= int(sizeof(DIBSECTION))) {
            DIBSECTION ds;
            ds.dsBm = bm;
            ds.dsBmih.biWidth = s.width();
            ds.dsBmih.biHeight = s.bottomUp() ? s.height() : -s.height();
            ds.dsBmih.biBitCount = uint16_t(s.bpp());
            bool fields = s.redMask || s.greenMask || s.blueMask;
            ds.dsBmih.biCompression = fields ? BI_BITFIELDS : BI_RGB;
            ds.dsBmih.biSizeImage = uint32_t(s.byteSize());
            ds.dsBmih.biXPelsPerMeter = int32_t(std::lround(s.dpiX() / 0.0254));
            ds.dsBmih.biYPelsPerMeter = int32_t(std::lround(s.dpiY() / 0.0254));
            ds.dsBmih.biClrUsed = uint32_t(s.colorTable().size());
            ds.dsBitfields[0] = s.redMask;
            ds.dsBitfields[1] = s.greenMask;
            ds.dsBitfields[2] = s.blueMask;
            std::memcpy(buffer, &ds, sizeof ds);
            return int(sizeof ds);
        }
        if (size < int(sizeof(BITMAP)))
            return 0;
        std::memcpy(buffer, &bm, sizeof bm);
        return int(sizeof bm);
    }
    if (PaletteObject* p = palettes().get(object)) {
        if (!buffer)
            return 2;
        if (size < 2)
            return 0;
        uint16_t n = uint16_t(p->entries.size());
        std::memcpy(buffer, &n, 2);
        return 2;
    }
    return 0;
}

int GetDeviceCaps(HDC hdc, int index) {
    std::lock_guard lock(gdiMutex());
    DcObject* d = dcs().get(hdc);
    if (!d)
        return 0;
    auto s = surfaceOf(*d);
    int w = s ? s->width() : 0, h = s ? s->height() : 0;
    if (d->hasPrinterGeometry) {
        const PrinterDcGeometry& g = d->geometry;
        w = g.areaWidth;
        h = g.areaHeight;
        switch (index) {
        case PHYSICALWIDTH:
            return g.sheetWidth > 0 ? g.sheetWidth : w;
        case PHYSICALHEIGHT:
            return g.sheetHeight > 0 ? g.sheetHeight : h;
        case PHYSICALOFFSETX:
            return g.offsetX;
        case PHYSICALOFFSETY:
            return g.offsetY;
        case BITSPIXEL:
            return 32;
        default:
            break;
        }
    }
    switch (index) {
    case TECHNOLOGY:
        return d->kind == DcKind::Printer ? DT_RASPRINTER : DT_RASDISPLAY;
    case HORZRES:
    case PHYSICALWIDTH:
        return w;
    case VERTRES:
    case PHYSICALHEIGHT:
        return h;
    case HORZSIZE:
        return int(std::lround(w * 25.4 / d->dpiX));
    case VERTSIZE:
        return int(std::lround(h * 25.4 / d->dpiY));
    case BITSPIXEL:
        return s ? s->bpp() : 0;
    case PLANES:
        return 1;
    case LOGPIXELSX:
        return int(std::lround(d->dpiX));
    case LOGPIXELSY:
        return int(std::lround(d->dpiY));
    case PHYSICALOFFSETX:
    case PHYSICALOFFSETY:
        return 0;
    default:
        return 0;
    }
}

BOOL BitBlt(HDC dest, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t sx,
            int32_t sy, uint32_t rop) {
    try {
        return stretch(dest, x, y, width, height, source, sx, sy, width, height, rop);
    } catch (...) {
        return 0;
    }
}

BOOL StretchBlt(HDC dest, int32_t x, int32_t y, int32_t width, int32_t height, HDC source,
                int32_t sx, int32_t sy, int32_t sw, int32_t sh, uint32_t rop) {
    try {
        return stretch(dest, x, y, width, height, source, sx, sy, sw, sh, rop);
    } catch (...) {
        return 0;
    }
}

COLORREF GetPixel(HDC hdc, int32_t x, int32_t y) {
    auto s = dcSurface(hdc);
    if (!s || x < 0 || y < 0 || x >= s->width() || y >= s->height())
        return CLR_INVALID;
    uint32_t v = s->pixel(x, y);
    return RGB(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v));
}

COLORREF SetPixel(HDC hdc, int32_t x, int32_t y, COLORREF color) {
    auto s = dcSurface(hdc);
    if (!s || x < 0 || y < 0 || x >= s->width() || y >= s->height())
        return CLR_INVALID;
    s->setPixel(x, y,
                (uint32_t(GetRValue(color)) << 16) | (uint32_t(GetGValue(color)) << 8) |
                    GetBValue(color));
    return GetPixel(hdc, x, y);
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    try {
        if (!palette || palette->palNumEntries == 0 || palette->palNumEntries > 1024)
            return 0;
        auto o = std::make_unique<PaletteObject>();
        o->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
        std::lock_guard lock(gdiMutex());
        return palettes().add(std::move(o));
    } catch (...) {
        return 0;
    }
}

uint32_t GetPaletteEntries(HPALETTE palette, uint32_t start, uint32_t count,
                           PALETTEENTRY* entries) {
    std::lock_guard lock(gdiMutex());
    PaletteObject* p = palettes().get(palette);
    if (!p)
        return 0;
    if (!entries)
        return uint32_t(p->entries.size());
    if (start >= p->entries.size())
        return 0;
    uint32_t n = std::min<uint32_t>(count, uint32_t(p->entries.size()) - start);
    std::copy_n(p->entries.begin() + start, n, entries);
    return n;
}

HICON CreateIconIndirect(const ICONINFO* info) {
    try {
        if (!info)
            return 0;
        std::lock_guard lock(gdiMutex());
        BitmapObject* mask = bitmaps().get(info->hbmMask);
        if (!mask)
            return 0;
        BitmapObject* color = info->hbmColor ? bitmaps().get(info->hbmColor) : nullptr;
        if (info->hbmColor && !color)
            return 0;
        auto data = std::make_shared<IconData>();
        data->isIcon = info->fIcon != 0;
        data->xHotspot = info->xHotspot;
        data->yHotspot = info->yHotspot;
        data->mask = toMask(*mask->surface);
        if (!data->mask)
            return 0;
        if (color) {
            data->color = toColor(*color->surface, &data->hasAlpha);
            if (!data->color)
                return 0;
        }
        auto o = std::make_unique<IconObject>();
        o->data = std::move(data);
        return icons().add(std::move(o));
    } catch (...) {
        return 0;
    }
}

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
    try {
        if (!info)
            return 0;
        std::lock_guard lock(gdiMutex());
        IconObject* i = icons().get(icon);
        if (!i)
            return 0;
        info->fIcon = i->data->isIcon ? 1 : 0;
        info->xHotspot = i->data->xHotspot;
        info->yHotspot = i->data->yHotspot;
        info->hbmMask = addBitmap(i->data->mask->clone(), false);
        info->hbmColor = i->data->color ? addBitmap(i->data->color->clone(), false) : 0;
        return info->hbmMask ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

HICON CopyIcon(HICON icon) {
    try {
        std::lock_guard lock(gdiMutex());
        IconObject* i = icons().get(icon);
        if (!i)
            return 0;
        auto o = std::make_unique<IconObject>();
        o->data = i->data; // contents are never modified, so sharing them is a copy
        return icons().add(std::move(o));
    } catch (...) {
        return 0;
    }
}

BOOL DestroyIcon(HICON icon) {
    std::lock_guard lock(gdiMutex());
    return icons().remove(icon) ? 1 : 0;
}

} // namespace win
