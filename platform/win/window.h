#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/win/window_messages.h"

namespace win {

// The window system. Windows belong to the thread that created them; every call made
// from another thread, with 0, a destroyed or a forged handle fails (0, false or an empty
// procedure) and touches nothing. Handles are 32-bit values of kind Window from the
// handle tables and are not handed out again in the process.
using HWND = uint32_t;
using WPARAM = uint32_t;
using LPARAM = int32_t;
using LRESULT = int32_t;

// A window procedure. Procedures form a chain: a subclass installs its own with
// SetWindowProc and hands the messages it does not want to the previous one through
// CallWindowProc.
using WndProc = std::function<LRESULT(HWND, uint32_t msg, WPARAM, LPARAM)>;

struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Creates a window (hidden unless visible). parent 0 makes a top-level window; an invalid
// parent makes the call fail with 0. An empty procedure means DefWindowProc. Negative
// sizes become 0. No message is sent during creation.
HWND CreateWindow(const std::string& className, HWND parent, const WindowRect& bounds, WndProc proc,
                  bool visible = false);

// Destroys the window: takes the focus and the capture away from it and its children,
// sends WM_DESTROY, destroys the children (last created first), kills the window's
// timers, drops its queued messages and finally sends WM_NCDESTROY through the procedure
// current at that moment (which may replace itself meanwhile), then frees the handle.
// A second call for a window being destroyed, or for an unknown handle, returns false.
bool DestroyWindow(HWND hwnd);

bool IsWindow(HWND hwnd);

// Installs proc and returns the previous procedure (empty on failure). An empty proc is
// refused, as the chain must always end in a procedure.
WndProc SetWindowProc(HWND hwnd, WndProc proc);
WndProc GetWindowProc(HWND hwnd);

// Calls proc (DefWindowProc when proc is empty) with the message.
LRESULT CallWindowProc(const WndProc& proc, HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);

// Calls the window's current procedure at once and returns its result (0 for an invalid
// window). Re-entrant: a procedure may send messages to any window, itself included.
LRESULT SendMessage(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);

// Queues the message for the thread's message loop; false for an invalid window.
bool PostMessage(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);

// The default procedure: WM_MOUSEWHEEL goes on to the parent (so a wheel turn on a
// child reaches the window that handles it); everything else answers 0.
LRESULT DefWindowProc(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);

HWND GetParent(HWND hwnd);
std::string GetClassName(HWND hwnd);

// Enables or disables the window (sends WM_ENABLE when the state changes). Returns true
// when the window was disabled before, like the system call.
bool EnableWindow(HWND hwnd, bool enable);
bool IsWindowEnabled(HWND hwnd);

// Shows or hides the window (sends WM_SHOWWINDOW when the state changes); false for an
// invalid window.
bool ShowWindow(HWND hwnd, bool visible);
bool IsWindowVisible(HWND hwnd);

// Moves and sizes the window; sends WM_SIZE with the new size (width in the low word,
// height in the high word of lParam) when the size changed.
bool MoveWindow(HWND hwnd, const WindowRect& bounds);
bool GetWindowRect(HWND hwnd, WindowRect& bounds);

// Keyboard focus of the thread. SetFocus sends WM_KILLFOCUS (wParam = the new window) to
// the old owner, then WM_SETFOCUS (wParam = the old owner) to the new, in that order.
// SetFocus(0) clears the focus. A disabled, hidden or invalid window is refused and
// the call returns 0 without any message; otherwise it returns the previous owner.
HWND SetFocus(HWND hwnd);
HWND GetFocus();

// Mouse capture of the thread: while set, mouse input goes to that window.
HWND SetCapture(HWND hwnd);
bool ReleaseCapture();
HWND GetCapture();

// Key state of the thread as the host reports it (the high bit set while the key is down).
void SetKeyState(int virtualKey, bool down);
int16_t GetKeyState(int virtualKey);

// The number of live windows of the calling thread.
size_t WindowCount();

} // namespace win
