#include "file/field_cache.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <iterator>
#include <limits>

namespace tarq {

std::size_t FieldCache::budget_locked() const noexcept {
    if (fixed_budget_) return *fixed_budget_;
    if (largest_ > std::numeric_limits<std::size_t>::max() / kAutoBudgetFields)
        return std::numeric_limits<std::size_t>::max();
    return kAutoBudgetFields * largest_;
}

void FieldCache::touch_locked(Entry& entry) {
    TimeEntries& time = times_.at(entry.t);
    time.keys.splice(time.keys.begin(), time.keys, entry.in_time);
    recency_.splice(recency_.begin(), recency_, time.in_recency);
}

std::optional<Field> FieldCache::find(const std::string& key, std::size_t t) {
    const std::lock_guard lock(mutex_);
    const auto it = map_.find(key);
    if (it == map_.end() || it->second.t != t) return std::nullopt;
    touch_locked(it->second);
    return it->second.field;
}

Field FieldCache::erase_locked(const std::string& key) {
    const auto it = map_.find(key);
    Field field = std::move(it->second.field);
    const std::size_t t = it->second.t;
    TimeEntries& time = times_.at(t);
    time.keys.erase(it->second.in_time);
    if (time.keys.empty()) {
        recency_.erase(time.in_recency);
        times_.erase(t);
    }
    bytes_ -= field.bytes();
    map_.erase(it);
    return field;
}

void FieldCache::evict_locked(std::size_t current_t, std::vector<Field>& evicted) {
    const std::size_t limit = budget_locked();
    while (bytes_ > limit && !recency_.empty()) {
        // Other time indices go first, the least recently used one whole;
        // then the fields of the current one, least recently used first.
        std::size_t victim_t = recency_.back();
        if (victim_t == current_t && recency_.size() > 1) victim_t = *std::prev(recency_.end(), 2);
        const std::string key = times_.at(victim_t).keys.back();
        evicted.push_back(erase_locked(key));
    }
}

void FieldCache::insert(const std::string& key, std::size_t t, Field value) {
    std::vector<Field> evicted;  // freed after the lock is released
    {
        const std::lock_guard lock(mutex_);
        if (map_.contains(key)) evicted.push_back(erase_locked(key));
        auto [time_it, fresh] = times_.try_emplace(t);
        TimeEntries& time = time_it->second;
        if (fresh) {
            recency_.push_front(t);
            time.in_recency = recency_.begin();
        } else {
            recency_.splice(recency_.begin(), recency_, time.in_recency);
        }
        time.keys.push_front(key);
        largest_ = std::max(largest_, value.bytes());
        bytes_ += value.bytes();
        map_.emplace(key, Entry{std::move(value), t, time.keys.begin()});
        evict_locked(t, evicted);
    }
}

void FieldCache::set_budget(std::optional<std::size_t> bytes) {
    std::vector<Field> evicted;
    {
        const std::lock_guard lock(mutex_);
        fixed_budget_ = bytes;
        evict_locked(recency_.empty() ? 0 : recency_.front(), evicted);
    }
}

std::optional<Field> FieldCache::Flight::wait() {
    std::unique_lock lock(mutex_);
    landed_.wait(lock, [this] { return done_; });
    return field_;
}

void FieldCache::Flight::land(std::optional<Field> field) {
    {
        const std::lock_guard lock(mutex_);
        field_ = std::move(field);
        done_ = true;
    }
    landed_.notify_all();
}

FieldCache::Claim FieldCache::claim(const std::string& key, std::size_t t) {
    const std::lock_guard lock(mutex_);
    if (const auto it = map_.find(key); it != map_.end() && it->second.t == t) {
        touch_locked(it->second);
        return {it->second.field, nullptr, nullptr};
    }
    if (const auto it = flights_.find(key); it != flights_.end()) return {std::nullopt, it->second, nullptr};
    auto flight = std::make_shared<Flight>();
    flights_.emplace(key, flight);
    return {std::nullopt, nullptr, std::move(flight)};
}

void FieldCache::finish(const std::string& key, std::size_t t, const std::shared_ptr<Flight>& flight,
                        std::optional<Field> field) {
    {
        const std::lock_guard lock(mutex_);
        if (const auto it = flights_.find(key); it != flights_.end() && it->second == flight) flights_.erase(it);
    }
    if (field) insert(key, t, *field);
    flight->land(std::move(field));
}

std::size_t FieldCache::budget() const {
    const std::lock_guard lock(mutex_);
    return budget_locked();
}

std::size_t FieldCache::bytes() const {
    const std::lock_guard lock(mutex_);
    return bytes_;
}

std::size_t FieldCache::size() const {
    const std::lock_guard lock(mutex_);
    return map_.size();
}

std::string cache_key(std::string_view prefix, std::size_t t) {
    return std::string(prefix) + std::to_string(t);
}

std::string key_number(double value) {
    char digits[64];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string(digits, end);
}

std::vector<std::vector<double>> split_parts(const Field& joined, std::size_t parts) {
    const std::size_t n = parts == 0 ? 0 : joined.size() / parts;
    std::vector<std::vector<double>> out(parts);
    for (std::size_t k = 0; k < parts; ++k) {
        out[k].assign(joined.begin() + static_cast<std::ptrdiff_t>(k * n),
                      joined.begin() + static_cast<std::ptrdiff_t>((k + 1) * n));
    }
    return out;
}

std::vector<double> join_parts(std::initializer_list<const std::vector<double>*> parts) {
    std::size_t total = 0;
    for (const auto* part : parts) total += part->size();
    std::vector<double> out;
    out.reserve(total);
    for (const auto* part : parts) out.insert(out.end(), part->begin(), part->end());
    return out;
}

}  // namespace tarq
