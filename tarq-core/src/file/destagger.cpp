#include "file/destagger.h"

#include <stdexcept>

#include "util/grid_loops.h"

namespace tarq {

namespace {

void require_values(std::span<const double> in, std::uint64_t a, std::uint64_t b, std::uint64_t c) {
    if (b != 0 && c != 0 && a > in.size() / b / c) {
        throw std::logic_error("destagger: staggered input shorter than its sizes");
    }
}

std::uint64_t less_one(std::uint64_t n) { return n == 0 ? 0 : n - 1; }

}  // namespace

std::vector<double> destagger_x(std::span<const double> u, std::uint64_t nz, std::uint64_t ny,
                                std::uint64_t nx_stag) {
    require_values(u, nz, ny, nx_stag);
    const std::uint64_t nx = less_one(nx_stag);
    std::vector<double> out(nz * ny * nx, 0.0);
    if (out.empty()) return out;
    for_each_level(nz, [&](std::size_t k) {
        for (std::uint64_t j = 0; j < ny; ++j) {
            const double* row = u.data() + (k * ny + j) * nx_stag;
            double* dst = out.data() + (k * ny + j) * nx;
            for (std::uint64_t i = 0; i < nx; ++i) dst[i] = (row[i] + row[i + 1]) * 0.5;
        }
    });
    return out;
}

std::vector<double> destagger_y(std::span<const double> v, std::uint64_t nz, std::uint64_t ny_stag,
                                std::uint64_t nx) {
    require_values(v, nz, ny_stag, nx);
    const std::uint64_t ny = less_one(ny_stag);
    std::vector<double> out(nz * ny * nx, 0.0);
    if (out.empty()) return out;
    for_each_level(nz, [&](std::size_t k) {
        for (std::uint64_t j = 0; j < ny; ++j) {
            const double* south = v.data() + (k * ny_stag + j) * nx;
            const double* north = south + nx;
            double* dst = out.data() + (k * ny + j) * nx;
            for (std::uint64_t i = 0; i < nx; ++i) dst[i] = (south[i] + north[i]) * 0.5;
        }
    });
    return out;
}

std::vector<double> destagger_z(std::span<const double> w, std::uint64_t nz_stag, std::uint64_t ny,
                                std::uint64_t nx) {
    require_values(w, nz_stag, ny, nx);
    const std::uint64_t nz = less_one(nz_stag);
    const std::uint64_t level = ny * nx;
    std::vector<double> out(nz * level, 0.0);
    if (out.empty()) return out;
    for_each_level(nz, [&](std::size_t k) {
        const double* below = w.data() + k * level;
        const double* above = below + level;
        double* dst = out.data() + k * level;
        for (std::uint64_t n = 0; n < level; ++n) dst[n] = (below[n] + above[n]) * 0.5;
    });
    return out;
}

}  // namespace tarq
