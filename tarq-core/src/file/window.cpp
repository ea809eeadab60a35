#include "file/window.h"

#include <algorithm>
#include <string>


namespace tarq {

namespace {

std::string bounds_text(WindowBounds b) {
    return "i0=" + std::to_string(b.i0) + ", i1=" + std::to_string(b.i1) + ", j0=" + std::to_string(b.j0) +
           ", j1=" + std::to_string(b.j1);
}

// A record like `file` (its reader, sizes and attributes) with an empty cache.
std::unique_ptr<TarqFile> copy_of(const TarqFile& file) {
    auto copy = std::make_unique<TarqFile>(file.path, file.reader);
    copy->nx = file.nx;
    copy->ny = file.ny;
    copy->nz = file.nz;
    copy->nt = file.nt;
    copy->nx_stag = file.nx_stag;
    copy->ny_stag = file.ny_stag;
    copy->nz_stag = file.nz_stag;
    copy->dx = file.dx;
    copy->dy = file.dy;
    copy->projection = file.projection;
    copy->domain = file.domain;
    return copy;
}

// The rows (or columns) [first, first + count) of one axis of `size` stored
// points, of which the domain has `mass` mass points: a staggered axis keeps
// the extra point of the window's last cell.
std::optional<std::pair<std::uint64_t, std::uint64_t>> axis_crop(std::uint64_t size, std::uint64_t mass,
                                                                 std::uint64_t stag, std::uint64_t first,
                                                                 std::uint64_t count) {
    if (size == mass) return std::pair{first, count};
    if (size == stag && stag > mass) return std::pair{first, count + (stag - mass)};
    return std::nullopt;
}

}  // namespace

bool is_window(const TarqFile& file) noexcept {
    const DomainPlacement& d = file.domain;
    return d.nx != 0 && (d.i0 != 0 || d.j0 != 0 || file.nx != d.nx || file.ny != d.ny);
}

std::unique_ptr<TarqFile> whole_domain(const TarqFile& file) {
    auto whole = copy_of(file);
    whole->nx = file.domain.nx;
    whole->ny = file.domain.ny;
    whole->nx_stag = file.domain.nx_stag;
    whole->ny_stag = file.domain.ny_stag;
    whole->domain.i0 = 0;
    whole->domain.j0 = 0;
    return whole;
}

Result<std::unique_ptr<TarqFile>> window_of(const TarqFile& file, WindowBounds bounds) {
    if (!(bounds.i0 < bounds.i1 && bounds.i1 <= file.nx && bounds.j0 < bounds.j1 && bounds.j1 <= file.ny)) {
        return fail(ErrorKind::InvalidParam, "window " + bounds_text(bounds) + " is empty or outside the grid (nx=" +
                                                 std::to_string(file.nx) + ", ny=" + std::to_string(file.ny) + ")");
    }
    auto window = copy_of(file);
    if (window->domain.nx == 0) {
        window->domain = DomainPlacement{.nx = file.nx, .ny = file.ny, .nx_stag = file.nx_stag, .ny_stag = file.ny_stag};
    }
    window->domain.i0 += bounds.i0;
    window->domain.j0 += bounds.j0;
    window->nx = bounds.i1 - bounds.i0;
    window->ny = bounds.j1 - bounds.j0;
    window->nx_stag = window->nx + (window->domain.nx_stag - std::min(window->domain.nx_stag, window->domain.nx));
    window->ny_stag = window->ny + (window->domain.ny_stag - std::min(window->domain.ny_stag, window->domain.ny));
    return window;
}

std::optional<HorizontalCrop> horizontal_crop(const TarqFile& file, std::span<const std::uint64_t> shape) noexcept {
    if (!is_window(file) || shape.size() < 2) return std::nullopt;
    const DomainPlacement& d = file.domain;
    const auto rows = axis_crop(shape[shape.size() - 2], d.ny, d.ny_stag, d.j0, file.ny);
    const auto cols = axis_crop(shape[shape.size() - 1], d.nx, d.nx_stag, d.i0, file.nx);
    if (!rows || !cols) return std::nullopt;
    return HorizontalCrop{rows->first, rows->second, cols->first, cols->second};
}

std::vector<double> crop_values(std::span<const double> values, std::span<const std::uint64_t> shape,
                                const HorizontalCrop& crop) {
    const std::uint64_t nx = shape[shape.size() - 1];
    const std::uint64_t ny = shape[shape.size() - 2];
    const std::uint64_t planes = ny * nx == 0 ? 0 : values.size() / (ny * nx);
    std::vector<double> out;
    out.reserve(planes * crop.rows * crop.cols);
    for (std::uint64_t p = 0; p < planes; ++p) {
        for (std::uint64_t r = 0; r < crop.rows; ++r) {
            const auto first = values.begin() + static_cast<std::ptrdiff_t>((p * ny + crop.row0 + r) * nx + crop.col0);
            out.insert(out.end(), first, first + static_cast<std::ptrdiff_t>(crop.cols));
        }
    }
    return out;
}

std::vector<double> crop_planes(std::span<const double> values, const TarqFile& from, const TarqFile& to) {
    const std::uint64_t shape[] = {from.ny, from.nx};
    const HorizontalCrop crop{to.domain.j0 - from.domain.j0, to.ny, to.domain.i0 - from.domain.i0, to.nx};
    return crop_values(values, shape, crop);
}

}  // namespace tarq
