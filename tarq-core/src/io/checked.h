#pragma once
// Overflow-checked arithmetic on sizes and offsets a file claims: every one
// is untrusted until checked.

#include <cstdint>
#include <optional>
#include <span>

namespace tarq {

// a * b, or nothing on overflow.
[[nodiscard]] std::optional<std::uint64_t> checked_mul(std::uint64_t a, std::uint64_t b) noexcept;

// a + b, or nothing on overflow.
[[nodiscard]] std::optional<std::uint64_t> checked_add(std::uint64_t a, std::uint64_t b) noexcept;

// Product of the sizes (1 for a scalar, 0 when any size is 0), or nothing on
// overflow.
[[nodiscard]] std::optional<std::uint64_t> element_count(std::span<const std::uint64_t> dims) noexcept;

}  // namespace tarq
