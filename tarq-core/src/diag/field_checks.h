#pragma once
// Checks of a request that several families make, each with its text written
// once: today the height options (m above ground) of the kinematic, helicity
// and composite rows. Model fields need no check here: read_var and the
// accessors hand out GridFields, which fill their grid by construction.

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
