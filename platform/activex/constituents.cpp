#include "platform/activex/constituents.h"

#include <algorithm>

#include "platform/activex/user_control.h"
#include "platform/win/timer.h"

namespace ax {

namespace {
int16_t clamp16(int32_t v) {
    return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767));
}
} // namespace

// --- ScrollBar ---

ScrollBar::ScrollBar(UserControl& owner, std::string name, Orientation orientation)
    : m_owner(owner), m_name(std::move(name)), m_orientation(orientation) {
    m_bounds = orientation == Orientation::Horizontal
                   ? win::WindowRect{0, 0, 100, kScrollBarThickness}
                   : win::WindowRect{0, 0, kScrollBarThickness, 100};
}

ScrollBar::~ScrollBar() {
    if (m_hwnd)
        win::DestroyWindow(m_hwnd);
}

void ScrollBar::attachWindow() {
    if (m_hwnd || !m_owner.hWnd())
        return;
    m_hwnd = win::CreateWindow(
        "ScrollBar", m_owner.hWnd(), m_bounds,
        [this](win::HWND h, uint32_t msg, win::WPARAM w, win::LPARAM l) {
            return proc(h, msg, w, l);
        },
        m_visible);
    win::EnableWindow(m_hwnd, m_enabled);
}

void ScrollBar::setMin(int32_t v) {
    m_min = clamp16(v);
    setValue(m_value);
    m_owner.invalidate();
}

void ScrollBar::setMax(int32_t v) {
    m_max = clamp16(v);
    setValue(m_value);
    m_owner.invalidate();
}

void ScrollBar::setValue(int32_t v) {
    int16_t next = static_cast<int16_t>(std::clamp<int32_t>(v, low(), high()));
    if (next == m_value)
        return;
    m_value = next;
    m_owner.invalidate();
    if (onChange)
        onChange();
}

void ScrollBar::setSmallChange(int32_t v) {
    m_small = std::max<int16_t>(1, clamp16(v));
}
void ScrollBar::setLargeChange(int32_t v) {
    m_large = std::max<int16_t>(1, clamp16(v));
}

bool ScrollBar::Enabled() const {
    return m_enabled;
}
void ScrollBar::setEnabled(bool v) {
    m_enabled = v;
    if (m_hwnd)
        win::EnableWindow(m_hwnd, v);
    m_owner.invalidate();
}

bool ScrollBar::Visible() const {
    return m_visible;
}
void ScrollBar::setVisible(bool v) {
    if (m_visible == v)
        return;
    m_visible = v;
    if (m_hwnd)
        win::ShowWindow(m_hwnd, v);
    m_owner.invalidate();
}

void ScrollBar::move(int left, int top, int width, int height) {
    m_bounds = {left, top, std::max(0, width), std::max(0, height)};
    if (m_hwnd)
        win::MoveWindow(m_hwnd, m_bounds);
    m_owner.invalidate();
}

void ScrollBar::Refresh() {
    m_owner.invalidate();
}

bool ScrollBar::SetFocus() {
    if (!m_hwnd)
        return false;
    win::SetFocus(m_hwnd);
    return win::GetFocus() == m_hwnd;
}

void ScrollBar::step(int delta) {
    setValue(static_cast<int32_t>(m_value) + delta);
}

int ScrollBar::thumbPos() const {
    int length = m_orientation == Orientation::Horizontal ? m_bounds.width : m_bounds.height;
    int track = length - 3 * kScrollBarThickness;
    if (track <= 0 || high() == low())
        return kScrollBarThickness;
    return kScrollBarThickness +
           static_cast<int>(static_cast<int64_t>(m_value - low()) * track / (high() - low()));
}

int ScrollBar::valueAt(int pos) const {
    int length = m_orientation == Orientation::Horizontal ? m_bounds.width : m_bounds.height;
    int track = length - 3 * kScrollBarThickness;
    if (track <= 0)
        return m_value;
    int rel = std::clamp(pos - kScrollBarThickness - kScrollBarThickness / 2, 0, track);
    return low() + static_cast<int>(static_cast<int64_t>(rel) * (high() - low()) / track);
}

win::LRESULT ScrollBar::proc(win::HWND h, uint32_t msg, win::WPARAM w, win::LPARAM l) {
    try {
        switch (msg) {
        case win::WM_KEYDOWN: {
            int16_t key = static_cast<int16_t>(w);
            // The bar's own key handling comes after the handler, which may cancel it.
            if (onKeyDown)
                onKeyDown(key, currentShiftState());
            switch (key) {
            case win::VK_LEFT:
            case win::VK_UP:
                step(-m_small);
                break;
            case win::VK_RIGHT:
            case win::VK_DOWN:
                step(m_small);
                break;
            case win::VK_PRIOR:
                step(-m_large);
                break;
            case win::VK_NEXT:
                step(m_large);
                break;
            case win::VK_HOME:
                setValue(low());
                break;
            case win::VK_END:
                setValue(high());
                break;
            default:
                break;
            }
            return 0;
        }
        case win::WM_KEYUP:
            return 0;
        case win::WM_LBUTTONDOWN: {
            int pos = m_orientation == Orientation::Horizontal
                          ? win::LoWordSigned(static_cast<uint32_t>(l))
                          : win::HiWordSigned(static_cast<uint32_t>(l));
            int length =
                m_orientation == Orientation::Horizontal ? m_bounds.width : m_bounds.height;
            int thumb = thumbPos();
            if (pos < kScrollBarThickness)
                step(-m_small);
            else if (pos >= length - kScrollBarThickness)
                step(m_small);
            else if (pos < thumb)
                step(-m_large);
            else if (pos >= thumb + kScrollBarThickness)
                step(m_large);
            else {
                m_dragging = true;
                m_dragStartValue = m_value;
                win::SetCapture(h);
            }
            return 0;
        }
        case win::WM_MOUSEMOVE:
            if (m_dragging) {
                int pos = m_orientation == Orientation::Horizontal
                              ? win::LoWordSigned(static_cast<uint32_t>(l))
                              : win::HiWordSigned(static_cast<uint32_t>(l));
                int16_t next = static_cast<int16_t>(std::clamp<int>(valueAt(pos), low(), high()));
                if (next != m_value) {
                    // Dragging reports Scroll; Change comes once, at the release.
                    m_value = next;
                    m_owner.invalidate();
                    if (onScroll)
                        onScroll();
                }
            }
            return 0;
        case win::WM_LBUTTONUP:
            if (m_dragging) {
                m_dragging = false;
                win::ReleaseCapture();
                if (m_value != m_dragStartValue && onChange)
                    onChange();
            }
            return 0;
        case win::WM_SETFOCUS:
            if (onGotFocus)
                onGotFocus();
            return 0;
        case win::WM_KILLFOCUS:
            if (onLostFocus)
                onLostFocus();
            return 0;
        default:
            return win::DefWindowProc(h, msg, w, l);
        }
    } catch (...) {
        return 0;
    }
}

// --- Shape ---

Shape::Shape(UserControl& owner, std::string name) : m_owner(owner), m_name(std::move(name)) {}

void Shape::move(float left, float top, float width, float height) {
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    m_owner.invalidate();
}

void Shape::setBorderStyle(int32_t v) {
    m_borderStyle = std::clamp(v, 0, 6);
    m_owner.invalidate();
}

void Shape::setBorderColor(uint32_t v) {
    m_borderColor = v;
    m_owner.invalidate();
}

void Shape::setBorderWidth(int32_t v) {
    m_borderWidth = static_cast<int16_t>(std::clamp(v, 1, 8192));
    m_owner.invalidate();
}

void Shape::setDrawMode(int32_t v) {
    m_drawMode = std::clamp(v, 1, 16);
    m_owner.invalidate();
}

void Shape::setVisible(bool v) {
    m_visible = v;
    m_owner.invalidate();
}

// --- FocusBox ---

FocusBox::FocusBox(UserControl& owner, std::string name) : m_owner(owner), m_name(std::move(name)) {
    m_bounds = {0, 0, kScrollBarThickness, kScrollBarThickness};
}

FocusBox::~FocusBox() {
    if (m_hwnd)
        win::DestroyWindow(m_hwnd);
}

void FocusBox::attachWindow() {
    if (m_hwnd || !m_owner.hWnd())
        return;
    m_hwnd = win::CreateWindow(
        "FocusBox", m_owner.hWnd(), m_bounds,
        [this](win::HWND h, uint32_t msg, win::WPARAM w, win::LPARAM l) -> win::LRESULT {
            try {
                if (msg == win::WM_SETFOCUS && onGotFocus)
                    onGotFocus();
                else if (msg == win::WM_KILLFOCUS && onLostFocus)
                    onLostFocus();
                else
                    return win::DefWindowProc(h, msg, w, l);
            } catch (...) {
            }
            return 0;
        },
        m_visible);
}

bool FocusBox::Visible() const {
    return m_visible;
}

void FocusBox::setVisible(bool v) {
    if (m_visible == v)
        return;
    m_visible = v;
    if (m_hwnd)
        win::ShowWindow(m_hwnd, v);
    m_owner.invalidate();
}

void FocusBox::move(int left, int top, int width, int height) {
    m_bounds = {left, top, std::max(0, width), std::max(0, height)};
    if (m_hwnd)
        win::MoveWindow(m_hwnd, m_bounds);
    m_owner.invalidate();
}

bool FocusBox::SetFocus() {
    if (!m_hwnd || !win::IsWindowVisible(m_owner.hWnd()))
        return false;
    if (win::GetFocus() == m_hwnd)
        return true;
    win::SetFocus(m_hwnd);
    return win::GetFocus() == m_hwnd;
}

// --- ControlTimer ---

ControlTimer::ControlTimer(UserControl& owner, std::string name, uint32_t intervalMs)
    : m_owner(owner), m_name(std::move(name)), m_interval(intervalMs) {}

ControlTimer::~ControlTimer() {
    disarm();
}

void ControlTimer::setEnabled(bool v) {
    if (v == m_enabled)
        return;
    m_enabled = v;
    if (v)
        arm();
    else
        disarm();
}

void ControlTimer::setInterval(uint32_t ms) {
    m_interval = ms;
    if (m_enabled)
        arm();
}

void ControlTimer::arm() {
    disarm();
    if (!m_enabled || m_interval == 0 || !m_owner.hWnd())
        return;
    win::SetTimer(m_owner.hWnd(), reinterpret_cast<uintptr_t>(this), m_interval,
                  [this](win::HWND, uint32_t, uintptr_t, uint32_t) {
                      try {
                          if (m_enabled && onTimer)
                              onTimer();
                      } catch (...) {
                      }
                  });
    m_armed = true;
}

void ControlTimer::disarm() {
    if (m_armed && m_owner.hWnd())
        win::KillTimer(m_owner.hWnd(), reinterpret_cast<uintptr_t>(this));
    m_armed = false;
}

} // namespace ax
