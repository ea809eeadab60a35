#include "met/pressure.h"

#include <cmath>

#include "util/constants.h"

namespace tarq::met {

namespace {

// A negative or missing mixing ratio counts as dry air.
double dry_floor(double q) noexcept { return q > 0.0 ? q : 0.0; }

}  // namespace

double sea_level_pressure_column(std::span<const double> p_pa, std::span<const double> t_k,
                                 std::span<const double> qv_kgkg, std::span<const double> z_m, std::size_t nz,
                                 std::size_t ncol, std::size_t col) noexcept {
    if (nz < 2) return std::nan("");
    auto at = [&](std::size_t k) { return k * ncol + col; };
    const double p_s = p_pa[at(0)];
    std::size_t k_up = nz - 1;
    for (std::size_t k = 0; k < nz; ++k) {
        if (p_s - p_pa[at(k)] >= kSlpAnchorDepthPa) {
            k_up = k;
            break;
        }
    }
    // The lowest level never qualifies, so with nz >= 2 k_up is at least 1.
    const std::size_t k_lo = k_up - 1;
    auto virtual_t = [&](std::size_t k) { return (1.0 + kSlpVirtualFactor * dry_floor(qv_kgkg[at(k)])) * t_k[at(k)]; };
    const double p_up = p_pa[at(k_up)];
    const double p_lo = p_pa[at(k_lo)];
    const double z_up = z_m[at(k_up)];
    const double z_lo = z_m[at(k_lo)];
    const double tv_up = virtual_t(k_up);
    const double tv_lo = virtual_t(k_lo);

    const double p_c = p_s - kSlpAnchorDepthPa;
    double z_c = z_up;
    double tv_c = tv_up;
    if (!(std::fabs(p_up - p_lo) < kSlpMinLayerPa)) {
        // Linear in ln p; above the top pair this extrapolates.
        const double a = (std::log(p_c) - std::log(p_lo)) / (std::log(p_up) - std::log(p_lo));
        z_c = z_lo + a * (z_up - z_lo);
        tv_c = tv_lo + a * (tv_up - tv_lo);
    }

    const double t_s = tv_c * std::pow(p_s / p_c, kSlpLapseExponent);
    double t_0 = tv_c + kSlpLapseRateKPerM * z_c;
    if (t_0 >= kSlpCriticalTK && t_s <= kSlpCriticalTK) {
        t_0 = kSlpCriticalTK;
    } else {
        const double excess = t_s - kSlpCriticalTK;
        t_0 = kSlpCriticalTK + kSlpCorrection * (excess * excess);
    }
    const double z_0 = z_m[at(0)];
    return p_s * std::exp(kSlpTwoG * z_0 / (kSlpRd * (t_s + t_0))) * kSlpPaToHpa;
}

double omega_pa_s(double w_ms, double p_pa, double t_k, double qv_kgkg) noexcept {
    return p_pa / ((dry_floor(qv_kgkg) * kOmegaVirtualFactor + 1.0) * t_k * kOmegaRd) * kOmegaMinusG * w_ms;
}

}  // namespace tarq::met
