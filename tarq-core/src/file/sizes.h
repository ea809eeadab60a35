#pragma once
// Products of sizes read from a file, which are untrusted and may overflow.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tarq {

[[nodiscard]] inline std::optional<std::uint64_t> checked_product(std::span<const std::uint64_t> sizes) {
    std::uint64_t product = 1;
    for (std::uint64_t s : sizes) {
        if (__builtin_mul_overflow(product, s, &product)) return std::nullopt;
    }
    return product;
}

// "[d0, d1, ...]"
[[nodiscard]] inline std::string format_dims(std::span<const std::uint64_t> dims) {
    std::string text = "[";
    for (std::size_t i = 0; i < dims.size(); ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(dims[i]);
    }
    return text + "]";
}

}  // namespace tarq
