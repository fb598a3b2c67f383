#include "platform/win/clock.h"

#include <chrono>

namespace win {

namespace {
thread_local Clock* t_clock = nullptr;

SteadyClock& steadyClock() {
    static SteadyClock clock;
    return clock;
}
} // namespace

uint64_t SteadyClock::nowMs() const {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

Clock& ThreadClock() {
    return t_clock ? *t_clock : steadyClock();
}

void SetThreadClock(Clock* clock) {
    t_clock = clock;
}

VirtualClock* ThreadVirtualClock() {
    return dynamic_cast<VirtualClock*>(t_clock);
}

uint32_t GetTickCount() {
    return static_cast<uint32_t>(ThreadClock().nowMs());
}

} // namespace win
