#pragma once
// Interpolation of 3-D fields to fixed vertical levels, column by column.

#include <cstddef>
#include <span>
#include <vector>

#include "util/error.h"

namespace tarq {

struct LevelsRequest {
    // One or more [nz][ncol] fields, one after another.
    std::span<const double> field;
    // The vertical coordinate: one [nz][ncol] field shared by every field, or
    // one per field (as long as `field`).
    std::span<const double> vertical;
    std::span<const double> levels;
    std::size_t nz = 0;
    std::size_t ncol = 0;
    // Interpolate linearly in the logarithm of the coordinate (pressure).
    bool log_coordinate = false;
    // Levels beyond a column's range take the value at its nearer end.
    bool extrapolate = false;
};

// Every field at every level: [nfield][nlevels][ncol], fields in input order.
// DimMismatch when the sizes do not fit together.
[[nodiscard]] Result<std::vector<double>> interp_to_levels(const LevelsRequest& request);

}  // namespace tarq
