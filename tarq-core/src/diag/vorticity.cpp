// Absolute and potential vorticity on the model levels, from centred
// differences on the grid's own axes (no map factor) and the Coriolis
// parameter of each point's latitude; the physics is met/dynamics'.
#include <string>

#include "diag/rows.h"
#include "file/accessors.h"
#include "file/window.h"
#include "met/dynamics.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

// The horizontal inputs of both rows, for one time.
struct VorticityInputs {
    GridField u;
    GridField v;
    GridField lat;
};

// Scratch of one level.
struct LevelScratch {
    std::vector<double> zeta;
    std::vector<double> dudy;

    explicit LevelScratch(std::size_t nxy) : zeta(nxy), dudy(nxy) {}
};

// Absolute vorticity of level k into out (nxy values).
void absolute_vorticity_level(const VorticityInputs& in, const TarqFile& file, std::size_t k, LevelScratch& s,
                              std::span<double> out) {
    const std::size_t nxy = file.nx * file.ny;
    const std::span<const double> u(in.u.data() + k * nxy, nxy);
    const std::span<const double> v(in.v.data() + k * nxy, nxy);
    met::absolute_vorticity_level(u, v, in.lat, file.ny, file.nx, file.dx, file.dy, s.dudy, s.zeta, out);
}

}  // namespace

namespace {

Result<std::vector<double>> avo_on(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(GridField u, u_mass(file, t));
    TARQ_TRY(GridField v, v_mass(file, t));
    TARQ_TRY(GridField lat, read_var(file, "XLAT", t));
    const VorticityInputs in{std::move(u), std::move(v), std::move(lat)};
    const std::size_t nxy = file.nx * file.ny;
    const std::size_t nz = file.nz;
    std::vector<double> out(nz * nxy, 0.0);
    for_each_level(nz, [&](std::size_t k) {
        LevelScratch s(nxy);
        absolute_vorticity_level(in, file, k, s, std::span<double>(out.data() + k * nxy, nxy));
    });
    return out;
}

Result<std::vector<double>> pvo_on(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(GridField u, u_mass(file, t));
    TARQ_TRY(GridField v, v_mass(file, t));
    TARQ_TRY(const GridField th, theta(file, t));
    TARQ_TRY(const GridField p, pressure(file, t));
    TARQ_TRY(GridField lat, read_var(file, "XLAT", t));
    const VorticityInputs in{std::move(u), std::move(v), std::move(lat)};
    const std::size_t nxy = file.nx * file.ny;
    const std::size_t nz = file.nz;
    if (nz < 2) {
        return fail(ErrorKind::Compute, "potential vorticity needs at least two levels for dtheta/dp; the file has " +
                                            std::to_string(nz));
    }
    std::vector<double> out(nz * nxy, 0.0);
    for_each_level(nz, [&](std::size_t k) {
        LevelScratch s(nxy);
        const std::span<double> level(out.data() + k * nxy, nxy);
        absolute_vorticity_level(in, file, k, s, level);
        met::potential_vorticity_pvu_level(th, p, nz, k, level);
    });
    return out;
}

}  // namespace

// Centred differences reach one point to each side: a window computes on
// itself grown by that point and keeps its own part.
Result<std::vector<double>> compute_avo(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    return on_grown_window(file, 1, [&](const TarqFile& grid) { return avo_on(grid, t, options); });
}

Result<std::vector<double>> compute_pvo(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    return on_grown_window(file, 1, [&](const TarqFile& grid) { return pvo_on(grid, t, options); });
}

}  // namespace tarq
