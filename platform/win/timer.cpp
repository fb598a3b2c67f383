#include "platform/win/timer.h"

#include <algorithm>
#include <limits>

#include "platform/win/clock.h"
#include "platform/win/window_internal.h"

namespace win {

namespace detail {

HandleTable<int>& timerIdTable() {
    static HandleTable<int> table(HandleKind::Timer);
    return table;
}

void killWindowTimers(HWND hwnd) {
    auto& timers = threadState().timers;
    std::erase_if(timers, [hwnd](const TimerRecord& t) { return t.hwnd == hwnd; });
}

void dispatchDueTimers() {
    auto& state = threadState();
    uint64_t now = ThreadClock().nowMs();
    // Due at entry, in order of due time (then of creation); each fires once.
    std::vector<std::pair<uint64_t, uint64_t>> due; // (dueMs, serial)
    for (const auto& t : state.timers)
        if (t.dueMs <= now)
            due.emplace_back(t.dueMs, t.serial);
    std::sort(due.begin(), due.end());
    for (const auto& [dueMs, serial] : due) {
        auto it = std::find_if(state.timers.begin(), state.timers.end(),
                               [wanted = serial](const TimerRecord& t) { return t.serial == wanted; });
        if (it == state.timers.end())
            continue; // killed or replaced by an earlier handler
        // The next tick counts from now, so a late loop gets no backlog.
        uint64_t tickNow = ThreadClock().nowMs();
        it->dueMs = tickNow + it->periodMs;
        HWND hwnd = it->hwnd;
        uintptr_t id = it->id;
        auto proc = it->proc;
        uint32_t tick = static_cast<uint32_t>(tickNow);
        if (proc)
            (*proc)(hwnd, WM_TIMER, id, tick);
        else if (hwnd != 0)
            SendMessage(hwnd, WM_TIMER, static_cast<WPARAM>(id), static_cast<LPARAM>(tick));
    }
}

} // namespace detail

using detail::threadState;
using detail::TimerRecord;

uintptr_t SetTimer(HWND hwnd, uintptr_t id, uint32_t periodMs, TimerProc proc) {
    if (hwnd != 0) {
        auto* record = detail::findWindow(hwnd);
        if (!record || record->destroying)
            return 0;
    } else {
        id = detail::timerIdTable().add(std::make_unique<int>(0));
    }
    auto& state = threadState();
    TimerRecord timer;
    timer.hwnd = hwnd;
    timer.id = id;
    timer.periodMs = std::max(periodMs, kMinTimerMs);
    timer.dueMs = ThreadClock().nowMs() + timer.periodMs;
    timer.serial = state.nextTimerSerial++;
    if (proc)
        timer.proc = std::make_shared<const TimerProc>(std::move(proc));
    auto it = std::find_if(state.timers.begin(), state.timers.end(),
                           [&](const TimerRecord& t) { return t.hwnd == hwnd && t.id == id; });
    if (it != state.timers.end())
        *it = std::move(timer);
    else
        state.timers.push_back(std::move(timer));
    return id;
}

bool KillTimer(HWND hwnd, uintptr_t id) {
    auto& timers = threadState().timers;
    auto it = std::find_if(timers.begin(), timers.end(),
                           [&](const TimerRecord& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers.end())
        return false;
    timers.erase(it);
    if (hwnd == 0)
        detail::timerIdTable().remove(static_cast<uint32_t>(id));
    return true;
}

size_t TimerCount(HWND hwnd) {
    const auto& timers = threadState().timers;
    if (hwnd == 0)
        return timers.size();
    return static_cast<size_t>(std::count_if(
        timers.begin(), timers.end(), [hwnd](const TimerRecord& t) { return t.hwnd == hwnd; }));
}

uint64_t NextTimerDue() {
    uint64_t next = std::numeric_limits<uint64_t>::max();
    for (const auto& t : threadState().timers)
        next = std::min(next, t.dueMs);
    return next;
}

} // namespace win
