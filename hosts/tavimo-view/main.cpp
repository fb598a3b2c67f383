// tavimo-view: hosts one viewer control, in an X11 window when there is a display and
// without one otherwise, shows a file (or the built-in sample), writes snapshots and runs
// scripts against the control's automation interface.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "hosts/tavimo-view/sample.h"
#include "hosts/tavimo-view/script.h"
#include "platform/activex/headless_host.h"
#include "platform/activex/surface.h"
#include "platform/win/files.h"
#include "platform/win/message_loop.h"
#include "platform/win/window.h"
#include "platform/x11/x11_window.h"
#include "viewer/ImageBox.h"
#include "viewer/class_ids.h"
#include "viewer/entry_points.h"

namespace {

using namespace tavimo_view;

constexpr const char* kUsage =
    "usage: tavimo-view [options] [FILE]\n"
    "  --size WxH          control size (default 800x600)\n"
    "  --snapshot PATH     show FILE without a window, wait for the quality pass, write PNG\n"
    "  --script PATH|-     run a script (from standard input with -)\n"
    "  --window            insist on an X11 window (fails without a display)\n"
    "  --class NAME        ImageBox (default) or ImageBoxCnt\n"
    "  --write-sample PATH write the built-in three-page sample TIFF and exit\n"
    "Without FILE the built-in sample is shown (the script mode starts with no image).\n"
    "Window keys: + and - zoom, f fits, 1 shows 100 %, arrows scroll, q or Esc quits.\n";

struct Options {
    std::string file, snapshot, script, writeSample;
    std::string className = "ImageBox";
    int width = 800, height = 600;
    bool window = false;
};

bool parseSize(const std::string& text, int& w, int& h) {
    int a = 0, b = 0;
    char x = 0, extra = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c", &a, &x, &b, &extra) != 3 || (x != 'x' && x != 'X'))
        return false;
    if (a < 1 || b < 1 || a > 16384 || b > 16384)
        return false;
    w = a, h = b;
    return true;
}

// 0 to go on, else the exit code.
int parseArguments(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::cerr << "tavimo-view: " << a << " needs a value\n" << kUsage;
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return -1;
        } else if (a == "--size") {
            if (!value(v))
                return 1;
            if (!parseSize(v, o.width, o.height)) {
                std::cerr << "tavimo-view: --size takes WxH, for example 800x600\n";
                return 1;
            }
        } else if (a == "--snapshot") {
            if (!value(o.snapshot))
                return 1;
        } else if (a == "--script") {
            if (!value(o.script))
                return 1;
        } else if (a == "--class") {
            if (!value(o.className))
                return 1;
        } else if (a == "--write-sample") {
            if (!value(o.writeSample))
                return 1;
        } else if (a == "--window") {
            o.window = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            std::cerr << "tavimo-view: unknown option " << a << "\n" << kUsage;
            return 1;
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            std::cerr << "tavimo-view: one FILE only\n";
            return 1;
        }
    }
    return 0;
}

bool writeSurfacePng(const ax::SurfacePtr& s, const std::string& path, std::string& error) {
    if (!s) {
        error = "the control has no area";
        return false;
    }
    if (!ax::HeadlessHost::writePng(*s, path)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

// The program: one control in the headless host, optionally shown in an X11 window.
class App : public ScriptHost {
public:
    App(const Options& o, bool windowed)
        : m_options(o), m_host(ax::HeadlessHost::Options{!windowed, true}) {}

    ~App() override {
        if (!m_samplePath.empty())
            win::deleteFileQuietly(m_samplePath);
    }

    bool start(std::string& error) {
        const win::Guid& clsid = ax::namesEqual(m_options.className, "ImageBoxCnt")
                                     ? tavimo::CLSID_ImageBoxCnt
                                     : tavimo::CLSID_ImageBox;
        if (!ax::namesEqual(m_options.className, "ImageBox") &&
            !ax::namesEqual(m_options.className, "ImageBoxCnt")) {
            error = "unknown class " + m_options.className + " (ImageBox or ImageBoxCnt)";
            return false;
        }
        void* out = nullptr;
        if (ax::Failed(::DllGetClassObject(&clsid, &ax::IID_IClassFactory, &out))) {
            error = "the control class is not available";
            return false;
        }
        m_factory = ax::ComPtr<ax::ClassFactory>::adopt(static_cast<ax::ClassFactory*>(out));
        m_control = m_host.create(*m_factory, m_options.width, m_options.height);
        if (!m_control) {
            error = "the control could not be created";
            return false;
        }
        // Scripts see the events of their own statements, not those of the creation.
        m_control->events->records.clear();
        return true;
    }

    bool openWindow(std::string& error) {
        m_window = x11::Window::open(m_options.width, m_options.height, "tavimo-view");
        if (!m_window) {
            error = "no X11 display to open a window on";
            return false;
        }
        // Wait (briefly) for the window to be mapped before showing anything.
        x11::Event e;
        for (int i = 0; i < 40; ++i)
            if (m_window->nextEvent(e, 25) && e.type == x11::Event::Type::Paint)
                break;
        present();
        return true;
    }

    // Shows FILE or the sample; the status of the display member.
    int32_t showInitial() {
        std::string path = m_options.file;
        if (path.empty()) {
            m_samplePath =
                win::GetTempFolder() + "tavimo-sample-" + std::to_string(getpid()) + ".tif";
            if (!writeSampleImage(m_samplePath))
                return static_cast<int32_t>(tavimo::QuennetStatus::Win32Error);
            path = m_samplePath;
        }
        return call("DisplayFromFile", {ax::Variant(path)}).toLong();
    }

    ax::Variant call(const std::string& name, std::vector<ax::Variant> args = {}) {
        ax::Variant r;
        m_control->call(name, std::move(args), &r);
        return r;
    }

    void setViewerDefaults() {
        m_control->put("SilentMode", ax::Variant(false));
        m_control->put("ViewerQualityAuto", ax::Variant(true));
        call("SetZoomFitControl");
    }

    // --- ScriptHost ---
    ax::HeadlessHost& host() override { return m_host; }
    ax::HostedControl& control() override { return *m_control; }

    bool snapshot(const std::string& path, std::string& error) override {
        if (!m_window)
            return writeSurfacePng(m_control->control->snapshot(), path, error);
        present();
        int w = m_control->control->Width(), h = m_control->control->Height();
        ax::SurfacePtr shot = ax::makeSurface(w, h);
        if (!shot || !m_window->capture(shot->bits(), w, h, shot->stride())) {
            error = "cannot read the window back";
            return false;
        }
        return writeSurfacePng(shot, path, error);
    }

    void resize(int width, int height) override {
        if (m_window)
            m_window->resize(width, height);
        m_host.resize(*m_control, width, height);
        present();
    }

    void advance(uint64_t ms) override {
        if (!m_window) {
            m_host.advance(ms);
            return;
        }
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end)
            runOnce(5);
    }

    bool reload(ax::PropertyBag& bag, std::string& error) override {
        int w = m_control->control->Width(), h = m_control->control->Height();
        m_host.destroy(m_control);
        m_control = m_host.create(*m_factory, w, h, &bag);
        if (!m_control) {
            error = "the control could not be created";
            return false;
        }
        m_control->events->records.clear();
        if (ax::Failed(m_control->loadResult)) {
            error = "the bag could not be read";
            return false;
        }
        present();
        return true;
    }

    void settle() override {
        if (m_window) {
            // Let expose and configure events through, then show the result.
            runOnce(0);
            present();
        }
    }

    // --- the window loop ---
    int runWindow() {
        while (!m_quit)
            runOnce(10);
        return 0;
    }

private:
    void present() {
        if (!m_window)
            return;
        ax::SurfacePtr s = m_control->control->snapshot();
        if (!s)
            return;
        if (m_control->control->BackStyle() == 0)
            overHostBackground(*s);
        m_window->present(s->bits(), s->width(), s->height(), s->stride());
        m_presented = m_control->site->invalidations;
    }

    // A transparent control shows the host behind it: here a plain grey.
    static void overHostBackground(win::GdiSurface& s) {
        constexpr uint32_t kHost = 0xC0C0C0;
        for (int y = 0; y < s.height(); ++y) {
            uint32_t* row = ax::pixelRow(s, y);
            for (int x = 0; x < s.width(); ++x) {
                const uint32_t p = row[x], a = p >> 24;
                if (a == 255)
                    continue;
                uint32_t out = 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8) {
                    uint32_t c = (p >> shift) & 0xFF, h = (kHost >> shift) & 0xFF;
                    out |= ((c * a + h * (255 - a) + 127) / 255) << shift;
                }
                row[x] = out;
            }
        }
    }

    void runOnce(int timeoutMs) {
        x11::Event e;
        bool any = false;
        while (m_window->nextEvent(e, any ? 0 : timeoutMs)) {
            any = true;
            handle(e);
            if (m_quit)
                return;
        }
        win::DoEvents();
        if (m_control->site->invalidations != m_presented)
            present();
    }

    // The child window (scroll bar) under a point of the control, or the control.
    win::HWND targetAt(int& x, int& y) {
        if (m_captured) {
            x -= m_captureDx, y -= m_captureDy;
            return m_captured;
        }
        auto& uc = *m_control->control;
        int b = uc.borderThickness();
        for (const auto& bar : uc.scrollBars()) {
            int bx = b + bar->Left(), by = b + bar->Top();
            if (bar->Visible() && x >= bx && y >= by && x < bx + bar->Width() &&
                y < by + bar->Height()) {
                m_captureDx = bx, m_captureDy = by;
                x -= bx, y -= by;
                return bar->hWnd();
            }
        }
        m_captureDx = m_captureDy = 0;
        return uc.hWnd();
    }

    static uint32_t mouseKeys(int buttons, int shift) {
        return ((buttons & 1) ? win::MK_LBUTTON : 0) | ((buttons & 2) ? win::MK_RBUTTON : 0) |
               ((buttons & 4) ? win::MK_MBUTTON : 0) | ((shift & 1) ? win::MK_SHIFT : 0) |
               ((shift & 2) ? win::MK_CONTROL : 0);
    }

    void mouse(const x11::Event& e) {
        int x = e.x, y = e.y;
        win::HWND target = targetAt(x, y);
        win::SetKeyState(win::VK_SHIFT, e.shift & 1);
        win::SetKeyState(win::VK_CONTROL, e.shift & 2);
        uint32_t msg = win::WM_MOUSEMOVE;
        uint32_t keys = mouseKeys(e.button, e.shift);
        if (e.type == x11::Event::Type::MouseDown) {
            msg = e.button == 2   ? win::WM_RBUTTONDOWN
                  : e.button == 4 ? win::WM_MBUTTONDOWN
                                  : win::WM_LBUTTONDOWN;
            m_captured = target;
        } else if (e.type == x11::Event::Type::MouseUp) {
            msg = e.button == 2   ? win::WM_RBUTTONUP
                  : e.button == 4 ? win::WM_MBUTTONUP
                                  : win::WM_LBUTTONUP;
            keys = mouseKeys(0, e.shift);
            m_captured = 0;
        }
        win::PostInput(target, msg, keys, win::MakePointLParam(x, y));
        win::DoEvents();
    }

    void hostShortcut(int ch) {
        // + and - reach the control as keys 107 and 109, which it zooms with itself.
        switch (ch) {
        case '=':
            call("ZoomIN");
            break;
        case 'f':
            call("SetZoomFitControl");
            break;
        case '1':
            call("SetZoom100");
            break;
        case 'q':
            m_quit = true;
            break;
        default:
            break;
        }
    }

    // + and - (keys 107 and 109) go to the control window itself, which zooms with them,
    // even while the corner box between the bars holds the focus.
    bool zoomKey(int key, uint32_t msg) {
        if (key != win::VK_ADD && key != win::VK_SUBTRACT)
            return false;
        win::PostInput(m_control->hwnd(), msg, static_cast<uint32_t>(key), 1);
        win::DoEvents();
        return true;
    }

    void scrollBy(int dx, int dy) {
        if (dx)
            call("SetHScrollBarPosition",
                 {ax::Variant(call("GetHScrollBarPosition").toLong() + dx)});
        if (dy)
            call("SetVScrollBarPosition",
                 {ax::Variant(call("GetVScrollBarPosition").toLong() + dy)});
    }

    void handle(const x11::Event& e) {
        using T = x11::Event::Type;
        switch (e.type) {
        case T::Paint:
            m_control->control->paint();
            present();
            break;
        case T::Resize:
            m_host.resize(*m_control, e.width, e.height);
            present();
            break;
        case T::MouseDown:
        case T::MouseUp:
        case T::MouseMove:
            mouse(e);
            break;
        case T::Wheel:
            m_host.wheel(*m_control, e.delta);
            break;
        case T::KeyDown:
            if (e.key == 27) {
                m_quit = true;
                break;
            }
            if (e.key >= 37 && e.key <= 40) {
                const int step = 40;
                scrollBy(e.key == 37   ? -step
                         : e.key == 39 ? step
                                       : 0,
                         e.key == 38   ? -step
                         : e.key == 40 ? step
                                       : 0);
            }
            if (!zoomKey(e.key, win::WM_KEYDOWN))
                m_host.keyDown(*m_control, e.key, e.shift);
            break;
        case T::KeyUp:
            if (!zoomKey(e.key, win::WM_KEYUP))
                m_host.keyUp(*m_control, e.key, e.shift);
            break;
        case T::Char:
            hostShortcut(e.key);
            m_host.character(*m_control, e.key);
            break;
        case T::GotFocus:
            m_host.focus(m_control->hwnd());
            break;
        case T::LostFocus:
            win::SetFocus(0);
            break;
        case T::Close:
            m_quit = true;
            break;
        default:
            break;
        }
    }

    Options m_options;
    ax::HeadlessHost m_host;
    ax::ComPtr<ax::ClassFactory> m_factory;
    ax::HostedControl* m_control = nullptr;
    std::unique_ptr<x11::Window> m_window;
    std::string m_samplePath;
    int m_presented = -1;
    bool m_quit = false;
    win::HWND m_captured = 0;
    int m_captureDx = 0, m_captureDy = 0;
};

int run(int argc, char** argv) {
    Options o;
    if (int r = parseArguments(argc, argv, o); r != 0)
        return r < 0 ? 0 : r;
    if (!o.writeSample.empty())
        return writeSampleImage(o.writeSample) ? 0 : 1;
    if (!o.snapshot.empty() && !o.script.empty()) {
        std::cerr << "tavimo-view: --snapshot and --script do not go together\n";
        return 1;
    }
    const bool haveDisplay = std::getenv("DISPLAY") && *std::getenv("DISPLAY");
    if (o.window && !o.snapshot.empty()) {
        std::cerr << "tavimo-view: --snapshot runs without a window\n";
        return 1;
    }
    // Snapshots and scripts run without a window unless one is asked for.
    const bool windowed = o.window || (o.snapshot.empty() && o.script.empty() && haveDisplay);

    App app(o, windowed);
    std::string error;
    if (!app.start(error)) {
        std::cerr << "tavimo-view: " << error << "\n";
        return 1;
    }
    if (windowed && !app.openWindow(error)) {
        std::cerr << "tavimo-view: " << error << "\n";
        return 1;
    }

    if (!o.script.empty()) {
        if (!o.file.empty()) {
            int32_t st = app.call("DisplayFromFile", {ax::Variant(o.file)}).toLong();
            if (st != 0)
                std::cerr << "tavimo-view: " << o.file << ": status " << st << "\n";
        }
        if (o.script == "-")
            return runScript(std::cin, std::cout, std::cerr, app);
        std::ifstream in(o.script);
        if (!in) {
            std::cerr << "tavimo-view: cannot read " << o.script << "\n";
            return 1;
        }
        return runScript(in, std::cout, std::cerr, app);
    }

    app.setViewerDefaults();
    int32_t status = app.showInitial();
    if (!o.snapshot.empty()) {
        if (status != 0) {
            std::cerr << "tavimo-view: cannot display "
                      << (o.file.empty() ? std::string("the sample") : o.file) << ": status "
                      << status << "\n";
            return 1;
        }
        app.advance(1500); // the quality pass comes after a second still
        if (!app.snapshot(o.snapshot, error)) {
            std::cerr << "tavimo-view: " << error << "\n";
            return 1;
        }
        return 0;
    }
    if (!windowed) {
        std::cerr << "tavimo-view: no display; use --snapshot PATH or --script PATH\n";
        return status == 0 ? 0 : 1;
    }
    if (status != 0)
        std::cerr << "tavimo-view: cannot display " << o.file << ": status " << status << "\n";
    return app.runWindow();
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "tavimo-view: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "tavimo-view: unexpected failure\n";
    }
    return 1;
}
