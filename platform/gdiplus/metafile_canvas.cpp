#include "platform/gdiplus/metafile_canvas.h"
#include "platform/gdiplus/mirror_extent.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gp {

namespace {

bool finiteMatrix(const cairo_matrix_t& m) {
    return std::isfinite(m.xx) && std::isfinite(m.yx) && std::isfinite(m.xy) &&
           std::isfinite(m.yy) && std::isfinite(m.x0) && std::isfinite(m.y0);
}

double determinant(const cairo_matrix_t& m) {
    return m.xx * m.yy - m.xy * m.yx;
}

// Coordinates far outside any target are clamped by cairo's fixed-point conversion; this
// keeps them finite and in a range where that conversion is exact enough.
constexpr double kMaxCoordinate = 1e7;

bool usableMatrix(const cairo_matrix_t& m) {
    double d = determinant(m);
    return finiteMatrix(m) && std::fabs(d) > 1e-12 && std::fabs(d) < 1e12 &&
           std::fabs(m.x0) < 1e9 && std::fabs(m.y0) < 1e9;
}

uint32_t getU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

const uint16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string utf16ToUtf8(const uint8_t* data, size_t chars) {
    std::string out;
    for (size_t i = 0; i < chars; ++i) {
        uint32_t c = uint32_t(data[2 * i] | (data[2 * i + 1] << 8));
        if (c == 0)
            break;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < chars) {
            uint32_t d = uint32_t(data[2 * i + 2] | (data[2 * i + 3] << 8));
            if (d >= 0xDC00 && d < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        appendUtf8(out, c);
    }
    return out;
}

std::string ansiToUtf8(const uint8_t* data, size_t chars) {
    std::string out;
    for (size_t i = 0; i < chars; ++i) {
        uint32_t c = data[i];
        if (c == 0)
            break;
        if (c >= 0x80 && c < 0xA0)
            c = kCp1252High[c - 0x80];
        appendUtf8(out, c);
    }
    return out;
}

MetafileCanvas::MetafileCanvas(const PixelView& target, Mode mode,
                               const cairo_matrix_t& deviceToTarget)
    : m_mode(mode), m_deviceToTarget(deviceToTarget) {
    cairo_matrix_init_identity(&m_state.world);
    if (!target.top || target.step <= 0 || target.step % 4 != 0 || target.width <= 0 ||
        target.height <= 0 || !usableMatrix(deviceToTarget))
        return;
    m_surface = cairo_image_surface_create_for_data(target.top, CAIRO_FORMAT_ARGB32, target.width,
                                                    target.height, int(target.step));
    if (cairo_surface_status(m_surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(m_surface);
        m_surface = nullptr;
        return;
    }
    m_cr = cairo_create(m_surface);
    if (cairo_status(m_cr) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(m_cr);
        m_cr = nullptr;
        return;
    }
    cairo_select_font_face(m_cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
}

MetafileCanvas::~MetafileCanvas() {
    if (m_cr)
        cairo_destroy(m_cr);
    if (m_surface) {
        cairo_surface_flush(m_surface);
        cairo_surface_destroy(m_surface);
    }
}

void MetafileCanvas::setWmfFrame(double left, double top, double right, double bottom, double width,
                                 double height) {
    m_frameL = left;
    m_frameT = top;
    m_frameR = right;
    m_frameB = bottom;
    m_frameW = width;
    m_frameH = height;
}

// ---------------------------------------------------------------------------------------
// Mapping

void MetafileCanvas::setWindowOrg(double x, double y) {
    m_state.worgX = x;
    m_state.worgY = y;
    if (!m_state.windowSet) {
        m_state.wextX = m_frameR - m_frameL;
        m_state.wextY = m_frameB - m_frameT;
    }
    m_state.windowSet = true;
}

void MetafileCanvas::setWindowExt(double x, double y) {
    if (!m_state.windowSet) {
        m_state.worgX = m_mode == Mode::Wmf ? m_frameL : 0;
        m_state.worgY = m_mode == Mode::Wmf ? m_frameT : 0;
    }
    m_state.wextX = x;
    m_state.wextY = y;
    m_state.windowSet = true;
}

void MetafileCanvas::setViewportOrg(double x, double y) {
    m_state.vorgX = x;
    m_state.vorgY = y;
}

void MetafileCanvas::setViewportExt(double x, double y) {
    m_state.vextX = x;
    m_state.vextY = y;
}

void MetafileCanvas::offsetWindowOrg(double dx, double dy) {
    setWindowOrg(m_state.windowSet ? m_state.worgX + dx : dx,
                 m_state.windowSet ? m_state.worgY + dy : dy);
}

void MetafileCanvas::offsetViewportOrg(double dx, double dy) {
    m_state.vorgX += dx;
    m_state.vorgY += dy;
}

void MetafileCanvas::scaleWindowExt(double xn, double xd, double yn, double yd) {
    if (xd == 0 || yd == 0)
        return;
    setWindowExt(m_state.wextX * xn / xd, m_state.wextY * yn / yd);
}

void MetafileCanvas::scaleViewportExt(double xn, double xd, double yn, double yd) {
    if (xd == 0 || yd == 0)
        return;
    m_state.vextX = m_state.vextX * xn / xd;
    m_state.vextY = m_state.vextY * yn / yd;
}

void MetafileCanvas::setWorldTransform(const double m[6]) {
    cairo_matrix_t w;
    cairo_matrix_init(&w, m[0], m[1], m[2], m[3], m[4], m[5]);
    if (finiteMatrix(w))
        m_state.world = w;
}

void MetafileCanvas::modifyWorldTransform(const double m[6], int mode) {
    cairo_matrix_t w;
    cairo_matrix_init(&w, m[0], m[1], m[2], m[3], m[4], m[5]);
    if (!finiteMatrix(w))
        return;
    cairo_matrix_t r;
    switch (mode) {
    case 1: // MWT_IDENTITY
        cairo_matrix_init_identity(&m_state.world);
        break;
    case 2: // MWT_LEFTMULTIPLY: the new transform applies first
        cairo_matrix_multiply(&r, &w, &m_state.world);
        m_state.world = r;
        break;
    case 3: // MWT_RIGHTMULTIPLY
        cairo_matrix_multiply(&r, &m_state.world, &w);
        m_state.world = r;
        break;
    case 4: // MWT_SET
        m_state.world = w;
        break;
    default:
        break;
    }
}

cairo_matrix_t MetafileCanvas::logicalToTarget() const {
    const State& s = m_state;
    cairo_matrix_t page;
    if (m_mode == Mode::Wmf) {
        double ox = s.windowSet ? s.worgX : m_frameL, oy = s.windowSet ? s.worgY : m_frameT;
        double ex = s.windowSet ? s.wextX : m_frameR - m_frameL;
        double ey = s.windowSet ? s.wextY : m_frameB - m_frameT;
        if (ex == 0)
            ex = 1;
        if (ey == 0)
            ey = 1;
        double kx = m_frameW / ex, ky = m_frameH / ey;
        cairo_matrix_init(&page, kx, 0, 0, ky, -ox * kx, -oy * ky);
    } else {
        double kx = 1, ky = 1;
        double mm = 0;
        switch (s.mapMode) {
        case 2:
            mm = 0.1;
            break; // MM_LOMETRIC
        case 3:
            mm = 0.01;
            break; // MM_HIMETRIC
        case 4:
            mm = 0.254;
            break; // MM_LOENGLISH
        case 5:
            mm = 0.0254;
            break; // MM_HIENGLISH
        case 6:
            mm = 25.4 / 1440.0;
            break; // MM_TWIPS
        default:
            break;
        }
        if (mm > 0) {
            kx = mm * m_pxPerMmX;
            ky = -mm * m_pxPerMmY; // metric modes count y upwards
        } else if (s.mapMode == 7 || s.mapMode == 8) {
            kx = s.wextX != 0 ? s.vextX / s.wextX : 1;
            ky = s.wextY != 0 ? s.vextY / s.wextY : 1;
            if (s.mapMode == 7) { // MM_ISOTROPIC: the smaller scale on both axes
                double k = std::min(std::fabs(kx), std::fabs(ky));
                kx = std::copysign(k, kx);
                ky = std::copysign(k, ky);
            }
        }
        cairo_matrix_init(&page, kx, 0, 0, ky, s.vorgX - s.worgX * kx, s.vorgY - s.worgY * ky);
    }
    cairo_matrix_t a, b;
    cairo_matrix_multiply(&a, &s.world, &page);
    cairo_matrix_multiply(&b, &a, &m_deviceToTarget);
    return b;
}

bool MetafileCanvas::applyLogical() {
    if (!m_cr)
        return false;
    cairo_matrix_t m = logicalToTarget();
    if (!usableMatrix(m))
        return false;
    cairo_set_matrix(m_cr, &m);
    return true;
}

void MetafileCanvas::saveDc() {
    if (!m_cr || m_stack.size() >= 1024)
        return;
    m_stack.push_back(m_state);
    cairo_save(m_cr);
}

void MetafileCanvas::restoreDc(int which) {
    if (!m_cr)
        return;
    // Negative: relative to the current level; positive: an absolute level (1 = first save).
    long target = which < 0 ? long(m_stack.size()) + which : long(which) - 1;
    if (target < 0 || target >= long(m_stack.size()))
        return;
    while (long(m_stack.size()) > target) {
        m_state = m_stack.back();
        m_stack.pop_back();
        cairo_restore(m_cr);
    }
}

// ---------------------------------------------------------------------------------------
// Objects

size_t MetafileCanvas::createObject(const MfObject& object) {
    for (size_t i = 0; i < m_objects.size(); ++i)
        if (m_objects[i].kind == MfObject::Kind::Free) {
            m_objects[i] = object;
            return i;
        }
    if (m_objects.size() < 65535)
        m_objects.push_back(object);
    return m_objects.size() - 1;
}

void MetafileCanvas::setObject(size_t index, const MfObject& object) {
    if (index >= 65536)
        return;
    if (index >= m_objects.size())
        m_objects.resize(index + 1);
    m_objects[index] = object;
}

void MetafileCanvas::selectObject(size_t index) {
    if (index >= m_objects.size())
        return;
    const MfObject& o = m_objects[index];
    switch (o.kind) {
    case MfObject::Kind::Pen:
        m_state.pen = o.pen;
        break;
    case MfObject::Kind::Brush:
        m_state.brush = o.brush;
        break;
    case MfObject::Kind::Font:
        m_state.font = o.font;
        break;
    default:
        break;
    }
}

void MetafileCanvas::selectStockObject(uint32_t index) {
    switch (index) {
    case 0:
        m_state.brush = {0, 0xFFFFFF};
        break;
    case 1:
        m_state.brush = {0, 0xC0C0C0};
        break;
    case 2:
        m_state.brush = {0, 0x808080};
        break;
    case 3:
        m_state.brush = {0, 0x404040};
        break;
    case 4:
        m_state.brush = {0, 0x000000};
        break;
    case 5:
        m_state.brush = {1, 0};
        break;
    case 6:
        m_state.pen = {0, 0, 0xFFFFFF};
        break;
    case 7:
        m_state.pen = {0, 0, 0x000000};
        break;
    case 8:
        m_state.pen = {5, 0, 0};
        break;
    case 18:
        m_state.brush = {0, 0xFFFFFF};
        break;
    case 19:
        m_state.pen = {0, 0, 0x000000};
        break;
    default:
        if (index >= 10 && index <= 17)
            m_state.font = MfFont{};
        break;
    }
}

void MetafileCanvas::deleteObject(size_t index) {
    if (index < m_objects.size())
        m_objects[index] = MfObject{};
}

// ---------------------------------------------------------------------------------------
// Painting helpers

void MetafileCanvas::setColor(uint32_t c) {
    cairo_set_source_rgb(m_cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                         ((c >> 16) & 0xFF) / 255.0);
}

double MetafileCanvas::penWidthTarget() const {
    if (m_state.pen.width <= 0)
        return 1.0;
    cairo_matrix_t m = logicalToTarget();
    double w = m_state.pen.width * std::sqrt(std::fabs(determinant(m)));
    return std::clamp(w, 1.0, kMaxCoordinate);
}

void MetafileCanvas::fillCurrent(bool preserve) {
    if (m_state.brush.style == 1) // BS_NULL
        return;
    setColor(m_state.brush.color);
    cairo_set_fill_rule(m_cr,
                        m_state.polyFill == 2 ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    if (preserve)
        cairo_fill_preserve(m_cr);
    else
        cairo_fill(m_cr);
}

void MetafileCanvas::strokeCurrent() {
    const uint32_t style = m_state.pen.style;
    if ((style & 0xF) == 5) // PS_NULL
        return;
    cairo_save(m_cr);
    cairo_identity_matrix(m_cr);
    const double w = penWidthTarget();
    cairo_set_line_width(m_cr, w);
    switch (style & 0xF00) {
    case 0x100:
        cairo_set_line_cap(m_cr, CAIRO_LINE_CAP_SQUARE);
        break;
    case 0x200:
        cairo_set_line_cap(m_cr, CAIRO_LINE_CAP_BUTT);
        break;
    default:
        cairo_set_line_cap(m_cr, CAIRO_LINE_CAP_ROUND);
        break;
    }
    switch (style & 0xF000) {
    case 0x1000:
        cairo_set_line_join(m_cr, CAIRO_LINE_JOIN_BEVEL);
        break;
    case 0x2000:
        cairo_set_line_join(m_cr, CAIRO_LINE_JOIN_MITER);
        break;
    default:
        cairo_set_line_join(m_cr, CAIRO_LINE_JOIN_ROUND);
        break;
    }
    const double u = std::max(w, 1.0);
    const double dash[] = {18 * u, 6 * u}, dot[] = {3 * u, 3 * u},
                 dashDot[] = {9 * u, 6 * u, 3 * u, 6 * u},
                 dashDotDot[] = {9 * u, 3 * u, 3 * u, 3 * u, 3 * u, 3 * u};
    switch (style & 0xF) {
    case 1:
        cairo_set_dash(m_cr, dash, 2, 0);
        break;
    case 2:
        cairo_set_dash(m_cr, dot, 2, 0);
        break;
    case 3:
        cairo_set_dash(m_cr, dashDot, 4, 0);
        break;
    case 4:
        cairo_set_dash(m_cr, dashDotDot, 6, 0);
        break;
    default:
        break;
    }
    setColor(m_state.pen.color);
    cairo_stroke_preserve(m_cr);
    cairo_restore(m_cr);
}

void MetafileCanvas::finishShape(bool fill, bool stroke) {
    if (m_state.inPath)
        return;
    if (fill)
        fillCurrent(true);
    if (stroke)
        strokeCurrent();
    cairo_new_path(m_cr);
}

// ---------------------------------------------------------------------------------------
// Shapes

void MetafileCanvas::moveTo(double x, double y) {
    m_state.curX = x;
    m_state.curY = y;
    if (m_state.inPath && applyLogical())
        cairo_move_to(m_cr, x, y);
}

void MetafileCanvas::lineTo(double x, double y) {
    if (applyLogical()) {
        if (!m_state.inPath) {
            cairo_new_path(m_cr);
            cairo_move_to(m_cr, m_state.curX, m_state.curY);
        } else if (!cairo_has_current_point(m_cr)) {
            cairo_move_to(m_cr, m_state.curX, m_state.curY);
        }
        cairo_line_to(m_cr, x, y);
        finishShape(false, true);
    }
    m_state.curX = x;
    m_state.curY = y;
}

void MetafileCanvas::polyline(const std::vector<MfPoint>& pts, bool fromCurrent) {
    if (pts.empty() || !applyLogical())
        return;
    if (!m_state.inPath)
        cairo_new_path(m_cr);
    size_t first = 0;
    if (fromCurrent) {
        if (!m_state.inPath || !cairo_has_current_point(m_cr))
            cairo_move_to(m_cr, m_state.curX, m_state.curY);
    } else {
        cairo_move_to(m_cr, pts[0].x, pts[0].y);
        first = 1;
    }
    for (size_t i = first; i < pts.size(); ++i)
        cairo_line_to(m_cr, pts[i].x, pts[i].y);
    if (fromCurrent) {
        m_state.curX = pts.back().x;
        m_state.curY = pts.back().y;
    }
    finishShape(false, true);
}

void MetafileCanvas::polygon(const std::vector<std::vector<MfPoint>>& polys) {
    if (polys.empty() || !applyLogical())
        return;
    if (!m_state.inPath)
        cairo_new_path(m_cr);
    for (const auto& poly : polys) {
        if (poly.empty())
            continue;
        cairo_move_to(m_cr, poly[0].x, poly[0].y);
        for (size_t i = 1; i < poly.size(); ++i)
            cairo_line_to(m_cr, poly[i].x, poly[i].y);
        cairo_close_path(m_cr);
    }
    finishShape(true, true);
}

void MetafileCanvas::polyPolyline(const std::vector<std::vector<MfPoint>>& lines) {
    if (lines.empty() || !applyLogical())
        return;
    if (!m_state.inPath)
        cairo_new_path(m_cr);
    for (const auto& line : lines) {
        if (line.empty())
            continue;
        cairo_move_to(m_cr, line[0].x, line[0].y);
        for (size_t i = 1; i < line.size(); ++i)
            cairo_line_to(m_cr, line[i].x, line[i].y);
    }
    finishShape(false, true);
}

void MetafileCanvas::polyBezier(const std::vector<MfPoint>& pts, bool fromCurrent) {
    if (pts.empty() || !applyLogical())
        return;
    if (!m_state.inPath)
        cairo_new_path(m_cr);
    size_t i = 0;
    if (fromCurrent) {
        if (!m_state.inPath || !cairo_has_current_point(m_cr))
            cairo_move_to(m_cr, m_state.curX, m_state.curY);
    } else {
        cairo_move_to(m_cr, pts[0].x, pts[0].y);
        i = 1;
    }
    for (; i + 2 < pts.size(); i += 3)
        cairo_curve_to(m_cr, pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y, pts[i + 2].x,
                       pts[i + 2].y);
    if (fromCurrent) {
        m_state.curX = pts.back().x;
        m_state.curY = pts.back().y;
    }
    finishShape(false, true);
}

void MetafileCanvas::rectangle(double l, double t, double r, double b) {
    if (!applyLogical())
        return;
    if (!m_state.inPath)
        cairo_new_path(m_cr);
    cairo_rectangle(m_cr, l, t, r - l, b - t);
    finishShape(true, true);
}

void MetafileCanvas::roundRect(double l, double t, double r, double b, double w, double h) {
    if (!applyLogical())
        return;
    if (!m_state.inPath)
        cairo_new_path(m_cr);
    double x0 = std::min(l, r), x1 = std::max(l, r), y0 = std::min(t, b), y1 = std::max(t, b);
    double rx = std::min(std::fabs(w) / 2, (x1 - x0) / 2),
           ry = std::min(std::fabs(h) / 2, (y1 - y0) / 2);
    if (rx <= 0 || ry <= 0) {
        cairo_rectangle(m_cr, x0, y0, x1 - x0, y1 - y0);
    } else {
        auto corner = [&](double cx, double cy, double a0) {
            cairo_save(m_cr);
            cairo_translate(m_cr, cx, cy);
            cairo_scale(m_cr, rx, ry);
            cairo_arc(m_cr, 0, 0, 1, a0, a0 + M_PI / 2);
            cairo_restore(m_cr);
        };
        cairo_new_sub_path(m_cr);
        corner(x1 - rx, y0 + ry, -M_PI / 2);
        corner(x1 - rx, y1 - ry, 0);
        corner(x0 + rx, y1 - ry, M_PI / 2);
        corner(x0 + rx, y0 + ry, M_PI);
        cairo_close_path(m_cr);
    }
    finishShape(true, true);
}

void MetafileCanvas::ellipsePath(double l, double t, double r, double b) {
    double rx = std::fabs(r - l) / 2, ry = std::fabs(b - t) / 2;
    if (rx <= 0 || ry <= 0)
        return;
    cairo_save(m_cr);
    cairo_translate(m_cr, (l + r) / 2, (t + b) / 2);
    cairo_scale(m_cr, rx, ry);
    cairo_new_sub_path(m_cr);
    cairo_arc(m_cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_close_path(m_cr);
    cairo_restore(m_cr);
}

void MetafileCanvas::ellipse(double l, double t, double r, double b) {
    if (!applyLogical())
        return;
    if (!m_state.inPath)
        cairo_new_path(m_cr);
    ellipsePath(l, t, r, b);
    finishShape(true, true);
}

void MetafileCanvas::arc(ArcKind kind, double l, double t, double r, double b, double xs, double ys,
                         double xe, double ye) {
    double cx = (l + r) / 2, cy = (t + b) / 2;
    double rx = std::fabs(r - l) / 2, ry = std::fabs(b - t) / 2;
    if (rx <= 0 || ry <= 0 || !applyLogical())
        return;
    double a1 = std::atan2((ys - cy) / ry, (xs - cx) / rx);
    double a2 = std::atan2((ye - cy) / ry, (xe - cx) / rx);
    if (a2 >= a1)
        a2 -= 2 * M_PI; // arcs run counter-clockwise on the page, where y points down
    if (!m_state.inPath)
        cairo_new_path(m_cr);
    if (kind == ArcKind::Pie)
        cairo_move_to(m_cr, cx, cy);
    if (kind == ArcKind::ArcTo && !cairo_has_current_point(m_cr))
        cairo_move_to(m_cr, m_state.curX, m_state.curY);
    cairo_save(m_cr);
    cairo_translate(m_cr, cx, cy);
    cairo_scale(m_cr, rx, ry);
    if (kind == ArcKind::Arc || kind == ArcKind::Chord)
        cairo_new_sub_path(m_cr);
    cairo_arc_negative(m_cr, 0, 0, 1, a1, a2);
    cairo_restore(m_cr);
    if (kind == ArcKind::ArcTo) {
        m_state.curX = cx + rx * std::cos(a2);
        m_state.curY = cy + ry * std::sin(a2);
    }
    bool closed = kind == ArcKind::Pie || kind == ArcKind::Chord;
    if (closed)
        cairo_close_path(m_cr);
    finishShape(closed, true);
}

void MetafileCanvas::setPixel(double x, double y, uint32_t color) {
    if (!applyLogical())
        return;
    cairo_user_to_device(m_cr, &x, &y);
    cairo_save(m_cr);
    cairo_identity_matrix(m_cr);
    cairo_new_path(m_cr);
    cairo_rectangle(m_cr, std::floor(x), std::floor(y), 1, 1);
    setColor(color);
    cairo_fill(m_cr);
    cairo_restore(m_cr);
}

// ---------------------------------------------------------------------------------------
// Text

void MetafileCanvas::text(double x, double y, const std::string& utf8, bool opaque, bool clipped,
                          const double* rect) {
    if (!applyLogical() || m_state.inPath)
        return;
    cairo_matrix_t m = logicalToTarget();
    const double scale = std::sqrt(std::fabs(determinant(m)));
    double size = std::fabs(m_state.font.height);
    if (m_state.font.height > 0)
        size *= 0.85; // a cell height includes the internal leading
    if (size == 0) {
        // No font or a default height: 16 device pixels, as a default GUI font has.
        cairo_matrix_t dev = m_deviceToTarget;
        size = 16.0 * std::sqrt(std::fabs(determinant(dev))) / std::max(scale, 1e-9);
    }
    // Glyphs far larger than any target would only cost time.
    if (size * scale > 4096 || size * scale < 0.5)
        return;
    cairo_save(m_cr);
    if (rect && (opaque || clipped)) {
        cairo_new_path(m_cr);
        cairo_rectangle(m_cr, rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1]);
        if (opaque) {
            setColor(m_state.bkColor);
            cairo_fill_preserve(m_cr);
        }
        if (clipped)
            cairo_clip(m_cr);
        cairo_new_path(m_cr);
    }
    if (m_state.textAlign & 1) { // TA_UPDATECP
        x = m_state.curX;
        y = m_state.curY;
    }
    cairo_select_font_face(
        m_cr, "sans-serif", m_state.font.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
        m_state.font.weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    // Mapping modes that count y upwards would draw glyphs upside down.
    const bool flip = determinant(m) < 0;
    cairo_matrix_t fm;
    cairo_matrix_init(&fm, size, 0, 0, flip ? -size : size, 0, 0);
    cairo_set_font_matrix(m_cr, &fm);
    cairo_translate(m_cr, x, y);
    if (m_state.font.escapement != 0)
        cairo_rotate(m_cr, (flip ? 1 : -1) * m_state.font.escapement * M_PI / 1800.0);
    cairo_text_extents_t te;
    cairo_font_extents_t fe;
    cairo_text_extents(m_cr, utf8.c_str(), &te);
    cairo_font_extents(m_cr, &fe);
    const double sign = flip ? -1 : 1;
    double ox = 0, oy = 0;
    switch (m_state.textAlign & 6) {
    case 2:
        ox = -te.x_advance;
        break; // TA_RIGHT
    case 6:
        ox = -te.x_advance / 2;
        break; // TA_CENTER
    default:
        break;
    }
    switch (m_state.textAlign & 24) {
    case 8:
        oy = -sign * fe.descent;
        break; // TA_BOTTOM
    case 24:
        break; // TA_BASELINE
    default:
        oy = sign * fe.ascent;
        break; // TA_TOP
    }
    if (m_state.bkMode == 2 && !utf8.empty()) {
        cairo_new_path(m_cr);
        cairo_rectangle(m_cr, ox, oy - sign * fe.ascent, te.x_advance,
                        sign * (fe.ascent + fe.descent));
        setColor(m_state.bkColor);
        cairo_fill(m_cr);
    }
    setColor(m_state.textColor);
    cairo_move_to(m_cr, ox, oy);
    cairo_show_text(m_cr, utf8.c_str());
    cairo_new_path(m_cr);
    cairo_restore(m_cr);
    if (m_state.textAlign & 1)
        m_state.curX += te.x_advance;
}

// ---------------------------------------------------------------------------------------
// Bitmaps

void MetafileCanvas::patBlt(double dx, double dy, double dw, double dh, uint32_t rop) {
    if (!applyLogical() || m_state.inPath)
        return;
    uint32_t color;
    if (rop == 0x00000042) // BLACKNESS
        color = 0;
    else if (rop == 0x00FF0062) // WHITENESS
        color = 0xFFFFFF;
    else if (rop == 0x00F00021 && m_state.brush.style != 1) // PATCOPY
        color = m_state.brush.color;
    else
        return;
    cairo_new_path(m_cr);
    cairo_rectangle(m_cr, dx, dy, dw, dh);
    setColor(color);
    cairo_fill(m_cr);
}

void MetafileCanvas::dib(double dx, double dy, double dw, double dh, int32_t srcX, int32_t srcY,
                         int32_t srcW, int32_t srcH, const uint8_t* bmi, size_t bmiSize,
                         const uint8_t* bits, size_t bitsSize, uint32_t rop) {
    if (!bmi || bmiSize < 40 || !bits || m_state.inPath)
        return;
    const uint32_t hs = getU32(bmi);
    int32_t w, h;
    std::memcpy(&w, bmi + 4, 4);
    std::memcpy(&h, bmi + 8, 4);
    const uint16_t bpp = uint16_t(bmi[14] | (bmi[15] << 8));
    const uint32_t compression = getU32(bmi + 16);
    uint32_t clrUsed = getU32(bmi + 32);
    if (hs < 40 || hs > bmiSize || w <= 0 || h == 0 || h == INT32_MIN)
        return;
    if (!(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32))
        return;
    if (compression != 0 && !(compression == 3 && (bpp == 16 || bpp == 32)))
        return;
    const bool bottomUp = h > 0;
    const int32_t height = bottomUp ? h : -h;
    if (int64_t(w) * height > (int64_t(1) << 26))
        return;
    const size_t stride = size_t((int64_t(w) * bpp + 31) / 32 * 4);
    if (stride * size_t(height) > bitsSize)
        return;
    // Colour table or masks.
    std::vector<uint32_t> table;
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (bpp == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
    }
    if (bpp <= 8) {
        size_t n = clrUsed && clrUsed < (1u << bpp) ? clrUsed : (1u << bpp);
        n = std::min(n, (bmiSize - hs) / 4);
        for (size_t i = 0; i < n; ++i)
            table.push_back(getU32(bmi + hs + 4 * i) & 0xFFFFFF);
    } else if (compression == 3 && bmiSize >= 52) {
        for (int i = 0; i < 3; ++i)
            masks[i] = getU32(bmi + 40 + 4 * i);
    }
    // In 64 bits: a hostile record's coordinates must not overflow on the way.
    int64_t sx = srcX, sy = srcY, sw = srcW, sh = srcH;
    // The source y of a bottom-up DIB counts from its last row.
    if (bottomUp)
        sy = int64_t(h) - sy - sh;
    if (sw == 0 || sh == 0)
        return;
    mirrorNegativeSourceExtent(sx, sw, dx, dw);
    mirrorNegativeSourceExtent(sy, sh, dy, dh);
    if (sx < 0 || sy < 0 || sx >= w || sy >= height)
        return;
    sw = std::min<int64_t>(sw, w - sx);
    sh = std::min<int64_t>(sh, height - sy);

    cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, height);
    if (cairo_surface_status(img) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(img);
        return;
    }
    cairo_surface_flush(img);
    uint8_t* out = cairo_image_surface_get_data(img);
    const int ostride = cairo_image_surface_get_stride(img);
    auto channel = [](uint32_t v, uint32_t mask) -> uint32_t {
        if (!mask)
            return 0;
        int shift = __builtin_ctz(mask);
        uint64_t m = mask >> shift;
        uint64_t c = (v >> shift) & m;
        return uint32_t(std::min<uint64_t>(255, (c * 255 + m / 2) / m));
    };
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = bits + stride * size_t(bottomUp ? height - 1 - y : y);
        uint32_t* o = reinterpret_cast<uint32_t*>(out + size_t(ostride) * y);
        for (int32_t x = 0; x < w; ++x) {
            uint32_t v = 0;
            switch (bpp) {
            case 1:
            case 4:
            case 8: {
                uint32_t idx = bpp == 8   ? row[x]
                               : bpp == 4 ? (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15
                                          : (row[x >> 3] >> (7 - (x & 7))) & 1;
                uint32_t q = idx < table.size() ? table[idx] : 0;
                v = q;
                break;
            }
            case 16: {
                uint32_t p = uint32_t(row[2 * x] | (row[2 * x + 1] << 8));
                v = (channel(p, masks[0]) << 16) | (channel(p, masks[1]) << 8) |
                    channel(p, masks[2]);
                break;
            }
            case 24:
                v = uint32_t(row[3 * x]) | (uint32_t(row[3 * x + 1]) << 8) |
                    (uint32_t(row[3 * x + 2]) << 16);
                break;
            default: {
                uint32_t p = getU32(row + 4 * x);
                v = (channel(p, masks[0]) << 16) | (channel(p, masks[1]) << 8) |
                    channel(p, masks[2]);
                break;
            }
            }
            o[x] = 0xFF000000u | v;
        }
    }
    cairo_surface_mark_dirty(img);
    (void)rop;
    if (applyLogical()) {
        cairo_save(m_cr);
        cairo_new_path(m_cr);
        cairo_rectangle(m_cr, dx, dy, dw, dh);
        cairo_pattern_t* p = cairo_pattern_create_for_surface(img);
        cairo_matrix_t pm;
        const double kx = double(sw) / dw, ky = double(sh) / dh;
        cairo_matrix_init(&pm, kx, 0, 0, ky, double(sx) - dx * kx, double(sy) - dy * ky);
        cairo_pattern_set_matrix(p, &pm);
        cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
        cairo_matrix_t m = logicalToTarget();
        const double targetW = std::fabs(dw) * std::sqrt(std::fabs(determinant(m)));
        cairo_pattern_set_filter(p,
                                 targetW >= double(sw) ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
        cairo_set_source(m_cr, p);
        cairo_fill(m_cr);
        cairo_pattern_destroy(p);
        cairo_restore(m_cr);
    }
    cairo_surface_destroy(img);
}

// ---------------------------------------------------------------------------------------
// Clipping and paths

void MetafileCanvas::intersectClip(double l, double t, double r, double b) {
    if (!applyLogical())
        return;
    cairo_new_path(m_cr);
    cairo_rectangle(m_cr, l, t, r - l, b - t);
    cairo_clip(m_cr);
}

void MetafileCanvas::clipDeviceRects(const std::vector<double>& ltrb, bool replace) {
    if (!m_cr)
        return;
    if (replace)
        cairo_reset_clip(m_cr);
    if (ltrb.empty())
        return;
    cairo_set_matrix(m_cr, &m_deviceToTarget);
    cairo_new_path(m_cr);
    for (size_t i = 0; i + 3 < ltrb.size(); i += 4)
        cairo_rectangle(m_cr, ltrb[i], ltrb[i + 1], ltrb[i + 2] - ltrb[i],
                        ltrb[i + 3] - ltrb[i + 1]);
    cairo_set_fill_rule(m_cr, CAIRO_FILL_RULE_WINDING);
    cairo_clip(m_cr);
}

void MetafileCanvas::resetClip() {
    if (m_cr)
        cairo_reset_clip(m_cr);
}

void MetafileCanvas::beginPath() {
    if (!m_cr)
        return;
    cairo_new_path(m_cr);
    m_state.inPath = true;
    m_state.pathClosed = false;
}

void MetafileCanvas::closeFigure() {
    if (m_cr && m_state.inPath && cairo_has_current_point(m_cr))
        cairo_close_path(m_cr);
}

void MetafileCanvas::fillPath(bool fill, bool stroke) {
    if (!m_cr)
        return;
    m_state.inPath = false;
    m_state.pathClosed = false;
    if (fill)
        fillCurrent(true);
    if (stroke)
        strokeCurrent();
    cairo_new_path(m_cr);
}

void MetafileCanvas::selectClipPath() {
    if (!m_cr)
        return;
    m_state.inPath = false;
    cairo_set_fill_rule(m_cr,
                        m_state.polyFill == 2 ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(m_cr);
}

void MetafileCanvas::abortPath() {
    if (!m_cr)
        return;
    m_state.inPath = false;
    cairo_new_path(m_cr);
}

} // namespace gp
