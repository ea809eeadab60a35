#include "met/composite.h"

#include <cmath>
#include <cstddef>

#include "met/wind.h"
#include "util/constants.h"

namespace tarq::met {

namespace {

constexpr double kEhiDivisor = 160000.0;
// Shear energy 0.5 S² (m2/s2) at or below which BRN is 0.
constexpr double kBrnMinShearEnergy = 0.1;
constexpr double kShipDivisor = 42000000.0;
// Vectors shorter than this (m/s) have no direction.
constexpr double kCalmVector = 1e-10;
constexpr double kCriticalAngleShearTopM = 500.0;

double length(double x, double y) noexcept { return std::sqrt(x * x + y * y); }

}  // namespace

double clip0(double x) noexcept { return x > 0.0 ? x : 0.0; }

double clip0n(double x) noexcept { return std::isnan(x) || x > 0.0 ? x : 0.0; }

double energy_helicity_index(double cape_jkg, double srh_m2s2) noexcept {
    return cape_jkg * srh_m2s2 / kEhiDivisor;
}

double bulk_richardson_number(double cape_jkg, double shear_ms) noexcept {
    const double d = 0.5 * shear_ms * shear_ms;
    return d > kBrnMinShearEnergy ? cape_jkg / d : 0.0;
}

double supercell_composite(double cape_jkg, double srh_m2s2, double shear_ms) noexcept {
    return clip0(shear_ms / 40.0) * (clip0(srh_m2s2 / 50.0) * clip0(cape_jkg / 1000.0));
}

double stp_lcl_term(double lcl_m) noexcept {
    if (lcl_m >= 2000.0) return 0.0;
    if (lcl_m <= 1000.0) return 1.0;
    return (2000.0 - lcl_m) / 1000.0;
}

double stp_shear_term(double shear_ms) noexcept {
    if (shear_ms < 12.5) return 0.0;
    if (shear_ms >= 30.0) return 1.5;
    return shear_ms / 20.0;
}

double stp_cin_term(double cin_jkg) noexcept {
    const double term = clip0n((cin_jkg + 200.0) / 150.0);
    // Not std::min, which would turn a NaN term into 1.
    return term > 1.0 ? 1.0 : term;
}

double stp_fixed_layer(double cape_jkg, double lcl_m, double srh_m2s2, double shear_ms) noexcept {
    return clip0(srh_m2s2 / 150.0) * (clip0(cape_jkg / 1500.0) * stp_lcl_term(lcl_m)) * stp_shear_term(shear_ms);
}

double stp_effective_layer(double cape_jkg, double lcl_m, double cin_jkg, double srh_m2s2,
                           double shear_ms) noexcept {
    return stp_fixed_layer(cape_jkg, lcl_m, srh_m2s2, shear_ms) * stp_cin_term(cin_jkg);
}

double significant_hail(double mucape_jkg, double mr_gkg, double lapse_c_per_km, double t500_c,
                        double shear_ms) noexcept {
    if (mucape_jkg <= 0.0) return 0.0;
    return clip0((clip0(-t500_c) * ((mucape_jkg * mr_gkg) * lapse_c_per_km)) * shear_ms / kShipDivisor);
}

Values500Hpa values_at_500hpa(std::span<const double> p_hpa, std::span<const double> t_c,
                              std::span<const double> q_kgkg) noexcept {
    for (std::size_t k = 0; k + 1 < p_hpa.size(); ++k) {
        if (!(p_hpa[k] >= 500.0 && p_hpa[k + 1] < 500.0)) continue;
        const double w = (500.0 - p_hpa[k + 1]) / (p_hpa[k] - p_hpa[k + 1]);
        const double t500 = t_c[k + 1] + w * (t_c[k] - t_c[k + 1]);
        const double q500 = q_kgkg[k + 1] + w * (q_kgkg[k] - q_kgkg[k + 1]);
        return {t500, clip0(q500) * 1000.0};
    }
    return {0.0, 0.0};
}

double critical_angle_deg(std::span<const double> u_ms, std::span<const double> v_ms, std::span<const double> z_m,
                          double storm_u_ms, double storm_v_ms) noexcept {
    const std::size_t n = z_m.size();
    if (n == 0) return 0.0;
    // Wind at 500 m: interpolated in the first bracketing pair, else the end
    // of the column nearer to 500 m.
    double u500 = z_m[0] >= kCriticalAngleShearTopM ? u_ms[0] : u_ms[n - 1];
    double v500 = z_m[0] >= kCriticalAngleShearTopM ? v_ms[0] : v_ms[n - 1];
    for (std::size_t k = 0; k + 1 < n; ++k) {
        if (!(z_m[k] <= kCriticalAngleShearTopM && kCriticalAngleShearTopM < z_m[k + 1])) continue;
        const double f = (kCriticalAngleShearTopM - z_m[k]) / (z_m[k + 1] - z_m[k]);
        u500 = u_ms[k] + (u_ms[k + 1] - u_ms[k]) * f;
        v500 = v_ms[k] + (v_ms[k + 1] - v_ms[k]) * f;
        break;
    }
    const double ax = u_ms[0] - storm_u_ms;
    const double ay = v_ms[0] - storm_v_ms;
    const double bx = u500 - u_ms[0];
    const double by = v500 - v_ms[0];
    const double a = length(ax, ay);
    const double b = length(bx, by);
    if (a < kCalmVector || b < kCalmVector) return 0.0;
    double cosine = (ax * bx + ay * by) / (a * b);
    if (cosine > 1.0) cosine = 1.0;
    if (cosine < -1.0) cosine = -1.0;
    return std::acos(cosine) * kDegreesPerRadian;
}

double critical_angle_deg(std::span<const double> u_ms, std::span<const double> v_ms,
                          std::span<const double> z_m) noexcept {
    const StormMotion motion = bunkers_motion({u_ms, v_ms, z_m});
    return critical_angle_deg(u_ms, v_ms, z_m, motion.right.u, motion.right.v);
}

}  // namespace tarq::met
