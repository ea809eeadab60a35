// Updraft helicity: vertical velocity times vertical vorticity, integrated
// over a layer above ground in columns whose layer-mean updraft is positive
// (Kain et al. 2008).
#include "diag/rows.h"
#include "diag/field_checks.h"
#include "diag/option_defaults.h"
#include "file/accessors.h"
#include "file/window.h"
#include "met/dynamics.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

using namespace option_defaults::updraft_helicity;

// MAPFAC_M, or 1.0 everywhere where the file lacks it.
Result<Field> map_factor(const TarqFile& file, std::size_t t, std::size_t nxy) {
    TARQ_TRY(const auto m, read_optional(file, "MAPFAC_M", t));
    if (!m) return Field(std::vector<double>(nxy, 1.0));
    return m->field();
}

struct ColumnScratch {
    std::vector<double> w;
    std::vector<double> product;
    std::vector<double> z;
};

}  // namespace

namespace {

Result<std::vector<double>> uhel_on(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(const double bottom, height_option(options.bottom_m, kDefaultBottomM, "bottom_m"));
    TARQ_TRY(const double top, height_option(options.top_m, kDefaultTopM, "top_m"));
    TARQ_TRY(const auto w, w_mass(file, t));
    TARQ_TRY(const auto u, u_mass(file, t));
    TARQ_TRY(const auto v, v_mass(file, t));
    TARQ_TRY(const auto z, height_agl(file, t));
    const std::size_t nx = file.nx;
    const std::size_t ny = file.ny;
    const std::size_t nz = file.nz;
    const std::size_t nxy = nx * ny;
    const std::size_t need = nz * nxy;
    TARQ_TRY(const Field m, map_factor(file, t, nxy));

    std::vector<double> zeta(need);
    for_each_level(nz, [&](std::size_t k) {
        const std::span<const double> level_u(u.data() + k * nxy, nxy);
        const std::span<const double> level_v(v.data() + k * nxy, nxy);
        met::map_vorticity_level(level_u, level_v, m, ny, nx, file.dx, file.dy,
                                 std::span<double>(zeta.data() + k * nxy, nxy));
    });
    const std::vector<double> product = per_point(need, [&](std::size_t i) { return w[i] * zeta[i]; });

    std::vector<double> out(nxy, 0.0);
    for_each_column<ColumnScratch>(nxy, [&](std::size_t col, ColumnScratch& s) {
        gather_column(w, nz, nxy, col, s.w);
        gather_column(product, nz, nxy, col, s.product);
        gather_column(z, nz, nxy, col, s.z);
        out[col] = met::updraft_helicity_column(s.w, s.product, s.z, bottom, top);
    });
    return out;
}

}  // namespace

// Centred differences reach one point to each side: a window computes on
// itself grown by that point and keeps its own part.
Result<std::vector<double>> compute_uhel(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    return on_grown_window(file, 1, [&](const TarqFile& grid) { return uhel_on(grid, t, options); });
}

}  // namespace tarq
