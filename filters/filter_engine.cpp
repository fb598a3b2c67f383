#include "filters/filter_engine.h"
#include "filters/filters.h"

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace tavimo {
namespace fx {

void fail(const char* what) {
    throw FilterFault(what);
}

RoundToNearest::RoundToNearest() : m_previous(std::fegetround()) {
    if (m_previous != FE_TONEAREST) {
        std::fesetround(FE_TONEAREST);
    }
}

RoundToNearest::~RoundToNearest() {
    if (m_previous != FE_TONEAREST) {
        std::fesetround(m_previous);
    }
}

namespace {

std::atomic<int> g_threadSetting{0};

int defaultThreads() {
    unsigned n = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(n, 1u, 8u));
}

// A small pool shared by every thread of the process. One job runs at a time; a caller
// that finds the pool busy runs its job on its own thread, which gives the same result.
class Pool {
public:
    ~Pool() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        for (auto& t : m_workers) {
            t.join();
        }
    }

    // Runs task(i) for every i in [0, count) on up to `threads` threads, the caller
    // included. Tasks are handed out in increasing order of i.
    void run(int32_t count, int threads, FunctionRef<void(int32_t)> task) {
        std::unique_lock submit(m_submit, std::try_to_lock);
        if (!submit.owns_lock() || threads <= 1 || count <= 1) {
            runInline(count, task);
            return;
        }
        int helpers = std::min(threads, static_cast<int>(count)) - 1;
        {
            std::lock_guard lock(m_mutex);
            // A helper that cannot be started leaves its share to the others: the result
            // does not depend on the number of threads, and the call does not fail.
            try {
                while (static_cast<int>(m_workers.size()) < helpers) {
                    m_workers.emplace_back([this, index = m_workers.size()] { workerLoop(index); });
                }
            } catch (...) {
                helpers = static_cast<int>(m_workers.size());
            }
            m_task = &task;
            m_count = count;
            m_next.store(0);
            m_failed.store(false);
            m_error = nullptr;
            m_helpers = helpers;
            m_active = helpers;
            ++m_generation;
        }
        m_wake.notify_all();
        work();
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_active == 0; });
        m_task = nullptr;
        if (m_error) {
            std::exception_ptr error = m_error;
            m_error = nullptr;
            lock.unlock();
            std::rethrow_exception(error);
        }
    }

private:
    static void runInline(int32_t count, FunctionRef<void(int32_t)> task) {
        for (int32_t i = 0; i < count; ++i) {
            task(i);
        }
    }

    void work() {
        // The operations round with rint, which follows the rounding mode: make sure it
        // is to nearest, halves to even, on every thread that runs them.
        RoundToNearest nearest;
        for (;;) {
            if (m_failed.load(std::memory_order_relaxed)) {
                return;
            }
            int32_t i = m_next.fetch_add(1);
            if (i >= m_count) {
                return;
            }
            try {
                (*m_task)(i);
            } catch (...) {
                std::lock_guard lock(m_mutex);
                if (!m_error) {
                    m_error = std::current_exception();
                }
                m_failed.store(true);
            }
        }
    }

    void workerLoop(size_t index) {
        uint64_t seen = 0;
        for (;;) {
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [&] {
                    return m_stop || (m_generation != seen && static_cast<int>(index) < m_helpers);
                });
                if (m_stop) {
                    return;
                }
                seen = m_generation;
            }
            work();
            std::lock_guard lock(m_mutex);
            if (--m_active == 0) {
                m_done.notify_all();
            }
        }
    }

    std::mutex m_submit;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::vector<std::thread> m_workers;
    const FunctionRef<void(int32_t)>* m_task = nullptr;
    int32_t m_count = 0;
    std::atomic<int32_t> m_next{0};
    std::atomic<bool> m_failed{false};
    std::exception_ptr m_error;
    int m_helpers = 0;
    int m_active = 0;
    uint64_t m_generation = 0;
    bool m_stop = false;
};

Pool& pool() {
    static Pool instance;
    return instance;
}

// The per-thread default generator: xoshiro128+ seeded once per thread.
class DefaultUniform final : public FilterUniformSource {
public:
    DefaultUniform() {
        std::random_device rd;
        for (auto& s : m_state) {
            s = rd();
        }
        if ((m_state[0] | m_state[1] | m_state[2] | m_state[3]) == 0) {
            m_state[0] = 1;
        }
    }
    void fill(float* out, size_t count) override {
        for (size_t i = 0; i < count; ++i) {
            uint32_t result = m_state[0] + m_state[3];
            uint32_t t = m_state[1] << 9;
            m_state[2] ^= m_state[0];
            m_state[3] ^= m_state[1];
            m_state[1] ^= m_state[2];
            m_state[0] ^= m_state[3];
            m_state[2] ^= t;
            m_state[3] = (m_state[3] << 11) | (m_state[3] >> 21);
            out[i] = static_cast<float>(result >> 8) * 0x1p-24f;
        }
    }

private:
    uint32_t m_state[4];
};

thread_local FilterUniformSource* t_uniform = nullptr;

} // namespace

int threadCount() {
    int n = g_threadSetting.load(std::memory_order_relaxed);
    return n > 0 ? n : defaultThreads();
}

void parallelRows(int32_t first, int32_t last, int32_t grain,
                  FunctionRef<void(int32_t, int32_t)> body) {
    if (last <= first) {
        return;
    }
    int64_t rows = static_cast<int64_t>(last) - first;
    int threads = threadCount();
    grain = std::max(grain, 1);
    // A few chunks per thread balance uneven rows without much hand-out traffic.
    int64_t chunk = std::max<int64_t>(grain, rows / (static_cast<int64_t>(threads) * 4) + 1);
    int64_t chunks = (rows + chunk - 1) / chunk;
    if (threads <= 1 || chunks <= 1) {
        body(first, last);
        return;
    }
    pool().run(static_cast<int32_t>(chunks), threads, [&](int32_t i) {
        int64_t begin = first + i * chunk;
        int64_t end = std::min<int64_t>(last, begin + chunk);
        body(static_cast<int32_t>(begin), static_cast<int32_t>(end));
    });
}

void wavefrontRows(int32_t first, int32_t last, int32_t colFirst, int32_t colLast,
                   FunctionRef<void(int32_t, int32_t, int32_t)> body) {
    if (last <= first || colLast <= colFirst) {
        return;
    }
    constexpr int32_t kBlock = 512;
    int threads = threadCount();
    int32_t rows = last - first;
    auto sequentialRow = [&](int32_t y) {
        for (int32_t x0 = colFirst; x0 < colLast; x0 += kBlock) {
            body(y, x0, std::min(colLast, x0 + kBlock));
        }
    };
    if (threads <= 1 || rows < 4) {
        for (int32_t y = first; y < last; ++y) {
            sequentialRow(y);
        }
        return;
    }
    // progress[r] = the first column of row first + r not yet final (colLast when done).
    std::unique_ptr<std::atomic<int32_t>[]> progress(new std::atomic<int32_t>[rows]);
    for (int32_t r = 0; r < rows; ++r) {
        progress[r].store(colFirst, std::memory_order_relaxed);
    }
    std::atomic<bool> failed{false};
    pool().run(rows, threads, [&](int32_t r) {
        int32_t y = first + r;
        for (int32_t x0 = colFirst; x0 < colLast; x0 += kBlock) {
            int32_t x1 = std::min(colLast, x0 + kBlock);
            if (r > 0) {
                // The block reads the row above up to column x1 (its NE neighbour).
                int32_t need = x1 >= colLast ? colLast : x1 + 1;
                // Spin briefly, then sleep until the row above publishes: with more
                // threads than free cores a spinning waiter would starve the row it
                // waits for.
                int spins = 0;
                for (int32_t seen = progress[r - 1].load(std::memory_order_acquire); seen < need;
                     seen = progress[r - 1].load(std::memory_order_acquire)) {
                    if (failed.load(std::memory_order_relaxed)) {
                        // Another row failed: give up, and release the row below, which
                        // may be asleep waiting for this one.
                        progress[r].store(colLast, std::memory_order_release);
                        progress[r].notify_all();
                        return;
                    }
                    if (++spins > 200) {
                        progress[r - 1].wait(seen, std::memory_order_acquire);
                    }
                }
            }
            try {
                body(y, x0, x1);
            } catch (...) {
                failed.store(true);
                // Release the rows below so that they stop too.
                progress[r].store(colLast, std::memory_order_release);
                progress[r].notify_all();
                throw;
            }
            progress[r].store(x1, std::memory_order_release);
            progress[r].notify_all();
        }
    });
}

namespace {
thread_local bool t_forceGeneric = false;
}

bool useAvx2() {
    static const bool available =
        __builtin_cpu_supports("avx2") && std::getenv("TAVIMO_FILTERS_GENERIC") == nullptr;
    return available && !t_forceGeneric;
}

void forceGenericPath(bool force) {
    t_forceGeneric = force;
}

void* scratchMemory(size_t bytes) {
    thread_local std::unique_ptr<uint8_t[]> memory;
    thread_local size_t capacity = 0;
    if (bytes > capacity) {
        memory.reset();
        capacity = 0;
        memory.reset(new uint8_t[bytes]);
        capacity = bytes;
    }
    return memory.get();
}

void drawUniform(float* out, size_t count) {
    if (t_uniform) {
        t_uniform->fill(out, count);
        return;
    }
    thread_local DefaultUniform generator;
    generator.fill(out, count);
}

} // namespace fx

namespace {
thread_local FilterPattern t_pattern{};
}

void SetFilterPattern(const FilterPattern& pattern) {
    t_pattern = pattern;
}
FilterPattern GetFilterPattern() {
    return t_pattern;
}
void SetFilterUniformSource(FilterUniformSource* source) {
    fx::t_uniform = source;
}
void SetFilterThreadCount(int threads) {
    fx::g_threadSetting.store(std::max(threads, 0), std::memory_order_relaxed);
}

} // namespace tavimo
