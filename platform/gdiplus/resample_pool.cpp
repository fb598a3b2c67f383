#include "platform/gdiplus/resample_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace gp {

namespace {

// One call of runParallel. Helpers hold it by shared pointer, so one that wakes after the
// job has ended still finds valid counters (and no task left to take). The task itself is
// only called for an index taken before the last task finished, that is while the caller
// still waits, so the reference stays valid whenever it is used.
struct Job {
    const std::function<void(int)>* task = nullptr;
    int count = 0;
    std::atomic<int> next{0};
    std::atomic<int> finished{0};
    std::atomic<bool> failed{false};

    void work() {
        for (;;) {
            int i = next.fetch_add(1);
            if (i >= count)
                return;
            try {
                (*task)(i);
            } catch (...) {
                failed.store(true);
            }
            if (finished.fetch_add(1) + 1 == count)
                finished.notify_all();
        }
    }
};

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
        std::unique_lock busy(m_jobMutex, std::try_to_lock);
        if (!busy) {
            for (int i = 0; i < count; ++i)
                task(i);
            return;
        }
        auto job = std::make_shared<Job>();
        job->task = &task;
        job->count = count;
        const int helpers = std::min(threads - 1, count - 1);
        startWorkers(helpers);
        {
            std::lock_guard lock(m_mutex);
            m_job = job;
            m_wanted = std::min<int>(helpers, int(m_workers.size()));
            ++m_generation;
        }
        m_wake.notify_all();
        job->work();
        // Wait for the tasks, not for the helpers: on a loaded machine a helper may wake
        // long after the others have drawn every band.
        for (int done = job->finished.load(); done != count; done = job->finished.load())
            job->finished.wait(done);
        {
            std::lock_guard lock(m_mutex);
            m_job.reset();
        }
        if (job->failed.load())
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

    void loop(int id) {
        uint64_t seen = 0;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stop || m_generation != seen; });
            if (m_stop)
                return;
            seen = m_generation;
            if (id >= m_wanted || !m_job)
                continue;
            std::shared_ptr<Job> job = m_job;
            lock.unlock();
            job->work();
            job.reset();
            lock.lock();
        }
    }

    std::mutex m_jobMutex; // held by the caller whose job the pool runs
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::thread> m_workers;
    std::shared_ptr<Job> m_job;
    int m_wanted = 0;
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
