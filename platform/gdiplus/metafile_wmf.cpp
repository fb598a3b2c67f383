// Windows metafile (WMF) reading and playback. Parameters of a record are 16-bit words,
// mostly in reverse order of the GDI call's arguments.

#include "platform/gdiplus/metafile_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gp {

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7u;

uint16_t u16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
int16_t s16(const uint8_t* p) {
    return int16_t(u16(p));
}
uint32_t u32(const uint8_t* p) {
    return uint32_t(u16(p)) | (uint32_t(u16(p + 2)) << 16);
}

// One record's parameter words.
struct Params {
    const uint8_t* p;
    size_t words;
    bool has(size_t n) const { return words >= n; }
    int16_t s(size_t i) const { return i < words ? s16(p + 2 * i) : 0; }
    uint16_t u(size_t i) const { return i < words ? u16(p + 2 * i) : 0; }
    uint32_t u32at(size_t i) const { return i + 1 < words ? u32(p + 2 * i) : 0; }
    const uint8_t* bytes(size_t word) const { return p + 2 * word; }
    size_t bytesFrom(size_t word) const { return word < words ? 2 * (words - word) : 0; }
};

std::vector<MfPoint> points(const Params& r, size_t firstWord, size_t count) {
    std::vector<MfPoint> pts;
    if (!r.has(firstWord + 2 * count))
        return pts;
    pts.reserve(count);
    for (size_t i = 0; i < count; ++i)
        pts.push_back({double(r.s(firstWord + 2 * i)), double(r.s(firstWord + 2 * i + 1))});
    return pts;
}

void textOut(MetafileCanvas& c, double x, double y, const uint8_t* s, size_t n, uint16_t options,
             const double* rect) {
    c.text(x, y, ansiToUtf8(s, n), (options & 2) != 0, (options & 4) != 0, rect);
}

void play(MetafileCanvas& c, uint16_t fn, const Params& r, size_t recordWords) {
    switch (fn) {
    case 0x001E:
        c.saveDc();
        break;
    case 0x0127:
        c.restoreDc(r.s(0));
        break;
    case 0x020B:
        c.setWindowOrg(r.s(1), r.s(0));
        break;
    case 0x020C:
        c.setWindowExt(r.s(1), r.s(0));
        break;
    case 0x020D:
        c.setViewportOrg(r.s(1), r.s(0));
        break;
    case 0x020E:
        c.setViewportExt(r.s(1), r.s(0));
        break;
    case 0x020F:
        c.offsetWindowOrg(r.s(1), r.s(0));
        break;
    case 0x0211:
        c.offsetViewportOrg(r.s(1), r.s(0));
        break;
    case 0x0410:
        c.scaleWindowExt(r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    case 0x0412:
        c.scaleViewportExt(r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    case 0x0103:
        c.setMapMode(r.s(0));
        break;
    case 0x0201:
        c.setBkColor(r.u32at(0));
        break;
    case 0x0209:
        c.setTextColor(r.u32at(0));
        break;
    case 0x0102:
        c.setBkMode(r.s(0));
        break;
    case 0x0106:
        c.setPolyFillMode(r.s(0));
        break;
    case 0x012E:
        c.setTextAlign(r.u(0));
        break;
    case 0x02FA: { // CREATEPENINDIRECT
        MfObject o;
        o.kind = MfObject::Kind::Pen;
        o.pen.style = r.u(0);
        o.pen.width = r.s(1);
        o.pen.color = r.u32at(3);
        c.createObject(o);
        break;
    }
    case 0x02FC: { // CREATEBRUSHINDIRECT
        MfObject o;
        o.kind = MfObject::Kind::Brush;
        o.brush.style = r.u(0);
        o.brush.color = r.u32at(1);
        c.createObject(o);
        break;
    }
    case 0x02FB: { // CREATEFONTINDIRECT
        MfObject o;
        o.kind = MfObject::Kind::Font;
        o.font.height = r.s(0);
        o.font.escapement = r.s(2);
        o.font.weight = r.s(4);
        o.font.italic = r.has(6) && r.bytes(5)[0] != 0;
        c.createObject(o);
        break;
    }
    case 0x01F9:   // CREATEPATTERNBRUSH
    case 0x0142: { // DIBCREATEPATTERNBRUSH: painted as a mid grey
        MfObject o;
        o.kind = MfObject::Kind::Brush;
        o.brush.color = 0x808080;
        c.createObject(o);
        break;
    }
    case 0x00F7:   // CREATEPALETTE
    case 0x06FF: { // CREATEREGION: they take a slot, nothing more
        MfObject o;
        o.kind = MfObject::Kind::Other;
        c.createObject(o);
        break;
    }
    case 0x012D:
        c.selectObject(r.u(0));
        break;
    case 0x01F0:
        c.deleteObject(r.u(0));
        break;
    case 0x0214:
        c.moveTo(r.s(1), r.s(0));
        break;
    case 0x0213:
        c.lineTo(r.s(1), r.s(0));
        break;
    case 0x0325:
        c.polyline(points(r, 1, size_t(std::max<int16_t>(r.s(0), 0))), false);
        break;
    case 0x0324:
        c.polygon({points(r, 1, size_t(std::max<int16_t>(r.s(0), 0)))});
        break;
    case 0x0538: { // POLYPOLYGON
        size_t n = r.u(0);
        if (!r.has(1 + n))
            break;
        std::vector<std::vector<MfPoint>> polys;
        size_t word = 1 + n;
        for (size_t i = 0; i < n; ++i) {
            size_t count = r.u(1 + i);
            auto pts = points(r, word, count);
            if (pts.size() != count)
                break;
            polys.push_back(std::move(pts));
            word += 2 * count;
        }
        c.polygon(polys);
        break;
    }
    case 0x041B:
        c.rectangle(r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    case 0x0418:
        c.ellipse(r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    case 0x061C:
        c.roundRect(r.s(5), r.s(4), r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    case 0x0817:
    case 0x081A:
    case 0x0830: {
        auto kind = fn == 0x0817   ? MetafileCanvas::ArcKind::Arc
                    : fn == 0x081A ? MetafileCanvas::ArcKind::Pie
                                   : MetafileCanvas::ArcKind::Chord;
        c.arc(kind, r.s(7), r.s(6), r.s(5), r.s(4), r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    }
    case 0x041F:
        c.setPixel(r.s(3), r.s(2), r.u32at(0));
        break;
    case 0x0521: { // TEXTOUT: count, string (padded to words), y, x
        size_t n = size_t(std::max<int16_t>(r.s(0), 0));
        size_t strWords = (n + 1) / 2;
        if (!r.has(1 + strWords + 2))
            break;
        textOut(c, r.s(2 + strWords), r.s(1 + strWords), r.bytes(1), n, 0, nullptr);
        break;
    }
    case 0x0A32: { // EXTTEXTOUT: y, x, count, options, [rect], string
        if (!r.has(4))
            break;
        size_t n = size_t(std::max<int16_t>(r.s(2), 0));
        uint16_t options = r.u(3);
        size_t word = 4;
        double rect[4];
        bool hasRect = (options & 6) != 0;
        if (hasRect) {
            if (!r.has(8))
                break;
            for (int i = 0; i < 4; ++i)
                rect[i] = r.s(4 + i);
            word = 8;
        }
        if (r.bytesFrom(word) < n)
            n = r.bytesFrom(word);
        textOut(c, r.s(1), r.s(0), r.bytes(word), n, options, hasRect ? rect : nullptr);
        break;
    }
    case 0x0F43: { // STRETCHDIB
        if (!r.has(11))
            break;
        uint32_t rop = r.u32at(0);
        size_t dibBytes = r.bytesFrom(11);
        const uint8_t* dib = r.bytes(11);
        uint32_t hs = dibBytes >= 4 ? u32(dib) : 0;
        if (hs < 40 || hs > dibBytes)
            break;
        size_t table = 0;
        uint16_t bpp = u16(dib + 14);
        uint32_t used = u32(dib + 32);
        if (bpp <= 8)
            table = 4 * size_t(used && used < (1u << bpp) ? used : (1u << bpp));
        else if (u32(dib + 16) == 3)
            table = 12;
        if (hs + table > dibBytes)
            break;
        int32_t h = int32_t(u32(dib + 8));
        int32_t srcH = r.s(3), ySrc = r.s(5);
        // The source y of a bottom-up DIB counts from its last row.
        if (h > 0)
            ySrc = h - ySrc - srcH;
        c.dib(r.s(10), r.s(9), r.s(8), r.s(7), r.s(6), ySrc, r.s(4), srcH, dib, hs + table,
              dib + hs + table, dibBytes - hs - table, rop, h > 0);
        break;
    }
    case 0x0B41:   // DIBSTRETCHBLT
    case 0x0940: { // DIBBITBLT
        const bool stretch = fn == 0x0B41;
        const size_t noBitmapWords = stretch ? 14 : 12;
        uint32_t rop = r.u32at(0);
        if (recordWords == noBitmapWords) {
            // No bitmap: a pattern fill with a reserved word in the middle.
            if (stretch)
                c.patBlt(r.s(10), r.s(9), r.s(8), r.s(7), rop);
            else
                c.patBlt(r.s(8), r.s(7), r.s(6), r.s(5), rop);
            break;
        }
        const size_t first = stretch ? 10 : 8;
        if (!r.has(first))
            break;
        size_t dibBytes = r.bytesFrom(first);
        const uint8_t* dib = r.bytes(first);
        uint32_t hs = dibBytes >= 40 ? u32(dib) : 0;
        if (hs < 40 || hs > dibBytes)
            break;
        uint16_t bpp = u16(dib + 14);
        uint32_t used = u32(dib + 32);
        size_t table = 0;
        if (bpp <= 8)
            table = 4 * size_t(used && used < (1u << bpp) ? used : (1u << bpp));
        else if (u32(dib + 16) == 3)
            table = 12;
        if (hs + table > dibBytes)
            break;
        int32_t h = int32_t(u32(dib + 8));
        int32_t sx, sy, sw, sh;
        double dx, dy, dw, dh;
        if (stretch) {
            sh = r.s(2);
            sw = r.s(3);
            sy = r.s(4);
            sx = r.s(5);
            dh = r.s(6);
            dw = r.s(7);
            dy = r.s(8);
            dx = r.s(9);
        } else {
            sy = r.s(2);
            sx = r.s(3);
            sh = r.s(4);
            sw = r.s(5);
            dh = sh;
            dw = sw;
            dy = r.s(6);
            dx = r.s(7);
        }
        if (h > 0)
            sy = h - sy - sh;
        c.dib(dx, dy, dw, dh, sx, sy, sw, sh, dib, hs + table, dib + hs + table,
              dibBytes - hs - table, rop, h > 0);
        break;
    }
    case 0x0416:
        c.intersectClip(r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    default:
        break; // unknown or without effect on the picture
    }
}

} // namespace

bool readWmfInfo(const uint8_t* data, size_t size, const WmfPlaceable* placeable,
                 MetafileInfo& info) {
    if (!data)
        return false;
    info = MetafileInfo{};
    info.kind = MetafileExtension::Kind::Wmf;
    WmfPlaceable frame;
    bool haveFrame = false;
    if (size >= 22 && u32(data) == kPlaceableKey) {
        frame.left = s16(data + 6);
        frame.top = s16(data + 8);
        frame.right = s16(data + 10);
        frame.bottom = s16(data + 12);
        frame.inch = u16(data + 14);
        haveFrame = true;
        info.recordsOffset = 22;
    }
    if (placeable) {
        frame = *placeable;
        haveFrame = true;
    }
    const uint8_t* h = data + info.recordsOffset;
    size_t left = size - info.recordsOffset;
    if (left < 18 || (u16(h) != 1 && u16(h) != 2) || u16(h + 2) != 9)
        return false;
    if (!haveFrame) {
        // No placeable header: the first window records give the frame, in pixels.
        double ox = 0, oy = 0, ex = 0, ey = 0;
        size_t pos = 18;
        for (int i = 0; i < 64 && pos + 6 <= left; ++i) {
            uint32_t words = u32(h + pos);
            uint16_t fn = u16(h + pos + 4);
            if (words < 3 || size_t(words) * 2 > left - pos)
                break;
            if (fn == 0x020B && words >= 5) {
                oy = s16(h + pos + 6);
                ox = s16(h + pos + 8);
            } else if (fn == 0x020C && words >= 5) {
                ey = s16(h + pos + 6);
                ex = s16(h + pos + 8);
            }
            pos += size_t(words) * 2;
        }
        if (ex == 0 || ey == 0)
            return false;
        frame.left = int16_t(ox);
        frame.top = int16_t(oy);
        frame.right = int16_t(std::clamp(ox + ex, -32768.0, 32767.0));
        frame.bottom = int16_t(std::clamp(oy + ey, -32768.0, 32767.0));
        frame.inch = 96;
    }
    if (frame.inch == 0 || frame.right == frame.left || frame.bottom == frame.top)
        return false;
    info.frameLeft = frame.left;
    info.frameTop = frame.top;
    info.frameRight = frame.right;
    info.frameBottom = frame.bottom;
    info.dpiX = info.dpiY = 96;
    info.widthPx =
        int32_t(std::lround(std::fabs(double(frame.right) - frame.left) * 96 / frame.inch));
    info.heightPx =
        int32_t(std::lround(std::fabs(double(frame.bottom) - frame.top) * 96 / frame.inch));
    return info.widthPx > 0 && info.heightPx > 0;
}

void playWmfRecords(const uint8_t* data, size_t size, MetafileCanvas& canvas) {
    if (!data || size < 18 || !canvas.ok())
        return;
    size_t pos = size_t(u16(data + 2)) * 2;
    // A cap on the records bounds the time a hostile file can take.
    for (size_t count = 0; count < 4000000 && pos + 6 <= size; ++count) {
        uint32_t words = u32(data + pos);
        uint16_t fn = u16(data + pos + 4);
        if (words < 3 || uint64_t(words) * 2 > size - pos)
            break;
        if (fn == 0x0000)
            break; // META_EOF
        Params params{data + pos + 6, size_t(words) - 3};
        play(canvas, fn, params, words);
        pos += size_t(words) * 2;
    }
}

} // namespace gp
