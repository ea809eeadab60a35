#pragma once
// Byte buffers read from the file, bounds-checked little-endian decoding, and
// the text forms the reader's error messages use.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "util/error.h"

namespace tarq::hdf5 {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// Little-endian unsigned integer of `width` (1 to 8) bytes at `offset`, or
// nothing when those bytes are not all inside `data`.
[[nodiscard]] std::optional<std::uint64_t> le_uint(ByteSpan data, std::size_t offset,
                                                   std::size_t width) noexcept;

// Same as le_uint for a field the caller has already bounds-checked.
[[nodiscard]] std::uint64_t le_uint_unchecked(ByteSpan data, std::size_t offset,
                                              std::size_t width) noexcept;

// True when [offset, offset + length) lies inside a buffer of `size` bytes.
[[nodiscard]] constexpr bool fits(std::uint64_t size, std::uint64_t offset,
                                  std::uint64_t length) noexcept {
    return offset <= size && length <= size - offset;
}

// a * b, or nothing on overflow.
[[nodiscard]] std::optional<std::uint64_t> checked_mul(std::uint64_t a, std::uint64_t b) noexcept;

// a + b, or nothing on overflow.
[[nodiscard]] std::optional<std::uint64_t> checked_add(std::uint64_t a, std::uint64_t b) noexcept;

// "0x" followed by lower-case hex digits without leading zeros.
[[nodiscard]] std::string hex_address(std::uint64_t address);

// "[137, 72, 68, 70]": the bytes as decimal numbers.
[[nodiscard]] std::string byte_list(ByteSpan bytes);

// Bytes as UTF-8 text, each ill-formed sequence (each maximal subpart of a
// well-formed one) replaced by U+FFFD, as Unicode 15 section 3.9 recommends.
[[nodiscard]] std::string utf8_lossy(ByteSpan bytes);

// Removes every trailing NUL character.
[[nodiscard]] std::string strip_trailing_nuls(std::string text);

[[nodiscard]] bool has_signature(ByteSpan bytes, const char (&signature)[5]) noexcept;

[[nodiscard]] inline std::unexpected<TarqError> netcdf_error(std::string message) {
    return fail(ErrorKind::NetCdf, std::move(message));
}

}  // namespace tarq::hdf5

// HDF5_CHECK(expr): evaluate expr (a Result<void>) and return its error from
// the enclosing function. Expands to several statements: never use it as the
// body of an unbraced if.
#define HDF5_CHECK(expr)                                                          \
    if (auto TARQ_CONCAT(hdf5_check_, __LINE__) = (expr); !TARQ_CONCAT(hdf5_check_, __LINE__)) \
        return std::unexpected(std::move(TARQ_CONCAT(hdf5_check_, __LINE__).error()))
