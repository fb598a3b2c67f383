// The tavimo-view window under a private Xvfb shows what the headless host composes.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/x11/x11_window.h"
#include "tests/support/viewer_fixtures.h"
#include "tests/support/viewer_run.h"

namespace fs = std::filesystem;

namespace {

class Xvfb {
public:
    Xvfb() {
        for (int n = 80; n < 90 && m_pid <= 0; ++n) {
            std::string lock("/tmp/.X");
            lock.append(std::to_string(n)).append("-lock");
            if (access(lock.c_str(), F_OK) == 0)
                continue;
            m_display.assign(1, ':').append(std::to_string(n));
            m_pid = fork();
            if (m_pid == 0) {
                execlp("Xvfb", "Xvfb", m_display.c_str(), "-screen", "0", "640x480x24", "-nolisten",
                       "tcp", static_cast<char*>(nullptr));
                _exit(127);
            }
        }
        for (int i = 0; i < 100; ++i) { // up to 5 s for the server to come up
            if (auto w = x11::Window::open(1, 1, "probe", m_display.c_str())) {
                m_ready = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~Xvfb() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    bool ready() const { return m_ready; }
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
    bool m_ready = false;
};

TEST(TavimoViewWindow, ScreenshotMatchesTheHeadlessSnapshot) {
    Xvfb server;
    ASSERT_TRUE(server.ready()) << "no Xvfb";
    fs::path dir = fs::temp_directory_path() / ("tavimo_view_x11_" + std::to_string(getpid()));
    fs::create_directories(dir);
    ASSERT_TRUE(viewer_test::writeBmp((dir / "a.bmp").string(), 400, 300, [](int x, int y) {
        return viewer_test::quadrants(x, y, 400, 300) ^ uint32_t((x * 3 + y) & 0x3F);
    }));
    const std::string script = R"(DisplayFromFile "a.bmp"
!resize 260 220
SetZoom 150
SetHVScrollBarPosition 120, 40
!wheel 120
!snapshot shot.png
GetHScrollBarPosition
)";
    auto windowed = viewer_test::runTavimoView(dir.string(), {"--window", "--size", "200x160"},
                                               script, {"DISPLAY=" + server.display()});
    ASSERT_EQ(windowed.code, 0) << windowed.err;
    fs::rename(dir / "shot.png", dir / "window.png");
    auto headless =
        viewer_test::runTavimoView(dir.string(), {"--size", "200x160"}, script, {"DISPLAY="});
    ASSERT_EQ(headless.code, 0) << headless.err;
    EXPECT_EQ(windowed.out, headless.out);
    EXPECT_EQ(windowed.out, "0\n0\n133\n"); // the wheel zoomed in one step

    viewer_test::Png a, b;
    ASSERT_TRUE(viewer_test::readPng((dir / "window.png").string(), a));
    ASSERT_TRUE(viewer_test::readPng((dir / "shot.png").string(), b));
    ASSERT_EQ(a.width, 260);
    ASSERT_EQ(a.height, 220);
    ASSERT_EQ(b.width, a.width);
    ASSERT_EQ(b.height, a.height);
    size_t different = 0;
    for (size_t i = 0; i < a.argb.size(); ++i)
        different += (a.argb[i] & 0xFFFFFF) != (b.argb[i] & 0xFFFFFF);
    EXPECT_EQ(different, 0u);
    fs::remove_all(dir);
}

} // namespace
