#pragma once

#include <cstdint>
#include <vector>

#include "platform/win/window.h"

namespace tavimo {

// The control framework gives a control no wheel event, so the control subclasses its own
// window: the hook procedure turns each WM_MOUSEWHEEL into a key press of virtual key 107
// (wheel away from the user) or 109 (towards the user), sent to the same window, and passes
// every message on. All of this state is per thread: controls of one thread share it,
// controls of different threads never do.

// The per-thread busy flags: while any is set, or while a wheel message is being turned
// into keys (converting), the hook passes wheel messages on without converting them.
struct WheelHookFlags {
    bool mouseButtonDown = false; // from button down to button up in the control
    bool mouseMoving = false;     // while the control's mouse-move handler runs
    bool keyDown = false;         // from key down to the end of the key-up handler
    bool layoutRunning = false;   // while the control lays out or repaints
    bool converting = false;      // the re-entry guard of the hook procedure
};

WheelHookFlags& wheelHookFlags();
// Clears the four busy flags (the control's shutdown does this).
void ClearWheelHookFlags();

// One subclassed window. Records are appended, one per hook, and never dropped: a removed
// record stays, and hooking the same window again appends a new one.
struct HookRecord {
    win::HWND hwnd = 0;
    win::WndProc savedProc; // the procedure the hook replaced
    bool removed = false;
    uint32_t lastMessage = 0;
};

// The calling thread's records, oldest first.
const std::vector<HookRecord>& hookRecords();

// Subclasses the window with the hook procedure. A disabled (or invalid) window is not
// hooked: false, and no record is made.
bool HookWindow(win::HWND hwnd);

// Removes the subclassing of the window's record still in force (if any): outside the hook
// procedure pending messages are dispatched first; the saved procedure is put back, also
// on a disabled window, and the record is marked removed. Never throws.
void UnhookWindow(win::HWND hwnd, bool fromHookProc);

// The hook procedure. `fallback` is the procedure the hook replaced at install time; it
// serves messages that arrive when no record of the window is in force any more (another
// subclass installed over the hook may still call it).
win::LRESULT HookWndProc(win::HWND hwnd, uint32_t msg, win::WPARAM wParam, win::LPARAM lParam,
                         const win::WndProc& fallback = {});

// Virtual keys the hook sends for a wheel turn.
inline constexpr int kWheelUpKey = 107;   // numeric-pad plus
inline constexpr int kWheelDownKey = 109; // numeric-pad minus

} // namespace tavimo
