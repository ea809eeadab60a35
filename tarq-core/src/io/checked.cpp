#include "io/checked.h"

namespace tarq {

std::optional<std::uint64_t> checked_mul(std::uint64_t a, std::uint64_t b) noexcept {
    std::uint64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) return std::nullopt;
    return product;
}

std::optional<std::uint64_t> checked_add(std::uint64_t a, std::uint64_t b) noexcept {
    std::uint64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) return std::nullopt;
    return sum;
}

std::optional<std::uint64_t> element_count(std::span<const std::uint64_t> dims) noexcept {
    for (const std::uint64_t d : dims)
        if (d == 0) return 0;
    std::uint64_t count = 1;
    for (const std::uint64_t d : dims) {
        const auto next = checked_mul(count, d);
        if (!next) return std::nullopt;
        count = *next;
    }
    return count;
}

}  // namespace tarq
