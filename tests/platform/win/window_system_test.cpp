#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/clock.h"
#include "platform/win/message_loop.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

using namespace win;

namespace {

struct Log {
    std::vector<std::string> lines;
    void add(const std::string& s) { lines.push_back(s); }
};

WndProc recorder(Log& log, const std::string& name) {
    return [&log, name](HWND h, uint32_t msg, WPARAM w, LPARAM l) -> LRESULT {
        log.add(name + ":" + std::to_string(msg));
        return DefWindowProc(h, msg, w, l);
    };
}

class WindowSystemTest : public ::testing::Test {
protected:
    void SetUp() override { SetThreadClock(&clock); }
    void TearDown() override { SetThreadClock(nullptr); }
    VirtualClock clock{1000};
};

} // namespace

TEST_F(WindowSystemTest, SubclassChainCallsPreviousAndRestores) {
    Log log;
    HWND h = CreateWindow("Test", 0, {0, 0, 10, 10}, recorder(log, "base"));
    ASSERT_NE(h, 0u);
    WndProc previous;
    previous = SetWindowProc(h, [&](HWND hh, uint32_t msg, WPARAM w, LPARAM l) -> LRESULT {
        log.add("sub:" + std::to_string(msg));
        if (msg == WM_USER + 1)
            return 42; // swallowed by the subclass
        return CallWindowProc(previous, hh, msg, w, l);
    });
    ASSERT_TRUE(previous);
    EXPECT_EQ(SendMessage(h, WM_USER + 1, 0, 0), 42);
    SendMessage(h, WM_USER + 2, 0, 0);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"sub:1025", "sub:1026", "base:1026"}));

    WndProc mine = SetWindowProc(h, previous);
    EXPECT_TRUE(mine);
    log.lines.clear();
    SendMessage(h, WM_USER + 1, 0, 0);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"base:1025"}));
    EXPECT_FALSE(SetWindowProc(h, WndProc{})); // an empty procedure is refused
    DestroyWindow(h);
}

TEST_F(WindowSystemTest, DestroySendsNcDestroyLastThroughCurrentProcAndKillsTimers) {
    Log log;
    HWND parent = CreateWindow("P", 0, {0, 0, 10, 10}, recorder(log, "parent"));
    HWND child = CreateWindow("C", parent, {0, 0, 5, 5}, recorder(log, "child"));
    int ticks = 0;
    SetTimer(parent, 7, 20, [&](HWND, uint32_t, uintptr_t, uint32_t) { ++ticks; });
    // A subclass that takes itself out of the chain on the last message.
    WndProc base;
    base = SetWindowProc(parent, [&](HWND hh, uint32_t msg, WPARAM w, LPARAM l) -> LRESULT {
        if (msg == WM_NCDESTROY) {
            log.add("sub:ncdestroy");
            SetWindowProc(hh, base);
        }
        return CallWindowProc(base, hh, msg, w, l);
    });
    EXPECT_TRUE(DestroyWindow(parent));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"parent:2", "child:2", "child:130",
                                                   "sub:ncdestroy", "parent:130"}));
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(DestroyWindow(parent));
    EXPECT_EQ(TimerCount(), 0u);
    RunFor(100);
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(SendMessage(parent, WM_USER, 0, 0), 0); // stale handle refused
}

TEST_F(WindowSystemTest, HandlesAreNotReusedAndOtherThreadsAreRefused) {
    std::set<HWND> seen;
    for (int i = 0; i < 50; ++i) {
        HWND h = CreateWindow("T", 0, {}, {});
        EXPECT_TRUE(seen.insert(h).second);
        DestroyWindow(h);
    }
    HWND mine = CreateWindow("T", 0, {}, {});
    bool otherSees = true;
    std::thread([&] {
        otherSees = IsWindow(mine) || SendMessage(mine, WM_USER, 0, 0) != 0;
    }).join();
    EXPECT_FALSE(otherSees);
    EXPECT_TRUE(IsWindow(mine));
    EXPECT_EQ(CreateWindow("T", 0xDEAD, {}, {}), 0u); // forged parent
    DestroyWindow(mine);
}

TEST_F(WindowSystemTest, TimersFireInDueOrderOnlyInsideTheLoop) {
    HWND h = CreateWindow("T", 0, {}, {});
    std::vector<std::string> fired;
    auto proc = [&](HWND, uint32_t msg, uintptr_t id, uint32_t tick) {
        EXPECT_EQ(msg, WM_TIMER);
        fired.push_back(std::to_string(id) + "@" + std::to_string(tick - 1000));
    };
    uintptr_t bigId = (uintptr_t{1} << 40) | 3; // pointer-sized ids keep their high bits
    EXPECT_EQ(SetTimer(h, 30, 30, proc), 30u);
    EXPECT_EQ(SetTimer(h, 20, 20, proc), 20u);
    EXPECT_EQ(SetTimer(h, bigId, 5, proc), bigId); // raised to the 10 ms minimum
    RunFor(40);
    // Equal due times fire in the order the timers were made.
    std::string big = std::to_string(bigId);
    EXPECT_EQ(fired, (std::vector<std::string>{big + "@10", "20@20", big + "@20", "30@30",
                                               big + "@30", "20@40", big + "@40"}));
    // Replacing restarts the countdown; killing from inside the proc works.
    fired.clear();
    SetTimer(h, 20, 25, [&](HWND hh, uint32_t, uintptr_t id, uint32_t) {
        fired.push_back("once");
        EXPECT_TRUE(KillTimer(hh, id));
    });
    KillTimer(h, 30);
    KillTimer(h, bigId);
    RunFor(100);
    EXPECT_EQ(fired, (std::vector<std::string>{"once"}));
    EXPECT_FALSE(KillTimer(h, 20));
    DestroyWindow(h);
}

TEST_F(WindowSystemTest, MovingTheClockAloneFiresNothing) {
    int ticks = 0;
    uintptr_t id = SetTimer(0, 0, 10, [&](HWND, uint32_t, uintptr_t, uint32_t) { ++ticks; });
    clock.advance(15);
    EXPECT_EQ(ticks, 0);
    DoEvents();
    EXPECT_EQ(ticks, 1);
    KillTimer(0, id);
}

TEST_F(WindowSystemTest, LateLoopGetsOneTickPerTimerNotABacklog) {
    int ticks = 0;
    uintptr_t id = SetTimer(0, 0, 10, [&](HWND, uint32_t, uintptr_t, uint32_t) { ++ticks; });
    EXPECT_NE(id, 0u);
    clock.advance(1000);
    DoEvents();
    EXPECT_EQ(ticks, 1);
    EXPECT_TRUE(KillTimer(0, id));
}

TEST_F(WindowSystemTest, DoEventsRunsPendingOnlyAndMayNest) {
    std::vector<std::string> order;
    HWND h = 0;
    int depth = 0;
    h = CreateWindow("T", 0, {0, 0, 10, 10},
                     [&](HWND hh, uint32_t msg, WPARAM w, LPARAM) -> LRESULT {
                         if (msg == WM_USER) {
                             order.push_back("posted" + std::to_string(w));
                             if (w == 1) {
                                 PostMessage(hh, WM_USER, 3, 0); // waits for a later pass
                                 ++depth;
                                 DoEvents(); // nested pump runs the rest now
                                 --depth;
                             }
                         } else if (msg == WM_KEYDOWN) {
                             order.push_back("key" + std::to_string(w) + (depth ? "-nested" : ""));
                         }
                         return 0;
                     });
    PostMessage(h, WM_USER, 1, 0);
    PostMessage(h, WM_USER, 2, 0);
    PostInput(h, WM_KEYDOWN, VK_ADD, 0);
    DoEvents();
    EXPECT_EQ(order, (std::vector<std::string>{"posted1", "posted2", "posted3", "key107-nested"}));
    EXPECT_EQ(PendingMessages(), 0u);

    order.clear();
    EnableWindow(h, false);
    PostInput(h, WM_KEYDOWN, VK_SUBTRACT, 0);
    DoEvents();
    EXPECT_TRUE(order.empty()); // a disabled window gets no input
    EXPECT_FALSE(IsWindowEnabled(h));
    DestroyWindow(h);
}

TEST_F(WindowSystemTest, SendMessageIsReentrant) {
    HWND h = 0;
    h = CreateWindow("T", 0, {}, [&](HWND hh, uint32_t msg, WPARAM w, LPARAM) -> LRESULT {
        if (msg == WM_USER && w > 0)
            return 1 + SendMessage(hh, WM_USER, w - 1, 0);
        return 0;
    });
    EXPECT_EQ(SendMessage(h, WM_USER, 5, 0), 5);
    DestroyWindow(h);
}

TEST_F(WindowSystemTest, FocusSendsLostBeforeGotAndWheelBubblesToParent) {
    Log log;
    HWND parent = CreateWindow("P", 0, {0, 0, 10, 10}, recorder(log, "p"), true);
    HWND a = CreateWindow("A", parent, {0, 0, 5, 5}, recorder(log, "a"), true);
    HWND b = CreateWindow("B", parent, {0, 0, 5, 5}, recorder(log, "b"), true);
    HWND hidden = CreateWindow("H", parent, {0, 0, 5, 5}, recorder(log, "h"));
    EXPECT_EQ(SetFocus(a), 0u);
    log.lines.clear();
    EXPECT_EQ(SetFocus(b), a);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"a:8", "b:7"}));
    EXPECT_EQ(GetFocus(), b);
    EXPECT_EQ(SetFocus(hidden), 0u);
    EXPECT_EQ(GetFocus(), b);
    log.lines.clear();
    SendMessage(b, WM_MOUSEWHEEL, MakeWheelWParam(-120, 0), 0);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"b:522", "p:522"}));
    EXPECT_EQ(HiWordSigned(MakeWheelWParam(-120, MK_SHIFT)), -120);
    EXPECT_LT(WParamAsInt32(MakeWheelWParam(-120, 0)), 0);
    EXPECT_GT(WParamAsInt32(MakeWheelWParam(120, 0)), 0);
    DestroyWindow(parent);
    EXPECT_EQ(GetFocus(), 0u);
    EXPECT_EQ(WindowCount(), 0u);
}

TEST_F(WindowSystemTest, MoveWindowReportsNewSize) {
    WindowRect seen;
    HWND h =
        CreateWindow("T", 0, {0, 0, 10, 10}, [&](HWND, uint32_t msg, WPARAM, LPARAM l) -> LRESULT {
            if (msg == WM_SIZE)
                seen = {0, 0, LoWord(static_cast<uint32_t>(l)), HiWord(static_cast<uint32_t>(l))};
            return 0;
        });
    MoveWindow(h, {5, 6, 300, 200});
    EXPECT_EQ(seen.width, 300);
    EXPECT_EQ(seen.height, 200);
    WindowRect r;
    ASSERT_TRUE(GetWindowRect(h, r));
    EXPECT_EQ(r.left, 5);
    DestroyWindow(h);
}
