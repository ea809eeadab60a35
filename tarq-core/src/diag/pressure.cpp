// Sea-level pressure and omega: the lowest model level's pressure reduced to
// sea level column by column, and the vertical wind converted to pressure
// units point by point.
#include <algorithm>

#include "diag/rows.h"
#include "diag/field_checks.h"
#include "file/accessors.h"
#include "met/pressure.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

// The [nz][ny][nx] fields of the sea-level reduction, for one time.
struct ReductionInputs {
    Field p_pa;
    Field t_k;
    std::vector<double> qvapor;
    Field z_msl;
};

Result<ReductionInputs> load_reduction(const TarqFile& file, std::size_t t) {
    ReductionInputs in;
    TARQ_TRY(in.p_pa, pressure(file, t));
    TARQ_TRY(in.t_k, temperature(file, t));
    TARQ_TRY(in.qvapor, read_var(file, "QVAPOR", t));
    TARQ_TRY(in.z_msl, height_msl(file, t));
    const std::size_t need = file.nz * file.nx * file.ny;
    if (in.p_pa.size() != need) return wrong_length("pressure", in.p_pa.size(), need);
    if (in.t_k.size() != need) return wrong_length("temperature", in.t_k.size(), need);
    if (in.qvapor.size() != need) return wrong_length("QVAPOR", in.qvapor.size(), need);
    if (in.z_msl.size() != need) return wrong_length("height", in.z_msl.size(), need);
    return in;
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
    TARQ_TRY(const std::size_t n, same_length({{"w", &w}, {"pressure", &p_pa}, {"temperature", &t_k}, {"QVAPOR", &q}},
                                              file.nz * file.ny * file.nx));
    return per_point(n, [&](std::size_t i) { return met::omega_pa_s(w[i], p_pa[i], t_k[i], q[i]); });
}

}  // namespace tarq
