#pragma once
// Windows over the grid: records that cover a rectangle of mass points of a
// file's whole domain and read only that part of each horizontal field. A
// window shares its file's reader and has a cache of its own (its fields are
// of its own sizes). Diagnostics run on a window as on a small file; a row
// whose value at a point depends on neighbouring points runs on a larger
// window around it (on_grown_window) and keeps the part it was asked for.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "file/tarq_file.h"
#include "util/error.h"

namespace tarq {

// Mass points [j0, j1) x [i0, i1), 0-based and end-exclusive, i west-east.
struct WindowBounds {
    std::uint64_t i0 = 0;
    std::uint64_t i1 = 0;
    std::uint64_t j0 = 0;
    std::uint64_t j1 = 0;
};

// The window `bounds` of `file`'s own grid (a window of a window lies within
// it); InvalidParam, naming the bounds and the grid, for an empty window or
// one that leaves the grid.
[[nodiscard]] Result<std::unique_ptr<TarqFile>> window_of(const TarqFile& file, WindowBounds bounds);

// Whether the record covers less than its file's whole domain.
[[nodiscard]] bool is_window(const TarqFile& file) noexcept;

// The record of the file's whole domain, with a cache of its own.
[[nodiscard]] std::unique_ptr<TarqFile> whole_domain(const TarqFile& file);

// The crop of a stored shape (HorizontalCrop, file/model_reader.h) (time dimension removed) in a window: nothing
// for the whole domain, or for a shape whose last two dimensions are not
// south_north and west_east (mass or staggered) sizes of the domain.
[[nodiscard]] std::optional<HorizontalCrop> horizontal_crop(const TarqFile& file,
                                                            std::span<const std::uint64_t> shape) noexcept;

// values of `shape` (the stored sizes) cut to `crop` on the last two dimensions.
[[nodiscard]] std::vector<double> crop_values(std::span<const double> values, std::span<const std::uint64_t> shape,
                                              const HorizontalCrop& crop);

// The planes of `values` (each ny x nx of `from`) cut to the part `to` covers;
// `to` must lie within `from`.
[[nodiscard]] std::vector<double> crop_planes(std::span<const double> values, const TarqFile& from,
                                              const TarqFile& to);

// compute(window) on `file` grown by `halo` points on each side, within the
// domain, cut back to `file`'s grid; compute(file) itself where that is the
// whole domain. The grown window keeps the real domain edges, so a centred
// difference that turns one-sided there does so as on the whole domain.
template <class Compute>
Result<std::vector<double>> on_grown_window(const TarqFile& file, std::uint64_t halo, Compute&& compute) {
    if (!is_window(file)) return compute(file);
    const DomainPlacement& d = file.domain;
    const std::uint64_t i0 = d.i0 > halo ? d.i0 - halo : 0;
    const std::uint64_t j0 = d.j0 > halo ? d.j0 - halo : 0;
    const WindowBounds grown{i0, std::min(d.nx, d.i0 + file.nx + halo), j0, std::min(d.ny, d.j0 + file.ny + halo)};
    TARQ_TRY(const std::unique_ptr<TarqFile> around, window_of(*whole_domain(file), grown));
    TARQ_TRY(const std::vector<double> values, compute(*around));
    return crop_planes(values, *around, file);
}

}  // namespace tarq
