#include "viewer/wheel_hook.h"

#include <memory>

#include "platform/win/message_loop.h"

namespace tavimo {

namespace {

std::vector<HookRecord>& records() {
    thread_local std::vector<HookRecord> list;
    return list;
}

// The index of the window's record still in force, or -1.
int liveRecord(win::HWND hwnd) {
    auto& list = records();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].hwnd == hwnd && !list[i].removed)
            return static_cast<int>(i);
    return -1;
}

} // namespace

WheelHookFlags& wheelHookFlags() {
    thread_local WheelHookFlags flags;
    return flags;
}

void ClearWheelHookFlags() {
    WheelHookFlags& f = wheelHookFlags();
    f.mouseButtonDown = f.mouseMoving = f.keyDown = f.layoutRunning = false;
}

const std::vector<HookRecord>& hookRecords() {
    return records();
}

bool HookWindow(win::HWND hwnd) {
    try {
        if (!win::IsWindowEnabled(hwnd))
            return false;
        // The installed procedure keeps its own copy of the one it replaced, so a message
        // reaching it after its record is gone still ends in the right place.
        auto previous = std::make_shared<win::WndProc>();
        win::WndProc saved = win::SetWindowProc(
            hwnd, [previous](win::HWND h, uint32_t m, win::WPARAM w, win::LPARAM l) {
                return HookWndProc(h, m, w, l, *previous);
            });
        if (!saved)
            return false;
        *previous = saved;
        HookRecord r;
        r.hwnd = hwnd;
        r.savedProc = std::move(saved);
        records().push_back(std::move(r));
        return true;
    } catch (...) {
        return false;
    }
}

void UnhookWindow(win::HWND hwnd, bool fromHookProc) {
    try {
        if (liveRecord(hwnd) < 0)
            return;
        if (!fromHookProc)
            win::DoEvents();
        // The pending messages may have unhooked the window meanwhile.
        int i = liveRecord(hwnd);
        if (i < 0)
            return;
        HookRecord& r = records()[static_cast<size_t>(i)];
        r.removed = true;
        win::WndProc saved = r.savedProc;
        if (win::IsWindow(hwnd) && saved)
            win::SetWindowProc(hwnd, std::move(saved));
    } catch (...) {
    }
}

win::LRESULT HookWndProc(win::HWND hwnd, uint32_t msg, win::WPARAM wParam, win::LPARAM lParam,
                         const win::WndProc& fallback) {
    bool unhookAfter = msg == win::WM_NCDESTROY;
    bool failed = false;
    win::LRESULT result = 0;
    win::WndProc next = fallback;
    try {
        bool live = false;
        int i = liveRecord(hwnd);
        if (i >= 0) {
            HookRecord& r = records()[static_cast<size_t>(i)];
            if (r.lastMessage == win::WM_WINDOWPOSCHANGING && msg == win::WM_CHILDACTIVATE)
                unhookAfter = true;
            r.lastMessage = msg;
            next = r.savedProc;
            live = win::IsWindowEnabled(hwnd);
        }
        WheelHookFlags& f = wheelHookFlags();
        if (live && msg == win::WM_MOUSEWHEEL && !f.converting && !f.mouseButtonDown &&
            !f.mouseMoving && !f.keyDown && !f.layoutRunning) {
            const win::WPARAM key = win::WParamAsInt32(wParam) > 0 ? kWheelUpKey : kWheelDownKey;
            f.converting = true;
            try {
                if (win::SendMessage(hwnd, win::WM_KEYDOWN, key, 0) == 0)
                    win::SendMessage(hwnd, win::WM_KEYUP, key, 0);
            } catch (...) {
                failed = true;
            }
            wheelHookFlags().converting = false;
        }
    } catch (...) {
        failed = true;
    }
    try {
        // A window destroyed by the keys' handlers gets nothing more: its procedure may
        // belong to an object that is gone.
        if (win::IsWindow(hwnd) || msg == win::WM_NCDESTROY)
            result = win::CallWindowProc(next, hwnd, msg, wParam, lParam);
    } catch (...) {
        failed = true;
    }
    if (failed || unhookAfter)
        UnhookWindow(hwnd, true);
    return result;
}

} // namespace tavimo
