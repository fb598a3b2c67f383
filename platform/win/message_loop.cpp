#include "platform/win/message_loop.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/win/clock.h"
#include "platform/win/timer.h"
#include "platform/win/window_internal.h"

namespace win {

using detail::threadState;

namespace {

bool isMouseMessage(uint32_t msg) {
    return msg >= WM_MOUSEMOVE && msg <= WM_MOUSEWHEEL;
}

void dispatchInput(const detail::QueuedMessage& m) {
    HWND target = m.hwnd;
    HWND capture = threadState().capture;
    if (isMouseMessage(m.msg) && m.msg != WM_MOUSEWHEEL && capture != 0)
        target = capture;
    // A disabled window gets no input.
    if (!IsWindowEnabled(target))
        return;
    SendMessage(target, m.msg, m.wParam, m.lParam);
}

} // namespace

bool PostInput(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hwnd))
        return false;
    threadState().input.push_back({hwnd, msg, wParam, lParam});
    return true;
}

void DoEvents() {
    auto& state = threadState();
    // Only what is pending now; handlers that post again are served by the next pass.
    size_t posted = state.posted.size();
    for (size_t i = 0; i < posted && !state.posted.empty(); ++i) {
        auto m = state.posted.front();
        state.posted.pop_front();
        SendMessage(m.hwnd, m.msg, m.wParam, m.lParam);
    }
    size_t input = state.input.size();
    for (size_t i = 0; i < input && !state.input.empty(); ++i) {
        auto m = state.input.front();
        state.input.pop_front();
        dispatchInput(m);
    }
    detail::dispatchDueTimers();
}

void RunFor(uint64_t ms) {
    Clock& clock = ThreadClock();
    uint64_t end = clock.nowMs() + ms;
    VirtualClock* virtualClock = ThreadVirtualClock();
    for (;;) {
        DoEvents();
        uint64_t now = clock.nowMs();
        if (now >= end)
            break;
        uint64_t next = std::min(NextTimerDue(), end);
        if (PendingMessages() != 0)
            continue;
        if (virtualClock) {
            virtualClock->setNow(std::max(next, now));
        } else if (next > now) {
            std::this_thread::sleep_for(
                std::chrono::milliseconds(std::min<uint64_t>(next - now, 50)));
        }
    }
}

bool RunUntil(const std::function<bool()>& pred, uint64_t timeoutMs) {
    Clock& clock = ThreadClock();
    uint64_t end = clock.nowMs() + timeoutMs;
    VirtualClock* virtualClock = ThreadVirtualClock();
    for (;;) {
        DoEvents();
        if (pred())
            return true;
        uint64_t now = clock.nowMs();
        if (now >= end)
            return false;
        if (PendingMessages() != 0)
            continue;
        uint64_t next = std::min(NextTimerDue(), end);
        if (virtualClock)
            virtualClock->setNow(std::max(next, now));
        else if (next > now)
            std::this_thread::sleep_for(
                std::chrono::milliseconds(std::min<uint64_t>(next - now, 50)));
    }
}

size_t PendingMessages() {
    auto& state = threadState();
    return state.posted.size() + state.input.size();
}

} // namespace win
