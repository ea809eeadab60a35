// Sea-level pressure and omega: the lowest model level's pressure reduced to
// sea level column by column, and the vertical wind converted to pressure
// units point by point.
#include <algorithm>

#include "diag/rows.h"
#include "file/accessors.h"
#include "met/pressure.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

// The [nz][ny][nx] fields of the sea-level reduction, for one time.
struct ReductionInputs {
    GridField p_pa;
    GridField t_k;
    GridField qvapor;
    GridField z_msl;
};

Result<ReductionInputs> load_reduction(const TarqFile& file, std::size_t t) {
    TARQ_TRY(GridField p_pa, pressure(file, t));
    TARQ_TRY(GridField t_k, temperature(file, t));
    TARQ_TRY(GridField qvapor, read_var(file, "QVAPOR", t));
    TARQ_TRY(GridField z_msl, height_msl(file, t));
    return ReductionInputs{std::move(p_pa), std::move(t_k), std::move(qvapor), std::move(z_msl)};
}

}  // namespace

Result<std::vector<double>> compute_slp(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    // The reduction interpolates between two levels of every column.
    if (file.nz < 2) return fail(ErrorKind::Compute, "sea-level pressure needs at least two levels");
    TARQ_TRY(const ReductionInputs in, load_reduction(file, t));
    const std::size_t nz = file.nz;
    const std::size_t ncol = file.nx * file.ny;
    return per_point(ncol, [&](std::size_t col) {
        return met::sea_level_pressure_column(in.p_pa, in.t_k, in.qvapor, in.z_msl, nz, ncol, col);
    });
}

Result<std::vector<double>> compute_omega(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto w, w_mass(file, t));
    TARQ_TRY(const auto p_pa, pressure(file, t));
    TARQ_TRY(const auto t_k, temperature(file, t));
    TARQ_TRY(const auto q, read_var(file, "QVAPOR", t));
    const std::size_t n = file.nz * file.ny * file.nx;
    return per_point(n, [&](std::size_t i) { return met::omega_pa_s(w[i], p_pa[i], t_k[i], q[i]); });
}

}  // namespace tarq
