#pragma once
// Errors shared by the diagnostics families.

#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "util/error.h"

namespace tarq {

// DimMismatch for an input field that holds fewer values than the grid needs.
[[nodiscard]] inline std::unexpected<TarqError> too_short(std::string_view name, std::size_t have, std::size_t need) {
    return fail(ErrorKind::DimMismatch, std::string(name) + " holds " + std::to_string(have) +
                                            " values where the grid needs " + std::to_string(need));
}

// A height option (m above ground) or its default. NaN names no height, so it
// is refused with an InvalidParam error that names the option.
[[nodiscard]] inline Result<double> height_option(const std::optional<double>& value, double fallback,
                                                  std::string_view name) {
    if (!value) return fallback;
    if (std::isnan(*value)) return fail(ErrorKind::InvalidParam, std::string(name) + " is NaN; give a height in m above ground");
    return *value;
}

}  // namespace tarq
