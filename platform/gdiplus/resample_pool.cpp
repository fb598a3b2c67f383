#include "platform/gdiplus/resample_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace gp {

namespace {

class WorkerPool {
public:
    ~WorkerPool() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        for (auto& t : m_workers)
            t.join();
    }

    void run(int count, int threads, const std::function<void(int)>& task) {
        std::unique_lock job(m_jobMutex, std::try_to_lock);
        if (!job) {
            for (int i = 0; i < count; ++i)
                task(i);
            return;
        }
        int helpers = std::min(threads - 1, count - 1);
        startWorkers(helpers);
        {
            std::lock_guard lock(m_mutex);
            m_task = &task;
            m_count = count;
            m_next.store(0);
            m_failed = false;
            m_wanted = std::min<int>(helpers, int(m_workers.size()));
            m_pending = m_wanted;
            ++m_generation;
        }
        m_wake.notify_all();
        work();
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [&] { return m_pending == 0; });
        m_task = nullptr;
        if (m_failed)
            throw std::bad_alloc();
    }

private:
    void startWorkers(int wanted) {
        while (int(m_workers.size()) < wanted) {
            int id = int(m_workers.size());
            try {
                m_workers.emplace_back([this, id] { loop(id); });
            } catch (...) {
                return; // fewer helpers; the caller still does all the work
            }
        }
    }

    void work() {
        for (;;) {
            int i = m_next.fetch_add(1);
            if (i >= m_count)
                return;
            try {
                (*m_task)(i);
            } catch (...) {
                std::lock_guard lock(m_mutex);
                m_failed = true;
            }
        }
    }

    void loop(int id) {
        uint64_t seen = 0;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stop || m_generation != seen; });
            if (m_stop)
                return;
            seen = m_generation;
            // A job starts only after every helper it wanted has finished the previous
            // one, so a wanted helper never misses its generation.
            if (id >= m_wanted)
                continue;
            lock.unlock();
            work();
            lock.lock();
            if (--m_pending == 0)
                m_done.notify_all();
        }
    }

    std::mutex m_jobMutex;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::vector<std::thread> m_workers;
    const std::function<void(int)>* m_task = nullptr;
    int m_count = 0;
    std::atomic<int> m_next{0};
    int m_wanted = 0;
    int m_pending = 0;
    bool m_failed = false;
    bool m_stop = false;
    uint64_t m_generation = 0;
};

WorkerPool& pool() {
    static WorkerPool p;
    return p;
}

} // namespace

int hardwareThreads() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : int(std::min(n, 64u));
}

void runParallel(int count, int threads, const std::function<void(int)>& task) {
    if (count <= 0)
        return;
    if (threads <= 1 || count == 1) {
        for (int i = 0; i < count; ++i)
            task(i);
        return;
    }
    pool().run(count, threads, task);
}

} // namespace gp
