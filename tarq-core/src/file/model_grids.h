#pragma once
// The grid each variable the model writes lives on, and the check that one
// time of a stored field holds exactly the values of its grid: a short field
// would be read past its end, a long one at the wrong stride.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

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

// The fields the diagnostics read from the model's output.
inline constexpr std::array<std::pair<std::string_view, Grid>, 33> kModelGrids = {{
    {"T", Grid::Volume}, {"P", Grid::Volume}, {"PB", Grid::Volume}, {"QVAPOR", Grid::Volume},
    {"QCLOUD", Grid::Volume}, {"QICE", Grid::Volume}, {"QRAIN", Grid::Volume}, {"QSNOW", Grid::Volume},
    {"QGRAUP", Grid::Volume},
    {"U", Grid::StaggeredX}, {"V", Grid::StaggeredY},
    {"W", Grid::StaggeredZ}, {"PH", Grid::StaggeredZ}, {"PHB", Grid::StaggeredZ},
    {"T2", Grid::Plane}, {"Q2", Grid::Plane}, {"PSFC", Grid::Plane}, {"U10", Grid::Plane}, {"V10", Grid::Plane},
    {"HGT", Grid::Plane}, {"XLAT", Grid::Plane}, {"XLONG", Grid::Plane}, {"COSALPHA", Grid::Plane},
    {"SINALPHA", Grid::Plane}, {"LU_INDEX", Grid::Plane}, {"MAPFAC_M", Grid::Plane},
    // Accumulated precipitation since the start of the run, mm, and the bucket counters.
    {"RAINC", Grid::Plane}, {"RAINNC", Grid::Plane}, {"I_RAINC", Grid::Plane}, {"I_RAINNC", Grid::Plane},
    {"SNOWNC", Grid::Plane}, {"GRAUPELNC", Grid::Plane}, {"HAILNC", Grid::Plane},
}};

// The grid of a model variable by its exact stored name (T2, QVAPOR, U, ...),
// or nothing for a name the model does not write this way.
[[nodiscard]] constexpr std::optional<Grid> model_grid(std::string_view name) noexcept {
    for (const auto& [model_name, grid] : kModelGrids) {
        if (model_name == name) return grid;
    }
    return std::nullopt;
}

// A model variable the code names, with its grid looked up while compiling:
// a name the model does not write is a compile error, not a runtime one.
struct ModelVariable {
    consteval ModelVariable(const char* variable)  // NOLINT: implicit, so that read_var(file, "T2", t) reads
        : name(variable), grid(grid_of(name)) {}

    std::string_view name;
    Grid grid;

private:
    static consteval Grid grid_of(std::string_view variable) {
        const auto grid = model_grid(variable);
        if (!grid) throw "not a variable the model writes";
        return *grid;
    }
};

// DimMismatch unless `have` values are exactly one time of `grid`; the message
// names the field, what it holds and what the grid needs.
[[nodiscard]] Result<void> check_grid_length(const TarqFile& file, std::string_view name, std::size_t t,
                                             std::size_t have, Grid grid);

}  // namespace tarq
