#include <string>

#include "file/tarq_file.h"

namespace tarq {

namespace {

constexpr double kDefaultSpacingM = 1000.0;

// Dimension `axis` of a staggered variable, or `fallback` when the variable is
// missing or has fewer than 4 dimensions.
std::uint64_t staggered_size(const Hdf5File& hdf5, std::string_view name, std::size_t axis,
                             std::uint64_t fallback) {
    auto dims = hdf5.shape(name);
    if (!dims || dims->size() < 4) return fallback;
    return (*dims)[axis];
}

double spacing(const Hdf5File& hdf5, std::string_view attribute) {
    return hdf5.attr_f64(attribute).value_or(kDefaultSpacingM);
}

}  // namespace

Result<GridDims> grid_dims(const Hdf5File& hdf5) {
    auto dims = hdf5.shape("T");
    // A T that is present but cannot be read (a corrupt header) says why.
    if (!dims && dims.error().kind != ErrorKind::VarNotFound) return std::unexpected(dims.error());
    if (!dims) {
        return fail(ErrorKind::VarNotFound, "Cannot determine grid dimensions: variable 'T' not found");
    }
    if (dims->size() < 4) {
        return fail(ErrorKind::DimMismatch,
                    "T has " + std::to_string(dims->size()) + "-D shape, expected 4-D [Time, nz, ny, nx]");
    }
    return GridDims{.nx = (*dims)[3], .ny = (*dims)[2], .nz = (*dims)[1], .nt = (*dims)[0]};
}

Result<std::unique_ptr<TarqFile>> open_tarq_file(std::string_view path) {
    TARQ_TRY(Hdf5File hdf5, Hdf5File::open(path));
    TARQ_TRY(const GridDims grid, grid_dims(hdf5));
    auto file = std::make_unique<TarqFile>(std::string(path), std::move(hdf5));
    file->nx = grid.nx;
    file->ny = grid.ny;
    file->nz = grid.nz;
    file->nt = grid.nt;
    file->nx_stag = staggered_size(file->hdf5, "U", 3, grid.nx + 1);
    file->ny_stag = staggered_size(file->hdf5, "V", 2, grid.ny + 1);
    file->nz_stag = staggered_size(file->hdf5, "PH", 1, grid.nz + 1);
    file->dx = spacing(file->hdf5, "DX");
    file->dy = spacing(file->hdf5, "DY");
    return file;
}

}  // namespace tarq
