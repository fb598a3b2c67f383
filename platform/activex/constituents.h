#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/win/window.h"

namespace ax {

class UserControl;

// The thickness of a scroll bar in pixels (width of a vertical bar, height of a
// horizontal one).
inline constexpr int kScrollBarThickness = 17;

// A scroll bar child window. Every change of Value fires onChange synchronously, also
// a programmatic one, and none fires for an equal value. Out-of-range assignments are
// clamped, never refused. A key that reaches the focused bar fires onKeyDown first; the
// bar's own arrow/page/home/end handling then uses the (possibly changed) key code.
class ScrollBar {
public:
    enum class Orientation { Horizontal, Vertical };

    ScrollBar(UserControl& owner, std::string name, Orientation orientation);
    ~ScrollBar();
    ScrollBar(const ScrollBar&) = delete;
    ScrollBar& operator=(const ScrollBar&) = delete;

    const std::string& name() const { return m_name; }
    Orientation orientation() const { return m_orientation; }
    win::HWND hWnd() const { return m_hwnd; }

    int16_t Min() const { return m_min; }
    int16_t Max() const { return m_max; }
    int16_t Value() const { return m_value; }
    int16_t SmallChange() const { return m_small; }
    int16_t LargeChange() const { return m_large; }
    void setMin(int32_t v);
    // A Max below Value moves Value to Max (and fires onChange).
    void setMax(int32_t v);
    void setValue(int32_t v);
    void setSmallChange(int32_t v); // below 1 becomes 1
    void setLargeChange(int32_t v); // below 1 becomes 1

    bool Enabled() const;
    void setEnabled(bool v);
    bool Visible() const;
    void setVisible(bool v);
    int Left() const { return m_bounds.left; }
    int Top() const { return m_bounds.top; }
    int Width() const { return m_bounds.width; }
    int Height() const { return m_bounds.height; }
    void move(int left, int top, int width, int height);
    void Refresh();
    bool SetFocus();
    // Makes the child window under the owner's window (done by the owner).
    void attachWindow();

    std::function<void()> onChange;
    std::function<void()> onScroll;
    std::function<void(int16_t& keyCode, int16_t shift)> onKeyDown;
    std::function<void()> onGotFocus;
    std::function<void()> onLostFocus;

private:
    win::LRESULT proc(win::HWND, uint32_t msg, win::WPARAM, win::LPARAM);
    int16_t low() const { return std::min(m_min, m_max); }
    int16_t high() const { return std::max(m_min, m_max); }
    void step(int delta);

    UserControl& m_owner;
    std::string m_name;
    Orientation m_orientation;
    win::HWND m_hwnd = 0;
    win::WindowRect m_bounds;
    int16_t m_min = 0, m_max = 32767, m_value = 0, m_small = 1, m_large = 1;
    bool m_visible = true, m_enabled = true;
    bool m_dragging = false;
    int16_t m_dragStartValue = 0;
    int thumbPos() const;
    int valueAt(int pos) const;

public:
    // Geometry of the thumb along the bar, for drawing: offset and length in pixels.
    int thumbOffset() const { return thumbPos(); }
};

// A windowless rectangle shape drawn by the compositor over the control's picture.
// BorderStyle: 0 transparent, 1 solid, 2 dash, 3 dot, 4 dash-dot, 5 dash-dot-dot,
// 6 inside solid. DrawMode is a binary raster operation 1..16 (13 copies the pen).
class Shape {
public:
    explicit Shape(UserControl& owner, std::string name);
    const std::string& name() const { return m_name; }

    float Left() const { return m_left; }
    float Top() const { return m_top; }
    float Width() const { return m_width; }
    float Height() const { return m_height; }
    void move(float left, float top, float width, float height);
    int32_t BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int32_t v); // clamped to 0..6
    uint32_t BorderColor() const { return m_borderColor; }
    void setBorderColor(uint32_t v);
    int16_t BorderWidth() const { return m_borderWidth; }
    void setBorderWidth(int32_t v); // clamped to 1..8192
    int32_t DrawMode() const { return m_drawMode; }
    void setDrawMode(int32_t v); // clamped to 1..16
    bool Visible() const { return m_visible; }
    void setVisible(bool v);

private:
    UserControl& m_owner;
    std::string m_name;
    float m_left = -1, m_top = -1, m_width = 1, m_height = 1;
    int32_t m_borderStyle = 1;
    uint32_t m_borderColor = 0;
    int16_t m_borderWidth = 1;
    int32_t m_drawMode = 13;
    bool m_visible = true;
};

// A small focusable child window (the box in the corner between the scroll bars).
class FocusBox {
public:
    FocusBox(UserControl& owner, std::string name);
    ~FocusBox();
    FocusBox(const FocusBox&) = delete;
    FocusBox& operator=(const FocusBox&) = delete;

    win::HWND hWnd() const { return m_hwnd; }
    bool Visible() const;
    void setVisible(bool v);
    int Left() const { return m_bounds.left; }
    int Top() const { return m_bounds.top; }
    int Width() const { return m_bounds.width; }
    int Height() const { return m_bounds.height; }
    void move(int left, int top, int width, int height);
    // False when the box cannot take the focus (hidden, disabled control).
    bool SetFocus();
    void attachWindow();

    std::function<void()> onGotFocus;
    std::function<void()> onLostFocus;

private:
    UserControl& m_owner;
    std::string m_name;
    win::HWND m_hwnd = 0;
    win::WindowRect m_bounds;
    bool m_visible = true;
};

// A timer constituent: while Enabled and Interval > 0, onTimer runs every Interval ms
// from the message loop. Turning it on (or changing Interval while on) restarts the
// countdown. Disabled at creation.
class ControlTimer {
public:
    ControlTimer(UserControl& owner, std::string name, uint32_t intervalMs = 0);
    ~ControlTimer();
    ControlTimer(const ControlTimer&) = delete;
    ControlTimer& operator=(const ControlTimer&) = delete;

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool v);
    uint32_t Interval() const { return m_interval; }
    void setInterval(uint32_t ms);

    std::function<void()> onTimer;
    // Starts the system timer once the owner has its window (done by the owner).
    void arm();

private:
    void disarm();

    UserControl& m_owner;
    std::string m_name;
    uint32_t m_interval;
    bool m_enabled = false;
    bool m_armed = false;
};

} // namespace ax
