#pragma once

// A top-level X11 window that shows 32-bit BGRA pixels (the layout of our surfaces) and
// reports input in the terms of the window messages: Windows virtual-key codes, button
// numbers 1 left, 2 right, 4 middle, shift state 1 shift, 2 ctrl, 4 alt, and wheel deltas
// in multiples of 120.

#include <cstdint>
#include <memory>
#include <string>

namespace x11 {

struct Event {
    enum class Type {
        Idle,
        Paint,     // the window must be shown again
        Resize,    // width, height: the new client size
        MouseDown, // button, shift, x, y
        MouseUp,
        MouseMove, // buttons held in `button`
        Wheel,     // delta (+120 away from the user), shift, x, y
        KeyDown,   // key: virtual-key code, shift
        KeyUp,
        Char, // key: the character (Latin-1) typed
        GotFocus,
        LostFocus,
        Close, // the user asked to close the window
    };
    Type type = Type::Idle;
    int x = 0, y = 0;
    int button = 0;
    int shift = 0;
    int key = 0;
    int delta = 0;
    int width = 0, height = 0;
};

class Window {
public:
    // Opens a window of the given client size on $DISPLAY (or `display` when given).
    // Null when there is no display to connect to; never throws.
    static std::unique_ptr<Window> open(int width, int height, const std::string& title,
                                        const char* display = nullptr);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Shows the pixels (rows top-down, `stride` bytes apart, B, G, R, A per pixel) at the
    // window's top-left corner.
    void present(const uint8_t* pixels, int width, int height, int stride);

    // The next pending event, waiting at most `timeoutMs` (0: do not wait). False when none
    // came in time.
    bool nextEvent(Event& event, int timeoutMs);

    // Asks for a new client size; the Resize event of that size is not reported again.
    void resize(int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }

    // Reads back what the window shows, as B, G, R, A rows (tests).
    bool capture(uint8_t* pixels, int width, int height, int stride);

private:
    struct Impl;
    explicit Window(std::unique_ptr<Impl> impl, int width, int height);
    bool translate(Event& event);

    std::unique_ptr<Impl> m_impl;
    int m_width;
    int m_height;
};

// The virtual-key code of an X keysym (0 for keys without one).
int virtualKeyFromKeysym(unsigned long keysym);

} // namespace x11
