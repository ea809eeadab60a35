// Absolute and potential vorticity on the model levels, from centred
// differences on the grid's own axes (no map factor) and the Coriolis
// parameter of each point's latitude.
#include "diag/rows.h"
#include "diag/field_checks.h"
#include "file/accessors.h"
#include "met/dynamics.h"
#include "util/constants.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

// The horizontal inputs of both rows, for one time.
struct VorticityInputs {
    Field u;
    Field v;
    std::vector<double> lat;
};

Result<void> check_lengths(const VorticityInputs& in, std::size_t nxy, std::size_t need) {
    if (in.u.size() != need) return wrong_length("u_mass", in.u.size(), need);
    if (in.v.size() != need) return wrong_length("v_mass", in.v.size(), need);
    if (in.lat.size() != nxy) return wrong_length("XLAT", in.lat.size(), nxy);
    return {};
}

// Scratch of one level.
struct LevelScratch {
    std::vector<double> zeta;
    std::vector<double> dudy;

    explicit LevelScratch(std::size_t nxy) : zeta(nxy), dudy(nxy) {}
};

// Absolute vorticity eta = f + zeta of level k into out (nxy values).
void absolute_vorticity_level(const VorticityInputs& in, const TarqFile& file, std::size_t k, LevelScratch& s,
                              std::span<double> out) {
    const std::size_t nxy = file.nx * file.ny;
    const std::span<const double> u(in.u.data() + k * nxy, nxy);
    const std::span<const double> v(in.v.data() + k * nxy, nxy);
    met::relative_vorticity_level(u, v, file.ny, file.nx, file.dx, file.dy, s.dudy, s.zeta);
    for (std::size_t n = 0; n < nxy; ++n) out[n] = met::coriolis_parameter(in.lat[n]) + s.zeta[n];
}

}  // namespace

Result<std::vector<double>> compute_avo(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    VorticityInputs in;
    TARQ_TRY(in.u, u_mass(file, t));
    TARQ_TRY(in.v, v_mass(file, t));
    TARQ_TRY(in.lat, read_var(file, "XLAT", t));
    const std::size_t nxy = file.nx * file.ny;
    const std::size_t nz = file.nz;
    if (auto ok = check_lengths(in, nxy, nz * nxy); !ok) return std::unexpected(ok.error());
    std::vector<double> out(nz * nxy, 0.0);
    for_each_level(nz, [&](std::size_t k) {
        LevelScratch s(nxy);
        absolute_vorticity_level(in, file, k, s, std::span<double>(out.data() + k * nxy, nxy));
    });
    return out;
}

Result<std::vector<double>> compute_pvo(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    VorticityInputs in;
    TARQ_TRY(in.u, u_mass(file, t));
    TARQ_TRY(in.v, v_mass(file, t));
    TARQ_TRY(const auto th, theta(file, t));
    TARQ_TRY(const auto p, pressure(file, t));
    TARQ_TRY(in.lat, read_var(file, "XLAT", t));
    const std::size_t nxy = file.nx * file.ny;
    const std::size_t nz = file.nz;
    const std::size_t need = nz * nxy;
    if (auto ok = check_lengths(in, nxy, need); !ok) return std::unexpected(ok.error());
    if (th.size() != need) return wrong_length("theta", th.size(), need);
    if (p.size() != need) return wrong_length("pressure", p.size(), need);
    if (nz < 2) {
        return fail(ErrorKind::Compute, "potential vorticity needs at least two levels for dtheta/dp; the file has " +
                                            std::to_string(nz));
    }
    std::vector<double> out(need, 0.0);
    for_each_level(nz, [&](std::size_t k) {
        LevelScratch s(nxy);
        const std::span<double> level(out.data() + k * nxy, nxy);
        absolute_vorticity_level(in, file, k, s, level);
        // One-sided at the lowest and highest level, centred between.
        const std::size_t below = k == 0 ? 0 : k - 1;
        const std::size_t above = k == nz - 1 ? nz - 1 : k + 1;
        for (std::size_t n = 0; n < nxy; ++n) {
            const double dtheta = th[above * nxy + n] - th[below * nxy + n];
            const double dp = p[above * nxy + n] - p[below * nxy + n];
            const double eta = level[n];
            level[n] = ((eta * kGravityPv) * (dtheta / dp)) * kPvuScale;
        }
    });
    return out;
}

}  // namespace tarq
