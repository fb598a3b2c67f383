#pragma once

#include <cstdint>
#include <functional>

#include "platform/win/window.h"

namespace win {

// Queues synthesized input (mouse, key and character messages) as a host's input source
// would. Mouse messages go to the capture window while there is one. Input for a
// disabled or destroyed window is dropped when it is dispatched.
bool PostInput(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);

// Dispatches what is pending when it is called (posted messages, then input, then the
// timers due at that moment, each at most once, in order of due time) and returns without
// waiting. Messages queued by the handlers wait for the next call. May be nested.
void DoEvents();

// Runs the loop for ms milliseconds of the thread clock. With a virtual clock the clock is
// moved to each timer's due time in turn, so timers fire in due order at their exact
// times; with the steady clock the thread sleeps between due times.
void RunFor(uint64_t ms);

// Runs the loop until pred() is true (checked after each pass) or timeoutMs elapse;
// returns the last value of pred().
bool RunUntil(const std::function<bool()>& pred, uint64_t timeoutMs);

// Messages (posted and input) waiting in the thread's queues.
size_t PendingMessages();

} // namespace win
