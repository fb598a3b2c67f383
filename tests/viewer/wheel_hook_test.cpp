#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <unistd.h>

#include "platform/win/window.h"
#include "tests/support/activex_host.h"
#include "tests/support/viewer_fixtures.h"
#include "viewer/ImageBox.h"
#include "viewer/class_ids.h"
#include "viewer/entry_points.h"
#include "viewer/wheel_hook.h"

using namespace tavimo;
namespace fs = std::filesystem;

namespace {

using Seen = std::vector<std::pair<uint32_t, win::WPARAM>>;

// A plain window that records what reaches its own procedure.
struct Probe {
    Seen seen;
    win::LRESULT keyDownResult = 0;
    std::function<void(uint32_t)> onMessage;
    win::HWND hwnd = 0;

    Probe() {
        hwnd = win::CreateWindow("probe", 0, {0, 0, 20, 20},
                                 [this](win::HWND, uint32_t m, win::WPARAM w, win::LPARAM) {
                                     seen.emplace_back(m, w);
                                     if (onMessage)
                                         onMessage(m);
                                     return m == win::WM_KEYDOWN ? keyDownResult : 0;
                                 });
    }
    ~Probe() {
        if (win::IsWindow(hwnd))
            win::DestroyWindow(hwnd);
    }
    Seen wheel(int delta) {
        seen.clear();
        win::SendMessage(hwnd, win::WM_MOUSEWHEEL, win::MakeWheelWParam(int16_t(delta), 0), 0);
        return seen;
    }
};

std::vector<HookRecord> recordsFor(win::HWND hwnd) {
    std::vector<HookRecord> out;
    for (const HookRecord& r : hookRecords())
        if (r.hwnd == hwnd)
            out.push_back(r);
    return out;
}

const win::WPARAM kUp = win::MakeWheelWParam(120, 0), kDown = win::MakeWheelWParam(-120, 0);
const Seen kPassedOn = {{win::WM_MOUSEWHEEL, kUp}};

TEST(WheelHook, WheelTurnsBecomeKeyPressesAndThenPassOn) {
    Probe p;
    ASSERT_TRUE(HookWindow(p.hwnd));
    EXPECT_EQ(p.wheel(120),
              (Seen{{win::WM_KEYDOWN, 107}, {win::WM_KEYUP, 107}, {win::WM_MOUSEWHEEL, kUp}}));
    EXPECT_EQ(p.wheel(-120),
              (Seen{{win::WM_KEYDOWN, 109}, {win::WM_KEYUP, 109}, {win::WM_MOUSEWHEEL, kDown}}));
    // A key-down the window answers with non-zero gets no key-up.
    p.keyDownResult = 1;
    EXPECT_EQ(p.wheel(120), (Seen{{win::WM_KEYDOWN, 107}, {win::WM_MOUSEWHEEL, kUp}}));
    // Other messages pass through untouched.
    p.seen.clear();
    win::SendMessage(p.hwnd, win::WM_USER, 5, 6);
    EXPECT_EQ(p.seen, (Seen{{win::WM_USER, 5}}));
    UnhookWindow(p.hwnd, false);
}

TEST(WheelHook, BusyFlagsAndReentryPassTheWheelOnUnconverted) {
    Probe p;
    ASSERT_TRUE(HookWindow(p.hwnd));
    bool WheelHookFlags::*flags[] = {&WheelHookFlags::mouseButtonDown, &WheelHookFlags::mouseMoving,
                                     &WheelHookFlags::keyDown, &WheelHookFlags::layoutRunning,
                                     &WheelHookFlags::converting};
    for (auto flag : flags) {
        wheelHookFlags().*flag = true;
        EXPECT_EQ(p.wheel(120), kPassedOn);
        wheelHookFlags().*flag = false;
    }
    // A wheel message sent while one is being converted is passed on as it is.
    p.onMessage = [&](uint32_t m) {
        if (m == win::WM_KEYDOWN)
            win::SendMessage(p.hwnd, win::WM_MOUSEWHEEL, kUp, 0);
    };
    EXPECT_EQ(p.wheel(120), (Seen{{win::WM_KEYDOWN, 107},
                                  {win::WM_MOUSEWHEEL, kUp},
                                  {win::WM_KEYUP, 107},
                                  {win::WM_MOUSEWHEEL, kUp}}));
    EXPECT_FALSE(wheelHookFlags().converting);
    // The shutdown clears the four busy flags.
    wheelHookFlags().mouseButtonDown = wheelHookFlags().keyDown = true;
    ClearWheelHookFlags();
    EXPECT_FALSE(wheelHookFlags().mouseButtonDown || wheelHookFlags().keyDown);
    UnhookWindow(p.hwnd, false);
}

TEST(WheelHook, DisabledOrInvalidWindowsAreNotHooked) {
    Probe p;
    win::EnableWindow(p.hwnd, false);
    EXPECT_FALSE(HookWindow(p.hwnd));
    EXPECT_TRUE(recordsFor(p.hwnd).empty());
    win::EnableWindow(p.hwnd, true);
    EXPECT_EQ(p.wheel(120), kPassedOn);
    EXPECT_FALSE(HookWindow(0));
    EXPECT_FALSE(HookWindow(0x7FFFFFF0u));
    UnhookWindow(0x7FFFFFF0u, false); // nothing to do, no failure
}

TEST(WheelHook, HookUnhookHookLeavesTwoRecordsTheFirstRemoved) {
    Probe p;
    ASSERT_TRUE(HookWindow(p.hwnd));
    UnhookWindow(p.hwnd, false);
    EXPECT_EQ(p.wheel(120), kPassedOn); // the window's own procedure is back
    ASSERT_TRUE(HookWindow(p.hwnd));
    auto r = recordsFor(p.hwnd);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_TRUE(r[0].removed);
    EXPECT_FALSE(r[1].removed);
    EXPECT_EQ(p.wheel(120).size(), 3u);
    // Unhooking acts on the record still in force, not on the first one.
    UnhookWindow(p.hwnd, false);
    r = recordsFor(p.hwnd);
    EXPECT_TRUE(r[0].removed && r[1].removed);
    EXPECT_EQ(p.wheel(120), kPassedOn);
}

TEST(WheelHook, NcDestroyAndChildActivationAfterPosChangingUnhook) {
    {
        Probe p;
        ASSERT_TRUE(HookWindow(p.hwnd));
        // The saved procedure gets the message, then is back in place.
        p.seen.clear();
        win::SendMessage(p.hwnd, win::WM_NCDESTROY, 0, 0);
        EXPECT_EQ(p.seen, (Seen{{win::WM_NCDESTROY, 0}}));
        EXPECT_TRUE(recordsFor(p.hwnd).back().removed);
        EXPECT_EQ(p.wheel(120), kPassedOn);
    }
    {
        Probe p;
        const win::HWND h = p.hwnd;
        ASSERT_TRUE(HookWindow(h));
        ASSERT_TRUE(win::DestroyWindow(h));
        EXPECT_TRUE(recordsFor(h).back().removed);
    }
    {
        Probe p;
        ASSERT_TRUE(HookWindow(p.hwnd));
        // Not directly after each other: still hooked.
        win::SendMessage(p.hwnd, win::WM_WINDOWPOSCHANGING, 0, 0);
        win::SendMessage(p.hwnd, win::WM_USER, 0, 0);
        win::SendMessage(p.hwnd, win::WM_CHILDACTIVATE, 0, 0);
        EXPECT_FALSE(recordsFor(p.hwnd).back().removed);
        win::SendMessage(p.hwnd, win::WM_WINDOWPOSCHANGING, 0, 0);
        win::SendMessage(p.hwnd, win::WM_CHILDACTIVATE, 0, 0);
        EXPECT_TRUE(recordsFor(p.hwnd).back().removed);
        EXPECT_EQ(p.wheel(120), kPassedOn);
    }
}

TEST(WheelHook, AFailingProcedureUnhooksAndNothingEscapes) {
    Probe p;
    p.onMessage = [](uint32_t m) {
        if (m == win::WM_USER)
            throw std::runtime_error("boom");
    };
    ASSERT_TRUE(HookWindow(p.hwnd));
    EXPECT_EQ(win::SendMessage(p.hwnd, win::WM_USER, 0, 0), 0);
    EXPECT_TRUE(recordsFor(p.hwnd).back().removed);
    p.onMessage = nullptr;
    EXPECT_EQ(p.wheel(120), kPassedOn);
}

TEST(WheelHook, AWindowDestroyedByItsWheelKeysGetsNothingMore) {
    Probe p;
    const win::HWND h = p.hwnd;
    p.onMessage = [&](uint32_t m) {
        if (m == win::WM_KEYUP)
            win::DestroyWindow(h);
    };
    ASSERT_TRUE(HookWindow(h));
    p.wheel(120);
    EXPECT_FALSE(win::IsWindow(h));
    ASSERT_FALSE(p.seen.empty());
    EXPECT_EQ(p.seen.back().first, win::WM_NCDESTROY); // no wheel message after it
    EXPECT_TRUE(recordsFor(h).back().removed);
}

TEST(WheelHook, ADisabledWindowIsStillRestoredWhenUnhooked) {
    Probe p;
    ASSERT_TRUE(HookWindow(p.hwnd));
    win::EnableWindow(p.hwnd, false);
    EXPECT_EQ(p.wheel(120), kPassedOn); // a disabled window is not live
    UnhookWindow(p.hwnd, false);
    win::EnableWindow(p.hwnd, true);
    EXPECT_EQ(p.wheel(120), kPassedOn);
    EXPECT_TRUE(recordsFor(p.hwnd).back().removed);
}

TEST(WheelHook, StateIsPerThread) {
    Probe p;
    ASSERT_TRUE(HookWindow(p.hwnd));
    wheelHookFlags().layoutRunning = true;
    size_t otherRecords = 99;
    bool otherFlag = true, otherHooked = false;
    std::thread t([&] {
        otherRecords = hookRecords().size();
        otherFlag = wheelHookFlags().layoutRunning;
        Probe q;
        otherHooked = HookWindow(q.hwnd) && q.wheel(120).size() == 3;
        // A window of another thread cannot be subclassed from here.
        EXPECT_FALSE(HookWindow(p.hwnd));
    });
    t.join();
    wheelHookFlags().layoutRunning = false;
    EXPECT_EQ(otherRecords, 0u);
    EXPECT_FALSE(otherFlag);
    EXPECT_TRUE(otherHooked);
    UnhookWindow(p.hwnd, false);
}

// --- the control's use of the hook ---

class ControlWheel : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("wheel_hook_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        setenv("tmp", dir.c_str(), 1);
        void* out = nullptr;
        ASSERT_EQ(DllGetClassObject(&CLSID_ImageBox, &ax::IID_IClassFactory, &out), ax::S_OK);
        factory = ax::ComPtr<ax::ClassFactory>::adopt(static_cast<ax::ClassFactory*>(out));
        image = (dir / "w.bmp").string();
        ASSERT_TRUE(viewer_test::writeBmp(
            image, 300, 200, [](int x, int y) { return viewer_test::quadrants(x, y, 300, 200); }));
    }
    void TearDown() override {
        unsetenv("tmp");
        fs::remove_all(dir);
    }
    static ImageBox& box(ax::HostedControl& c) { return static_cast<ImageBox&>(*c.control); }
    // Whether a wheel message sent to the control's window is turned into a key.
    bool wheelConverted(ax::HostedControl& c) {
        c.events->records.clear();
        win::SendMessage(c.hwnd(), win::WM_MOUSEWHEEL, kUp, 0);
        for (const auto& r : c.events->records)
            if (r.name == "KeyDownControl")
                return true;
        return false;
    }

    fs::path dir;
    std::string image;
    ax::HeadlessHost host;
    ax::ComPtr<ax::ClassFactory> factory;
};

TEST_F(ControlWheel, TheFirstDrawHooksOnceAndShutdownRestoresTheChain) {
    auto* c = host.create(*factory, 200, 150);
    const win::HWND h = c->hwnd();
    EXPECT_TRUE(recordsFor(h).empty());
    EXPECT_FALSE(wheelConverted(*c));
    ASSERT_EQ(box(*c).DisplayFromFile(image), QuennetStatus::OK);
    box(*c).Redraw();
    ASSERT_EQ(recordsFor(h).size(), 1u);
    EXPECT_TRUE(wheelConverted(*c));
    // Terminate is the shutdown the host may call early: the window's own procedure is
    // back while the window still exists.
    box(*c).Terminate();
    EXPECT_TRUE(recordsFor(h).back().removed);
    EXPECT_TRUE(win::IsWindow(h));
    EXPECT_FALSE(wheelConverted(*c));
    host.destroy(c);
    EXPECT_EQ(recordsFor(h).size(), 1u);
}

TEST_F(ControlWheel, DestroyingTheControlUnhooksItsWindow) {
    auto* c = host.create(*factory, 200, 150);
    const win::HWND h = c->hwnd();
    ASSERT_EQ(box(*c).DisplayFromFile(image), QuennetStatus::OK);
    ASSERT_FALSE(recordsFor(h).empty());
    host.destroy(c);
    for (const HookRecord& r : recordsFor(h))
        EXPECT_TRUE(r.removed);
}

TEST_F(ControlWheel, EnableMouseWheelOffOnOffLeavesTheWindowUnhooked) {
    auto* c = host.create(*factory, 200, 150);
    ImageBox& b = box(*c);
    const win::HWND h = c->hwnd();
    ASSERT_EQ(b.DisplayFromFile(image), QuennetStatus::OK);
    c->site->changedKeys.clear();
    b.put_EnableMouseWheel(false);
    EXPECT_FALSE(wheelConverted(*c));
    b.put_EnableMouseWheel(true);
    EXPECT_TRUE(wheelConverted(*c));
    b.put_EnableMouseWheel(false);
    EXPECT_FALSE(wheelConverted(*c));
    auto r = recordsFor(h);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_TRUE(r[0].removed && r[1].removed);
    EXPECT_EQ(c->site->changedKeys.size(), 3u);
    // Off without an image shown: on again hooks only at the next draw.
    b.CloseImage();
    b.put_EnableMouseWheel(true);
    EXPECT_EQ(recordsFor(h).size(), 2u);
    host.destroy(c);
}

TEST_F(ControlWheel, ADisabledControlIsNeverSubclassed) {
    auto* c = host.create(*factory, 200, 150);
    ImageBox& b = box(*c);
    b.put_Enabled(false);
    ASSERT_EQ(b.DisplayFromFile(image), QuennetStatus::OK);
    EXPECT_TRUE(recordsFor(c->hwnd()).empty());
    EXPECT_TRUE(b.state().m_WheelHooked);
    b.put_Enabled(true);
    EXPECT_FALSE(wheelConverted(*c));
    host.destroy(c);
}

} // namespace
