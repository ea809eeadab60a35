#include "file/field_cache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tarq {
namespace {

Result<std::vector<double>> values(std::size_t n, double v) { return std::vector<double>(n, v); }

TEST(FieldCache, KeysArePrefixAndDecimalTime) {
    EXPECT_EQ(cache_key("pressure_", 3), "pressure_3");
    EXPECT_EQ(cache_key("u_destag_", 0), "u_destag_0");
}

TEST(FieldCache, SecondCallSharesTheCachedValues) {
    FieldCache cache;
    int computed = 0;
    auto compute = [&]() -> Result<std::vector<double>> {
        ++computed;
        return std::vector<double>{1.0, 2.0};
    };
    auto first = cached_field(cache, "pressure_2", 2, compute);
    auto second = cached_field(cache, "pressure_2", 2, compute);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->data(), first->data());
    EXPECT_EQ(second->to_vector(), (std::vector<double>{1.0, 2.0}));
    EXPECT_EQ(computed, 1);
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_EQ(cache.bytes(), 2 * sizeof(double));
}

TEST(FieldCache, ErrorsAreNotCached) {
    FieldCache cache;
    int computed = 0;
    auto failing = [&]() -> Result<std::vector<double>> {
        ++computed;
        return fail(ErrorKind::VarNotFound, "P");
    };
    EXPECT_FALSE(cached_field(cache, "pressure_0", 0, failing).has_value());
    EXPECT_FALSE(cached_field(cache, "pressure_0", 0, failing).has_value());
    EXPECT_EQ(computed, 2);
    EXPECT_EQ(cache.size(), 0u);
}

TEST(FieldCache, NoLockIsHeldWhileComputing) {
    // A field computed from another cached field, while other threads use the
    // same cache: with the lock held during computation this would deadlock.
    FieldCache cache;
    auto inner = [&] { return cached_field(cache, "pressure_0", 0, [] { return values(1, 4.0); }); };
    auto outer = [&] {
        return cached_field(cache, "pressure_hpa_0", 0, [&]() -> Result<std::vector<double>> {
            TARQ_TRY(const Field p, inner());
            return std::vector<double>{p[0] / 100.0};
        });
    };
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            for (int n = 0; n < 200; ++n) {
                auto r = outer();
                if (r && r->to_vector() == std::vector<double>{0.04}) ++good;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(good.load(), 800);
    EXPECT_EQ(cache.size(), 2u);
}

TEST(FieldCache, EvictsTheLeastRecentlyUsedTimeIndexFirst) {
    FieldCache cache;
    cache.set_budget(4 * 10 * sizeof(double));  // four fields of 10 values
    for (std::size_t t : {0, 1}) {
        (void)cached_field(cache, cache_key("theta_", t), t, [] { return values(10, 1.0); });
        (void)cached_field(cache, cache_key("pressure_", t), t, [] { return values(10, 2.0); });
    }
    // Time 0 is used again, so time 1 is now the least recently used: its
    // fields go first, one by one as room is needed.
    ASSERT_TRUE(cache.find("theta_0", 0));
    (void)cached_field(cache, "theta_2", 2, [] { return values(10, 3.0); });
    EXPECT_FALSE(cache.find("theta_1", 1));
    (void)cached_field(cache, "pressure_2", 2, [] { return values(10, 4.0); });
    EXPECT_FALSE(cache.find("pressure_1", 1));
    for (const char* key : {"theta_0", "pressure_0"}) EXPECT_TRUE(cache.find(key, 0)) << key;
    for (const char* key : {"theta_2", "pressure_2"}) EXPECT_TRUE(cache.find(key, 2)) << key;
    EXPECT_EQ(cache.bytes(), 4 * 10 * sizeof(double));
}

TEST(FieldCache, WithinOneTimeTheLeastRecentlyUsedFieldGoesFirst) {
    FieldCache cache;
    cache.set_budget(2 * sizeof(double));
    (void)cached_field(cache, "pressure_0", 0, [] { return values(1, 1.0); });
    (void)cached_field(cache, "theta_0", 0, [] { return values(1, 2.0); });
    ASSERT_TRUE(cache.find("pressure_0", 0));
    (void)cached_field(cache, "temp_0", 0, [] { return values(1, 3.0); });
    EXPECT_TRUE(cache.find("pressure_0", 0));
    EXPECT_FALSE(cache.find("theta_0", 0));
    EXPECT_TRUE(cache.find("temp_0", 0));
}

TEST(FieldCache, AutomaticBudgetKeepsALongTimeLoopFlat) {
    FieldCache cache;
    std::size_t peak = 0;
    for (std::size_t t = 0; t < 100; ++t) {
        for (const char* prefix : {"pressure_", "theta_", "temp_"}) {
            (void)cached_field(cache, cache_key(prefix, t), t, [] { return values(1000, 1.0); });
            peak = std::max(peak, cache.bytes());
        }
    }
    EXPECT_EQ(cache.budget(), FieldCache::kAutoBudgetFields * 1000 * sizeof(double));
    EXPECT_LE(peak, cache.budget());
    // The latest time index is whole.
    for (const char* prefix : {"pressure_", "theta_", "temp_"}) EXPECT_TRUE(cache.find(cache_key(prefix, 99), 99));
}

TEST(FieldCache, AnEvictedFieldStaysValidForItsHolder) {
    FieldCache cache;
    cache.set_budget(0);
    int computed = 0;
    auto compute = [&] {
        ++computed;
        return values(3, 7.0);
    };
    auto held = cached_field(cache, "theta_0", 0, compute);
    ASSERT_TRUE(held);
    EXPECT_EQ(cache.size(), 0u);
    EXPECT_EQ(cache.bytes(), 0u);
    EXPECT_EQ(held->to_vector(), std::vector<double>(3, 7.0));
    (void)cached_field(cache, "theta_0", 0, compute);
    EXPECT_EQ(computed, 2);
    // Lowering the budget later evicts at once; nullopt restores the automatic one.
    cache.set_budget(std::nullopt);
    (void)cached_field(cache, "theta_0", 0, compute);
    EXPECT_EQ(cache.size(), 1u);
    cache.set_budget(0);
    EXPECT_EQ(cache.size(), 0u);
}

TEST(FieldCache, AFieldUnderComputationIsComputedOnce) {
    FieldCache cache;
    std::atomic<int> computed{0};
    auto slow = [&] {
        ++computed;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return values(4, 1.5);
    };
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            auto r = cached_field(cache, "pressure_0", 0, slow);
            if (r && r->to_vector() == std::vector<double>(4, 1.5)) ++good;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(computed.load(), 1);
    EXPECT_EQ(good.load(), 4);
}

TEST(FieldCache, WaitersComputeThemselvesWhenTheComputationFails) {
    FieldCache cache;
    std::atomic<int> computed{0};
    std::atomic<bool> first_started{false};
    std::thread first([&] {
        try {
            (void)cached_field(cache, "theta_0", 0, [&]() -> Result<std::vector<double>> {
                ++computed;
                first_started = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                throw std::runtime_error("internal fault");
            });
        } catch (const std::runtime_error&) {
        }
    });
    while (!first_started) std::this_thread::yield();
    auto second = cached_field(cache, "theta_0", 0, [&] {
        ++computed;
        return values(2, 3.0);
    });
    first.join();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->to_vector(), std::vector<double>(2, 3.0));
    EXPECT_EQ(computed.load(), 2);
    EXPECT_TRUE(cache.find("theta_0", 0));
}

}  // namespace
}  // namespace tarq
