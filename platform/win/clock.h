#pragma once

#include <cstdint>

namespace win {

// The time source of a thread's timers and message loop. Programs use the steady clock;
// tests install a virtual clock so that time only moves when they say so.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary, fixed origin; never goes backwards.
    virtual uint64_t nowMs() const = 0;
};

class SteadyClock final : public Clock {
public:
    uint64_t nowMs() const override;
};

// A clock that stands still until advanced. Advancing only moves the time: due timers
// fire when the message loop runs (RunFor advances a virtual clock step by step and
// dispatches each timer at its due time).
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(uint64_t startMs = 0) : m_now(startMs) {}
    uint64_t nowMs() const override { return m_now; }
    void advance(uint64_t ms) { m_now += ms; }
    // Moves to an absolute time; a time in the past is ignored.
    void setNow(uint64_t ms) {
        if (ms > m_now)
            m_now = ms;
    }

private:
    uint64_t m_now;
};

// The clock of the calling thread (the steady clock unless one was installed).
Clock& ThreadClock();
// Installs a clock for the calling thread; null restores the steady clock. The caller
// keeps the clock alive while it is installed.
void SetThreadClock(Clock* clock);
// True when the installed clock is a VirtualClock (the loop then advances it itself).
VirtualClock* ThreadVirtualClock();

// Milliseconds of the thread clock, truncated to 32 bits like the system tick count.
uint32_t GetTickCount();

} // namespace win
