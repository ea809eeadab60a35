#pragma once
// Derived fields of an open file, keyed by name and time index, held as
// shared immutable Fields: a lookup or an insert copies a pointer, never the
// values. The cache is bounded by bytes: past its budget it evicts the fields
// of the least recently used time index first, and within one time index the
// least recently used field. The lock is held only for a lookup, an insert or
// a change of budget, never while a field is read, computed or freed.
// A field that one thread is computing is not computed again by another:
// the second waits for the first (inputs decoded at the same time often share
// a base field).

#include <condition_variable>
#include <initializer_list>
#include <cstddef>
#include <memory>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "file/field.h"
#include "util/error.h"

namespace tarq {

class FieldCache {
public:
    // The automatic budget: this many fields of the largest size stored so
    // far, enough for every base field of one time index at once, so that
    // repeated requests at one time reuse them while a loop over times stays flat.
    static constexpr std::size_t kAutoBudgetFields = 12;

    [[nodiscard]] std::optional<Field> find(const std::string& key, std::size_t t);

    // Stores the field of time index t under key, replacing any value stored
    // meanwhile, then evicts down to the budget (possibly this field itself,
    // when it alone exceeds the budget).
    void insert(const std::string& key, std::size_t t, Field value);

    // A fixed budget in bytes (0 caches nothing), or nothing for the automatic one.
    void set_budget(std::optional<std::size_t> bytes);

    // One computation of a missing field, which other threads may wait for.
    class Flight {
    public:
        // The field once computed, or nothing if its computation failed or
        // was abandoned (the waiter then computes it itself).
        [[nodiscard]] std::optional<Field> wait();
        void land(std::optional<Field> field);

    private:
        std::mutex mutex_;
        std::condition_variable landed_;
        bool done_ = false;
        std::optional<Field> field_;
    };

    // What a caller of a field does next: use the cached field, wait for a
    // computation under way, or compute it (and land `mine` afterwards).
    struct Claim {
        std::optional<Field> hit;
        std::shared_ptr<Flight> wait_for;
        std::shared_ptr<Flight> mine;
    };
    [[nodiscard]] Claim claim(const std::string& key, std::size_t t);
    // Ends the caller's computation of key: caches the field (if any) and
    // wakes the waiters.
    void finish(const std::string& key, std::size_t t, const std::shared_ptr<Flight>& flight,
                std::optional<Field> field);

    [[nodiscard]] std::size_t budget() const;  // in effect now, bytes
    [[nodiscard]] std::size_t bytes() const;   // held now
    [[nodiscard]] std::size_t size() const;    // fields held now

private:
    struct Entry {
        Field field;
        std::size_t t;
        std::list<std::string>::iterator in_time;  // position in its time's LRU list
    };
    struct TimeEntries {
        std::list<std::string> keys;  // most recently used first
        std::list<std::size_t>::iterator in_recency;
    };

    [[nodiscard]] std::size_t budget_locked() const noexcept;
    void touch_locked(Entry& entry);
    Field erase_locked(const std::string& key);
    void evict_locked(std::size_t current_t, std::vector<Field>& evicted);

    mutable std::mutex mutex_;
    std::unordered_map<std::string, Entry> map_;
    std::unordered_map<std::string, std::shared_ptr<Flight>> flights_;
    std::unordered_map<std::size_t, TimeEntries> times_;
    std::list<std::size_t> recency_;  // time indices, most recently used first
    std::size_t bytes_ = 0;
    std::size_t largest_ = 0;
    std::optional<std::size_t> fixed_budget_;
};

// Key of a cached field: prefix then the time index in decimal ("pressure_3").
[[nodiscard]] std::string cache_key(std::string_view prefix, std::size_t t);

// An option value in a key: the shortest digits that read back as the same
// double ("nan", "-0" and "0" apart), so no two values share a key.
[[nodiscard]] std::string key_number(double value);

// Splits a cached field of `parts` equal parts laid end to end into vectors
// of their own (results that go out or are changed in place).
[[nodiscard]] std::vector<std::vector<double>> split_parts(const Field& joined, std::size_t parts);

// Joins equal-length parts end to end, the form split_parts takes apart.
[[nodiscard]] std::vector<double> join_parts(std::initializer_list<const std::vector<double>*> parts);

// Returns the cached field under key, or computes it with compute() (no lock
// held, so compute may call other cached accessors), caches it on success and
// returns it. Errors are returned and never cached.
template <class Compute>
Result<Field> cached_field(FieldCache& cache, const std::string& key, std::size_t t, Compute&& compute) {
    FieldCache::Claim claim = cache.claim(key, t);
    if (claim.hit) return std::move(*claim.hit);
    if (claim.wait_for) {
        if (auto landed = claim.wait_for->wait()) return std::move(*landed);
    }
    // Waiters are released whatever happens here, an exception included.
    struct Landing {
        FieldCache& cache;
        const std::string& key;
        std::size_t t;
        std::shared_ptr<FieldCache::Flight> flight;
        std::optional<Field> field;
        ~Landing() {
            if (flight) cache.finish(key, t, flight, std::move(field));
        }
    } landing{cache, key, t, std::move(claim.mine), std::nullopt};
    Result<std::vector<double>> values = std::forward<Compute>(compute)();
    if (!values) return std::unexpected(std::move(values.error()));
    Field field(std::move(*values));
    if (landing.flight) {
        landing.field = field;
    } else {
        cache.insert(key, t, field);
    }
    return field;
}

}  // namespace tarq
