#include "platform/gdiplus/hbitmap.h"

#include "platform/gdiplus/codec_registry.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/pixel_convert.h"
#include "platform/gdiplus/session.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_objects.h"
#include "platform/win/picture.h"

#include <cstring>
#include <new>

namespace gp {

namespace {

Palette paletteFrom(const std::vector<win::RGBQUAD>& table) {
    Palette p;
    for (const win::RGBQUAD& q : table)
        p.entries.push_back(0xFF000000u | (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) |
                            q.rgbBlue);
    return p;
}

PixelFormat indexedFormat(int bpp) {
    switch (bpp) {
    case 1:
        return PixelFormat1bppIndexed;
    case 4:
        return PixelFormat4bppIndexed;
    default:
        return PixelFormat8bppIndexed;
    }
}

// The format of a 16- or 32-bpp layout with these masks (all 0: the default one), or 0
// when it is not one the layer has.
PixelFormat maskedFormat(int bpp, uint32_t r, uint32_t g, uint32_t b) {
    bool none = !r && !g && !b;
    if (bpp == 16) {
        if (none || (r == 0x7C00 && g == 0x03E0 && b == 0x001F))
            return PixelFormat16bppRGB555;
        if (r == 0xF800 && g == 0x07E0 && b == 0x001F)
            return PixelFormat16bppRGB565;
        return PixelFormatUndefined;
    }
    if (none || (r == 0xFF0000 && g == 0xFF00 && b == 0xFF))
        return PixelFormat32bppRGB;
    return PixelFormatUndefined;
}

// An owned frame of the given format registered as a new bitmap.
Status newBitmap(int32_t w, int32_t h, PixelFormat format, GpBitmap* out, Image** image) {
    auto img = std::make_unique<Image>();
    Frame frame;
    Status s = makeOwnedFrame(w, h, format, frame);
    if (s != Ok)
        return s;
    img->frames.push_back(std::move(frame));
    *image = img.get();
    *out = addImage(std::move(img));
    return Ok;
}

Status argbRows(const Frame& f, std::vector<uint32_t>& out) {
    out.resize(size_t(f.width) * size_t(f.height));
    convertRect(f.row(0), f.stride, f.format, &f.palette, 0, reinterpret_cast<uint8_t*>(out.data()),
                ptrdiff_t(f.width) * 4, PixelFormat32bppARGB, nullptr, 0, f.width, f.height);
    return Ok;
}

// Raster content for the picture loader: the first frame as a 32-bpp DIB section.
bool decodeForPicture(const uint8_t* data, size_t size, win::HBITMAP* bitmap) {
    try {
        *bitmap = 0;
        DecodedImage decoded;
        if (decodeImage(std::span<const uint8_t>(data, size), decoded) != Ok ||
            decoded.frames.empty())
            return false;
        const FrameData& f = decoded.frames[0];
        win::BITMAPINFO info{};
        info.bmiHeader.biWidth = f.width;
        info.bmiHeader.biHeight = f.height;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        win::HBITMAP h = win::CreateDIBSection(0, &info, win::DIB_RGB_COLORS, &bits);
        if (!h)
            return false;
        auto surface = win::bitmapSurface(h);
        surface->setDpi(f.dpiX, f.dpiY);
        for (int32_t y = 0; y < f.height; ++y)
            convertRect(f.pixels.data() + size_t(y) * size_t(f.stride), f.stride, f.format,
                        &f.palette, 0, surface->row(y), surface->stride(), PixelFormat32bppARGB,
                        nullptr, 0, f.width, 1);
        *bitmap = h;
        return true;
    } catch (...) {
        return false;
    }
}

// Linking the GDI conversions in gives the picture loader its raster formats.
[[maybe_unused]] const bool kPictureDecoderInstalled =
    (win::setPictureRasterDecoder(&decodeForPicture), true);

template <class F> Status trapped(F body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

} // namespace

Status GdipCreateBitmapFromGdiDib(const win::BITMAPINFO* info, void* bits, GpBitmap* bitmap) {
    return trapped([&]() -> Status {
        if (!bitmap)
            return InvalidParameter;
        *bitmap = 0;
        if (!isStarted())
            return GdiplusNotInitialized;
        if (!info || !bits)
            return InvalidParameter;
        win::BITMAPINFOHEADER h;
        std::memcpy(&h, &info->bmiHeader, sizeof h);
        if (h.biSize < 40 || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN)
            return InvalidParameter;
        const int bpp = h.biBitCount;
        const uint8_t* base = reinterpret_cast<const uint8_t*>(info);
        PixelFormat format = PixelFormatUndefined;
        if (bpp == 1 || bpp == 4 || bpp == 8) {
            if (h.biCompression != win::BI_RGB)
                return InvalidParameter;
            format = indexedFormat(bpp);
        } else if (bpp == 24 && h.biCompression == win::BI_RGB) {
            format = PixelFormat24bppRGB;
        } else if ((bpp == 16 || bpp == 32) &&
                   (h.biCompression == win::BI_RGB || h.biCompression == win::BI_BITFIELDS)) {
            uint32_t m[3] = {0, 0, 0};
            if (h.biCompression == win::BI_BITFIELDS)
                std::memcpy(m, base + 40, sizeof m);
            format = maskedFormat(bpp, m[0], m[1], m[2]);
        }
        if (format == PixelFormatUndefined)
            return InvalidParameter;
        const int32_t height = h.biHeight > 0 ? h.biHeight : -h.biHeight;
        const int64_t stride = (int64_t(h.biWidth) * bpp + 31) / 32 * 4;
        if (stride > INT32_MAX / 2)
            return InvalidParameter;
        uint8_t* first = static_cast<uint8_t*>(bits);
        int32_t step = int32_t(stride);
        if (h.biHeight > 0) { // bottom-up: the top row is the last in memory
            first += size_t(stride) * size_t(height - 1);
            step = -step;
        }
        GpBitmap out = 0;
        Status s = GdipCreateBitmapFromScan0(h.biWidth, height, step, format, first, &out);
        if (s != Ok)
            return s;
        Frame& f = findBitmap(out)->active();
        if (isIndexed(format)) {
            size_t n = size_t(1) << bpp;
            if (h.biClrUsed && h.biClrUsed < n)
                n = h.biClrUsed;
            std::vector<win::RGBQUAD> table(n);
            std::memcpy(table.data(), base + h.biSize, n * sizeof(win::RGBQUAD));
            f.palette = paletteFrom(table);
        }
        f.dpiX = h.biXPelsPerMeter > 0 ? h.biXPelsPerMeter * 0.0254 : 96.0;
        f.dpiY = h.biYPelsPerMeter > 0 ? h.biYPelsPerMeter * 0.0254 : 96.0;
        *bitmap = out;
        return Ok;
    });
}

Status GdipCreateBitmapFromHBITMAP(win::HBITMAP hbm, win::HPALETTE palette, GpBitmap* bitmap) {
    return trapped([&]() -> Status {
        if (!bitmap)
            return InvalidParameter;
        *bitmap = 0;
        if (!isStarted())
            return GdiplusNotInitialized;
        auto s = win::bitmapSurface(hbm);
        if (!s)
            return InvalidParameter;
        const int bpp = s->bpp();
        PixelFormat format;
        if (bpp <= 8)
            format = indexedFormat(bpp);
        else if (bpp == 24)
            format = PixelFormat24bppRGB;
        else
            format = maskedFormat(bpp, s->redMask, s->greenMask, s->blueMask);
        const bool generic = format == PixelFormatUndefined;
        if (generic)
            format = PixelFormat32bppRGB;
        Image* img = nullptr;
        GpBitmap out = 0;
        Status st = newBitmap(s->width(), s->height(), format, &out, &img);
        if (st != Ok)
            return st;
        Frame& f = img->active();
        if (bpp <= 8) {
            std::vector<win::PALETTEENTRY> entries;
            if (!win::isDibSection(hbm) && palette && win::paletteEntries(palette, &entries)) {
                f.palette.entries.clear();
                for (const win::PALETTEENTRY& e : entries)
                    f.palette.entries.push_back(0xFF000000u | (uint32_t(e.peRed) << 16) |
                                                (uint32_t(e.peGreen) << 8) | e.peBlue);
                if (f.palette.entries.size() > (size_t(1) << bpp))
                    f.palette.entries.resize(size_t(1) << bpp);
            } else {
                f.palette = paletteFrom(s->colorTable());
            }
        }
        const size_t rowBytes = size_t((int64_t(s->width()) * bpp + 7) / 8);
        for (int32_t y = 0; y < s->height(); ++y) {
            if (generic) {
                for (int32_t x = 0; x < s->width(); ++x) {
                    uint32_t v = s->pixel(x, y);
                    std::memcpy(f.row(y) + 4 * size_t(x), &v, 4);
                }
            } else {
                std::memcpy(f.row(y), s->row(y), rowBytes);
            }
        }
        *bitmap = out;
        return Ok;
    });
}

Status GdipCreateBitmapFromHICON(win::HICON icon, GpBitmap* bitmap) {
    return trapped([&]() -> Status {
        if (!bitmap)
            return InvalidParameter;
        *bitmap = 0;
        if (!isStarted())
            return GdiplusNotInitialized;
        auto data = win::iconData(icon);
        if (!data || data->width() < 1 || data->height() < 1)
            return InvalidParameter;
        const int32_t w = data->width(), h = data->height();
        Image* img = nullptr;
        GpBitmap out = 0;
        Status st = newBitmap(w, h, PixelFormat32bppARGB, &out, &img);
        if (st != Ok)
            return st;
        Frame& f = img->active();
        const win::GdiSurface& mask = *data->mask;
        auto maskBit = [&](int32_t x, int32_t y) {
            return (mask.row(y)[x >> 3] >> (7 - (x & 7))) & 1;
        };
        for (int32_t y = 0; y < h; ++y) {
            uint8_t* out = f.row(y);
            for (int32_t x = 0; x < w; ++x) {
                uint32_t v;
                if (data->color) {
                    std::memcpy(&v, data->color->row(y) + 4 * size_t(x), 4);
                    if (!data->hasAlpha)
                        v = maskBit(x, y) ? 0 : (v | 0xFF000000u);
                } else {
                    int andBit = maskBit(x, y), xorBit = maskBit(x, y + h);
                    v = andBit ? 0 : (xorBit ? 0xFFFFFFFFu : 0xFF000000u);
                }
                std::memcpy(out + 4 * size_t(x), &v, 4);
            }
        }
        *bitmap = out;
        return Ok;
    });
}

Status GdipCreateHBITMAPFromBitmap(GpBitmap bitmap, win::HBITMAP* hbm, ARGB background) {
    return trapped([&]() -> Status {
        if (!hbm)
            return InvalidParameter;
        *hbm = 0;
        if (!isStarted())
            return GdiplusNotInitialized;
        Image* img = findBitmap(bitmap);
        if (!img)
            return InvalidParameter;
        if (img->isLocked())
            return ObjectBusy;
        const Frame& f = img->active();
        std::vector<uint32_t> argb;
        argbRows(f, argb);
        win::BITMAPINFO info{};
        info.bmiHeader.biWidth = f.width;
        info.bmiHeader.biHeight = f.height;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        win::HBITMAP h = win::CreateDIBSection(0, &info, win::DIB_RGB_COLORS, &bits);
        if (!h)
            return OutOfMemory;
        auto surface = win::bitmapSurface(h);
        surface->setDpi(f.dpiX, f.dpiY);
        // Premultiplied background, composited under every pixel.
        const uint32_t ba = background >> 24;
        auto pm = [](uint32_t c, uint32_t a) { return (c * a + 127) / 255; };
        const uint32_t bb = pm(background & 0xFF, ba), bg = pm((background >> 8) & 0xFF, ba),
                       br = pm((background >> 16) & 0xFF, ba);
        for (int32_t y = 0; y < f.height; ++y) {
            const uint32_t* src = &argb[size_t(y) * size_t(f.width)];
            uint8_t* dst = surface->row(y);
            for (int32_t x = 0; x < f.width; ++x) {
                uint32_t p = src[x], a = p >> 24, k = 255 - a;
                uint32_t b = pm(p & 0xFF, a) + pm(bb, k), g = pm((p >> 8) & 0xFF, a) + pm(bg, k),
                         r = pm((p >> 16) & 0xFF, a) + pm(br, k), oa = a + pm(ba, k);
                uint32_t v = (oa << 24) | (r << 16) | (g << 8) | b;
                std::memcpy(dst + 4 * size_t(x), &v, 4);
            }
        }
        *hbm = h;
        return Ok;
    });
}

Status GdipCreateHICONFromBitmap(GpBitmap bitmap, win::HICON* icon) {
    return trapped([&]() -> Status {
        if (!icon)
            return InvalidParameter;
        *icon = 0;
        if (!isStarted())
            return GdiplusNotInitialized;
        Image* img = findBitmap(bitmap);
        if (!img)
            return InvalidParameter;
        if (img->isLocked())
            return ObjectBusy;
        const Frame& f = img->active();
        std::vector<uint32_t> argb;
        argbRows(f, argb);
        auto data = std::make_shared<win::IconData>();
        data->color = win::GdiSurface::create(f.width, f.height, 32, false);
        data->mask = win::GdiSurface::create(f.width, f.height, 1, false,
                                             {win::RGBQUAD{0, 0, 0, 0}, {255, 255, 255, 0}});
        if (!data->color || !data->mask)
            return OutOfMemory;
        for (int32_t y = 0; y < f.height; ++y) {
            const uint32_t* src = &argb[size_t(y) * size_t(f.width)];
            std::memcpy(data->color->row(y), src, size_t(f.width) * 4);
            for (int32_t x = 0; x < f.width; ++x) {
                data->hasAlpha = data->hasAlpha || (src[x] >> 24) != 0;
                if ((src[x] >> 24) == 0)
                    data->mask->row(y)[x >> 3] |= uint8_t(0x80 >> (x & 7));
            }
        }
        *icon = win::adoptIcon(std::move(data));
        return *icon ? Ok : OutOfMemory;
    });
}

} // namespace gp
