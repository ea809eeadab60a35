#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "file/tarq_file.h"

namespace tarq {

namespace {

constexpr double kDefaultSpacingM = 1000.0;
constexpr char kNoGrid[] = "Cannot determine grid dimensions: variable 'T' not found";

// 2-D fields whose last two dimensions are [ny, nx] and whose first, when
// they have three, is time: what a surface-only file keeps.
constexpr std::array<std::string_view, 4> kSurfaceFields = {"T2", "PSFC", "XLAT", "HGT"};

// Dimension `axis` of a staggered variable, or `fallback` when the variable is
// missing or has fewer than 4 dimensions.
std::uint64_t staggered_size(const ModelReader& reader, std::string_view name, std::size_t axis,
                             std::uint64_t fallback) {
    auto dims = reader.shape(name);
    if (!dims || dims->size() < 4) return fallback;
    return (*dims)[axis];
}

double spacing(const ModelReader& reader, std::string_view attribute) {
    return reader.attr_f64(attribute).value_or(kDefaultSpacingM);
}

// The grid of a file without T: ny and nx from the south_north and west_east
// dimensions or a 2-D field, nt from Times or a 2-D field with a time
// dimension, nz from bottom_top or 0. Nothing when ny, nx or nt cannot be told.
std::optional<GridDims> surface_grid(const ModelReader& reader) {
    std::optional<std::uint64_t> ny = reader.dimension_size("south_north");
    std::optional<std::uint64_t> nx = reader.dimension_size("west_east");
    std::optional<std::uint64_t> nt;
    if (const auto times = reader.shape("Times"); times && times->size() == 2) nt = (*times)[0];
    for (const std::string_view name : kSurfaceFields) {
        const auto dims = reader.shape(name);
        if (!dims || dims->size() < 2) continue;
        if (!ny || !nx) {
            ny = (*dims)[dims->size() - 2];
            nx = (*dims)[dims->size() - 1];
        }
        if (!nt && dims->size() >= 3) nt = (*dims)[0];
    }
    if (!ny || !nx || !nt) return std::nullopt;
    return GridDims{.nx = *nx, .ny = *ny, .nz = reader.dimension_size("bottom_top").value_or(0), .nt = *nt};
}

MapProjection map_projection(const ModelReader& reader) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    MapProjection projection;
    const double code = reader.attr_f64("MAP_PROJ").value_or(0.0);
    // Anything but a small whole number is no projection this reader knows.
    if (code >= 0.0 && code <= 100.0 && code == std::trunc(code)) projection.map_proj = static_cast<int>(code);
    projection.truelat1 = reader.attr_f64("TRUELAT1").value_or(kNaN);
    projection.truelat2 = reader.attr_f64("TRUELAT2").value_or(kNaN);
    projection.stand_lon = reader.attr_f64("STAND_LON").value_or(kNaN);
    return projection;
}

}  // namespace

Result<GridDims> grid_dims(const ModelReader& reader) {
    auto dims = reader.shape("T");
    if (!dims && dims.error().kind == ErrorKind::VarNotFound) {
        if (const auto grid = surface_grid(reader)) return *grid;
        return fail(ErrorKind::VarNotFound, kNoGrid);
    }
    // T is there but cannot be read: say why rather than that it is missing.
    if (!dims) {
        return fail(dims.error().kind,
                    "Cannot determine grid dimensions: variable 'T' cannot be read: " + dims.error().message);
    }
    if (dims->size() < 4) {
        return fail(ErrorKind::DimMismatch,
                    "T has " + std::to_string(dims->size()) + "-D shape, expected 4-D [Time, nz, ny, nx]");
    }
    return GridDims{.nx = (*dims)[3], .ny = (*dims)[2], .nz = (*dims)[1], .nt = (*dims)[0]};
}

Result<std::unique_ptr<TarqFile>> open_tarq_file(std::string_view path) {
    TARQ_TRY(std::unique_ptr<ModelReader> reader, open_model_reader(path));
    TARQ_TRY(const GridDims grid, grid_dims(*reader));
    auto file = std::make_unique<TarqFile>(std::string(path), std::move(reader));
    file->nx = grid.nx;
    file->ny = grid.ny;
    file->nz = grid.nz;
    file->nt = grid.nt;
    file->nx_stag = staggered_size(*file->reader, "U", 3, grid.nx + 1);
    file->ny_stag = staggered_size(*file->reader, "V", 2, grid.ny + 1);
    file->nz_stag = staggered_size(*file->reader, "PH", 1, grid.nz + 1);
    file->dx = spacing(*file->reader, "DX");
    file->dy = spacing(*file->reader, "DY");
    file->projection = map_projection(*file->reader);
    file->domain = DomainPlacement{.nx = file->nx, .ny = file->ny, .nx_stag = file->nx_stag, .ny_stag = file->ny_stag};
    return file;
}

}  // namespace tarq
