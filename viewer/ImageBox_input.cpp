// Mouse, keyboard and drop input: the selection rectangle (rubber band, handles, moving),
// panning with paging past a page's top or bottom, zoom to a dragged rectangle, the wheel
// keys, the mouse position in image pixels, the rectangle and coordinate members, and the
// host events of every input.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <exception>

#include "platform/activex/surface.h"
#include "platform/win/files.h"
#include "platform/win/gdi_objects.h"
#include "platform/win/picture.h"
#include "platform/win/vb_number.h"
#include "viewer/ImageBox.h"
#include "viewer/view_math.h"
#include "viewer/wheel_hook.h"

namespace tavimo {

using ax::Variant;

namespace {

constexpr int32_t kHandleTolerance = 4;
constexpr float kMmPerInch = 25.4f;
constexpr int32_t kPanDragCursor = 103;
constexpr int32_t kPanRestCursor = 104;
constexpr int32_t kAlignBottomCenter = 9;
constexpr int32_t kAlignTopCenter = 6;

bool near(int32_t a, int32_t b) {
    return std::abs(a - b) <= kHandleTolerance;
}

// The pan cursors of the library: a 16 x 16 open hand at rest, a closed one while dragging.
ax::ComPtr<ax::Picture> panCursor(int32_t resource) {
    ax::SurfacePtr s = ax::makeSurface(16, 16, 0);
    if (!s)
        return {};
    const uint32_t ink = 0xFF000000u, paper = 0xFFFFFFFFu;
    const int top = resource == kPanDragCursor ? 6 : 2;
    ax::fillRect(*s, 3, top, 10, 14 - top, ink);
    ax::fillRect(*s, 4, top + 1, 8, 12 - top, paper);
    return ax::makeObject<ax::Picture>(s);
}

// The colour surface of a loaded cursor, icon or bitmap file; null when there is none.
ax::SurfacePtr pictureSurface(const win::Picture& picture) {
    if (picture.Type() == win::PICTYPE_ICON) {
        auto data = win::iconData(picture.Handle());
        if (!data)
            return {};
        if (data->color)
            return data->color;
        return ax::makeSurface(std::max(1, data->width()), std::max(1, data->height()), 0);
    }
    if (picture.Type() == win::PICTYPE_BITMAP)
        return win::bitmapSurface(picture.Handle());
    return {};
}

// Reads back what the event's sinks left in by-reference arguments; a value of the wrong
// kind keeps the original.
template <class T> void readBack(const Variant& v, T& out) {
    try {
        if constexpr (std::is_same_v<T, float>)
            out = v.toSingle();
        else
            out = v.toInteger();
    } catch (...) {
    }
}

} // namespace

// --- coordinates ---

void ImageBox::CoordObjectToImage(int32_t nObjectX, int32_t nObjectY, int32_t& nImageX,
                                  int32_t& nImageY) {
    try {
        if (m_s.m_Zoom == 0)
            return;
        double x = (nObjectX - m_s.m_ImageLeft) / m_s.m_Zoom;
        double y = (nObjectY - m_s.m_ImageTop) / m_s.m_Zoom * m_s.m_AspectRatio;
        int32_t ix = 0, iy = 0;
        if (win::tryToInt32(x, ix) && win::tryToInt32(y, iy)) {
            nImageX = ix;
            nImageY = iy;
        }
    } catch (...) {
    }
}

void ImageBox::CoordImageToObject(int32_t nImageX, int32_t nImageY, int32_t& nObjectX,
                                  int32_t& nObjectY) {
    try {
        int32_t v = 0;
        if (m_s.m_AspectRatio != 0 &&
            win::tryToInt32(
                win::roundHalfEven(nImageY * m_s.m_Zoom / m_s.m_AspectRatio) + m_s.m_ImageTop, v))
            nObjectY = v;
        if (win::tryToInt32(win::roundHalfEven(nImageX * m_s.m_Zoom) + m_s.m_ImageLeft, v))
            nObjectX = v;
    } catch (...) {
    }
}

int32_t ImageBox::GetMouseX() {
    return m_s.m_MouseX;
}

int32_t ImageBox::GetMouseY() {
    return m_s.m_MouseY;
}

void ImageBox::UpdateMousePosition(float x, float y) {
    try {
        if (m_s.m_Zoom != 0 && m_s.m_LastStatus == 0 && m_s.m_ImageId != 0 && ScaleWidth() > 0 &&
            ScaleHeight() > 0) {
            int32_t ix = 0, iy = 0;
            CoordObjectToImage(view::roundToInt(x), view::roundToInt(y), ix, iy);
            m_s.m_MouseX = std::clamp(ix, 0, std::max(0, m_s.m_ImageWidth - 1));
            m_s.m_MouseY = std::clamp(iy, 0, std::max(0, m_s.m_ImageHeight - 1));
        } else {
            m_s.m_MouseX = m_s.m_MouseY = 0;
        }
    } catch (const std::exception& e) {
        m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::GenericError);
        m_s.m_MouseX = m_s.m_MouseY = 0;
        if (!m_s.m_SilentMode)
            MsgBox(std::string("Mouse Position Calc: ") + e.what());
    }
}

// --- the selection rectangle ---

bool ImageBox::isRectDrawed() {
    return m_shRect->Width() > 1 && m_shRect->Height() > 1;
}

void ImageBox::GetRectValues(int32_t& nLeft, int32_t& nTop, int32_t& nWidth, int32_t& nHeight) {
    nLeft = nTop = nWidth = nHeight = 0;
    try {
        const ax::Shape& r = *m_shRect;
        if (!(r.Width() > 1 || r.Height() > 1))
            return;
        const int32_t x1 = view::roundToInt(r.Left()), y1 = view::roundToInt(r.Top());
        const int32_t x2 = view::roundToInt(r.Left() + r.Width());
        const int32_t y2 = view::roundToInt(r.Top() + r.Height());
        int32_t l = 0, t = 0, rr = 0, b = 0;
        CoordObjectToImage(x1, y1, l, t);
        CoordObjectToImage(x2, y2, rr, b);
        int32_t w = rr - l, h = b - t;
        // A shape lying past the image's right or bottom gives an empty size, not a
        // negative one.
        if (l + w > m_s.m_ImageWidth)
            w = std::max(0, m_s.m_ImageWidth - l);
        if (t + h > m_s.m_ImageHeight)
            h = std::max(0, m_s.m_ImageHeight - t);
        nLeft = l, nTop = t, nWidth = w, nHeight = h;
    } catch (...) {
    }
}

int32_t ImageBox::GetRectX() {
    int32_t l, t, w, h;
    GetRectValues(l, t, w, h);
    return l;
}
int32_t ImageBox::GetRectY() {
    int32_t l, t, w, h;
    GetRectValues(l, t, w, h);
    return t;
}
int32_t ImageBox::GetRectWidth() {
    int32_t l, t, w, h;
    GetRectValues(l, t, w, h);
    return w;
}
int32_t ImageBox::GetRectHeight() {
    int32_t l, t, w, h;
    GetRectValues(l, t, w, h);
    return h;
}

void ImageBox::PlaceRectShape(int32_t left, int32_t top, int32_t width, int32_t height) {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    CoordImageToObject(left, top, x1, y1);
    CoordImageToObject(left + width, top + height, x2, y2);
    m_shRect->move(static_cast<float>(x1), static_cast<float>(y1),
                   static_cast<float>(std::max(1, x2 - x1)),
                   static_cast<float>(std::max(1, y2 - y1)));
}

void ImageBox::SaveRectState() {
    if (m_s.m_ImageId == 0) {
        m_s.m_RectDrawn = false;
        return;
    }
    m_s.m_RectDrawn = isRectDrawed();
    if (m_s.m_RectDrawn)
        GetRectValues(m_s.m_RectLeft, m_s.m_RectTop, m_s.m_RectWidth, m_s.m_RectHeight);
}

void ImageBox::SetRectValues(int32_t nLeft, int32_t nTop, int32_t nWidth, int32_t nHeight) {
    try {
        PlaceRectShape(nLeft, nTop, nWidth, nHeight);
        SaveRectState();
    } catch (...) {
    }
}

void ImageBox::GetRectValuesMM(float& nLeft, float& nTop, float& nWidth, float& nHeight) {
    try {
        int32_t l, t, w, h;
        GetRectValues(l, t, w, h);
        const float hr = m_s.m_HorizontalResolution, vr = m_s.m_VerticalResolution;
        nLeft = l < 1 || !(hr > 0) ? 0.0f : l / hr * kMmPerInch;
        nTop = t < 1 || !(vr > 0) ? 0.0f : t / vr * kMmPerInch;
        if (hr > 0)
            nWidth = w / hr * kMmPerInch;
        if (vr > 0)
            nHeight = h / vr * kMmPerInch;
    } catch (...) {
    }
}

void ImageBox::SetRectValuesMM(float nLeft, float nTop, float nWidth, float nHeight) {
    try {
        const double hr = m_s.m_HorizontalResolution, vr = m_s.m_VerticalResolution;
        int32_t l = 0, t = 0, w = 0, h = 0;
        if (!win::tryToInt32(nLeft * hr / kMmPerInch, l) ||
            !win::tryToInt32(nTop * vr / kMmPerInch, t) ||
            !win::tryToInt32(nWidth * hr / kMmPerInch, w) ||
            !win::tryToInt32(nHeight * vr / kMmPerInch, h))
            return;
        SetRectValues(l, t, w, h);
    } catch (...) {
    }
}

void ImageBox::GetRectValuesObject(int32_t& nLeft, int32_t& nTop, int32_t& nWidth,
                                   int32_t& nHeight) {
    const ax::Shape& r = *m_shRect;
    if (!(r.Width() > 1 || r.Height() > 1)) {
        nLeft = nTop = nWidth = nHeight = 0;
        return;
    }
    nLeft = view::roundToInt(r.Left());
    nTop = view::roundToInt(r.Top());
    nWidth = view::roundToInt(r.Width());
    nHeight = view::roundToInt(r.Height());
}

void ImageBox::SetRectValuesObject(int32_t nLeft, int32_t nTop, int32_t nWidth, int32_t nHeight) {
    try {
        if (nWidth > 0 && nHeight > 0)
            m_shRect->move(static_cast<float>(nLeft), static_cast<float>(nTop),
                           static_cast<float>(nWidth), static_cast<float>(nHeight));
        SaveRectState();
    } catch (...) {
    }
}

void ImageBox::ClearRect() {
    m_shRect->move(-1, -1, 1, 1);
    m_s.m_DownX = m_s.m_DownY = 0;
    m_s.m_RectLeft = m_s.m_RectTop = m_s.m_RectWidth = m_s.m_RectHeight = 0;
    m_s.m_DownOutsideX = m_s.m_DownOutsideY = true;
    m_s.m_RectDrawn = false;
}

bool ImageBox::HitTestRect(int32_t x, int32_t y) const {
    const ax::Shape& r = *m_shRect;
    if (!(r.Width() > 1 && r.Height() > 1))
        return false;
    return r.Left() - kHandleTolerance <= x && x <= r.Left() + r.Width() + kHandleTolerance &&
           r.Top() - kHandleTolerance <= y && y <= r.Top() + r.Height() + kHandleTolerance;
}

// --- pointer ---

void ImageBox::setPanCursor(int32_t resource) {
    setMouseIcon(panCursor(resource));
    m_mouseIconResource = resource;
}

void ImageBox::ApplyMousePointer() {
    if (m_s.m_PointerSet) {
        setMousePointer(m_s.m_MousePointer);
        return;
    }
    switch (m_s.m_MouseMode) {
    case 1:
    case 3:
        setMousePointer(2);
        break;
    case 2:
        if (m_s.m_ImageId != 0) {
            setMousePointer(99);
            setPanCursor(kPanRestCursor);
        } else {
            setMousePointer(0);
        }
        break;
    default:
        setMousePointer(0);
    }
}

void ImageBox::SetMouseIcon(const std::string& sIconPath) {
    try {
        win::PicturePtr picture;
        if (win::LoadPicture(sIconPath, &picture) < 0 || !picture)
            return;
        ax::SurfacePtr surface = pictureSurface(*picture);
        if (!surface)
            return;
        setMouseIcon(ax::makeObject<ax::Picture>(surface));
        m_mouseIconResource = -1;
        m_s.m_MousePointer = 99;
        setMousePointer(99);
        m_s.m_PointerSet = true;
    } catch (...) {
    }
}

// --- mouse ---

void ImageBox::onMouseDown(int16_t button, int16_t shift, float x, float y) {
    try {
        wheelHookFlags().mouseButtonDown = true;
        UpdateMousePosition(x, y);
        std::array<Variant, 4> args{Variant(button), Variant(shift), Variant(x), Variant(y)};
        raise(ImageBoxEvent::MouseDownControl, args);
        readBack(args[0], button), readBack(args[2], x), readBack(args[3], y);
        const int32_t ix = view::roundToInt(x), iy = view::roundToInt(y);
        m_s.m_DownX = ix;
        m_s.m_DownY = iy;
        if (m_s.m_ImageId == 0) {
            ClearRect();
            return;
        }
        if (button != m_s.m_MouseButtonForMouseMode)
            return;
        const int32_t mode = m_s.m_MouseMode;
        if (mode == 1 || mode == 3) {
            if (HitTestRect(ix, iy) && m_s.m_RectIsEditable) {
                m_s.m_EditingRect = true;
                return;
            }
            float left = m_shRect->Left(), top = m_shRect->Top();
            m_s.m_DownOutsideX = ix < m_s.m_ImageLeft || ix > m_s.m_ImageLeft + m_s.m_ZoomedWidth;
            if (!m_s.m_DownOutsideX)
                left = static_cast<float>(ix);
            m_s.m_DownOutsideY = iy < m_s.m_ImageTop || iy > m_s.m_ImageTop + m_s.m_ZoomedHeight;
            if (!m_s.m_DownOutsideY)
                top = static_cast<float>(iy);
            m_shRect->move(left, top, 1, 1);
            SaveRectState();
            m_s.m_DrawingRect = true;
        } else if (mode == 2) {
            if (!m_s.m_PointerSet)
                setPanCursor(kPanDragCursor);
            m_s.m_Panning = true;
        }
    } catch (...) {
    }
}

void ImageBox::hoverRect(int32_t x, int32_t y) {
    const int32_t l = view::roundToInt(m_shRect->Left()), t = view::roundToInt(m_shRect->Top());
    const int32_t r = l + view::roundToInt(m_shRect->Width());
    const int32_t b = t + view::roundToInt(m_shRect->Height());
    struct Zone {
        bool hit;
        int32_t handle, pointer;
    };
    const std::array<Zone, 8> zones{{
        {near(x, l) && near(y, t), 1, 8},
        {near(x, r) && near(y, t), 2, 6},
        {near(x, l) && near(y, b), 3, 6},
        {near(x, r) && near(y, b), 4, 8},
        {near(x, l), 5, 9},
        {near(x, r), 6, 9},
        {near(y, b), 7, 7},
        {near(y, t), 8, 7},
    }};
    for (const Zone& z : zones) {
        if (z.hit) {
            m_s.m_RectHandle = z.handle;
            setMousePointer(z.pointer);
            return;
        }
    }
    m_s.m_RectHandle = 9;
    setMousePointer(15);
}

void ImageBox::dragRectHandle(int32_t x, int32_t y) {
    int32_t l = view::roundToInt(m_shRect->Left()), t = view::roundToInt(m_shRect->Top());
    int32_t w = view::roundToInt(m_shRect->Width()), h = view::roundToInt(m_shRect->Height());
    const int32_t right = l + w, bottom = t + h;
    const int32_t handle = m_s.m_RectHandle;
    // Each handle moves the sides under it and keeps the opposite ones.
    if (handle == 1 || handle == 3 || handle == 5)
        l = x, w = right - x;
    if (handle == 2 || handle == 4 || handle == 6)
        w = x - l;
    if (handle == 1 || handle == 2 || handle == 8)
        t = y, h = bottom - y;
    if (handle == 3 || handle == 4 || handle == 7)
        h = y - t;
    if (handle == 9) {
        l += x - m_s.m_DownX;
        t += y - m_s.m_DownY;
        m_s.m_DownX = x;
        m_s.m_DownY = y;
    }
    const bool inside = w > 0 && h > 0 && l >= m_s.m_ImageLeft && t >= m_s.m_ImageTop &&
                        l + w <= m_s.m_ImageLeft + m_s.m_ZoomedWidth &&
                        t + h <= m_s.m_ImageTop + m_s.m_ZoomedHeight;
    if (!inside)
        return;
    m_shRect->move(static_cast<float>(l), static_cast<float>(t), static_cast<float>(w),
                   static_cast<float>(h));
    SaveRectState();
}

void ImageBox::dragRubberBand(int32_t x, int32_t y) {
    if (m_s.m_DownOutsideX || m_s.m_DownOutsideY) {
        SaveRectState();
        return;
    }
    // One axis of the band: from the anchor to the mouse, cut at the image's edges.
    auto axis = [](int32_t down, int32_t at, int32_t imageStart, int32_t imageEnd, int32_t& start,
                   int32_t& size) {
        if (at >= down) {
            start = down;
            size = at > imageEnd ? imageEnd - start : at - start;
        } else if (at < imageStart) {
            start = imageStart;
            size = down - imageStart;
        } else {
            start = at;
            size = down - at;
        }
    };
    int32_t l, t, w, h;
    axis(m_s.m_DownX, x, m_s.m_ImageLeft, m_s.m_ImageLeft + m_s.m_ZoomedWidth, l, w);
    axis(m_s.m_DownY, y, m_s.m_ImageTop, m_s.m_ImageTop + m_s.m_ZoomedHeight, t, h);
    m_shRect->move(static_cast<float>(l), static_cast<float>(t), static_cast<float>(w),
                   static_cast<float>(h));
    SaveRectState();
}

void ImageBox::pageAcrossEdge(bool next) {
    const int32_t alignment = m_s.m_ImageAlignment;
    const bool keep = m_s.m_KeepImagePosition;
    // The fields, not the properties: a property put would lay the old page out again.
    m_s.m_ImageAlignment = next ? kAlignTopCenter : kAlignBottomCenter;
    m_s.m_KeepImagePosition = false;
    m_s.m_EdgePaging = true;
    try {
        if (next)
            DisplayNextFrame();
        else
            DisplayPreviousFrame();
    } catch (...) {
    }
    m_s.m_EdgePaging = false;
    m_s.m_ImageAlignment = alignment;
    m_s.m_KeepImagePosition = keep;
}

void ImageBox::pan(int32_t x, int32_t y) {
    const int32_t dX = m_s.m_DownX - x, dY = m_s.m_DownY - y;
    if (dX == 0 && dY == 0)
        return;
    bool moved = false;
    // One axis: the image edge moves against the mouse, held inside the bar's range (a
    // fast drag past the range ends at the edge instead of not moving at all).
    auto axis = [&](ax::ScrollBar& bar, int32_t& edge, int32_t d) {
        const int32_t max = bar.Max();
        if (d == 0 || !(max > 0 || m_s.m_ForceScrollBars))
            return;
        const int32_t next = std::clamp(edge - d, -max, 0);
        if (next == edge)
            return;
        edge = next;
        m_s.m_ScrollEventsOn = false;
        bar.setValue(-next);
        m_s.m_ScrollEventsOn = true;
        moved = true;
    };
    axis(*m_VScroll, m_s.m_ImageTop, dY);
    axis(*m_HScroll, m_s.m_ImageLeft, dX);
    m_s.m_DownX = x;
    m_s.m_DownY = y;
    m_s.m_RealignH = m_s.m_RealignV = false;
    if (moved) {
        RenderView(0, false);
        return;
    }
    if (!m_s.m_ContinuousViewMode || m_s.m_EdgePagingLatch || dY == 0 || m_s.m_GifPlaying)
        return;
    const bool previous = dY < 0 && m_s.m_CurrentPage > 1;
    const bool next = dY > 0 && m_s.m_CurrentPage < m_s.m_PageCount;
    if (!previous && !next)
        return;
    m_s.m_EdgePagingLatch = true;
    m_s.m_Panning = false;
    pageAcrossEdge(next);
    m_s.m_DownX = x;
    m_s.m_DownY = y;
    m_s.m_Panning = true;
}

void ImageBox::onMouseMove(int16_t button, int16_t shift, float x, float y) {
    wheelHookFlags().mouseMoving = true;
    try {
        std::array<Variant, 4> args{Variant(button), Variant(shift), Variant(x), Variant(y)};
        raise(ImageBoxEvent::MouseMoveControl, args);
        readBack(args[0], button), readBack(args[2], x), readBack(args[3], y);
        UpdateMousePosition(x, y);
        const int32_t ix = view::roundToInt(x), iy = view::roundToInt(y);
        const bool shown = m_s.m_ImageId != 0;
        if (shown && m_s.m_RectIsEditable && m_s.m_MouseMode == 1) {
            if (m_s.m_EditingRect)
                dragRectHandle(ix, iy);
            else if (!HitTestRect(ix, iy) || m_s.m_DrawingRect || m_s.m_Panning)
                ApplyMousePointer();
            else
                hoverRect(ix, iy);
        }
        if (shown && button == m_s.m_MouseButtonForMouseMode) {
            const int32_t mode = m_s.m_MouseMode;
            if ((mode == 1 || mode == 3) && m_s.m_DrawingRect)
                dragRubberBand(ix, iy);
            else if (mode == 2 && m_s.m_Panning)
                pan(ix, iy);
        }
    } catch (const std::exception& e) {
        m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::GenericError);
        if (!m_s.m_SilentMode)
            MsgBox(std::string("Mouse Move Error: ") + e.what());
    } catch (...) {
        m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::GenericError);
    }
    wheelHookFlags().mouseMoving = false;
}

void ImageBox::onMouseUp(int16_t button, int16_t shift, float x, float y) {
    try {
        if (m_s.m_MouseMode == 2 && !m_s.m_PointerSet)
            setPanCursor(kPanRestCursor);
        UpdateMousePosition(x, y);
        if (m_s.m_MouseMode == 3) {
            ZoomRect();
            ClearRect();
        }
    } catch (...) {
    }
    m_s.m_Panning = m_s.m_EditingRect = m_s.m_DrawingRect = false;
    m_s.m_EdgePagingLatch = false;
    try {
        std::array<Variant, 4> args{Variant(button), Variant(shift), Variant(x), Variant(y)};
        raise(ImageBoxEvent::MouseUpControl, args);
    } catch (...) {
    }
    wheelHookFlags().mouseButtonDown = false;
}

void ImageBox::onClick() {
    raise(ImageBoxEvent::ClickControl);
}

void ImageBox::onDblClick() {
    raise(ImageBoxEvent::DblClickControl);
}

// --- keyboard and the wheel keys ---

void ImageBox::onKeyDown(int16_t& keyCode, int16_t shift) {
    wheelHookFlags().keyDown = true;
    try {
        std::array<Variant, 2> args{Variant(keyCode), Variant(shift)};
        raise(ImageBoxEvent::KeyDownControl, args);
        readBack(args[0], keyCode);
    } catch (...) {
    }
}

void ImageBox::onKeyPress(int16_t& keyAscii) {
    try {
        std::array<Variant, 1> args{Variant(keyAscii)};
        raise(ImageBoxEvent::KeyPressControl, args);
        readBack(args[0], keyAscii);
    } catch (...) {
    }
}

void ImageBox::onKeyUp(int16_t& keyCode, int16_t shift) {
    try {
        std::array<Variant, 2> args{Variant(keyCode), Variant(shift)};
        raise(ImageBoxEvent::KeyUpControl, args);
        readBack(args[0], keyCode);
        if (m_s.m_EnableMouseWheel && (keyCode == kWheelUpKey || keyCode == kWheelDownKey)) {
            const bool up = keyCode == kWheelUpKey;
            std::array<Variant, 1> updown{Variant(int16_t{up ? int16_t{0} : int16_t{1}})};
            raise(ImageBoxEvent::MouseWheelControl, updown);
            wheelAction(up);
        }
    } catch (...) {
    }
    wheelHookFlags().keyDown = false;
}

void ImageBox::wheelAction(bool up) {
    switch (m_s.m_MouseWheelMode) {
    case 0:
        if (up)
            ZoomIN();
        else
            ZoomOUT();
        break;
    case 1: {
        ax::ScrollBar& bar = *m_VScroll;
        const int32_t value = bar.Value(), max = bar.Max();
        if (up) {
            if (m_s.m_ContinuousViewMode && value == 0) {
                if (m_s.m_CurrentPage > 1)
                    pageAcrossEdge(false);
            } else {
                bar.setValue(std::max(0, value - bar.LargeChange()));
            }
        } else {
            if (m_s.m_ContinuousViewMode && value == max) {
                if (m_s.m_CurrentPage < m_s.m_PageCount)
                    pageAcrossEdge(true);
            } else {
                bar.setValue(std::min(max, value + bar.LargeChange()));
            }
        }
        break;
    }
    case 2:
        // There is no page before the first or after the last: nothing changes there.
        if (up && m_s.m_CurrentPage > 1)
            DisplayPreviousFrame();
        else if (!up && m_s.m_CurrentPage < m_s.m_PageCount)
            DisplayNextFrame();
        break;
    default:
        break;
    }
}

// --- focus ---

void ImageBox::onGotFocus() {
    m_s.m_FocusOwner = 1;
}

void ImageBox::onLostFocus() {
    if (m_s.m_FocusOwner == 1)
        m_s.m_FocusOwner = 0;
    // A key released elsewhere never reaches the key-up handler; the wheel must not stay
    // blocked until the next key press here.
    wheelHookFlags().keyDown = false;
}

// --- drop ---

void ImageBox::onOleDragDrop(const ax::DropData& data, int32_t&, int16_t, int16_t, float, float) {
    try {
        if (!data.hasFiles())
            return;
        std::vector<std::string> existing;
        for (const std::string& path : *data.files)
            if (!path.empty() && !win::FileExists(path).empty())
                existing.push_back(path);
        if (existing.empty())
            return;
        std::array<Variant, 1> first{Variant(existing.front())};
        raise(ImageBoxEvent::FileDrop, first);
        std::array<Variant, 2> all{Variant::stringArray(existing),
                                   Variant(static_cast<int32_t>(existing.size()))};
        raise(ImageBoxEvent::FilesDrop, all);
    } catch (...) {
    }
}

} // namespace tavimo
