#include "met/fire.h"

#include <cmath>
#include <cstddef>

#include "met/thermo.h"
#include "util/constants.h"

namespace tarq::met {

namespace {

// Vapour pressure (hPa) of air at psfc_pa with mixing ratio q. Negative
// moisture counts as dry air; missing moisture stays missing, so that it
// yields no index rather than the index of dry air.
double vapor_pressure_hpa(double psfc_pa, double q_kgkg) noexcept {
    const double q = q_kgkg < 0.0 ? 0.0 : q_kgkg;
    return psfc_pa / 100.0 * q / (q + kEpsilonVaporPressure);
}

// Relative humidity (%) clamped to 0..100; NaN stays NaN.
double clamped_rh_pct(double t_c, double e_hpa) noexcept {
    const double rh = 100.0 * e_hpa / vapor_pressure_exp(t_c);
    if (rh < 0.0) return 0.0;
    if (rh > 100.0) return 100.0;
    return rh;
}

}  // namespace

double equilibrium_moisture_pct(double rh_pct, double t_f) noexcept {
    const double h = rh_pct;
    if (h <= 10.0) return 0.03229 + 0.281073 * h - 0.000578 * h * t_f;
    if (h <= 50.0) return 2.22749 + 0.160107 * h - 0.01478 * t_f;
    return 21.0606 + 0.005565 * (h * h) - 0.00035 * h * t_f - 0.483199 * h;
}

double fosberg_index(double t2_k, double q2_kgkg, double psfc_pa, double u10_ms, double v10_ms) noexcept {
    const double t_c = t2_k - kKelvinOffset;
    const double rh = clamped_rh_pct(t_c, vapor_pressure_hpa(psfc_pa, q2_kgkg));
    const double t_f = t_c * 9.0 / 5.0 + 32.0;
    const double m = equilibrium_moisture_pct(rh, t_f);
    const double wind_mph = std::sqrt(u10_ms * u10_ms + v10_ms * v10_ms) / kMsPerMph;
    const double x = m / 30.0 < 0.0 ? 0.0 : m / 30.0;
    const double eta = 1.0 - 2.0 * x + 1.5 * (x * x) - 0.5 * (x * x * x);
    const double fwi = eta * std::sqrt(1.0 + wind_mph * wind_mph) * 10.0 / 3.0;
    if (fwi < 0.0) return 0.0;
    if (fwi > kFosbergMax) return kFosbergMax;
    return fwi;
}

double haines_index(std::span<const double> p_hpa, std::span<const double> t_c,
                    std::span<const double> q_kgkg) noexcept {
    double t950 = 0.0;
    double t850 = 0.0;
    double td850 = 0.0;
    for (std::size_t k = 0; k + 1 < p_hpa.size(); ++k) {
        const double p_below = p_hpa[k];
        const double p_above = p_hpa[k + 1];
        // A later crossing overwrites an earlier one.
        if (p_below >= kHainesBaseHpa && p_above < kHainesBaseHpa) {
            t950 = t_c[k + 1] + (t_c[k] - t_c[k + 1]) * (kHainesBaseHpa - p_above) / (p_below - p_above);
        }
        if (p_below >= kHainesTopHpa && p_above < kHainesTopHpa) {
            const double f = (kHainesTopHpa - p_above) / (p_below - p_above);
            t850 = t_c[k + 1] + (t_c[k] - t_c[k + 1]) * f;
            const double q850 = q_kgkg[k + 1] + (q_kgkg[k] - q_kgkg[k + 1]) * f;
            td850 = dewpoint_from_q(q850, kHainesTopHpa);
        }
    }
    const double stability = t950 - t850;
    const double moisture = t850 - td850;
    const double a = stability <= 3.0 ? 1.0 : (stability <= 7.0 ? 2.0 : 3.0);
    const double b = moisture <= 5.0 ? 1.0 : (moisture <= 9.0 ? 2.0 : 3.0);
    return a + b;
}

double hot_dry_windy_index(double t2_k, double q2_kgkg, double psfc_pa, double u10_ms, double v10_ms) noexcept {
    const double deficit = vapor_pressure_exp(t2_k - kKelvinOffset) - vapor_pressure_hpa(psfc_pa, q2_kgkg);
    // Written as "not positive" so that a missing deficit counts as none.
    const double d = deficit > 0.0 ? deficit : 0.0;
    return std::sqrt(u10_ms * u10_ms + v10_ms * v10_ms) * d;
}

}  // namespace tarq::met
