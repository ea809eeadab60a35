#include "file/model_grids.h"

#include <array>
#include <string>

#include "file/sizes.h"
#include "io/checked.h"

namespace tarq {

namespace {

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
