// Enhanced metafile (EMF) reading and playback. Records are 32-bit aligned: a type, a
// size in bytes, then the fields at fixed offsets from the record start.

#include "platform/gdiplus/metafile_reader.h"
#include "platform/win/gdi_types.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gp {

namespace {

constexpr uint32_t kEmfSignature = 0x464D4520u; // " EMF"

uint32_t u32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
int32_t s32(const uint8_t* p) {
    return int32_t(u32(p));
}
int16_t s16(const uint8_t* p) {
    return int16_t(p[0] | (p[1] << 8));
}
float f32(const uint8_t* p) {
    float v;
    std::memcpy(&v, p, 4);
    return v;
}

struct Record {
    const uint8_t* p;
    size_t size;
    bool has(size_t bytes) const { return size >= bytes; }
    int32_t s(size_t off) const { return off + 4 <= size ? s32(p + off) : 0; }
    uint32_t u(size_t off) const { return off + 4 <= size ? u32(p + off) : 0; }
};

std::vector<MfPoint> readPoints(const Record& r, size_t off, size_t count, bool small) {
    std::vector<MfPoint> pts;
    const size_t each = small ? 4 : 8;
    if (count > (r.size - std::min(r.size, off)) / each)
        return pts;
    pts.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* q = r.p + off + i * each;
        if (small)
            pts.push_back({double(s16(q)), double(s16(q + 2))});
        else
            pts.push_back({double(s32(q)), double(s32(q + 4))});
    }
    return pts;
}

// Polygons of the POLYPOLY records: counts at 32, points after them.
std::vector<std::vector<MfPoint>> readPolys(const Record& r, bool small) {
    std::vector<std::vector<MfPoint>> polys;
    if (!r.has(32))
        return polys;
    size_t n = r.u(24), total = r.u(28);
    if (n > (r.size - 32) / 4)
        return polys;
    size_t off = 32 + 4 * n;
    auto all = readPoints(r, off, total, small);
    if (all.size() != total)
        return polys;
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        size_t count = r.u(32 + 4 * i);
        if (count > total - at)
            break;
        polys.emplace_back(all.begin() + long(at), all.begin() + long(at + count));
        at += count;
    }
    return polys;
}

// The packed DIB of a bitmap record: four fields from `at` give the offsets and sizes of
// its header (with the colour table) and of its bits. False when there is none or it
// does not lie inside the record.
struct RecordDib {
    const uint8_t* bmi = nullptr;
    uint32_t bmiSize = 0;
    const uint8_t* bits = nullptr;
    uint32_t bitsSize = 0;
};
bool recordDib(const Record& r, size_t at, RecordDib& dib) {
    uint32_t offBmi = r.u(at), cbBmi = r.u(at + 4), offBits = r.u(at + 8), cbBits = r.u(at + 12);
    if (cbBmi == 0 || uint64_t(offBmi) + cbBmi > r.size || uint64_t(offBits) + cbBits > r.size)
        return false;
    dib = {r.p + offBmi, cbBmi, r.p + offBits, cbBits};
    return true;
}

void blit(MetafileCanvas& c, const Record& r, bool stretch) {
    // BITBLT and STRETCHBLT share their layout up to the source size.
    if (!r.has(100))
        return;
    double dx = r.s(24), dy = r.s(28), dw = r.s(32), dh = r.s(36);
    uint32_t rop = r.u(40);
    int32_t sx = r.s(44), sy = r.s(48);
    int32_t sw = int32_t(dw), sh = int32_t(dh);
    if (stretch) {
        if (!r.has(108))
            return;
        sw = r.s(100);
        sh = r.s(104);
    }
    if (r.u(88) == 0) { // no bitmap
        c.patBlt(dx, dy, dw, dh, rop);
        return;
    }
    RecordDib dib;
    if (recordDib(r, 84, dib))
        c.dib(dx, dy, dw, dh, sx, sy, sw, sh, dib.bmi, dib.bmiSize, dib.bits, dib.bitsSize, rop);
}

void play(MetafileCanvas& c, uint32_t type, const Record& r) {
    switch (type) {
    case 2:  // POLYBEZIER
    case 3:  // POLYGON
    case 4:  // POLYLINE
    case 5:  // POLYBEZIERTO
    case 6:  // POLYLINETO
    case 85: // the 16-bit forms
    case 86:
    case 87:
    case 88:
    case 89: {
        if (!r.has(28))
            return;
        bool small = type >= 85;
        uint32_t kind = small ? type - 83 : type;
        auto pts = readPoints(r, 28, r.u(24), small);
        if (pts.empty())
            return;
        if (kind == 2)
            c.polyBezier(pts, false);
        else if (kind == 3)
            c.polygon({pts});
        else if (kind == 4)
            c.polyline(pts, false);
        else if (kind == 5)
            c.polyBezier(pts, true);
        else
            c.polyline(pts, true);
        return;
    }
    case 7:
    case 90:
        c.polyPolyline(readPolys(r, type == 90));
        return;
    case 8:
    case 91:
        c.polygon(readPolys(r, type == 91));
        return;
    case 9:
        c.setWindowExt(r.s(8), r.s(12));
        return;
    case 10:
        c.setWindowOrg(r.s(8), r.s(12));
        return;
    case 11:
        c.setViewportExt(r.s(8), r.s(12));
        return;
    case 12:
        c.setViewportOrg(r.s(8), r.s(12));
        return;
    case 15:
        c.setPixel(r.s(8), r.s(12), r.u(16));
        return;
    case 17:
        c.setMapMode(r.s(8));
        return;
    case 18:
        c.setBkMode(r.s(8));
        return;
    case 19:
        c.setPolyFillMode(r.s(8));
        return;
    case 22:
        c.setTextAlign(r.u(8));
        return;
    case 24:
        c.setTextColor(r.u(8));
        return;
    case 25:
        c.setBkColor(r.u(8));
        return;
    case 27:
        c.moveTo(r.s(8), r.s(12));
        return;
    case 30:
        c.intersectClip(r.s(8), r.s(12), r.s(16), r.s(20));
        return;
    case 31:
        c.scaleViewportExt(r.s(8), r.s(12), r.s(16), r.s(20));
        return;
    case 32:
        c.scaleWindowExt(r.s(8), r.s(12), r.s(16), r.s(20));
        return;
    case 33:
        c.saveDc();
        return;
    case 34:
        c.restoreDc(r.s(8));
        return;
    case 35:
    case 36: {
        if (!r.has(32))
            return;
        double m[6];
        for (int i = 0; i < 6; ++i)
            m[i] = f32(r.p + 8 + 4 * i);
        if (type == 35)
            c.setWorldTransform(m);
        else if (r.has(36))
            c.modifyWorldTransform(m, int(r.u(32)));
        return;
    }
    case 37: {
        uint32_t index = r.u(8);
        if (index & 0x80000000u)
            c.selectStockObject(index & 0x7FFFFFFFu);
        else
            c.selectObject(index);
        return;
    }
    case 38: // CREATEPEN
        if (r.has(28))
            c.setObject(r.u(8), MfObject::makePen(r.u(12), r.s(16), r.u(24)));
        return;
    case 95: // EXTCREATEPEN; a null brush draws nothing
        if (r.has(44))
            c.setObject(r.u(8), MfObject::makePen(r.u(36) == 1 ? 5 : r.u(28), r.u(32), r.u(40)));
        return;
    case 39: // CREATEBRUSHINDIRECT
        if (r.has(24))
            c.setObject(r.u(8), MfObject::makeBrush(r.u(12), r.u(16)));
        return;
    case 93: // CREATEMONOBRUSH
    case 94: // CREATEDIBPATTERNBRUSHPT
        c.setObject(r.u(8), MfObject::makePatternBrush());
        return;
    case 49: // CREATEPALETTE
        c.setObject(r.u(8), MfObject::makePlaceholder());
        return;
    case 82: // EXTCREATEFONTINDIRECTW
        if (r.has(40))
            c.setObject(r.u(8), MfObject::makeFont(r.s(12), r.s(20), r.s(28), r.p[32] != 0));
        return;
    case 40:
        c.deleteObject(r.u(8));
        return;
    case 42:
        c.ellipse(r.s(8), r.s(12), r.s(16), r.s(20));
        return;
    case 43:
        c.rectangle(r.s(8), r.s(12), r.s(16), r.s(20));
        return;
    case 44:
        c.roundRect(r.s(8), r.s(12), r.s(16), r.s(20), r.s(24), r.s(28));
        return;
    case 45:
    case 46:
    case 47:
    case 55: {
        auto kind = type == 45   ? MetafileCanvas::ArcKind::Arc
                    : type == 46 ? MetafileCanvas::ArcKind::Chord
                    : type == 47 ? MetafileCanvas::ArcKind::Pie
                                 : MetafileCanvas::ArcKind::ArcTo;
        c.arc(kind, r.s(8), r.s(12), r.s(16), r.s(20), r.s(24), r.s(28), r.s(32), r.s(36));
        return;
    }
    case 54:
        c.lineTo(r.s(8), r.s(12));
        return;
    case 59:
        c.beginPath();
        return;
    case 60:
        c.endPath();
        return;
    case 61:
        c.closeFigure();
        return;
    case 62:
        c.fillPath(true, false);
        return;
    case 63:
        c.fillPath(true, true);
        return;
    case 64:
        c.fillPath(false, true);
        return;
    case 67:
        c.selectClipPath();
        return;
    case 68:
        c.abortPath();
        return;
    case 75: { // EXTSELECTCLIPRGN
        uint32_t cb = r.u(8), mode = r.u(12);
        if (cb == 0) {
            if (mode == 5) // RGN_COPY with no region: no clipping
                c.resetClip();
            return;
        }
        if (cb < 32 || uint64_t(cb) + 16 > r.size)
            return;
        const uint8_t* rgn = r.p + 16;
        uint32_t n = u32(rgn + 8);
        if (n > (cb - 32) / 16)
            return;
        std::vector<double> rects;
        for (uint32_t i = 0; i < n; ++i)
            for (int k = 0; k < 4; ++k)
                rects.push_back(s32(rgn + 32 + 16 * i + 4 * k));
        if (mode == 5 || mode == 1) // RGN_COPY, RGN_AND
            c.clipDeviceRects(rects, mode == 5);
        return;
    }
    case 76:
        blit(c, r, false);
        return;
    case 77:
        blit(c, r, true);
        return;
    case 81: { // STRETCHDIBITS
        RecordDib dib;
        if (r.has(80) && recordDib(r, 48, dib))
            c.dib(r.s(24), r.s(28), r.s(72), r.s(76), r.s(32), r.s(36), r.s(40), r.s(44), dib.bmi,
                  dib.bmiSize, dib.bits, dib.bitsSize, r.u(68));
        return;
    }
    case 80: { // SETDIBITSTODEVICE: the given scans at 1:1
        RecordDib dib;
        const int32_t sw = r.s(40), sh = r.s(44);
        if (r.has(76) && recordDib(r, 48, dib))
            c.dib(r.s(24), r.s(28), sw, sh, r.s(32), r.s(36), sw, sh, dib.bmi, dib.bmiSize,
                  dib.bits, dib.bitsSize, win::SRCCOPY);
        return;
    }
    case 83:
    case 84: { // EXTTEXTOUTA / EXTTEXTOUTW
        if (!r.has(76))
            return;
        double x = r.s(36), y = r.s(40);
        uint32_t n = r.u(44), off = r.u(48), options = r.u(52);
        double rect[4] = {double(r.s(56)), double(r.s(60)), double(r.s(64)), double(r.s(68))};
        const size_t each = type == 84 ? 2 : 1;
        if (off > r.size || n > (r.size - off) / each)
            return;
        n = std::min<uint32_t>(n, 4096);
        std::string s = type == 84 ? utf16ToUtf8(r.p + off, n) : ansiToUtf8(r.p + off, n);
        bool useRect = (options & 6) != 0 && rect[2] > rect[0] && rect[3] > rect[1];
        c.text(x, y, s, (options & 2) != 0, (options & 4) != 0, useRect ? rect : nullptr);
        return;
    }
    default:
        return; // unknown or without effect on the picture
    }
}

} // namespace

bool readEmfInfo(const uint8_t* data, size_t size, MetafileInfo& info) {
    if (!data || size < 88 || u32(data) != 1 || u32(data + 40) != kEmfSignature)
        return false;
    uint32_t headerSize = u32(data + 4);
    if (headerSize < 88 || headerSize > size)
        return false;
    info = MetafileInfo{};
    info.kind = MetafileExtension::Kind::Emf;
    double pxX, pxY;
    emfPixelsPerMm(data, size, &pxX, &pxY);
    info.dpiX = pxX * 25.4;
    info.dpiY = pxY * 25.4;
    double fl = s32(data + 24), ft = s32(data + 28), fr = s32(data + 32), fb = s32(data + 36);
    if (fr <= fl || fb <= ft) {
        // No frame: the bounds (reference pixels) stand in for it.
        double bl = s32(data + 8), bt = s32(data + 12), br = s32(data + 16), bb = s32(data + 20);
        if (br < bl || bb < bt)
            return false;
        fl = bl * 100 / pxX;
        ft = bt * 100 / pxY;
        fr = (br + 1) * 100 / pxX;
        fb = (bb + 1) * 100 / pxY;
    }
    info.frameLeft = fl;
    info.frameTop = ft;
    info.frameRight = fr;
    info.frameBottom = fb;
    double w = (fr - fl) / 100.0 * pxX, h = (fb - ft) / 100.0 * pxY;
    if (!(w >= 0.5 && h >= 0.5) || w > 1e6 || h > 1e6)
        return false;
    info.widthPx = int32_t(std::lround(w));
    info.heightPx = int32_t(std::lround(h));
    return true;
}

void emfPixelsPerMm(const uint8_t* data, size_t size, double* x, double* y) {
    *x = *y = 96 / 25.4;
    if (!data || size < 88)
        return;
    double dx = s32(data + 72), dy = s32(data + 76), mx = s32(data + 80), my = s32(data + 84);
    if (dx > 0 && mx > 0 && dx / mx < 1e4)
        *x = dx / mx;
    if (dy > 0 && my > 0 && dy / my < 1e4)
        *y = dy / my;
}

void playEmfRecords(const uint8_t* data, size_t size, MetafileCanvas& canvas) {
    if (!data || size < 88 || !canvas.ok())
        return;
    double px, py;
    emfPixelsPerMm(data, size, &px, &py);
    canvas.setPixelsPerMm(px, py);
    size_t pos = 0;
    for (size_t count = 0; count < 4000000 && pos + 8 <= size; ++count) {
        uint32_t type = u32(data + pos), recSize = u32(data + pos + 4);
        if (recSize < 8 || recSize % 4 != 0 || recSize > size - pos)
            break;
        if (type == 14) // EOF
            break;
        if (type != 1)
            play(canvas, type, Record{data + pos, recSize});
        pos += recSize;
    }
}

} // namespace gp
