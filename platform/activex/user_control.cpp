#include "platform/activex/user_control.h"

#include <map>

#include "platform/win/gdi.h"
#include "platform/win/gdi_objects.h"
#include "platform/win/timer.h"
#include "platform/win/ui_services.h"

namespace ax {

namespace {

// Controls of this thread by window, so GetDC(hwnd) finds a control's window surface.
std::map<win::HWND, const UserControl*>& liveControls() {
    thread_local std::map<win::HWND, const UserControl*> controls;
    return controls;
}

void registerSurfaceProvider() {
    static const bool once = [] {
        win::setWindowSurfaceProvider([](win::HWND hwnd) -> std::shared_ptr<win::GdiSurface> {
            auto& controls = liveControls();
            auto it = controls.find(hwnd);
            return it == controls.end() ? nullptr : it->second->windowSurface();
        });
        return true;
    }();
    (void)once;
}

int16_t mouseShift(win::WPARAM w) {
    int16_t shift = 0;
    if (w & win::MK_SHIFT)
        shift |= 1;
    if (w & win::MK_CONTROL)
        shift |= 2;
    if (win::GetKeyState(win::VK_MENU) < 0)
        shift |= 4;
    return shift;
}

} // namespace

int16_t currentShiftState() {
    int16_t shift = 0;
    if (win::GetKeyState(win::VK_SHIFT) < 0)
        shift |= 1;
    if (win::GetKeyState(win::VK_CONTROL) < 0)
        shift |= 2;
    if (win::GetKeyState(win::VK_MENU) < 0)
        shift |= 4;
    return shift;
}

UserControl::UserControl(std::string className, uint32_t miscStatus)
    : m_className(std::move(className)), m_miscStatus(miscStatus) {}

UserControl::~UserControl() {
    close();
    // Constituents first: their windows and timers belong to the control's window.
    m_timers.clear();
    m_scrollBars.clear();
    m_focusBoxes.clear();
    m_shapes.clear();
    // Deleting the DC releases its bitmap, which can then go.
    if (m_persistentDc)
        win::DeleteDC(m_persistentDc);
    if (m_persistentBitmap)
        win::DeleteObject(m_persistentBitmap);
    if (m_windowDc)
        win::DeleteDC(m_windowDc);
}

HResult UserControl::create(win::HWND parent, const win::WindowRect& bounds) {
    if (m_created)
        return E_UNEXPECTED;
    m_bounds = bounds;
    m_hwnd = win::CreateWindow(m_className, parent, bounds,
                               [this](win::HWND h, uint32_t msg, win::WPARAM w, win::LPARAM l) {
                                   return windowProc(h, msg, w, l);
                               });
    if (!m_hwnd)
        return E_FAIL;
    m_created = true;
    registerSurfaceProvider();
    liveControls()[m_hwnd] = this;
    win::EnableWindow(m_hwnd, m_enabled);
    m_persistentDc = win::CreateCompatibleDC(0);
    resizePersistent();
    for (auto& bar : m_scrollBars)
        bar->attachWindow();
    for (auto& box : m_focusBoxes)
        box->attachWindow();
    for (auto& timer : m_timers)
        timer->arm();
    try {
        onInitialize();
    } catch (...) {
    }
    return S_OK;
}

HResult UserControl::initNew() {
    if (!m_created || m_closed)
        return E_UNEXPECTED;
    try {
        onInitProperties();
        return S_OK;
    } catch (const Error& e) {
        if (m_site)
            m_site->reportError(e);
        return e.code();
    } catch (...) {
        return E_FAIL;
    }
}

HResult UserControl::load(PropertyBag& bag) {
    if (!m_created || m_closed)
        return E_UNEXPECTED;
    try {
        onReadProperties(bag);
        return S_OK;
    } catch (const Error& e) {
        if (m_site)
            m_site->reportError(e);
        return e.code();
    } catch (...) {
        return E_FAIL;
    }
}

HResult UserControl::save(PropertyBag& bag) {
    if (!m_created || m_closed)
        return E_UNEXPECTED;
    try {
        onWriteProperties(bag);
        return S_OK;
    } catch (const Error& e) {
        if (m_site)
            m_site->reportError(e);
        return e.code();
    } catch (...) {
        return E_FAIL;
    }
}

HResult UserControl::show() {
    if (!m_created || m_closed)
        return E_UNEXPECTED;
    if (m_shown)
        return S_OK;
    win::ShowWindow(m_hwnd, true);
    try {
        onShow();
    } catch (...) {
    }
    m_shown = true;
    runResize();
    return S_OK;
}

HResult UserControl::move(const win::WindowRect& bounds) {
    if (!m_created || m_closed)
        return E_UNEXPECTED;
    m_bounds = bounds;
    m_bounds.width = std::max(0, bounds.width);
    m_bounds.height = std::max(0, bounds.height);
    // The window reports a size change through WM_SIZE, which runs Resize.
    win::MoveWindow(m_hwnd, m_bounds);
    return S_OK;
}

void UserControl::resizePersistent() {
    if (!m_persistentDc)
        return;
    int w = std::max(1, ScaleWidth()), h = std::max(1, ScaleHeight());
    if (m_persistent && m_persistent->width() == w && m_persistent->height() == h)
        return;
    SurfacePtr next = makeSurface(w, h, oleColorToPixel(m_backColor));
    if (!next)
        return;
    // Old content stays at the top left; the new area has the back colour.
    if (m_persistent)
        blit(*next, *m_persistent, 0, 0);
    win::HBITMAP bitmap = win::adoptBitmap(next, false);
    if (!bitmap)
        return;
    win::SelectObject(m_persistentDc, bitmap);
    if (m_persistentBitmap)
        win::DeleteObject(m_persistentBitmap);
    m_persistentBitmap = bitmap;
    m_persistent = std::move(next);
}

SurfacePtr UserControl::windowSurface() const {
    int w = std::max(1, ScaleWidth()), h = std::max(1, ScaleHeight());
    if (!m_windowSurface || m_windowSurface->width() != w || m_windowSurface->height() != h) {
        m_windowSurface = makeSurface(w, h, oleColorToPixel(m_backColor));
        if (m_windowDc) {
            win::DeleteDC(m_windowDc);
            m_windowDc = 0;
        }
    }
    return m_windowSurface;
}

void UserControl::runResize() {
    resizePersistent();
    if (!m_shown)
        return;
    try {
        onResize();
    } catch (...) {
    }
    invalidate();
}

void UserControl::close() {
    if (m_closed)
        return;
    m_closed = true;
    if (m_created && !m_terminateRan) {
        m_terminateRan = true;
        try {
            onTerminate();
        } catch (...) {
        }
    }
    for (auto& timer : m_timers)
        timer->setEnabled(false);
    if (m_hwnd) {
        liveControls().erase(m_hwnd);
        win::DestroyWindow(m_hwnd);
        m_hwnd = 0;
    }
}

void UserControl::paint() {
    if (m_painting) {
        m_repaintPending = true;
        return;
    }
    m_painting = true;
    try {
        onPaint();
    } catch (...) {
    }
    m_painting = false;
    m_repaintPending = false;
    invalidate();
}

SurfacePtr UserControl::snapshot() const {
    return composite(*this);
}

uint32_t UserControl::hDC() const {
    if (m_autoRedraw)
        return m_persistentDc;
    SurfacePtr surface = windowSurface();
    if (!m_windowDc && surface)
        m_windowDc = win::createSurfaceDc(surface, win::DcKind::Window);
    return m_windowDc;
}

SurfacePtr UserControl::drawingSurface() const {
    return m_autoRedraw ? m_persistent : windowSurface();
}

int UserControl::borderThickness() const {
    if (m_borderStyle == 0)
        return 0;
    return m_appearance == 0 ? 1 : 2;
}

int UserControl::ScaleWidth() const {
    return std::max(0, m_bounds.width - 2 * borderThickness());
}
int UserControl::ScaleHeight() const {
    return std::max(0, m_bounds.height - 2 * borderThickness());
}

void UserControl::setBackColor(uint32_t oleColor) {
    m_backColor = oleColor;
    invalidate();
}

void UserControl::setBorderStyle(int32_t v) {
    m_borderStyle = static_cast<int16_t>(v == 0 ? 0 : 1);
    runResize();
}

void UserControl::setAppearance(int32_t v) {
    m_appearance = static_cast<int16_t>(v == 0 ? 0 : 1);
    runResize();
}

void UserControl::setBackStyle(int32_t v) {
    m_backStyle = static_cast<int16_t>(v == 0 ? 0 : 1);
    invalidate();
}

void UserControl::setEnabled(bool v) {
    m_enabled = v;
    if (m_hwnd)
        win::EnableWindow(m_hwnd, v);
}

void UserControl::setAutoRedraw(bool v) {
    if (v == m_autoRedraw)
        return;
    m_autoRedraw = v;
    if (v && m_persistent)
        fillSurface(*m_persistent, oleColorToPixel(m_backColor));
    invalidate();
}

void UserControl::setPicture(ComPtr<Picture> p) {
    m_picture = std::move(p);
    invalidate();
}

void UserControl::setMaskPicture(ComPtr<Picture> p) {
    m_maskPicture = std::move(p);
    invalidate();
}

void UserControl::Cls() {
    SurfacePtr s = drawingSurface();
    if (!s)
        return;
    fillSurface(*s, oleColorToPixel(m_backColor));
    if (m_picture && m_picture->image())
        blit(*s, *m_picture->image(), 0, 0);
    invalidate();
}

void UserControl::Refresh() {
    for (auto& bar : m_scrollBars)
        if (bar->Visible())
            bar->Refresh();
    paint();
}

void UserControl::drop(const DropData& data, int32_t effect, int16_t button, int16_t shift, float x,
                       float y) {
    if (m_oleDropMode != 1 || m_closed)
        return;
    try {
        onOleDragDrop(data, effect, button, shift, x, y);
    } catch (...) {
    }
}

ScrollBar& UserControl::addScrollBar(const std::string& name, ScrollBar::Orientation orientation) {
    m_scrollBars.push_back(std::make_unique<ScrollBar>(*this, name, orientation));
    m_scrollBars.back()->attachWindow();
    return *m_scrollBars.back();
}

Shape& UserControl::addShape(const std::string& name) {
    m_shapes.push_back(std::make_unique<Shape>(*this, name));
    return *m_shapes.back();
}

FocusBox& UserControl::addFocusBox(const std::string& name) {
    m_focusBoxes.push_back(std::make_unique<FocusBox>(*this, name));
    m_focusBoxes.back()->attachWindow();
    return *m_focusBoxes.back();
}

ControlTimer& UserControl::addTimer(const std::string& name, uint32_t intervalMs) {
    m_timers.push_back(std::make_unique<ControlTimer>(*this, name, intervalMs));
    return *m_timers.back();
}

void UserControl::invalidate() {
    if (m_site)
        m_site->invalidate();
}

void UserControl::PropertyChanged(std::string_view key) {
    if (m_site)
        m_site->propertyChanged(key);
}

void UserControl::RaiseEvent(DispId id, std::span<Variant> args) {
    if (m_site && m_site->eventsFrozen())
        return;
    m_events.raise(id, args);
}

int UserControl::MsgBox(const std::string& text, uint32_t style, const std::string& title) {
    return win::MsgBox(text, style, title.empty() ? std::string(kApplicationTitle) : title);
}

win::LRESULT UserControl::windowProc(win::HWND h, uint32_t msg, win::WPARAM w, win::LPARAM l) {
    try {
        int b = borderThickness();
        float x = static_cast<float>(win::LoWordSigned(static_cast<uint32_t>(l)) - b);
        float y = static_cast<float>(win::HiWordSigned(static_cast<uint32_t>(l)) - b);
        switch (msg) {
        case win::WM_SIZE: {
            m_bounds.width = win::LoWord(static_cast<uint32_t>(l));
            m_bounds.height = win::HiWord(static_cast<uint32_t>(l));
            runResize();
            return 0;
        }
        case win::WM_PAINT:
            paint();
            return 0;
        case win::WM_SETFOCUS:
            onGotFocus();
            return 0;
        case win::WM_KILLFOCUS:
            onLostFocus();
            return 0;
        case win::WM_KEYDOWN: {
            int16_t key = static_cast<int16_t>(w);
            onKeyDown(key, currentShiftState());
            return 0;
        }
        case win::WM_KEYUP: {
            int16_t key = static_cast<int16_t>(w);
            onKeyUp(key, currentShiftState());
            return 0;
        }
        case win::WM_CHAR: {
            int16_t ascii = static_cast<int16_t>(w);
            onKeyPress(ascii);
            return 0;
        }
        case win::WM_LBUTTONDOWN:
        case win::WM_RBUTTONDOWN:
        case win::WM_MBUTTONDOWN: {
            int16_t button = msg == win::WM_LBUTTONDOWN ? 1 : msg == win::WM_RBUTTONDOWN ? 2 : 4;
            m_buttonsDown = static_cast<int16_t>(m_buttonsDown | button);
            m_clickArmed = true;
            win::SetCapture(h);
            onMouseDown(button, mouseShift(w), x, y);
            return 0;
        }
        case win::WM_MOUSEMOVE:
            onMouseMove(m_buttonsDown, mouseShift(w), x, y);
            return 0;
        case win::WM_LBUTTONUP:
        case win::WM_RBUTTONUP:
        case win::WM_MBUTTONUP: {
            int16_t button = msg == win::WM_LBUTTONUP ? 1 : msg == win::WM_RBUTTONUP ? 2 : 4;
            m_buttonsDown = static_cast<int16_t>(m_buttonsDown & ~button);
            if (m_buttonsDown == 0)
                win::ReleaseCapture();
            onMouseUp(button, mouseShift(w), x, y);
            bool inside = x >= 0 && y >= 0 && x < ScaleWidth() && y < ScaleHeight();
            if (m_clickArmed && m_buttonsDown == 0) {
                m_clickArmed = false;
                if (inside)
                    onClick();
            }
            return 0;
        }
        case win::WM_LBUTTONDBLCLK:
        case win::WM_RBUTTONDBLCLK:
        case win::WM_MBUTTONDBLCLK:
            onDblClick();
            return 0;
        default:
            return win::DefWindowProc(h, msg, w, l);
        }
    } catch (...) {
        return 0;
    }
}

} // namespace ax
