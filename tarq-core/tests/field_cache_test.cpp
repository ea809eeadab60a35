#include "file/field_cache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tarq {
namespace {

TEST(FieldCache, KeysArePrefixAndDecimalTime) {
    EXPECT_EQ(cache_key("pressure_", 3), "pressure_3");
    EXPECT_EQ(cache_key("u_destag_", 0), "u_destag_0");
}

TEST(FieldCache, SecondCallIsACopyFromTheCache) {
    FieldCache cache;
    int computed = 0;
    auto compute = [&]() -> Result<std::vector<double>> {
        ++computed;
        return std::vector<double>{1.0, 2.0};
    };
    auto first = cached_field(cache, "pressure_2", compute);
    ASSERT_TRUE(first.has_value());
    first->at(0) = 99.0;  // the caller's copy; the cache must not see this
    auto second = cached_field(cache, "pressure_2", compute);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(*second, (std::vector<double>{1.0, 2.0}));
    EXPECT_EQ(computed, 1);
    EXPECT_EQ(cache.size(), 1u);
}

TEST(FieldCache, ErrorsAreNotCached) {
    FieldCache cache;
    int computed = 0;
    auto failing = [&]() -> Result<std::vector<double>> {
        ++computed;
        return fail(ErrorKind::VarNotFound, "P");
    };
    EXPECT_FALSE(cached_field(cache, "pressure_0", failing).has_value());
    EXPECT_FALSE(cached_field(cache, "pressure_0", failing).has_value());
    EXPECT_EQ(computed, 2);
    EXPECT_EQ(cache.size(), 0u);
}

TEST(FieldCache, NoLockIsHeldWhileComputing) {
    // A field computed from another cached field, while other threads use the
    // same cache: with the lock held during computation this would deadlock.
    FieldCache cache;
    auto inner = [&] { return cached_field(cache, "pressure_0", [] { return Result<std::vector<double>>(std::vector<double>{4.0}); }); };
    auto outer = [&] {
        return cached_field(cache, "pressure_hpa_0", [&]() -> Result<std::vector<double>> {
            TARQ_TRY(auto p, inner());
            return std::vector<double>{p[0] / 100.0};
        });
    };
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            for (int n = 0; n < 200; ++n) {
                auto r = outer();
                if (r && *r == std::vector<double>{0.04}) ++good;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(good.load(), 800);
    EXPECT_EQ(cache.size(), 2u);
}

}  // namespace
}  // namespace tarq
