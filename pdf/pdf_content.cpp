#include "pdf/cPDF.h"

#include "pdf/pdf_format.h"

#include <cmath>

namespace tavimo {

using namespace pdf;

namespace {

// The writer's own value of pi for text rotation and arcs.
constexpr double kDegree = 3.141592 / 180;
// Bezier control distance of quarter circles, as a fraction of the radius.
constexpr double kKappa = 0.55;

std::string n3(double v) {
    return FormatNumber(v, 3);
}

} // namespace

bool cPDF::openTarget() {
    if (m_formOpen)
        return true;
    if (!m_pageOpen)
        BeginPage();
    return m_pageOpen;
}

void cPDF::addContent(std::string_view text) {
    std::string& target = m_formOpen ? m_formContent : m_content;
    if (!m_formOpen && !m_pageOpen)
        return;
    target.append(text);
    target.append("\r\n");
}

void cPDF::paintPath(std::int32_t options) {
    bool stroke = options & 1, close = options & 2, fill = options & 4;
    if (stroke && close && fill) {
        addContent("b");
    } else if (fill && stroke) {
        addContent("B");
    } else if (fill) {
        addContent("f");
    } else {
        if (close)
            addContent("h");
        if (stroke)
            addContent("S");
    }
}

void cPDF::SetWordSpacing(float W) {
    try {
        if (!openTarget())
            return;
        m_wordSpacing = W;
        addContent(n3(W) + " Tw");
    } catch (...) {
    }
}

void cPDF::SetCharSpacing(float W) {
    try {
        if (!openTarget())
            return;
        m_charSpacing = W;
        addContent(n3(W) + " Tc");
    } catch (...) {
    }
}

void cPDF::SetTextHorizontalScaling(float W) {
    try {
        if (!openTarget())
            return;
        m_horizontalScaling = W;
        addContent(n3(W) + " Tz");
    } catch (...) {
    }
}

void cPDF::DrawText(float X, float Y, const std::string& strTemp, std::int32_t nFontID,
                    float FontSize, std::int32_t Align, float Rotate) {
    try {
        if (nFontID < 1 || nFontID > std::int32_t(m_fonts.size()))
            return;
        if (!openTarget())
            return;
        std::string text = ToAnsi(strTemp);
        double x = X;
        if (Align == 1)
            x -= textWidth(text, nFontID, FontSize);
        else if (Align == 2)
            x -= textWidth(text, nFontID, FontSize) / 2;
        float fx = float(x);
        addContent("BT");
        addContent("/Font" + IntText(nFontID) + " " + n3(FontSize) + " Tf");
        if (Rotate != 0) {
            double s = std::sin(kDegree * Rotate);
            double c = std::cos(kDegree * Rotate);
            addContent(n3(c) + " " + n3(s) + " " + n3(-s) + " " + n3(c) + " " + n3(fx) + " " +
                       n3(Y) + " Tm");
        } else {
            addContent(n3(fx) + " " + n3(Y) + " Td");
        }
        addContent("(" + EscapeText(text) + ") Tj");
        addContent("ET");
    } catch (...) {
    }
}

void cPDF::SetTextMode(std::int16_t M) {
    try {
        if (!openTarget())
            return;
        if (M >= 0 && M <= 3)
            addContent(IntText(M) + " Tr");
    } catch (...) {
    }
}

void cPDF::setColor(std::int32_t rgb, const char* rgbOperator, const char* greyOperator) {
    if (!openTarget())
        return;
    if (rgb <= 0 && rgb >= -255) {
        addContent(n3(-double(rgb) / 255) + " " + greyOperator);
        return;
    }
    // Remainders keep the sign of the value: a value below -255 has negative components,
    // which name no colour, unless all three are 0.
    std::int32_t r = rgb % 256, g = (rgb / 256) % 256, b = (rgb / 65536) % 256;
    if (r < 0 || g < 0 || b < 0)
        return;
    addContent(n3(r / 255.0) + " " + n3(g / 255.0) + " " + n3(b / 255.0) + " " + rgbOperator);
}

void cPDF::SetColorStroke(std::int32_t RGB) {
    try {
        setColor(RGB, "RG", "G");
    } catch (...) {
    }
}

void cPDF::SetColorFill(std::int32_t RGB) {
    try {
        setColor(RGB, "rg", "g");
    } catch (...) {
    }
}

void cPDF::SetDash(float dash_on, float dash_off) {
    try {
        if (!openTarget())
            return;
        if (dash_on == 0 && dash_off == 0)
            addContent("[ ] 0 d");
        else
            addContent("[" + n3(dash_on) + " " + n3(dash_off) + "] 0 d");
    } catch (...) {
    }
}

void cPDF::SetLineWidth(float W) {
    try {
        if (openTarget())
            addContent(n3(W) + " w");
    } catch (...) {
    }
}

void cPDF::SetLineCap(std::int16_t W) {
    try {
        if (openTarget() && W >= 0 && W <= 2)
            addContent(IntText(W) + " J");
    } catch (...) {
    }
}

void cPDF::SetLineJoin(std::int16_t W) {
    try {
        if (openTarget() && W >= 0 && W <= 2)
            addContent(IntText(W) + " j");
    } catch (...) {
    }
}

void cPDF::moveTo(float x, float y) {
    if (openTarget())
        addContent(n3(x) + " " + n3(y) + " m");
}

void cPDF::lineTo(float x, float y, std::int32_t options) {
    if (!openTarget())
        return;
    addContent(n3(x) + " " + n3(y) + " l");
    paintPath(options);
}

void cPDF::curve(float x1, float y1, float x2, float y2, float x3, float y3, std::int32_t options) {
    if (!openTarget())
        return;
    addContent(n3(x1) + " " + n3(y1) + " " + n3(x2) + " " + n3(y2) + " " + n3(x3) + " " + n3(y3) +
               " c");
    paintPath(options);
}

void cPDF::MoveTo(float X, float Y) {
    try {
        moveTo(X, Y);
    } catch (...) {
    }
}

void cPDF::LineTo(float X, float Y, std::int32_t Options) {
    try {
        lineTo(X, Y, Options);
    } catch (...) {
    }
}

void cPDF::Curve(float X1, float y1, float X2, float Y2, float X3, float Y3, std::int32_t Options) {
    try {
        curve(X1, y1, X2, Y2, X3, Y3, Options);
    } catch (...) {
    }
}

void cPDF::Rectangle(float X, float Y, float xdim, float ydim, std::int32_t Options, float& Ray) {
    try {
        if (!openTarget())
            return;
        addContent("n");
        if (!(Ray > 0)) {
            addContent(n3(X) + " " + n3(Y) + " " + n3(xdim) + " " + n3(ydim) + " re");
        } else {
            if (xdim / 2 < Ray)
                Ray = xdim / 2;
            if (ydim / 2 < Ray)
                Ray = ydim / 2;
            double r = Ray, w = xdim, h = ydim, x = X, y = Y;
            double k = kKappa * r;
            auto f = [](double v) { return float(v); };
            moveTo(f(x + r), f(y));
            lineTo(f(x + w - r), f(y), 0);
            curve(f(x + w - r + k), f(y), f(x + w), f(y + r - k), f(x + w), f(y + r), 0);
            lineTo(f(x + w), f(y + h - r), 0);
            curve(f(x + w), f(y + h - r + k), f(x + w - r + k), f(y + h), f(x + w - r), f(y + h),
                  0);
            lineTo(f(x + r), f(y + h), 0);
            curve(f(x + r - k), f(y + h), f(x), f(y + h - r + k), f(x), f(y + h - r), 0);
            lineTo(f(x), f(y + r), 0);
            curve(f(x), f(y + r - k), f(x + r - k), f(y), f(x + r), f(y), 0);
        }
        paintPath(Options);
    } catch (...) {
    }
}

void cPDF::DrawCircle(float X, float Y, float Ray, std::int32_t Options) {
    try {
        if (!openTarget())
            return;
        double x = X, y = Y, r = Ray, k = kKappa * Ray;
        auto f = [](double v) { return float(v); };
        moveTo(f(x), f(y - r));
        curve(f(x + k), f(y - r), f(x + r), f(y - k), f(x + r), f(y), 0);
        curve(f(x + r), f(y + k), f(x + k), f(y + r), f(x), f(y + r), 0);
        curve(f(x - k), f(y + r), f(x - r), f(y + k), f(x - r), f(y), 0);
        curve(f(x - r), f(y - k), f(x - k), f(y - r), f(x), f(y - r), 0);
        paintPath(Options);
    } catch (...) {
    }
}

void cPDF::Arc(float X, float Y, float Ray, float StartAngle, float EndAngle, float Ratio, bool Pie,
               float Rotate, std::int16_t Quality, std::int32_t Options) {
    try {
        // A step that makes no progress would never reach the end angle.
        if (Quality <= 0 || !std::isfinite(StartAngle) || !std::isfinite(EndAngle))
            return;
        if (!openTarget())
            return;
        addContent("n");
        moveTo(X, Y);
        double rs = std::sin(-kDegree * Rotate);
        double rc = std::cos(-kDegree * Rotate);
        bool open = !(Options & 4) && !Pie;
        double steps = (double(EndAngle) - double(StartAngle)) / Quality;
        long long limit = steps < 0 ? 0 : (long long)(steps) + 2;
        bool first = true;
        long long count = 0;
        // The angle is a single-precision counter: the end angle is drawn only when the steps
        // reach it exactly.
        for (float a = StartAngle; a <= EndAngle && count < limit; a += float(Quality), ++count) {
            double dx = double(Ray) * std::cos(kDegree * a);
            double dy = double(Ray) * double(Ratio) * std::sin(kDegree * a);
            double px = rc * dx + rs * dy;
            double py = -dx * rs + rc * dy;
            float x = float(X + px), y = float(Y + py);
            if (first && open)
                moveTo(x, y);
            first = false;
            lineTo(x, y, 0);
        }
        if (!open)
            lineTo(X, Y, 0);
        paintPath(Options);
    } catch (...) {
    }
}

} // namespace tavimo
