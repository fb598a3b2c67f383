#pragma once

#include <cstdint>
#include <functional>

#include "platform/win/window.h"

namespace win {

// Called as proc(hwnd, WM_TIMER, id, tickMs) from the message loop of the owning thread.
using TimerProc = std::function<void(HWND, uint32_t msg, uintptr_t id, uint32_t tickMs)>;

// Shortest period; shorter requests are raised to it.
inline constexpr uint32_t kMinTimerMs = 10;

// Starts a periodic timer. With a window, the id is the caller's (pointer-sized, never
// truncated) and the call returns it; the same (hwnd, id) replaces the existing timer
// and restarts its countdown. With hwnd 0 a new id (a 32-bit handle of kind Timer) is
// made and returned. Without a proc, the window receives WM_TIMER (wParam = the id's low
// 32 bits). Returns 0 for an invalid window. Timers fire only from the message loop, at
// most once per loop pass each (no backlog), and die with their window.
uintptr_t SetTimer(HWND hwnd, uintptr_t id, uint32_t periodMs, TimerProc proc = {});

// Stops the timer; true when it existed. Allowed from inside its own procedure.
bool KillTimer(HWND hwnd, uintptr_t id);

// The number of live timers of the thread (of one window when hwnd is not 0).
size_t TimerCount(HWND hwnd = 0);

// The thread clock time at which the next timer is due, or UINT64_MAX when none is set.
uint64_t NextTimerDue();

} // namespace win
