#pragma once
// One process-wide worker pool. Parallel loops hand it [lo, hi) chunks of an
// index range. The calling thread is one of the workers: it takes chunks of its
// own loop, so nested or concurrent loops always make progress, and a pool of
// n - 1 threads keeps n logical CPUs busy. A child process after fork() gets a
// new pool.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarq {

using ChunkFn = std::function<void(std::size_t lo, std::size_t hi)>;

class ThreadPool {
public:
    // Starts `threads` threads, or as many as the system grants.
    explicit ThreadPool(std::size_t threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Workers of a loop: the pool's threads plus the calling thread.
    [[nodiscard]] std::size_t workers() const noexcept { return threads_.size() + 1; }

    // Runs fn over [begin, end) in chunks of `grain` indices (0: several chunks
    // per worker) and returns when all are done. The first exception thrown by
    // any chunk is rethrown here.
    void run(std::size_t begin, std::size_t end, const ChunkFn& fn, std::size_t grain = 0);

    struct Job;

private:
    void worker_loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Job>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// The process-wide pool, created on first use with one worker per logical CPU
// (counting the calling thread).
ThreadPool& pool();

// Calls fn(lo, hi) over disjoint chunks covering [begin, end), on the pool;
// `grain` as for ThreadPool::run.
inline void parallel_for(std::size_t begin, std::size_t end, const ChunkFn& fn, std::size_t grain = 0) {
    if (begin >= end) return;
    pool().run(begin, end, fn, grain);
}

// A worker count of 0 means the default everywhere: one per logical CPU.

// Replaces the process-wide pool by one with `workers` workers (counting the
// calling thread). Not for concurrent use with running loops.
void set_worker_count(std::size_t workers);

// Replaces the process-wide pool by one with `workers` workers while alive.
// For tests that compare results across worker counts; not for concurrent use.
class ScopedWorkerCount {
public:
    explicit ScopedWorkerCount(std::size_t workers);
    ~ScopedWorkerCount();
    ScopedWorkerCount(const ScopedWorkerCount&) = delete;
    ScopedWorkerCount& operator=(const ScopedWorkerCount&) = delete;

private:
    std::unique_ptr<ThreadPool> previous_;
};

}  // namespace tarq
