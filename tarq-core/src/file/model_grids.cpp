#include "file/model_grids.h"

#include <array>
#include <string>
#include <utility>

#include "file/sizes.h"
#include "io/checked.h"

namespace tarq {

namespace {

// The fields the diagnostics read from the model's output.
constexpr std::array<std::pair<std::string_view, Grid>, 26> kModelGrids = {{
    {"T", Grid::Volume}, {"P", Grid::Volume}, {"PB", Grid::Volume}, {"QVAPOR", Grid::Volume},
    {"QCLOUD", Grid::Volume}, {"QICE", Grid::Volume}, {"QRAIN", Grid::Volume}, {"QSNOW", Grid::Volume},
    {"QGRAUP", Grid::Volume},
    {"U", Grid::StaggeredX}, {"V", Grid::StaggeredY},
    {"W", Grid::StaggeredZ}, {"PH", Grid::StaggeredZ}, {"PHB", Grid::StaggeredZ},
    {"T2", Grid::Plane}, {"Q2", Grid::Plane}, {"PSFC", Grid::Plane}, {"U10", Grid::Plane}, {"V10", Grid::Plane},
    {"HGT", Grid::Plane}, {"XLAT", Grid::Plane}, {"XLONG", Grid::Plane}, {"COSALPHA", Grid::Plane},
    {"SINALPHA", Grid::Plane}, {"LU_INDEX", Grid::Plane}, {"MAPFAC_M", Grid::Plane},
}};

std::array<std::uint64_t, 3> grid_sizes(const TarqFile& file, Grid grid) {
    switch (grid) {
        case Grid::Plane: return {1, file.ny, file.nx};
        case Grid::Volume: return {file.nz, file.ny, file.nx};
        case Grid::StaggeredX: return {file.nz, file.ny, file.nx_stag};
        case Grid::StaggeredY: return {file.nz, file.ny_stag, file.nx};
        case Grid::StaggeredZ: return {file.nz_stag, file.ny, file.nx};
    }
    return {0, 0, 0};
}

}  // namespace

std::optional<Grid> model_grid(std::string_view name) {
    for (const auto& [model_name, grid] : kModelGrids) {
        if (model_name == name) return grid;
    }
    return std::nullopt;
}

Result<void> check_grid_length(const TarqFile& file, std::string_view name, std::size_t t, std::size_t have,
                               Grid grid) {
    const auto sizes = grid_sizes(file, grid);
    const auto shown = grid == Grid::Plane ? std::span<const std::uint64_t>(sizes).subspan(1)
                                           : std::span<const std::uint64_t>(sizes);
    const auto need = element_count(sizes);
    if (need && have == *need) return {};
    return fail(ErrorKind::DimMismatch, std::string(name) + " holds " + std::to_string(have) +
                                            " values for time index " + std::to_string(t) + " where its grid " +
                                            format_dims(shown) + " needs " +
                                            (need ? std::to_string(*need) : std::string("more than 2^64")));
}

}  // namespace tarq
