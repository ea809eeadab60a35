#pragma once
// The grid each variable the model writes lives on, and the check that one
// time of a stored field holds exactly the values of its grid: a short field
// would be read past its end, a long one at the wrong stride.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "file/tarq_file.h"
#include "util/error.h"

namespace tarq {

enum class Grid {
    Plane,       // [ny][nx]
    Volume,      // [nz][ny][nx]
    StaggeredX,  // [nz][ny][nx_stag]
    StaggeredY,  // [nz][ny_stag][nx]
    StaggeredZ,  // [nz_stag][ny][nx]
};

// The grid of a model variable by its exact stored name (T2, QVAPOR, U, ...),
// or nothing for a name the model does not write this way.
[[nodiscard]] std::optional<Grid> model_grid(std::string_view name);

// DimMismatch unless `have` values are exactly one time of `grid`; the message
// names the field, what it holds and what the grid needs.
[[nodiscard]] Result<void> check_grid_length(const TarqFile& file, std::string_view name, std::size_t t,
                                             std::size_t have, Grid grid);

}  // namespace tarq
