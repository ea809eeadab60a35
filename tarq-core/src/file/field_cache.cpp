#include "file/field_cache.h"

namespace tarq {

std::optional<std::vector<double>> FieldCache::find(const std::string& key) const {
    const std::lock_guard lock(mutex_);
    const auto it = map_.find(key);
    if (it == map_.end()) return std::nullopt;
    return it->second;
}

void FieldCache::insert(const std::string& key, std::vector<double> value) {
    const std::lock_guard lock(mutex_);
    map_.insert_or_assign(key, std::move(value));
}

std::size_t FieldCache::size() const {
    const std::lock_guard lock(mutex_);
    return map_.size();
}

std::string cache_key(std::string_view prefix, std::size_t t) {
    return std::string(prefix) + std::to_string(t);
}

}  // namespace tarq
