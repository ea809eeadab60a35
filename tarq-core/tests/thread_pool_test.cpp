#include "util/thread_pool.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tarq {
namespace {

class ThreadPoolTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ThreadPoolTest, VisitsEveryIndexExactlyOnce) {
    ScopedWorkerCount workers(GetParam());
    for (std::size_t n : {0u, 1u, 7u, 1000u, 10007u}) {
        std::vector<std::atomic<int>> visits(n);
        parallel_for(0, n, [&](std::size_t lo, std::size_t hi) {
            for (std::size_t i = lo; i < hi; ++i) visits[i].fetch_add(1);
        });
        for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(visits[i].load(), 1) << "n=" << n << " i=" << i;
    }
}

TEST_P(ThreadPoolTest, OffsetRangeStaysInsideBounds) {
    ScopedWorkerCount workers(GetParam());
    std::atomic<std::size_t> sum{0};
    parallel_for(100, 200, [&](std::size_t lo, std::size_t hi) {
        ASSERT_GE(lo, 100u);
        ASSERT_LE(hi, 200u);
        for (std::size_t i = lo; i < hi; ++i) sum += i;
    });
    EXPECT_EQ(sum.load(), 14950u);
}

TEST_P(ThreadPoolTest, WorkerExceptionReachesCallerAndPoolStaysUsable) {
    ScopedWorkerCount workers(GetParam());
    EXPECT_THROW(parallel_for(0, 1000,
                              [](std::size_t lo, std::size_t hi) {
                                  for (std::size_t i = lo; i < hi; ++i) {
                                      if (i == 637) throw std::runtime_error("index 637");
                                  }
                              }),
                 std::runtime_error);
    std::atomic<std::size_t> count{0};
    parallel_for(0, 500, [&](std::size_t lo, std::size_t hi) { count += hi - lo; });
    EXPECT_EQ(count.load(), 500u);
}

TEST_P(ThreadPoolTest, NestedLoopsFinish) {
    ScopedWorkerCount workers(GetParam());
    std::atomic<std::size_t> count{0};
    parallel_for(0, 16, [&](std::size_t lo, std::size_t hi) {
        for (std::size_t i = lo; i < hi; ++i) {
            parallel_for(0, 100, [&](std::size_t a, std::size_t b) { count += b - a; });
        }
    });
    EXPECT_EQ(count.load(), 1600u);
}

TEST_P(ThreadPoolTest, ConcurrentCallersFinish) {
    ScopedWorkerCount workers(GetParam());
    std::atomic<std::size_t> count{0};
    std::vector<std::thread> callers;
    for (int c = 0; c < 6; ++c) {
        callers.emplace_back([&] {
            for (int rep = 0; rep < 50; ++rep) {
                parallel_for(0, 333, [&](std::size_t lo, std::size_t hi) { count += hi - lo; });
            }
        });
    }
    for (auto& t : callers) t.join();
    EXPECT_EQ(count.load(), 6u * 50u * 333u);
}

INSTANTIATE_TEST_SUITE_P(WorkerCounts, ThreadPoolTest, ::testing::Values(1, 2, 7));

// Caps the address space a little above what the process maps now, so that
// only a few more thread stacks fit.
void cap_address_space_above_current(std::size_t extra_bytes) {
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t cap = pages * 4096 + extra_bytes;
    const rlimit limit{cap, cap};
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
}

TEST(ThreadPoolDeathTest, RunsWithTheThreadsTheSystemGrants) {
    EXPECT_EXIT(
        {
            cap_address_space_above_current(20u << 20);
            ThreadPool refused(64);
            std::atomic<std::size_t> count{0};
            refused.run(0, 1000, [&](std::size_t lo, std::size_t hi) { count += hi - lo; });
            std::_Exit(count.load() == 1000 && refused.workers() < 65 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(ThreadPool, DefaultPoolHasOneWorkerPerLogicalCpu) {
    const unsigned cpus = std::thread::hardware_concurrency();
    EXPECT_EQ(pool().workers(), cpus == 0 ? 1u : cpus);
}

TEST(ThreadPool, WorkerCountZeroMeansTheDefaultEverywhere) {
    const unsigned cpus = std::thread::hardware_concurrency();
    const std::size_t expected = cpus == 0 ? 1u : cpus;
    {
        ScopedWorkerCount scoped(0);
        EXPECT_EQ(pool().workers(), expected);
    }
    set_worker_count(3);
    EXPECT_EQ(pool().workers(), 3u);
    set_worker_count(0);
    EXPECT_EQ(pool().workers(), expected);
}

}  // namespace
}  // namespace tarq
