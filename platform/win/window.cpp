#include "platform/win/window.h"

#include <algorithm>

#include "platform/win/window_internal.h"

namespace win {

namespace detail {

ThreadState& threadState() {
    thread_local ThreadState state;
    return state;
}

HandleTable<WindowRecord>& windowTable() {
    // One table for the process, so a handle is never handed out twice, whichever
    // thread asks; records remember their thread and refuse the others.
    static HandleTable<WindowRecord> table(HandleKind::Window);
    return table;
}

WindowRecord* findWindow(HWND hwnd) {
    if (hwnd == 0)
        return nullptr;
    WindowRecord* record = windowTable().get(hwnd);
    if (!record || record->owner != std::this_thread::get_id())
        return nullptr;
    return record;
}

void dropQueuedMessages(HWND hwnd) {
    auto& state = threadState();
    auto matches = [hwnd](const QueuedMessage& m) { return m.hwnd == hwnd; };
    state.posted.erase(std::remove_if(state.posted.begin(), state.posted.end(), matches),
                       state.posted.end());
    state.input.erase(std::remove_if(state.input.begin(), state.input.end(), matches),
                      state.input.end());
}

} // namespace detail

using detail::findWindow;
using detail::threadState;
using detail::WindowRecord;

HWND CreateWindow(const std::string& className, HWND parent, const WindowRect& bounds, WndProc proc,
                  bool visible) {
    WindowRecord* parentRecord = nullptr;
    if (parent != 0) {
        parentRecord = findWindow(parent);
        if (!parentRecord || parentRecord->destroying)
            return 0;
    }
    auto record = std::make_unique<WindowRecord>();
    record->owner = std::this_thread::get_id();
    record->parent = parent;
    record->className = className;
    record->proc = std::make_shared<const WndProc>(proc ? std::move(proc) : WndProc(DefWindowProc));
    record->visible = visible;
    record->bounds = bounds;
    record->bounds.width = std::max(0, bounds.width);
    record->bounds.height = std::max(0, bounds.height);
    HWND hwnd = detail::windowTable().add(std::move(record));
    if (parentRecord)
        parentRecord->children.push_back(hwnd);
    threadState().windows.push_back(hwnd);
    return hwnd;
}

namespace {

bool isSelfOrDescendant(HWND candidate, HWND ancestor) {
    while (candidate != 0) {
        if (candidate == ancestor)
            return true;
        WindowRecord* record = findWindow(candidate);
        candidate = record ? record->parent : 0;
    }
    return false;
}

} // namespace

bool DestroyWindow(HWND hwnd) {
    WindowRecord* record = findWindow(hwnd);
    if (!record || record->destroying)
        return false;
    record->destroying = true;
    auto& state = threadState();
    if (state.focus != 0 && isSelfOrDescendant(state.focus, hwnd))
        SetFocus(0);
    if (state.capture != 0 && isSelfOrDescendant(state.capture, hwnd))
        state.capture = 0;

    SendMessage(hwnd, WM_DESTROY, 0, 0);

    // Children go first, newest first; each unlinks itself from this list.
    for (;;) {
        record = findWindow(hwnd);
        if (!record || record->children.empty())
            break;
        HWND child = record->children.back();
        if (!DestroyWindow(child)) {
            record = findWindow(hwnd);
            if (record)
                std::erase(record->children, child);
        }
    }

    detail::killWindowTimers(hwnd);
    detail::dropQueuedMessages(hwnd);

    // The procedure current now gets the last message, so a subclass can still take
    // itself out of the chain here.
    SendMessage(hwnd, WM_NCDESTROY, 0, 0);

    record = findWindow(hwnd);
    if (record && record->parent != 0) {
        if (WindowRecord* parentRecord = findWindow(record->parent))
            std::erase(parentRecord->children, hwnd);
    }
    std::erase(state.windows, hwnd);
    if (state.focus == hwnd)
        state.focus = 0;
    if (state.capture == hwnd)
        state.capture = 0;
    detail::windowTable().remove(hwnd);
    return true;
}

bool IsWindow(HWND hwnd) {
    return findWindow(hwnd) != nullptr;
}

WndProc SetWindowProc(HWND hwnd, WndProc proc) {
    WindowRecord* record = findWindow(hwnd);
    if (!record || !proc)
        return {};
    WndProc previous = *record->proc;
    record->proc = std::make_shared<const WndProc>(std::move(proc));
    return previous;
}

WndProc GetWindowProc(HWND hwnd) {
    WindowRecord* record = findWindow(hwnd);
    return record ? *record->proc : WndProc{};
}

LRESULT CallWindowProc(const WndProc& proc, HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    if (!proc)
        return DefWindowProc(hwnd, msg, wParam, lParam);
    return proc(hwnd, msg, wParam, lParam);
}

LRESULT SendMessage(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = findWindow(hwnd);
    if (!record)
        return 0;
    std::shared_ptr<const WndProc> proc = record->proc;
    return (*proc)(hwnd, msg, wParam, lParam);
}

bool PostMessage(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = findWindow(hwnd);
    if (!record || record->destroying)
        return false;
    threadState().posted.push_back({hwnd, msg, wParam, lParam});
    return true;
}

LRESULT DefWindowProc(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_MOUSEWHEEL) {
        HWND parent = GetParent(hwnd);
        if (parent != 0)
            return SendMessage(parent, msg, wParam, lParam);
    }
    return 0;
}

HWND GetParent(HWND hwnd) {
    WindowRecord* record = findWindow(hwnd);
    return record ? record->parent : 0;
}

std::string GetClassName(HWND hwnd) {
    WindowRecord* record = findWindow(hwnd);
    return record ? record->className : std::string();
}

bool EnableWindow(HWND hwnd, bool enable) {
    WindowRecord* record = findWindow(hwnd);
    if (!record)
        return false;
    bool wasDisabled = !record->enabled;
    if (record->enabled != enable) {
        record->enabled = enable;
        if (!enable) {
            auto& state = threadState();
            if (state.focus != 0 && isSelfOrDescendant(state.focus, hwnd))
                SetFocus(0);
            if (state.capture == hwnd)
                state.capture = 0;
        }
        SendMessage(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
    }
    return wasDisabled;
}

bool IsWindowEnabled(HWND hwnd) {
    WindowRecord* record = findWindow(hwnd);
    return record && record->enabled;
}

bool ShowWindow(HWND hwnd, bool visible) {
    WindowRecord* record = findWindow(hwnd);
    if (!record)
        return false;
    if (record->visible != visible) {
        record->visible = visible;
        if (!visible) {
            auto& state = threadState();
            if (state.focus != 0 && isSelfOrDescendant(state.focus, hwnd))
                SetFocus(0);
        }
        SendMessage(hwnd, WM_SHOWWINDOW, visible ? 1 : 0, 0);
    }
    return true;
}

bool IsWindowVisible(HWND hwnd) {
    WindowRecord* record = findWindow(hwnd);
    return record && record->visible;
}

bool MoveWindow(HWND hwnd, const WindowRect& bounds) {
    WindowRecord* record = findWindow(hwnd);
    if (!record)
        return false;
    WindowRect fixed = bounds;
    fixed.width = std::clamp(fixed.width, 0, 0x7FFF);
    fixed.height = std::clamp(fixed.height, 0, 0x7FFF);
    bool resized = fixed.width != record->bounds.width || fixed.height != record->bounds.height;
    record->bounds = fixed;
    if (resized)
        SendMessage(hwnd, WM_SIZE, 0,
                    static_cast<LPARAM>(MakeLong(static_cast<uint16_t>(fixed.width),
                                                 static_cast<uint16_t>(fixed.height))));
    return true;
}

bool GetWindowRect(HWND hwnd, WindowRect& bounds) {
    WindowRecord* record = findWindow(hwnd);
    if (!record)
        return false;
    bounds = record->bounds;
    return true;
}

HWND SetFocus(HWND hwnd) {
    auto& state = threadState();
    if (hwnd != 0) {
        WindowRecord* record = findWindow(hwnd);
        if (!record || record->destroying || !record->enabled || !record->visible)
            return 0;
    }
    HWND previous = state.focus;
    if (previous == hwnd)
        return previous;
    state.focus = hwnd;
    if (previous != 0 && IsWindow(previous))
        SendMessage(previous, WM_KILLFOCUS, hwnd, 0);
    // The old owner's handler may have moved the focus elsewhere; only a focus still
    // ours is announced.
    if (hwnd != 0 && state.focus == hwnd)
        SendMessage(hwnd, WM_SETFOCUS, previous, 0);
    return previous;
}

HWND GetFocus() {
    return threadState().focus;
}

HWND SetCapture(HWND hwnd) {
    auto& state = threadState();
    HWND previous = state.capture;
    if (IsWindow(hwnd))
        state.capture = hwnd;
    return previous;
}

bool ReleaseCapture() {
    threadState().capture = 0;
    return true;
}

HWND GetCapture() {
    return threadState().capture;
}

void SetKeyState(int virtualKey, bool down) {
    if (virtualKey >= 0 && virtualKey < 256)
        threadState().keys[static_cast<size_t>(virtualKey)] = down;
}

int16_t GetKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey >= 256)
        return 0;
    return threadState().keys[static_cast<size_t>(virtualKey)] ? static_cast<int16_t>(0x8000) : 0;
}

size_t WindowCount() {
    return threadState().windows.size();
}

} // namespace win
