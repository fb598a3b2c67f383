// Picture files: reading BMP, ICO/CUR, WMF and EMF (and raster formats through the
// installed decoder), writing BMP, ICO, WMF and EMF.

#include "platform/win/gdi.h"
#include "platform/win/gdi_metafile.h"
#include "platform/win/gdi_objects.h"
#include "platform/win/picture.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <vector>

namespace win {

namespace {

std::atomic<PictureRasterDecoder> g_decoder{nullptr};

uint16_t u16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t u32(const uint8_t* p) {
    return uint32_t(u16(p)) | (uint32_t(u16(p + 2)) << 16);
}

void put16(std::vector<uint8_t>& o, uint16_t v) {
    o.push_back(uint8_t(v));
    o.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& o, uint32_t v) {
    put16(o, uint16_t(v));
    put16(o, uint16_t(v >> 16));
}

size_t tableEntries(const BITMAPINFOHEADER& h) {
    if (h.biBitCount > 8)
        return h.biCompression == BI_BITFIELDS ? 3 : 0;
    size_t full = size_t(1) << h.biBitCount;
    return h.biClrUsed && h.biClrUsed < full ? h.biClrUsed : full;
}

// A DIB section from a packed DIB (header, table, bits); 0 when it is not one we read.
HBITMAP dibFromPacked(const uint8_t* p, size_t size, size_t bitsOffset) {
    if (size < 40)
        return 0;
    BITMAPINFOHEADER h;
    std::memcpy(&h, p, sizeof h);
    if (h.biSize < 40 || h.biSize > size)
        return 0;
    size_t table = tableEntries(h) * 4;
    if (h.biSize + table > size)
        return 0;
    void* bits = nullptr;
    HBITMAP hb = CreateDIBSection(0, reinterpret_cast<const BITMAPINFO*>(p), DIB_RGB_COLORS, &bits);
    if (!hb)
        return 0;
    auto s = bitmapSurface(hb);
    if (bitsOffset == 0)
        bitsOffset = h.biSize + table;
    if (bitsOffset > size || size - bitsOffset < s->byteSize()) {
        DeleteObject(hb);
        return 0;
    }
    std::memcpy(bits, p + bitsOffset, s->byteSize());
    return hb;
}

HRESULT wrap(uint32_t type, uint32_t handle, int32_t xExt, int32_t yExt, PicturePtr* out) {
    PICTDESC d;
    d.picType = type;
    if (type == PICTYPE_METAFILE) {
        d.wmf.hmeta = handle;
        d.wmf.xExt = xExt;
        d.wmf.yExt = yExt;
    } else {
        d.bmp.hbitmap = handle; // every other type keeps its handle in the first field
        d.bmp.hpal = 0;
    }
    HRESULT hr = OleCreatePictureIndirect(&d, true, out);
    if (hr != S_OK) {
        if (type == PICTYPE_BITMAP)
            DeleteObject(handle);
        else if (type == PICTYPE_ICON)
            DestroyIcon(handle);
        else if (type == PICTYPE_METAFILE)
            DeleteMetaFile(handle);
        else if (type == PICTYPE_ENHMETAFILE)
            DeleteEnhMetaFile(handle);
    }
    return hr;
}

// The first image of an ICO or CUR file.
HRESULT loadIcon(const std::vector<uint8_t>& f, PicturePtr* out) {
    if (f.size() < 22 || u16(f.data() + 4) == 0)
        return CTL_E_INVALIDPICTURE;
    const bool cursor = u16(f.data() + 2) == 2;
    const uint8_t* e = f.data() + 6;
    uint32_t bytes = u32(e + 8), offset = u32(e + 12);
    if (offset > f.size() || bytes > f.size() - offset || bytes < 8)
        return CTL_E_INVALIDPICTURE;
    const uint8_t* img = f.data() + offset;
    ICONINFO ii;
    ii.fIcon = cursor ? 0 : 1;
    ii.xHotspot = cursor ? u16(e + 4) : 0;
    ii.yHotspot = cursor ? u16(e + 6) : 0;
    HBITMAP color = 0, mask = 0;
    if (std::memcmp(img, "\x89PNG", 4) == 0) {
        PictureRasterDecoder decode = g_decoder.load();
        if (!decode || !decode(img, bytes, &color))
            return CTL_E_INVALIDPICTURE;
        auto s = bitmapSurface(color);
        mask = CreateBitmap(s->width(), s->height(), 1, 1, nullptr);
        auto m = bitmapSurface(mask);
        for (int32_t y = 0; y < s->height(); ++y)
            for (int32_t x = 0; x < s->width(); ++x)
                if (s->row(y)[4 * x + 3] == 0)
                    m->row(y)[x >> 3] |= uint8_t(0x80 >> (x & 7));
    } else {
        if (bytes < 40)
            return CTL_E_INVALIDPICTURE;
        // The header's height covers the colour image and the mask.
        std::vector<uint8_t> header(img, img + bytes);
        int32_t fullHeight;
        std::memcpy(&fullHeight, &header[8], 4);
        int32_t h = fullHeight / 2;
        if (h <= 0)
            return CTL_E_INVALIDPICTURE;
        std::memcpy(&header[8], &h, 4);
        color = dibFromPacked(header.data(), header.size(), 0);
        if (!color)
            return CTL_E_INVALIDPICTURE;
        auto cs = bitmapSurface(color);
        BITMAPINFOHEADER bh;
        std::memcpy(&bh, header.data(), sizeof bh);
        size_t maskOffset = bh.biSize + tableEntries(bh) * 4 + cs->byteSize();
        mask = CreateBitmap(cs->width(), cs->height(), 1, 1, nullptr);
        auto ms = bitmapSurface(mask);
        const size_t maskStride = size_t(GdiSurface::dibStride(cs->width(), 1));
        if (maskOffset + maskStride * size_t(h) <= header.size()) {
            for (int32_t y = 0; y < h; ++y) // the mask is bottom-up
                std::memcpy(ms->row(h - 1 - y), &header[maskOffset + maskStride * size_t(y)],
                            std::min<size_t>(maskStride, size_t(ms->stride())));
        }
    }
    ii.hbmColor = color;
    ii.hbmMask = mask;
    HICON icon = CreateIconIndirect(&ii);
    DeleteObject(color);
    DeleteObject(mask);
    if (!icon)
        return CTL_E_INVALIDPICTURE;
    return wrap(PICTYPE_ICON, icon, 0, 0, out);
}

std::vector<uint8_t> bmpBytes(const GdiSurface& s) {
    std::vector<uint8_t> o;
    const bool fields = s.redMask || s.greenMask || s.blueMask;
    const uint32_t table = s.bpp() <= 8 ? uint32_t(s.colorTable().size()) * 4 : fields ? 12 : 0;
    const uint32_t offBits = 14 + 40 + table;
    o.push_back('B');
    o.push_back('M');
    put32(o, offBits + uint32_t(s.byteSize()));
    put32(o, 0);
    put32(o, offBits);
    put32(o, 40);
    put32(o, uint32_t(s.width()));
    put32(o, uint32_t(s.height())); // bottom-up
    put16(o, 1);
    put16(o, uint16_t(s.bpp()));
    put32(o, fields ? BI_BITFIELDS : BI_RGB);
    put32(o, uint32_t(s.byteSize()));
    put32(o, uint32_t(s.dpiX() / 0.0254 + 0.5));
    put32(o, uint32_t(s.dpiY() / 0.0254 + 0.5));
    put32(o, s.bpp() <= 8 ? uint32_t(s.colorTable().size()) : 0);
    put32(o, 0);
    if (s.bpp() <= 8) {
        for (const RGBQUAD& q : s.colorTable()) {
            o.push_back(q.rgbBlue);
            o.push_back(q.rgbGreen);
            o.push_back(q.rgbRed);
            o.push_back(0);
        }
    } else if (fields) {
        put32(o, s.redMask);
        put32(o, s.greenMask);
        put32(o, s.blueMask);
    }
    for (int32_t y = s.height() - 1; y >= 0; --y)
        o.insert(o.end(), s.row(y), s.row(y) + s.stride());
    return o;
}

std::vector<uint8_t> icoBytes(const IconData& d, bool isIcon) {
    const int32_t w = d.width(), h = d.height();
    const uint32_t xorBytes = uint32_t(w) * uint32_t(h) * 4;
    const uint32_t maskStride = uint32_t(GdiSurface::dibStride(w, 1));
    const uint32_t andBytes = maskStride * uint32_t(h);
    std::vector<uint8_t> o;
    put16(o, 0);
    put16(o, isIcon ? 1 : 2);
    put16(o, 1);
    o.push_back(uint8_t(w >= 256 ? 0 : w));
    o.push_back(uint8_t(h >= 256 ? 0 : h));
    o.push_back(0);
    o.push_back(0);
    put16(o, isIcon ? 1 : uint16_t(d.xHotspot));
    put16(o, isIcon ? 32 : uint16_t(d.yHotspot));
    put32(o, 40 + xorBytes + andBytes);
    put32(o, 22);
    put32(o, 40);
    put32(o, uint32_t(w));
    put32(o, uint32_t(2 * h));
    put16(o, 1);
    put16(o, 32);
    for (int i = 0; i < 6; ++i)
        put32(o, 0);
    const GdiSurface& mask = *d.mask;
    for (int32_t y = h - 1; y >= 0; --y)
        for (int32_t x = 0; x < w; ++x) {
            uint32_t v;
            if (d.color) {
                std::memcpy(&v, d.color->row(y) + 4 * size_t(x), 4);
            } else {
                bool white = (mask.row(y + h)[x >> 3] >> (7 - (x & 7))) & 1;
                v = white ? 0xFFFFFF : 0;
            }
            put32(o, v);
        }
    for (int32_t y = h - 1; y >= 0; --y) {
        const uint8_t* r = mask.row(y);
        o.insert(o.end(), r, r + std::min<int32_t>(int32_t(maskStride), mask.stride()));
        for (int32_t k = mask.stride(); k < int32_t(maskStride); ++k)
            o.push_back(0);
    }
    return o;
}

} // namespace

void setPictureRasterDecoder(PictureRasterDecoder decoder) {
    g_decoder.store(decoder);
}

HRESULT LoadPicture(const std::string& path, PicturePtr* picture) {
    try {
        if (!picture)
            return E_POINTER;
        picture->reset();
        if (path.empty()) {
            PICTDESC d;
            return OleCreatePictureIndirect(&d, true, picture);
        }
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return CTL_E_FILENOTFOUND;
        std::vector<uint8_t> f((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        const uint8_t* p = f.data();
        const size_t n = f.size();
        if (n >= 18 && p[0] == 'B' && p[1] == 'M') {
            HBITMAP hb = dibFromPacked(p + 14, n - 14, u32(p + 10) >= 14 ? u32(p + 10) - 14 : 0);
            return hb ? wrap(PICTYPE_BITMAP, hb, 0, 0, picture) : CTL_E_INVALIDPICTURE;
        }
        if (n >= 6 && u16(p) == 0 && (u16(p + 2) == 1 || u16(p + 2) == 2))
            return loadIcon(f, picture);
        if (n >= 22 && u32(p) == 0x9AC6CDD7u) {
            int32_t w = int16_t(u16(p + 10)) - int16_t(u16(p + 6));
            int32_t h = int16_t(u16(p + 12)) - int16_t(u16(p + 8));
            uint16_t inch = u16(p + 14);
            HMETAFILE mf = inch ? SetMetaFileBitsEx(uint32_t(n), p) : 0;
            if (!mf)
                return CTL_E_INVALIDPICTURE;
            return wrap(PICTYPE_METAFILE, mf, int32_t(int64_t(std::abs(w)) * 2540 / inch),
                        int32_t(int64_t(std::abs(h)) * 2540 / inch), picture);
        }
        if (n >= 88 && u32(p) == 1 && std::memcmp(p + 40, " EMF", 4) == 0) {
            HENHMETAFILE emf = SetEnhMetaFileBits(uint32_t(n), p);
            return emf ? wrap(PICTYPE_ENHMETAFILE, emf, 0, 0, picture) : CTL_E_INVALIDPICTURE;
        }
        PictureRasterDecoder decode = g_decoder.load();
        HBITMAP hb = 0;
        if (decode && n > 0 && decode(p, n, &hb) && hb)
            return wrap(PICTYPE_BITMAP, hb, 0, 0, picture);
        return CTL_E_INVALIDPICTURE;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return CTL_E_INVALIDPICTURE;
    }
}

HRESULT SavePicture(const Picture* picture, const std::string& path) {
    try {
        if (!picture)
            return E_POINTER;
        std::vector<uint8_t> bytes;
        switch (picture->Type()) {
        case PICTYPE_BITMAP: {
            auto s = bitmapSurface(picture->Handle());
            if (!s)
                return CTL_E_INVALIDPICTURE;
            bytes = bmpBytes(*s);
            break;
        }
        case PICTYPE_ICON: {
            auto d = iconData(picture->Handle());
            if (!d)
                return CTL_E_INVALIDPICTURE;
            bytes = icoBytes(*d, d->isIcon);
            break;
        }
        case PICTYPE_METAFILE: {
            std::vector<uint8_t> records;
            if (!metafileBytes(picture->Handle(), &records))
                return CTL_E_INVALIDPICTURE;
            // The frame from the HIMETRIC size at 1440 units per inch.
            auto units = [](int32_t himetric) {
                return uint16_t(std::clamp<int64_t>(int64_t(himetric) * 1440 / 2540, 1, 32767));
            };
            std::vector<uint8_t> h;
            put32(h, 0x9AC6CDD7u);
            put16(h, 0);
            put16(h, 0);
            put16(h, 0);
            put16(h, units(picture->Width()));
            put16(h, units(picture->Height()));
            put16(h, 1440);
            put32(h, 0);
            uint16_t sum = 0;
            for (size_t i = 0; i < 20; i += 2)
                sum ^= u16(&h[i]);
            put16(h, sum);
            bytes = h;
            bytes.insert(bytes.end(), records.begin(), records.end());
            break;
        }
        case PICTYPE_ENHMETAFILE:
            if (!enhMetafileBytes(picture->Handle(), &bytes))
                return CTL_E_INVALIDPICTURE;
            break;
        default:
            return CTL_E_INVALIDPICTURE;
        }
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out)
            return CTL_E_PATHFILEACCESSERROR;
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return out ? S_OK : CTL_E_PATHFILEACCESSERROR;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace win
