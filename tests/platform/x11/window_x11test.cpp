#include "platform/x11/x11_window.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Runs a private Xvfb for the test program, so the tests need no display of their own.
class Xvfb {
public:
    Xvfb() {
        // -displayfd lets the server pick a free display and tell us which, so parallel
        // test programs never race for a display number.
        int fds[2];
        if (pipe(fds) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "320x240x24",
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty())
            m_display = ":" + number;
    }
    ~Xvfb() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    const char* display() const { return m_display.c_str(); }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

TEST(X11Window, PresentedPixelsAreWhatTheWindowShows) {
    Xvfb server;
    auto window = x11::Window::open(64, 48, "tavimo test", server.display());
    ASSERT_TRUE(window) << "no Xvfb";
    // Wait for the window to be mapped.
    x11::Event e;
    for (int i = 0; i < 50; ++i) {
        if (window->nextEvent(e, 50) && e.type == x11::Event::Type::Paint)
            break;
    }

    const int w = 64, h = 48, stride = w * 4 + 8; // a padded stride on purpose
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &pixels[static_cast<size_t>(y) * stride + x * 4];
            p[0] = static_cast<uint8_t>(x * 4); // blue
            p[1] = static_cast<uint8_t>(y * 5); // green
            p[2] = 200;                         // red
            p[3] = 255;
        }
    window->present(pixels.data(), w, h, stride);

    std::vector<uint8_t> shown(static_cast<size_t>(w) * h * 4);
    ASSERT_TRUE(window->capture(shown.data(), w, h, w * 4));
    for (int y = 0; y < h; y += 7)
        for (int x = 0; x < w; x += 9)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(shown[(static_cast<size_t>(y) * w + x) * 4 + c],
                          pixels[static_cast<size_t>(y) * stride + x * 4 + c])
                    << x << "," << y;
}

} // namespace
