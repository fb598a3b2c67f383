#pragma once

// State of the window system shared by the window, timer and message-loop files.

#include <array>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "platform/win/handles.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

namespace win::detail {

struct WindowRecord {
    std::thread::id owner;
    HWND parent = 0;
    std::string className;
    // Shared so that a procedure replacing itself while it runs stays alive until it
    // returns.
    std::shared_ptr<const WndProc> proc;
    bool enabled = true;
    bool visible = false;
    bool destroying = false;
    WindowRect bounds;
    std::vector<HWND> children;
};

struct QueuedMessage {
    HWND hwnd;
    uint32_t msg;
    WPARAM wParam;
    LPARAM lParam;
};

struct TimerRecord {
    HWND hwnd = 0;
    uintptr_t id = 0;
    uint32_t periodMs = 0;
    uint64_t dueMs = 0;
    uint64_t serial = 0; // tells a replaced timer from its replacement
    std::shared_ptr<const TimerProc> proc;
};

struct ThreadState {
    HWND focus = 0;
    HWND capture = 0;
    std::deque<QueuedMessage> posted;
    std::deque<QueuedMessage> input;
    std::vector<TimerRecord> timers;
    uint64_t nextTimerSerial = 1;
    std::array<bool, 256> keys{};
    std::vector<HWND> windows; // live windows of the thread, in creation order
};

ThreadState& threadState();
HandleTable<WindowRecord>& windowTable();
HandleTable<int>& timerIdTable();

// The record of a live window owned by the calling thread, else null.
WindowRecord* findWindow(HWND hwnd);

void killWindowTimers(HWND hwnd);
void dropQueuedMessages(HWND hwnd);
void dispatchDueTimers();

} // namespace win::detail
