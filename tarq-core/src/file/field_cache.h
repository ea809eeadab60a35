#pragma once
// Derived fields of an open file, keyed by name and time index. The lock is
// held only for a lookup or an insert, never while a field is read or
// computed, and callers always receive copies.

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "util/error.h"

namespace tarq {

class FieldCache {
public:
    // A copy of the cached vector, or nothing.
    [[nodiscard]] std::optional<std::vector<double>> find(const std::string& key) const;

    // Stores the vector under key, replacing any value stored meanwhile.
    void insert(const std::string& key, std::vector<double> value);

    [[nodiscard]] std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::vector<double>> map_;
};

// Key of a cached field: prefix then the time index in decimal ("pressure_3").
[[nodiscard]] std::string cache_key(std::string_view prefix, std::size_t t);

// Returns the cached field under key, or computes it with compute() (no lock
// held, so compute may call other cached accessors), caches a copy on success
// and returns it. Errors are returned and never cached.
template <class Compute>
Result<std::vector<double>> cached_field(FieldCache& cache, const std::string& key, Compute&& compute) {
    if (auto hit = cache.find(key)) return std::move(*hit);
    Result<std::vector<double>> field = std::forward<Compute>(compute)();
    if (field) cache.insert(key, *field);
    return field;
}

}  // namespace tarq
