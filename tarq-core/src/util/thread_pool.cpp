#include "util/thread_pool.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <system_error>

namespace tarq {

// One parallel loop. Every participant (the caller and any worker that pops it)
// claims chunks through `next` until none are left.
struct ThreadPool::Job {
    ChunkFn fn;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t grain = 1;
    std::size_t chunks = 0;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};

    std::mutex mutex;
    std::condition_variable finished;
    std::size_t done = 0;
    std::exception_ptr error;

    void work() {
        for (;;) {
            const std::size_t c = next.fetch_add(1, std::memory_order_relaxed);
            if (c >= chunks) return;
            if (!failed.load(std::memory_order_relaxed)) {
                const std::size_t lo = begin + c * grain;
                const std::size_t hi = std::min(end, lo + grain);
                try {
                    fn(lo, hi);
                } catch (...) {
                    std::lock_guard lock(mutex);
                    if (!error) error = std::current_exception();
                    failed.store(true, std::memory_order_relaxed);
                }
            }
            std::lock_guard lock(mutex);
            if (++done == chunks) finished.notify_all();
        }
    }
};

ThreadPool::ThreadPool(std::size_t threads) {
    threads_.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) {
        // When the system refuses another thread, the pool keeps those it has:
        // the caller works on every loop, so any count gives the same results.
        try {
            threads_.emplace_back([this] { worker_loop(); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

ThreadPool::~ThreadPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_) t.join();
}

void ThreadPool::worker_loop() {
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        job->work();
    }
}

void ThreadPool::run(std::size_t begin, std::size_t end, const ChunkFn& fn, std::size_t grain) {
    if (begin >= end) return;
    const std::size_t n = end - begin;
    const std::size_t participants = threads_.size() + 1;
    // Several chunks per participant so uneven columns still balance.
    if (grain == 0) grain = std::max<std::size_t>(1, n / (participants * 8));
    auto job = std::make_shared<Job>();
    job->fn = fn;
    job->begin = begin;
    job->end = end;
    job->grain = grain;
    job->chunks = n / grain + (n % grain != 0 ? 1 : 0);

    const std::size_t helpers = std::min(threads_.size(), job->chunks - 1);
    if (helpers > 0) {
        {
            std::lock_guard lock(mutex_);
            for (std::size_t i = 0; i < helpers; ++i) queue_.push_back(job);
        }
        if (helpers == 1) wake_.notify_one(); else wake_.notify_all();
    }
    job->work();
    std::unique_lock lock(job->mutex);
    job->finished.wait(lock, [&] { return job->done == job->chunks; });
    if (job->error) std::rethrow_exception(job->error);
}

namespace {

std::mutex g_pool_mutex;
std::unique_ptr<ThreadPool> g_pool;

// The calling thread works on its own loop, so one logical CPU is left to it.
std::size_t default_threads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n <= 1 ? 0 : n - 1;
}

std::size_t threads_for(std::size_t workers) { return workers > 0 ? workers - 1 : default_threads(); }

// The child of a fork() has none of the parent's worker threads. Its copy of the
// pool is abandoned (joining threads that do not exist would hang) and a fresh
// pool is made on the child's first parallel loop.
void before_fork() { g_pool_mutex.lock(); }
void after_fork_parent() { g_pool_mutex.unlock(); }
void after_fork_child() {
    (void)g_pool.release();  // deliberately leaked: its threads are gone
    g_pool_mutex.unlock();
}

const bool g_fork_handlers = [] {
    pthread_atfork(before_fork, after_fork_parent, after_fork_child);
    return true;
}();

}  // namespace

ThreadPool& pool() {
    (void)g_fork_handlers;
    std::lock_guard lock(g_pool_mutex);
    if (!g_pool) g_pool = std::make_unique<ThreadPool>(default_threads());
    return *g_pool;
}

void set_worker_count(std::size_t workers) {
    std::lock_guard lock(g_pool_mutex);
    g_pool = std::make_unique<ThreadPool>(threads_for(workers));
}

ScopedWorkerCount::ScopedWorkerCount(std::size_t workers) {
    std::lock_guard lock(g_pool_mutex);
    previous_ = std::move(g_pool);
    g_pool = std::make_unique<ThreadPool>(threads_for(workers));
}

ScopedWorkerCount::~ScopedWorkerCount() {
    std::lock_guard lock(g_pool_mutex);
    g_pool = std::move(previous_);
}

}  // namespace tarq
