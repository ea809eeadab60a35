#pragma once
// Byte buffers read from a file, bounds-checked little-endian decoding, and
// text decoded from stored bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarq {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// True when [offset, offset + length) lies inside a buffer of `size` bytes.
[[nodiscard]] constexpr bool fits(std::uint64_t size, std::uint64_t offset,
                                  std::uint64_t length) noexcept {
    return offset <= size && length <= size - offset;
}

// Little-endian unsigned integer of `width` (1 to 8) bytes at `offset`, or
// nothing when those bytes are not all inside `data`.
[[nodiscard]] std::optional<std::uint64_t> le_uint(ByteSpan data, std::size_t offset,
                                                   std::size_t width) noexcept;

// Same as le_uint for a field the caller has already bounds-checked.
[[nodiscard]] std::uint64_t le_uint_unchecked(ByteSpan data, std::size_t offset,
                                              std::size_t width) noexcept;

// Bytes as UTF-8 text, each ill-formed sequence (each maximal subpart of a
// well-formed one) replaced by U+FFFD, as Unicode 15 section 3.9 recommends.
[[nodiscard]] std::string utf8_lossy(ByteSpan bytes);

// Removes every trailing NUL character.
[[nodiscard]] std::string strip_trailing_nuls(std::string text);

}  // namespace tarq
