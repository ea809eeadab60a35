#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tarq {

// Bytes as UTF-8 text, each ill-formed sequence (each maximal subpart of a
// well-formed one) replaced by U+FFFD, as Unicode 15 section 3.9 recommends.
[[nodiscard]] std::string decode_utf8_lossy(std::span<const std::uint8_t> bytes);

}  // namespace tarq
