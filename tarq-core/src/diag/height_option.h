#pragma once
// The height options (m above ground) of the kinematic, helicity and
// composite rows.

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "util/error.h"

namespace tarq {

// A height option (m above ground) or its default. NaN names no height, so it
// is refused with an InvalidParam error that names the option.
[[nodiscard]] inline Result<double> height_option(const std::optional<double>& value, double fallback,
                                                  std::string_view name) {
    if (!value) return fallback;
    if (std::isnan(*value)) return fail(ErrorKind::InvalidParam, std::string(name) + " is NaN; give a height in m above ground");
    return *value;
}

}  // namespace tarq
