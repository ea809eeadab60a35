#include "met/dynamics.h"

#include <cmath>

#include "util/constants.h"

namespace tarq::met {

namespace {

// Clipped pairs closer than this are averaged instead of interpolated.
constexpr double kFlatSegmentM = 1e-6;

// f between levels k-1 and k at height x (x inside the pair).
double value_between(double f0, double f1, double z0, double z1, double x) noexcept {
    if (std::fabs(z1 - z0) < kFlatSegmentM) return 0.5 * (f0 + f1);
    return f0 + (f1 - f0) * (x - z0) / (z1 - z0);
}

}  // namespace

double coriolis_parameter(double lat_deg) noexcept { return std::sin(lat_deg * kRadiansPerDegree) * kTwoOmega; }

void ddx_level(std::span<const double> f, std::size_t ny, std::size_t nx, double dx, std::span<double> out) noexcept {
    if (nx < 2) {
        for (std::size_t n = 0; n < ny * nx; ++n) out[n] = 0.0;
        return;
    }
    const double inv = 1.0 / dx;
    const double inv2 = 1.0 / (dx + dx);
    for (std::size_t j = 0; j < ny; ++j) {
        const double* row = f.data() + j * nx;
        double* dst = out.data() + j * nx;
        dst[0] = (row[1] - row[0]) * inv;
        for (std::size_t i = 1; i + 1 < nx; ++i) dst[i] = (row[i + 1] - row[i - 1]) * inv2;
        dst[nx - 1] = (row[nx - 1] - row[nx - 2]) * inv;
    }
}

void ddy_level(std::span<const double> f, std::size_t ny, std::size_t nx, double dy, std::span<double> out) noexcept {
    if (ny < 2) {
        for (std::size_t n = 0; n < ny * nx; ++n) out[n] = 0.0;
        return;
    }
    const double inv = 1.0 / dy;
    const double inv2 = 1.0 / (dy + dy);
    for (std::size_t i = 0; i < nx; ++i) {
        out[i] = (f[nx + i] - f[i]) * inv;
        out[(ny - 1) * nx + i] = (f[(ny - 1) * nx + i] - f[(ny - 2) * nx + i]) * inv;
    }
    for (std::size_t j = 1; j + 1 < ny; ++j) {
        for (std::size_t i = 0; i < nx; ++i) out[j * nx + i] = (f[(j + 1) * nx + i] - f[(j - 1) * nx + i]) * inv2;
    }
}

void relative_vorticity_level(std::span<const double> u, std::span<const double> v, std::size_t ny, std::size_t nx,
                              double dx, double dy, std::span<double> dudy, std::span<double> out) noexcept {
    ddx_level(v, ny, nx, dx, out);
    ddy_level(u, ny, nx, dy, dudy);
    for (std::size_t n = 0; n < ny * nx; ++n) out[n] = out[n] - dudy[n];
}

void absolute_vorticity_level(std::span<const double> u, std::span<const double> v, std::span<const double> lat_deg,
                              std::size_t ny, std::size_t nx, double dx, double dy, std::span<double> dudy,
                              std::span<double> zeta, std::span<double> out) noexcept {
    relative_vorticity_level(u, v, ny, nx, dx, dy, dudy, zeta);
    for (std::size_t n = 0; n < ny * nx; ++n) out[n] = coriolis_parameter(lat_deg[n]) + zeta[n];
}

void potential_vorticity_pvu_level(std::span<const double> theta_k, std::span<const double> p_pa, std::size_t nz,
                                   std::size_t k, std::span<double> eta_to_pvu) noexcept {
    const std::size_t nxy = eta_to_pvu.size();
    const std::size_t below = k == 0 ? 0 : k - 1;
    const std::size_t above = k == nz - 1 ? nz - 1 : k + 1;
    for (std::size_t n = 0; n < nxy; ++n) {
        const double dtheta = theta_k[above * nxy + n] - theta_k[below * nxy + n];
        const double dp = p_pa[above * nxy + n] - p_pa[below * nxy + n];
        const double eta = eta_to_pvu[n];
        eta_to_pvu[n] = ((eta * kGravityPv) * (dtheta / dp)) * kPvuScale;
    }
}

void map_vorticity_level(std::span<const double> u, std::span<const double> v, std::span<const double> map_factor,
                         std::size_t ny, std::size_t nx, double dx, double dy, std::span<double> out) noexcept {
    for (std::size_t j = 0; j < ny; ++j) {
        for (std::size_t i = 0; i < nx; ++i) {
            const std::size_t n = j * nx + i;
            const double m = map_factor[n];
            double dvdx = 0.0;
            if (nx >= 2) {
                if (i == 0) {
                    dvdx = (v[n + 1] - v[n]) / (dx * m);
                } else if (i == nx - 1) {
                    dvdx = (v[n] - v[n - 1]) / (dx * m);
                } else {
                    dvdx = (v[n + 1] - v[n - 1]) / ((2.0 * dx) * m);
                }
            }
            double dudy = 0.0;
            if (ny >= 2) {
                if (j == 0) {
                    dudy = (u[n + nx] - u[n]) / (dy * m);
                } else if (j == ny - 1) {
                    dudy = (u[n] - u[n - nx]) / (dy * m);
                } else {
                    dudy = (u[n + nx] - u[n - nx]) / ((2.0 * dy) * m);
                }
            }
            out[n] = dvdx - dudy;
        }
    }
}

double updraft_helicity_column(std::span<const double> w, std::span<const double> f, std::span<const double> z,
                               double bottom, double top) noexcept {
    const std::size_t nz = z.size();
    // Integral of g over the used segments, and their total thickness.
    auto integrate = [&](std::span<const double> g, double& thickness) {
        double sum = 0.0;
        thickness = 0.0;
        for (std::size_t k = 1; k < nz; ++k) {
            const double z0 = z[k - 1];
            const double z1 = z[k];
            if (!(z1 > bottom && z0 < top)) continue;
            // std::fmax/fmin let a NaN height give way to the layer bound.
            const double lo = std::fmax(bottom, z0);
            const double hi = std::fmin(top, z1);
            const double d = hi - lo;
            if (!(d > 0.0)) continue;
            const double g_lo = z0 < lo ? value_between(g[k - 1], g[k], z0, z1, lo) : g[k - 1];
            const double g_hi = z1 > hi ? value_between(g[k - 1], g[k], z0, z1, hi) : g[k];
            sum += 0.5 * (g_lo + g_hi) * d;
            thickness += d;
        }
        return sum;
    };
    double depth = 0.0;
    const double w_sum = integrate(w, depth);
    if (!(depth > 0.0 && w_sum / depth > 0.0)) return 0.0;
    double unused = 0.0;
    return integrate(f, unused);
}

}  // namespace tarq::met
