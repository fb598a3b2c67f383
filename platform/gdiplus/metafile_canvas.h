#pragma once

// The drawing side of the metafile player: a GDI-like device context state (mapping,
// world transform, pen, brush, font, colours, current position, clip, path bracket) over
// a cairo context that paints into a premultiplied 32-bpp target. The WMF and EMF record
// loops decode records and call these operations with logical coordinates.

#include "platform/gdiplus/resample.h"

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gp {

struct MfPen {
    uint32_t style = 0; // PS_SOLID; PS_NULL is 5; end cap and join flags in the high bits
    double width = 0;   // logical units; 0 is one device pixel
    uint32_t color = 0; // COLORREF
};

struct MfBrush {
    uint32_t style = 0; // BS_SOLID; BS_NULL is 1; hatched and pattern brushes paint solid
    uint32_t color = 0xFFFFFF;
};

struct MfFont {
    double height = 0; // logical units; negative: character height, positive: cell height
    int weight = 400;
    bool italic = false;
    double escapement = 0; // tenths of a degree, counter-clockwise
};

struct MfObject {
    enum class Kind { Free, Pen, Brush, Font, Other };
    Kind kind = Kind::Free;
    MfPen pen;
    MfBrush brush;
    MfFont font;

    static MfObject makePen(uint32_t style, double width, uint32_t color) {
        MfObject o;
        o.kind = Kind::Pen;
        o.pen = {style, width, color};
        return o;
    }
    static MfObject makeBrush(uint32_t style, uint32_t color) {
        MfObject o;
        o.kind = Kind::Brush;
        o.brush = {style, color};
        return o;
    }
    // Pattern brushes are painted as a solid mid grey.
    static MfObject makePatternBrush() { return makeBrush(0, 0x808080); }
    static MfObject makeFont(double height, double escapement, int weight, bool italic) {
        MfObject o;
        o.kind = Kind::Font;
        o.font.height = height;
        o.font.escapement = escapement;
        o.font.weight = weight;
        o.font.italic = italic;
        return o;
    }
    // Palettes and regions take an object slot and nothing more.
    static MfObject makePlaceholder() {
        MfObject o;
        o.kind = Kind::Other;
        return o;
    }
};

struct MfPoint {
    double x, y;
};

class MetafileCanvas {
public:
    enum class Mode { Wmf, Emf };

    // `deviceToTarget` maps the metafile's device space (WMF: metafile pixels of the frame;
    // EMF: reference-device pixels) onto target pixels. For a WMF, `frame` is the default
    // window (placeable bounding box) and `size` the frame in metafile pixels; for an EMF,
    // `pixelsPerMm` gives the metric map modes.
    MetafileCanvas(const PixelView& target, Mode mode, const cairo_matrix_t& deviceToTarget);
    ~MetafileCanvas();
    MetafileCanvas(const MetafileCanvas&) = delete;
    MetafileCanvas& operator=(const MetafileCanvas&) = delete;

    bool ok() const { return m_cr != nullptr; }

    // WMF: the window is mapped onto (0, 0) .. (width, height) in device space.
    void setWmfFrame(double left, double top, double right, double bottom, double width,
                     double height);
    void setPixelsPerMm(double x, double y) {
        m_pxPerMmX = x;
        m_pxPerMmY = y;
    }

    // Mapping and state.
    void setMapMode(int mode) { m_state.mapMode = mode; }
    void setWindowOrg(double x, double y);
    void setWindowExt(double x, double y);
    void setViewportOrg(double x, double y);
    void setViewportExt(double x, double y);
    void offsetWindowOrg(double dx, double dy);
    void offsetViewportOrg(double dx, double dy);
    void scaleWindowExt(double xn, double xd, double yn, double yd);
    void scaleViewportExt(double xn, double xd, double yn, double yd);
    // EMF world transform: x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy.
    void setWorldTransform(const double m[6]);
    void modifyWorldTransform(const double m[6], int mode);
    void saveDc();
    void restoreDc(int which);

    void setTextColor(uint32_t c) { m_state.textColor = c; }
    void setBkColor(uint32_t c) { m_state.bkColor = c; }
    void setBkMode(int mode) { m_state.bkMode = mode; }
    void setTextAlign(uint32_t align) { m_state.textAlign = align; }
    void setPolyFillMode(int mode) { m_state.polyFill = mode; }

    // Objects: a table of slots. WMF creation takes the lowest free slot; EMF names it.
    size_t createObject(const MfObject& object); // WMF
    void setObject(size_t index, const MfObject& object);
    void selectObject(size_t index);
    void selectStockObject(uint32_t index);
    void deleteObject(size_t index);

    // Drawing, logical coordinates.
    void moveTo(double x, double y);
    void lineTo(double x, double y);
    void polyline(const std::vector<MfPoint>& points, bool fromCurrent);
    void polygon(const std::vector<std::vector<MfPoint>>& polygons);
    void polyPolyline(const std::vector<std::vector<MfPoint>>& lines);
    void polyBezier(const std::vector<MfPoint>& points, bool fromCurrent);
    void rectangle(double l, double t, double r, double b);
    void roundRect(double l, double t, double r, double b, double w, double h);
    void ellipse(double l, double t, double r, double b);
    enum class ArcKind { Arc, Pie, Chord, ArcTo };
    void arc(ArcKind kind, double l, double t, double r, double b, double xs, double ys, double xe,
             double ye);
    void setPixel(double x, double y, uint32_t color);
    // Text in UTF-8 at a reference point. `rect` (logical l, t, r, b) is filled with the
    // background colour when `opaque`, and clips when `clipped`.
    void text(double x, double y, const std::string& utf8, bool opaque, bool clipped,
              const double* rect);
    // A DIB blit: `bmi` and `bits` as in a packed DIB; source rectangle in DIB pixels,
    // with y counted as the records count it: from the last row of a bottom-up DIB, from
    // the first of a top-down one; raster operations that use no source paint the brush,
    // black or white.
    void dib(double dx, double dy, double dw, double dh, int32_t sx, int32_t sy, int32_t sw,
             int32_t sh, const uint8_t* bmi, size_t bmiSize, const uint8_t* bits, size_t bitsSize,
             uint32_t rop);
    void patBlt(double dx, double dy, double dw, double dh, uint32_t rop);

    // Clipping: logical rectangle, device rectangles, the current path, reset.
    void intersectClip(double l, double t, double r, double b);
    void clipDeviceRects(const std::vector<double>& ltrb, bool replace);
    void resetClip();

    // Path bracket (EMF).
    void beginPath();
    void endPath() { m_state.pathClosed = true; }
    void closeFigure();
    void fillPath(bool fill, bool stroke);
    void selectClipPath();
    void abortPath();

private:
    struct State {
        int mapMode = 1; // MM_TEXT
        double worgX = 0, worgY = 0, wextX = 1, wextY = 1;
        double vorgX = 0, vorgY = 0, vextX = 1, vextY = 1;
        bool windowSet = false;
        cairo_matrix_t world;
        MfPen pen;
        MfBrush brush;
        MfFont font;
        uint32_t textColor = 0;
        uint32_t bkColor = 0xFFFFFF;
        int bkMode = 2; // OPAQUE
        uint32_t textAlign = 0;
        int polyFill = 1; // ALTERNATE
        double curX = 0, curY = 0;
        bool inPath = false;
        bool pathClosed = false;
    };

    cairo_matrix_t logicalToTarget() const;
    bool applyLogical(); // sets the cairo matrix; false when it is degenerate
    void finishShape(bool fill, bool stroke);
    void strokeCurrent();
    void fillCurrent(bool preserve);
    void setColor(uint32_t colorref);
    double penWidthTarget() const;
    void ellipsePath(double l, double t, double r, double b);

    cairo_surface_t* m_surface = nullptr;
    cairo_t* m_cr = nullptr;
    Mode m_mode;
    cairo_matrix_t m_deviceToTarget;
    double m_frameL = 0, m_frameT = 0, m_frameR = 1, m_frameB = 1, m_frameW = 1, m_frameH = 1;
    double m_pxPerMmX = 96 / 25.4, m_pxPerMmY = 96 / 25.4;
    State m_state;
    std::vector<State> m_stack;
    std::vector<MfObject> m_objects;
};

// UTF-16LE (EMF) and 8-bit Windows-1252 text (WMF, EMF ANSI records) to UTF-8.
std::string utf16ToUtf8(const uint8_t* data, size_t chars);
std::string ansiToUtf8(const uint8_t* data, size_t chars);

} // namespace gp
