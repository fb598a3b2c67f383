// Layout, zoom and scrolling: the maximum zoom, the layout pass, the scroll bars'
// ranges and visibility, Resize, the reaction to the user's scrolling and the zoom and
// scroll members.

#include <algorithm>

#include "viewer/ImageBox.h"
#include "viewer/view_math.h"
#include "viewer/wheel_hook.h"

namespace tavimo {

namespace {

constexpr float kMmPerInch = 25.4f;

// Restores a LockControl field on every way out of a scope.
class LockGuard {
public:
    explicit LockGuard(bool& field) : m_field(field), m_saved(field) { field = true; }
    ~LockGuard() { m_field = m_saved; }
    bool saved() const { return m_saved; }

private:
    bool& m_field;
    bool m_saved;
};

} // namespace

void ImageBox::wireConstituents() {
    m_HScroll->onChange = [this] { onBarChange(true); };
    m_HScroll->onScroll = [this] { onBarChange(true); };
    m_VScroll->onChange = [this] { onBarChange(false); };
    m_VScroll->onScroll = [this] { onBarChange(false); };
    m_HScroll->onKeyDown = [this](int16_t&, int16_t) { onBarKeyDown(); };
    m_VScroll->onKeyDown = [this](int16_t&, int16_t) { onBarKeyDown(); };
    m_TmQual->onTimer = [this] { onQualityTimer(); };
}

int32_t ImageBox::barWidth() const {
    return m_VScroll->Width() > 0 ? m_VScroll->Width() : ax::kScrollBarThickness;
}

int32_t ImageBox::barHeight() const {
    return m_HScroll->Height() > 0 ? m_HScroll->Height() : ax::kScrollBarThickness;
}

int32_t ImageBox::viewWidth() const {
    return ScaleWidth() - (m_VScroll->Visible() ? barWidth() : 0);
}

int32_t ImageBox::viewHeight() const {
    return ScaleHeight() - (m_HScroll->Visible() ? barHeight() : 0);
}

void ImageBox::ComputeMaxZoom() {
    m_s.m_MaxZoom = view::maxZoom(ScaleWidth(), ScaleHeight(), barWidth(), barHeight(),
                                  m_s.m_ImageWidth, m_s.m_ImageHeight, m_s.m_AspectRatio);
    if (m_s.m_Zoom > m_s.m_MaxZoom)
        m_s.m_Zoom = m_s.m_MaxZoom;
}

void ImageBox::UpdateLayout(int32_t id) {
    wheelHookFlags().layoutRunning = true;
    try {
        m_s.m_QualityPass = false;
        const int32_t sw = ScaleWidth(), sh = ScaleHeight();
        const int32_t vw = barWidth(), hh = barHeight();
        const int32_t avW = sw - (m_s.m_ForceScrollBars ? vw : 0);
        const int32_t avH = sh - (m_s.m_ForceScrollBars ? hh : 0);
        if (m_s.m_RenderFailed || m_s.m_ArgumentRefused)
            m_s.m_LastStatus = 0;
        m_s.m_ArgumentRefused = false;
        if (id == 0)
            id = GetWorkImage();
        if (avW > 0 && avH > 0 && m_s.m_LastStatus == 0 && id != 0 && m_s.m_ImageWidth >= 1 &&
            m_s.m_ImageHeight >= 1) {
            if (m_s.m_ZoomMode == 10) {
                GetRectValues(m_s.m_ZoomAreaLeft, m_s.m_ZoomAreaTop, m_s.m_ZoomAreaWidth,
                              m_s.m_ZoomAreaHeight);
            }
            view::ZoomInput in;
            in.imageWidth = m_s.m_ImageWidth;
            in.imageHeight = m_s.m_ImageHeight;
            in.aspect = m_s.m_AspectRatio;
            in.sw = sw, in.sh = sh, in.vw = vw, in.hh = hh;
            in.mode = m_s.m_ZoomMode;
            in.zoom = m_s.m_Zoom;
            in.maxZoom = m_s.m_MaxZoom;
            in.scrollBars = m_s.m_ScrollBars;
            in.forceScrollBars = m_s.m_ForceScrollBars;
            in.areaLeft = m_s.m_ZoomAreaLeft, in.areaTop = m_s.m_ZoomAreaTop;
            in.areaWidth = m_s.m_ZoomAreaWidth, in.areaHeight = m_s.m_ZoomAreaHeight;
            view::ZoomResult z = view::computeZoom(in);
            if (z.areaPlacement)
                m_s.m_ZoomMode = 4;
            m_s.m_Zoom = z.zoom;

            bool zoomChanged = z.zoom != m_s.m_LastLayoutZoom;
            if (zoomChanged)
                raise(ImageBoxEvent::BeforeZoomChange);
            m_s.m_LastLayoutZoom = z.zoom;
            m_s.m_ZoomedWidth = z.zoomedWidth;
            m_s.m_ZoomedHeight = z.zoomedHeight;

            double relV = m_VScroll->Max() < 1 ? 0 : double(m_VScroll->Value()) / m_VScroll->Max();
            double relH = m_HScroll->Max() < 1 ? 0 : double(m_HScroll->Value()) / m_HScroll->Max();

            UpdateScrollBarRanges();
            m_s.m_ScrollEventsOn = false;

            if (z.areaPlacement) {
                m_s.m_ImageLeft = std::clamp(view::roundToInt(-m_s.m_ZoomAreaLeft * z.zoom),
                                             -int32_t(m_HScroll->Max()), 0);
                // The vertical scale is zoom / aspect, as everywhere else.
                m_s.m_ImageTop =
                    std::clamp(view::roundToInt(-m_s.m_ZoomAreaTop * z.zoom / m_s.m_AspectRatio),
                               -int32_t(m_VScroll->Max()), 0);
                m_HScroll->setValue(-m_s.m_ImageLeft);
                m_VScroll->setValue(-m_s.m_ImageTop);
                m_s.m_RealignV = m_s.m_RealignH = false;
            }

            int32_t placeW = avW, placeH = avH;
            if (m_s.m_ScrollBars) {
                placeH = m_HScroll->Max() < 1 && !m_s.m_ForceScrollBars ? sh : sh - hh;
                placeW = m_VScroll->Max() < 1 && !m_s.m_ForceScrollBars ? sw : sw - vw;
            }
            const view::Fractions align = view::placementFractions(m_s.m_ImageAlignment);
            const view::Fractions pos = view::placementFractions(m_s.m_ImagePosition);

            if (placeW < m_s.m_ZoomedWidth) {
                if (!z.areaPlacement) {
                    double f = relH;
                    bool realign =
                        (m_s.m_RealignH && (!m_s.m_KeepImagePosition || m_s.m_LayoutSinceOpen) &&
                         !m_s.m_EdgePaging) ||
                        m_s.m_FirstLayout;
                    if (realign && !align.keep)
                        f = align.h;
                    m_HScroll->setValue(view::alignedValue(m_HScroll->Max(), f));
                    m_s.m_ImageLeft = -m_HScroll->Value();
                }
                if (m_s.m_KeepImagePosition && !m_s.m_LayoutSinceOpen)
                    m_s.m_RealignH = false;
            } else if (!pos.keep) {
                m_s.m_ImageLeft = view::positionOffset(pos.h, placeW, m_s.m_ZoomedWidth);
            }

            if (placeH < m_s.m_ZoomedHeight) {
                if (!z.areaPlacement) {
                    double f = relV;
                    bool realign =
                        (m_s.m_RealignV && (!m_s.m_KeepImagePosition || m_s.m_LayoutSinceOpen)) ||
                        m_s.m_FirstLayout;
                    if (realign && !align.keep)
                        f = align.v;
                    m_VScroll->setValue(view::alignedValue(m_VScroll->Max(), f));
                    m_s.m_ImageTop = -m_VScroll->Value();
                }
                if (m_s.m_KeepImagePosition && !m_s.m_LayoutSinceOpen)
                    m_s.m_RealignV = false;
            } else if (!pos.keep) {
                m_s.m_ImageTop = view::positionOffset(pos.v, placeH, m_s.m_ZoomedHeight);
            }

            RenderView(id, false);
            if (zoomChanged)
                raise(ImageBoxEvent::ZoomChange);
            ApplyMousePointer();
            m_s.m_FirstLayout = false;
        }
    } catch (...) {
    }
    wheelHookFlags().layoutRunning = false;
    m_s.m_LayoutSinceOpen = true;
    m_s.m_ScrollEventsOn = true;
}

void ImageBox::UpdateScrollBarRanges() {
    m_s.m_ScrollEventsOn = false;
    if (m_HScroll->Min() != 0)
        m_HScroll->setMin(0);
    if (m_VScroll->Min() != 0)
        m_VScroll->setMin(0);
    view::BarInput in;
    in.zoomedWidth = m_s.m_ZoomedWidth;
    in.zoomedHeight = m_s.m_ZoomedHeight;
    in.sw = ScaleWidth(), in.sh = ScaleHeight();
    in.vw = barWidth(), in.hh = barHeight();
    in.scrollBars = m_s.m_ScrollBars && m_s.m_ZoomMode != 2;
    in.forceScrollBars = m_s.m_ForceScrollBars;
    const view::BarRanges r = view::computeBarRanges(in);
    if (m_HScroll->Value() > r.hMax)
        m_HScroll->setValue(r.hMax);
    if (m_VScroll->Value() > r.vMax)
        m_VScroll->setValue(r.vMax);
    if (m_HScroll->Max() != r.hMax)
        m_HScroll->setMax(r.hMax);
    if (m_VScroll->Max() != r.vMax)
        m_VScroll->setMax(r.vMax);
    m_HScroll->setEnabled(r.hMax > 0);
    m_VScroll->setEnabled(r.vMax > 0);
    if (r.vMax < 1)
        m_s.m_RealignV = true;
    if (r.hMax < 1)
        m_s.m_RealignH = true;
    m_s.m_ScrollEventsOn = true;
}

void ImageBox::UpdateScrollBarVisibility() {
    const int32_t sw = ScaleWidth(), sh = ScaleHeight();
    if (m_s.m_ForceScrollBars) {
        m_HScroll->setVisible(true);
        m_VScroll->setVisible(true);
    } else if (m_s.m_ZoomMode == 2) {
        m_s.m_RealignV = m_s.m_RealignH = true;
        m_HScroll->setVisible(false);
        m_VScroll->setVisible(false);
    } else {
        m_HScroll->setVisible(m_HScroll->Max() >= 1 && m_s.m_ScrollBars);
        m_VScroll->setVisible(m_VScroll->Max() >= 1 && m_s.m_ScrollBars);
    }
    const int32_t vw = barWidth(), hh = barHeight();
    m_VScroll->move(m_VScroll->Left(), m_VScroll->Top(), vw,
                    m_HScroll->Visible() ? std::max(sh - hh, 0) : std::max(sh, 0));
    m_HScroll->move(m_HScroll->Left(), m_HScroll->Top(),
                    m_VScroll->Visible() ? std::max(sw - vw, 0) : std::max(sw, 0), hh);
    m_shCorner->setVisible(m_HScroll->Visible() && m_VScroll->Visible());
}

void ImageBox::onResize() {
    try {
        const int32_t sw = ScaleWidth(), sh = ScaleHeight();
        const int32_t vw = barWidth(), hh = barHeight();
        if (sw > 0 && sh > 0) {
            if (sh - hh > 0) {
                m_VScroll->move(sw - vw, 0, vw, sh - hh);
                m_HScroll->move(0, sh - hh, m_HScroll->Width(), hh);
            }
            if (sw - vw > 0)
                m_HScroll->move(m_HScroll->Left(), m_HScroll->Top(), sw - vw, hh);
            m_shCorner->move(m_VScroll->Left(), m_HScroll->Top(), vw, hh);
            // The maximum zoom of the new size first, so the layout draws the zoom that
            // the control then reports.
            if (m_s.m_ImageId != 0)
                ComputeMaxZoom();
            UpdateLayout();
        }
    } catch (...) {
    }
    raise(ImageBoxEvent::ResizeControl);
}

// --- the user's scrolling ---

void ImageBox::onBarKeyDown() {
    m_s.m_ScrollKeyPending = true;
    m_s.m_SavedVValue = m_VScroll->Value();
    m_s.m_SavedHValue = m_HScroll->Value();
}

void ImageBox::onBarChange(bool horizontal) {
    if (m_restoringBars)
        return;
    try {
        if (m_s.m_ScrollKeyPending && m_s.m_ScrollEventsOn) {
            // Keys are the control's own business: the bar's own reaction is undone.
            m_s.m_ScrollKeyPending = false;
            m_restoringBars = true;
            m_VScroll->setValue(m_s.m_SavedVValue);
            m_HScroll->setValue(m_s.m_SavedHValue);
            m_restoringBars = false;
            return;
        }
        if (!m_s.m_ScrollEventsOn)
            return;
        if (horizontal) {
            m_s.m_RealignH = false;
            m_s.m_ImageLeft = -m_HScroll->Value();
        } else {
            m_s.m_RealignV = false;
            m_s.m_ImageTop = -m_VScroll->Value();
        }
        RenderView(0, false);
        raise(ImageBoxEvent::ScrollControl);
    } catch (...) {
        m_restoringBars = false;
    }
}

// --- zoom members ---

namespace {
template <class F> QuennetStatus guarded(int32_t& lastStatus, F&& body) {
    try {
        body();
    } catch (...) {
    }
    return static_cast<QuennetStatus>(lastStatus);
}
} // namespace

QuennetStatus ImageBox::SetZoom100() {
    return guarded(m_s.m_LastStatus, [&] {
        if (m_s.m_ZoomMode != 1) {
            m_s.m_ZoomMode = 1;
            UpdateLayout();
        }
    });
}
QuennetStatus ImageBox::SetZoomFitControl() {
    return guarded(m_s.m_LastStatus, [&] {
        if (m_s.m_ZoomMode != 2) {
            m_s.m_ZoomMode = 2;
            UpdateLayout();
        }
    });
}
QuennetStatus ImageBox::SetZoomWidthControl() {
    return guarded(m_s.m_LastStatus, [&] {
        if (m_s.m_ZoomMode != 3) {
            m_s.m_ZoomMode = 3;
            UpdateLayout();
        }
    });
}
QuennetStatus ImageBox::SetZoomHeightControl() {
    return guarded(m_s.m_LastStatus, [&] {
        if (m_s.m_ZoomMode != 5) {
            m_s.m_ZoomMode = 5;
            UpdateLayout();
        }
    });
}
QuennetStatus ImageBox::SetZoomControl() {
    return guarded(m_s.m_LastStatus, [&] {
        if (m_s.m_ZoomMode != 6) {
            m_s.m_ZoomMode = 6;
            UpdateLayout();
        }
    });
}

QuennetStatus ImageBox::SetZoom(float nZoomPercent) {
    return guarded(m_s.m_LastStatus, [&] {
        // The limit test is in single precision; the zoom kept is the exact quotient.
        double zoom = double(nZoomPercent) / 100.0;
        if (nZoomPercent > 0 && static_cast<float>(zoom) <= static_cast<float>(m_s.m_MaxZoom)) {
            m_s.m_ZoomMode = 4;
            m_s.m_Zoom = zoom;
            UpdateLayout();
        }
    });
}

QuennetStatus ImageBox::ZoomIN() {
    return guarded(m_s.m_LastStatus, [&] {
        double next = m_s.m_Zoom + m_s.m_ZoomStep / 100.0;
        if (m_s.m_ImageId != 0 && next <= m_s.m_MaxZoom) {
            m_s.m_ZoomMode = 4;
            m_s.m_Zoom = next;
            UpdateLayout();
        }
    });
}

QuennetStatus ImageBox::ZoomOUT() {
    return guarded(m_s.m_LastStatus, [&] {
        double next = m_s.m_Zoom - m_s.m_ZoomStep / 100.0;
        if (m_s.m_ImageId != 0 && next > 0.001) {
            m_s.m_ZoomMode = 4;
            m_s.m_Zoom = next;
            UpdateLayout();
        }
    });
}

QuennetStatus ImageBox::ZoomArea(int32_t nLeft, int32_t nTop, int32_t nWidth, int32_t nHeight) {
    return guarded(m_s.m_LastStatus, [&] {
        if (nWidth < 1 || nHeight < 1) {
            m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::InvalidParameter);
            m_s.m_ArgumentRefused = true;
            return;
        }
        m_s.m_ZoomAreaLeft = nLeft;
        m_s.m_ZoomAreaTop = nTop;
        m_s.m_ZoomAreaWidth = nWidth;
        m_s.m_ZoomAreaHeight = nHeight;
        m_s.m_ZoomMode = 7;
        UpdateLayout();
    });
}

void ImageBox::ZoomRect() {
    try {
        if (!isRectDrawed())
            return;
        {
            LockGuard lock(m_s.m_LockControl);
            m_s.m_ZoomMode = 10;
            UpdateLayout();
        }
        CenterOnRect();
    } catch (...) {
    }
}

void ImageBox::CenterOnRect() {
    try {
        if (!isRectDrawed() || m_s.m_AspectRatio == 0)
            return;
        int32_t h = view::roundToInt(m_s.m_RectLeft * m_s.m_Zoom) -
                    (viewWidth() - static_cast<int32_t>(m_shRect->Width())) / 2;
        int32_t v = view::roundToInt(m_s.m_RectTop * m_s.m_Zoom / m_s.m_AspectRatio) -
                    (viewHeight() - static_cast<int32_t>(m_shRect->Height())) / 2;
        SetHVScrollBarPosition(h, v);
    } catch (...) {
    }
}

double ImageBox::GetMaxZoom() {
    return m_s.m_MaxZoom;
}
int32_t ImageBox::GetImageLeft() {
    return m_s.m_ImageLeft;
}
int32_t ImageBox::GetImageTop() {
    return m_s.m_ImageTop;
}
int16_t ImageBox::GetHScrollBarMaxPosition() {
    return m_HScroll->Max();
}
int16_t ImageBox::GetVScrollBarMaxPosition() {
    return m_VScroll->Max();
}
int16_t ImageBox::GetHScrollBarPosition() {
    return m_HScroll->Value();
}
int16_t ImageBox::GetVScrollBarPosition() {
    return m_VScroll->Value();
}

void ImageBox::SetHScrollBarPosition(int32_t nNewHPosition) {
    try {
        int32_t v = std::clamp<int32_t>(nNewHPosition, 0, m_HScroll->Max());
        m_s.m_ScrollKeyPending = false;
        m_s.m_ScrollEventsOn = true;
        m_HScroll->setValue(v);
    } catch (...) {
    }
}

void ImageBox::SetVScrollBarPosition(int32_t nNewVPosition) {
    try {
        int32_t v = std::clamp<int32_t>(nNewVPosition, 0, m_VScroll->Max());
        m_s.m_ScrollKeyPending = false;
        m_s.m_ScrollEventsOn = true;
        m_VScroll->setValue(v);
    } catch (...) {
    }
}

void ImageBox::SetHVScrollBarPosition(int32_t nNewHPosition, int32_t nNewVPosition) {
    try {
        bool wasLocked = false;
        {
            LockGuard lock(m_s.m_LockControl);
            wasLocked = lock.saved();
            int32_t h = std::clamp<int32_t>(nNewHPosition, 0, m_HScroll->Max());
            int32_t v = std::clamp<int32_t>(nNewVPosition, 0, m_VScroll->Max());
            m_s.m_ScrollKeyPending = false;
            m_s.m_ScrollEventsOn = true;
            m_VScroll->setValue(v);
            m_HScroll->setValue(h);
        }
        if (!wasLocked) {
            RenderView(0, false);
            raise(ImageBoxEvent::ScrollControl);
        }
    } catch (...) {
    }
}

void ImageBox::GetDisplayedArea(int32_t& nLeft, int32_t& nTop, int32_t& nWidth, int32_t& nHeight) {
    nLeft = m_s.m_DisplayedLeft;
    nTop = m_s.m_DisplayedTop;
    nWidth = m_s.m_DisplayedWidth;
    nHeight = m_s.m_DisplayedHeight;
}

void ImageBox::GetDisplayedAreaMM(float& nLeft, float& nTop, float& nWidth, float& nHeight) {
    // An axis whose resolution is not above 0 leaves its arguments as they were.
    if (m_s.m_HorizontalResolution > 0) {
        nLeft = static_cast<float>(m_s.m_DisplayedLeft) * kMmPerInch / m_s.m_HorizontalResolution;
        nWidth = static_cast<float>(m_s.m_DisplayedWidth) * kMmPerInch / m_s.m_HorizontalResolution;
    }
    if (m_s.m_VerticalResolution > 0) {
        nTop = static_cast<float>(m_s.m_DisplayedTop) * kMmPerInch / m_s.m_VerticalResolution;
        nHeight = static_cast<float>(m_s.m_DisplayedHeight) * kMmPerInch / m_s.m_VerticalResolution;
    }
}

float ImageBox::GetWidthMM() {
    return m_s.m_HorizontalResolution > 0
               ? static_cast<float>(m_s.m_ImageWidth) * kMmPerInch / m_s.m_HorizontalResolution
               : 0.0f;
}

float ImageBox::GetHeightMM() {
    return m_s.m_VerticalResolution > 0
               ? static_cast<float>(m_s.m_ImageHeight) * kMmPerInch / m_s.m_VerticalResolution
               : 0.0f;
}

} // namespace tavimo
