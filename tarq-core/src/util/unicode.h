#pragma once
// Full Unicode case mapping and white-space trimming of UTF-8 text. Bytes that
// are not valid UTF-8 are passed through unchanged.

#include <string>
#include <string_view>

namespace tarq {

[[nodiscard]] std::string unicode_lower(std::string_view utf8);
[[nodiscard]] std::string unicode_upper(std::string_view utf8);

// Removes leading and trailing Unicode white space.
[[nodiscard]] std::string_view trim_unicode_space(std::string_view utf8);

}  // namespace tarq
