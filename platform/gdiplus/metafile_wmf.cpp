// Windows metafile (WMF) reading and playback. Parameters of a record are 16-bit words,
// mostly in reverse order of the GDI call's arguments.

#include "platform/gdiplus/metafile_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gp {

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7u;

// The record functions played (the low byte is the function, the high byte the count of
// its parameter words for most of them).
enum WmfFunction : uint16_t {
    kSaveDc = 0x001E,
    kRestoreDc = 0x0127,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kSetViewportOrg = 0x020D,
    kSetViewportExt = 0x020E,
    kOffsetWindowOrg = 0x020F,
    kOffsetViewportOrg = 0x0211,
    kScaleWindowExt = 0x0410,
    kScaleViewportExt = 0x0412,
    kSetMapMode = 0x0103,
    kSetBkColor = 0x0201,
    kSetTextColor = 0x0209,
    kSetBkMode = 0x0102,
    kSetPolyFillMode = 0x0106,
    kSetTextAlign = 0x012E,
    kCreatePenIndirect = 0x02FA,
    kCreateBrushIndirect = 0x02FC,
    kCreateFontIndirect = 0x02FB,
    kCreatePatternBrush = 0x01F9,
    kDibCreatePatternBrush = 0x0142,
    kCreatePalette = 0x00F7,
    kCreateRegion = 0x06FF,
    kSelectObject = 0x012D,
    kDeleteObject = 0x01F0,
    kMoveTo = 0x0214,
    kLineTo = 0x0213,
    kPolyline = 0x0325,
    kPolygon = 0x0324,
    kPolyPolygon = 0x0538,
    kRectangle = 0x041B,
    kEllipse = 0x0418,
    kRoundRect = 0x061C,
    kArc = 0x0817,
    kPie = 0x081A,
    kChord = 0x0830,
    kSetPixel = 0x041F,
    kTextOut = 0x0521,
    kExtTextOut = 0x0A32,
    kStretchDib = 0x0F43,
    kDibStretchBlt = 0x0B41,
    kDibBitBlt = 0x0940,
    kIntersectClipRect = 0x0416,
    kEof = 0x0000,
};

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

// The packed DIB that fills a record from parameter word `first` on: its header with the
// colour table (or bit-field masks), then its bits. False when the header does not fit.
struct PackedDib {
    const uint8_t* info = nullptr;
    size_t infoSize = 0;
    const uint8_t* bits = nullptr;
    size_t bitsSize = 0;
};
bool packedDib(const Params& r, size_t first, PackedDib& out) {
    const size_t bytes = r.bytesFrom(first);
    const uint8_t* dib = r.bytes(first);
    const uint32_t hs = bytes >= 40 ? u32(dib) : 0;
    if (hs < 40 || hs > bytes)
        return false;
    const uint16_t bpp = u16(dib + 14);
    const uint32_t used = u32(dib + 32);
    size_t table = 0;
    if (bpp <= 8)
        table = 4 * size_t(used && used < (1u << bpp) ? used : (1u << bpp));
    else if (u32(dib + 16) == 3) // bit fields
        table = 12;
    if (hs + table > bytes)
        return false;
    out = {dib, hs + table, dib + hs + table, bytes - hs - table};
    return true;
}

void textOut(MetafileCanvas& c, double x, double y, const uint8_t* s, size_t n, uint16_t options,
             const double* rect) {
    c.text(x, y, ansiToUtf8(s, n), (options & 2) != 0, (options & 4) != 0, rect);
}

void play(MetafileCanvas& c, uint16_t fn, const Params& r, size_t recordWords) {
    switch (fn) {
    case kSaveDc:
        c.saveDc();
        break;
    case kRestoreDc:
        c.restoreDc(r.s(0));
        break;
    case kSetWindowOrg:
        c.setWindowOrg(r.s(1), r.s(0));
        break;
    case kSetWindowExt:
        c.setWindowExt(r.s(1), r.s(0));
        break;
    case kSetViewportOrg:
        c.setViewportOrg(r.s(1), r.s(0));
        break;
    case kSetViewportExt:
        c.setViewportExt(r.s(1), r.s(0));
        break;
    case kOffsetWindowOrg:
        c.offsetWindowOrg(r.s(1), r.s(0));
        break;
    case kOffsetViewportOrg:
        c.offsetViewportOrg(r.s(1), r.s(0));
        break;
    case kScaleWindowExt:
        c.scaleWindowExt(r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    case kScaleViewportExt:
        c.scaleViewportExt(r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    case kSetMapMode:
        c.setMapMode(r.s(0));
        break;
    case kSetBkColor:
        c.setBkColor(r.u32at(0));
        break;
    case kSetTextColor:
        c.setTextColor(r.u32at(0));
        break;
    case kSetBkMode:
        c.setBkMode(r.s(0));
        break;
    case kSetPolyFillMode:
        c.setPolyFillMode(r.s(0));
        break;
    case kSetTextAlign:
        c.setTextAlign(r.u(0));
        break;
    case kCreatePenIndirect:
        c.createObject(MfObject::makePen(r.u(0), r.s(1), r.u32at(3)));
        break;
    case kCreateBrushIndirect:
        c.createObject(MfObject::makeBrush(r.u(0), r.u32at(1)));
        break;
    case kCreateFontIndirect:
        c.createObject(MfObject::makeFont(r.s(0), r.s(2), r.s(4), r.has(6) && r.bytes(5)[0] != 0));
        break;
    case kCreatePatternBrush:
    case kDibCreatePatternBrush:
        c.createObject(MfObject::makePatternBrush());
        break;
    case kCreatePalette:
    case kCreateRegion:
        c.createObject(MfObject::makePlaceholder());
        break;
    case kSelectObject:
        c.selectObject(r.u(0));
        break;
    case kDeleteObject:
        c.deleteObject(r.u(0));
        break;
    case kMoveTo:
        c.moveTo(r.s(1), r.s(0));
        break;
    case kLineTo:
        c.lineTo(r.s(1), r.s(0));
        break;
    case kPolyline:
        c.polyline(points(r, 1, size_t(std::max<int16_t>(r.s(0), 0))), false);
        break;
    case kPolygon:
        c.polygon({points(r, 1, size_t(std::max<int16_t>(r.s(0), 0)))});
        break;
    case kPolyPolygon: {
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
    case kRectangle:
        c.rectangle(r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    case kEllipse:
        c.ellipse(r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    case kRoundRect:
        c.roundRect(r.s(5), r.s(4), r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    case kArc:
    case kPie:
    case kChord: {
        auto kind = fn == kArc   ? MetafileCanvas::ArcKind::Arc
                    : fn == kPie ? MetafileCanvas::ArcKind::Pie
                                 : MetafileCanvas::ArcKind::Chord;
        c.arc(kind, r.s(7), r.s(6), r.s(5), r.s(4), r.s(3), r.s(2), r.s(1), r.s(0));
        break;
    }
    case kSetPixel:
        c.setPixel(r.s(3), r.s(2), r.u32at(0));
        break;
    case kTextOut: { // count, string (padded to words), y, x
        size_t n = size_t(std::max<int16_t>(r.s(0), 0));
        size_t strWords = (n + 1) / 2;
        if (!r.has(1 + strWords + 2))
            break;
        textOut(c, r.s(2 + strWords), r.s(1 + strWords), r.bytes(1), n, 0, nullptr);
        break;
    }
    case kExtTextOut: { // y, x, count, options, [rect], string
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
    case kStretchDib: {
        PackedDib dib;
        if (r.has(11) && packedDib(r, 11, dib))
            c.dib(r.s(10), r.s(9), r.s(8), r.s(7), r.s(6), r.s(5), r.s(4), r.s(3), dib.info,
                  dib.infoSize, dib.bits, dib.bitsSize, r.u32at(0));
        break;
    }
    case kDibStretchBlt:
    case kDibBitBlt: {
        const bool stretch = fn == kDibStretchBlt;
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
        PackedDib dib;
        if (!r.has(stretch ? 10 : 8) || !packedDib(r, stretch ? 10 : 8, dib))
            break;
        if (stretch) {
            c.dib(r.s(9), r.s(8), r.s(7), r.s(6), r.s(5), r.s(4), r.s(3), r.s(2), dib.info,
                  dib.infoSize, dib.bits, dib.bitsSize, rop);
        } else {
            const int32_t sw = r.s(5), sh = r.s(4);
            c.dib(r.s(7), r.s(6), sw, sh, r.s(3), r.s(2), sw, sh, dib.info, dib.infoSize, dib.bits,
                  dib.bitsSize, rop);
        }
        break;
    }
    case kIntersectClipRect:
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
            if (fn == kSetWindowOrg && words >= 5) {
                oy = s16(h + pos + 6);
                ox = s16(h + pos + 8);
            } else if (fn == kSetWindowExt && words >= 5) {
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
        if (fn == kEof)
            break;
        Params params{data + pos + 6, size_t(words) - 3};
        play(canvas, fn, params, words);
        pos += size_t(words) * 2;
    }
}

} // namespace gp
