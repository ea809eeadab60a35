#pragma once
// Sizes read from a file in error messages.

#include <cstdint>
#include <span>
#include <string>

namespace tarq {

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
