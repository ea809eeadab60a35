#pragma once
// Errors shared by the diagnostics families.

#include <cstddef>
#include <string>
#include <string_view>

#include "util/error.h"

namespace tarq {

// DimMismatch for an input field that holds fewer values than the grid needs.
[[nodiscard]] inline std::unexpected<TarqError> too_short(std::string_view name, std::size_t have, std::size_t need) {
    return fail(ErrorKind::DimMismatch, std::string(name) + " holds " + std::to_string(have) +
                                            " values where the grid needs " + std::to_string(need));
}

}  // namespace tarq
