#include "platform/x11/x11_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <poll.h>

#include <cstring>
#include <vector>

namespace x11 {

struct Window::Impl {
    Display* display = nullptr;
    ::Window window = 0;
    GC gc = nullptr;
    Atom deleteAtom = 0;
    int depth = 0;
    Visual* visual = nullptr;
    std::vector<uint8_t> staging;

    ~Impl() {
        if (!display)
            return;
        if (gc)
            XFreeGC(display, gc);
        if (window)
            XDestroyWindow(display, window);
        XCloseDisplay(display);
    }
};

std::unique_ptr<Window> Window::open(int width, int height, const std::string& title,
                                     const char* displayName) {
    if (width < 1 || height < 1)
        return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->display = XOpenDisplay(displayName);
    if (!impl->display)
        return nullptr;
    Display* d = impl->display;
    int screen = DefaultScreen(d);
    impl->visual = DefaultVisual(d, screen);
    impl->depth = DefaultDepth(d, screen);
    // XPutImage of our BGRA rows needs a 24- or 32-bit TrueColor visual with the usual
    // masks; that is what every current X server offers.
    if (impl->depth < 24 || impl->visual->red_mask != 0xFF0000 || impl->visual->blue_mask != 0xFF)
        return nullptr;
    impl->window = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(width),
                                       static_cast<unsigned>(height), 0, BlackPixel(d, screen),
                                       BlackPixel(d, screen));
    XStoreName(d, impl->window, title.c_str());
    XSelectInput(d, impl->window,
                 ExposureMask | StructureNotifyMask | KeyPressMask | KeyReleaseMask |
                     ButtonPressMask | ButtonReleaseMask | PointerMotionMask | FocusChangeMask);
    impl->deleteAtom = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, impl->window, &impl->deleteAtom, 1);
    impl->gc = XCreateGC(d, impl->window, 0, nullptr);
    XMapWindow(d, impl->window);
    XFlush(d);
    return std::unique_ptr<Window>(new Window(std::move(impl), width, height));
}

Window::Window(std::unique_ptr<Impl> impl, int width, int height)
    : m_impl(std::move(impl)), m_width(width), m_height(height) {}

Window::~Window() = default;

void Window::present(const uint8_t* pixels, int width, int height, int stride) {
    if (!pixels || width < 1 || height < 1)
        return;
    Impl& p = *m_impl;
    // The server wants tightly packed 32-bit rows; our stride may differ, so copy once.
    p.staging.resize(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        std::memcpy(&p.staging[static_cast<size_t>(y) * width * 4],
                    pixels + static_cast<ptrdiff_t>(y) * stride, static_cast<size_t>(width) * 4);
    XImage* image =
        XCreateImage(p.display, p.visual, static_cast<unsigned>(p.depth), ZPixmap, 0,
                     reinterpret_cast<char*>(p.staging.data()), static_cast<unsigned>(width),
                     static_cast<unsigned>(height), 32, width * 4);
    if (!image)
        return;
    image->byte_order = LSBFirst;
    XPutImage(p.display, p.window, p.gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    image->data = nullptr; // the staging buffer is ours
    XDestroyImage(image);
    XFlush(p.display);
}

void Window::resize(int width, int height) {
    if (width < 1 || height < 1)
        return;
    XResizeWindow(m_impl->display, m_impl->window, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
    XSync(m_impl->display, False);
    m_width = width;
    m_height = height;
}

bool Window::capture(uint8_t* pixels, int width, int height, int stride) {
    Impl& p = *m_impl;
    XSync(p.display, False);
    XImage* image = XGetImage(p.display, p.window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image)
        return false;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(pixels + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x)
            row[x] = static_cast<uint32_t>(XGetPixel(image, x, y)) | 0xFF000000u;
    }
    XDestroyImage(image);
    return true;
}

namespace {

int shiftState(unsigned int state) {
    return ((state & ShiftMask) ? 1 : 0) | ((state & ControlMask) ? 2 : 0) |
           ((state & Mod1Mask) ? 4 : 0);
}

int buttonsHeld(unsigned int state) {
    return ((state & Button1Mask) ? 1 : 0) | ((state & Button3Mask) ? 2 : 0) |
           ((state & Button2Mask) ? 4 : 0);
}

int buttonNumber(unsigned int button) {
    switch (button) {
    case Button1:
        return 1;
    case Button3:
        return 2;
    case Button2:
        return 4;
    default:
        return 0;
    }
}

} // namespace

int virtualKeyFromKeysym(unsigned long keysym) {
    if (keysym >= XK_a && keysym <= XK_z)
        return static_cast<int>('A' + (keysym - XK_a));
    if (keysym >= XK_A && keysym <= XK_Z)
        return static_cast<int>('A' + (keysym - XK_A));
    if (keysym >= XK_0 && keysym <= XK_9)
        return static_cast<int>('0' + (keysym - XK_0));
    if (keysym >= XK_F1 && keysym <= XK_F12)
        return static_cast<int>(0x70 + (keysym - XK_F1));
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
        return static_cast<int>(0x60 + (keysym - XK_KP_0));
    switch (keysym) {
    case XK_BackSpace:
        return 0x08;
    case XK_Tab:
        return 0x09;
    case XK_Return:
    case XK_KP_Enter:
        return 0x0D;
    case XK_Shift_L:
    case XK_Shift_R:
        return 0x10;
    case XK_Control_L:
    case XK_Control_R:
        return 0x11;
    case XK_Alt_L:
    case XK_Alt_R:
        return 0x12;
    case XK_Escape:
        return 0x1B;
    case XK_space:
        return 0x20;
    case XK_Page_Up:
    case XK_KP_Page_Up:
        return 0x21;
    case XK_Page_Down:
    case XK_KP_Page_Down:
        return 0x22;
    case XK_End:
    case XK_KP_End:
        return 0x23;
    case XK_Home:
    case XK_KP_Home:
        return 0x24;
    case XK_Left:
    case XK_KP_Left:
        return 0x25;
    case XK_Up:
    case XK_KP_Up:
        return 0x26;
    case XK_Right:
    case XK_KP_Right:
        return 0x27;
    case XK_Down:
    case XK_KP_Down:
        return 0x28;
    case XK_Insert:
    case XK_KP_Insert:
        return 0x2D;
    case XK_Delete:
    case XK_KP_Delete:
        return 0x2E;
    case XK_KP_Add:
    case XK_plus:
        return 0x6B;
    case XK_KP_Subtract:
    case XK_minus:
        return 0x6D;
    default:
        return 0;
    }
}

bool Window::translate(Event& e) {
    Impl& p = *m_impl;
    XEvent xe;
    XNextEvent(p.display, &xe);
    e = Event{};
    switch (xe.type) {
    case Expose:
        if (xe.xexpose.count != 0)
            return false; // only the last of a series
        e.type = Event::Type::Paint;
        return true;
    case ConfigureNotify:
        if (xe.xconfigure.width == m_width && xe.xconfigure.height == m_height)
            return false;
        m_width = xe.xconfigure.width;
        m_height = xe.xconfigure.height;
        e.type = Event::Type::Resize;
        e.width = m_width;
        e.height = m_height;
        return true;
    case ButtonPress:
    case ButtonRelease: {
        e.x = xe.xbutton.x;
        e.y = xe.xbutton.y;
        e.shift = shiftState(xe.xbutton.state);
        unsigned int b = xe.xbutton.button;
        if (b == Button4 || b == Button5) {
            if (xe.type == ButtonRelease)
                return false;
            e.type = Event::Type::Wheel;
            e.delta = b == Button4 ? 120 : -120;
            return true;
        }
        e.button = buttonNumber(b);
        if (e.button == 0)
            return false;
        e.type = xe.type == ButtonPress ? Event::Type::MouseDown : Event::Type::MouseUp;
        return true;
    }
    case MotionNotify:
        e.type = Event::Type::MouseMove;
        e.x = xe.xmotion.x;
        e.y = xe.xmotion.y;
        e.button = buttonsHeld(xe.xmotion.state);
        e.shift = shiftState(xe.xmotion.state);
        return true;
    case KeyPress:
    case KeyRelease: {
        char text[8] = {};
        KeySym keysym = 0;
        int n = XLookupString(&xe.xkey, text, sizeof text, &keysym, nullptr);
        e.type = xe.type == KeyPress ? Event::Type::KeyDown : Event::Type::KeyUp;
        e.key = virtualKeyFromKeysym(keysym);
        e.shift = shiftState(xe.xkey.state);
        if (xe.type == KeyPress && n == 1 && e.key == 0) {
            e.type = Event::Type::Char;
            e.key = static_cast<unsigned char>(text[0]);
        }
        return e.key != 0;
    }
    case FocusIn:
        e.type = Event::Type::GotFocus;
        return true;
    case FocusOut:
        e.type = Event::Type::LostFocus;
        return true;
    case ClientMessage:
        if (static_cast<Atom>(xe.xclient.data.l[0]) == p.deleteAtom) {
            e.type = Event::Type::Close;
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool Window::nextEvent(Event& event, int timeoutMs) {
    Impl& p = *m_impl;
    for (;;) {
        while (XPending(p.display) > 0) {
            if (translate(event))
                return true;
        }
        if (timeoutMs <= 0)
            return false;
        pollfd fd{ConnectionNumber(p.display), POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) <= 0)
            return false;
        timeoutMs = 0; // one wait; then whatever arrived
        if (XPending(p.display) == 0)
            return false;
    }
}

} // namespace x11
