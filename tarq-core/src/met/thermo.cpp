#include "met/thermo.h"

#include <cmath>
#include <limits>

#include "util/constants.h"

namespace tarq::met {

namespace {

constexpr double kMoistLiftTolerance = 0.001;
constexpr int kMoistLiftMaxPasses = 7;
constexpr double kMoistureFloor = 1e-10;

double pow4(double x) noexcept {
    const double x2 = x * x;
    return x2 * x2;
}

}  // namespace

double vapor_pressure_exp(double t_c) noexcept {
    return kMagnusE0Hpa * std::exp(kMagnusA * t_c / (t_c + kMagnusBC));
}

double virtual_temperature_k(double t_k, double q_kgkg) noexcept {
    const double q = q_kgkg > 0.0 ? q_kgkg : 0.0;
    return t_k * (1.0 + kVirtualFactor * q);
}

double wobus(double t_c) noexcept {
    const double x = t_c - 20.0;
    if (x <= 0.0) {
        const double pol =
            1.0 + x * (-0.0088416605 +
                       x * (0.00014714143 + x * (-9.671989e-7 + x * (-3.2607217e-8 + x * (-3.8598073e-10)))));
        return 15.13 / pow4(pol);
    }
    const double pol =
        1.0 +
        x * (0.0036182989 +
             x * (-1.3603273e-5 +
                  x * (4.9618922e-7 +
                       x * (-6.1059365e-9 + x * (3.9401551e-11 + x * (-1.2588129e-13 + x * 1.668828e-16))))));
    return 29.93 / pow4(pol) + 0.96 * x - 14.8;
}

double lcl_temperature(double t_c, double td_c) noexcept {
    const double s = t_c - td_c;
    return t_c - s * (1.2185 + 0.001278 * t_c + s * (-0.00219 + 1.173e-5 * s - 5.2e-6 * t_c));
}

LclPoint dry_lift(double p_hpa, double t_c, double td_c) noexcept {
    const double theta_k = std::pow(kReferencePressureHpa / p_hpa, ROCP) * (t_c + kKelvinOffset);
    const double t_lcl_c = lcl_temperature(t_c, td_c);
    const double p_lcl_hpa = kReferencePressureHpa * std::pow((t_lcl_c + kKelvinOffset) / theta_k, kInverseRocp);
    return {p_lcl_hpa, t_lcl_c};
}

double moist_adiabat_theta(double p_lcl_hpa, double t_lcl_c) noexcept {
    const double theta_lcl_c =
        (t_lcl_c + kKelvinOffset) * std::pow(kReferencePressureHpa / p_lcl_hpa, ROCP) - kKelvinOffset;
    return theta_lcl_c - wobus(theta_lcl_c) + wobus(t_lcl_c);
}

double moist_lift(double p_hpa, double label_c) noexcept { return moist_lift(p_hpa, label_c, wobus(label_c)); }

double moist_lift(double p_hpa, double label_c, double wobus_label_c) noexcept {
    // Only the label's own level is answered directly; above 1000 hPa the same
    // secant iteration follows the adiabat down to warmer temperatures.
    if (std::fabs(p_hpa - kReferencePressureHpa) <= kMoistLiftTolerance) return label_c;
    const double r = std::pow(p_hpa / kReferencePressureHpa, ROCP);
    double t1 = (label_c + kKelvinOffset) * r - kKelvinOffset;
    double e1 = wobus(t1) - wobus_label_c;
    double rate = 1.0;
    if (std::fabs(e1) < kMoistLiftTolerance) return t1 - e1;
    for (int pass = 1;; ++pass) {
        const double t2 = t1 - rate * e1;
        double e2 = (t2 + kKelvinOffset) / r - kKelvinOffset;
        e2 = e2 + wobus(t2) - wobus(e2) - label_c;
        rate = (t2 - t1) / (e2 - e1);
        // The last pass answers without a convergence test.
        if (pass == kMoistLiftMaxPasses || std::fabs(e2) < kMoistLiftTolerance) return t2 - rate * e2;
        t1 = t2;
        e1 = e2;
    }
}

double wet_bulb(double p_hpa, double t_c, double td_c) noexcept {
    const LclPoint lcl = dry_lift(p_hpa, t_c, td_c);
    return moist_lift(p_hpa, moist_adiabat_theta(lcl.p_hpa, lcl.t_c));
}

double wet_bulb_potential_temperature(double p_hpa, double t_c, double td_c) noexcept {
    const LclPoint lcl = dry_lift(p_hpa, t_c, td_c);
    return moist_adiabat_theta(lcl.p_hpa, lcl.t_c) + kKelvinOffset;
}

double temperature_at_mixing_ratio(double w_gkg, double p_hpa) noexcept {
    const double x = std::log10(p_hpa * w_gkg / (kEpsilonTemperatureAtMixingRatio + w_gkg));
    const double c = std::pow(10.0, 0.0915 * x) - 1.2035;
    return std::pow(10.0, 0.0498646455 * x + 2.4082965) - 7.07475 + 38.9114 * (c * c) - kKelvinOffset;
}

double dewpoint_from_q(double q_kgkg, double p_hpa) noexcept {
    // Written as "not greater than the floor" so that NaN takes the floor too.
    const double q = q_kgkg > kMoistureFloor ? q_kgkg : kMoistureFloor;
    double e_ratio = p_hpa * q / (q + kEpsilonVaporPressure) / kMagnusE0Hpa;
    e_ratio = e_ratio > kMoistureFloor ? e_ratio : kMoistureFloor;
    const double l = std::log(e_ratio);
    return kMagnusBC * l / (kMagnusA - l);
}

double relative_humidity_from_q(double p_hpa, double t_c, double q_kgkg) noexcept {
    const double q = q_kgkg < 0.0 ? 0.0 : q_kgkg;
    const double rh = p_hpa * q / (q + kEpsilonVaporPressure) / vapor_pressure_exp(t_c) * 100.0;
    if (rh < 0.0) return 0.0;
    if (rh > 100.0) return 100.0;
    return rh;
}

double theta_e_bolton(double p_hpa, double t_c, double q_kgkg) noexcept {
    const double t_k = t_c + kKelvinOffset;
    // Without vapour the dewpoint below would be ln 0; both moisture factors
    // tend to 1, leaving the potential temperature.
    if (q_kgkg <= 0.0) return t_k * std::pow(kReferencePressureHpa / p_hpa, ROCP);
    const double es_hpa = vapor_pressure_exp(t_c);
    const double rh_pct = relative_humidity_from_q(p_hpa, t_c, q_kgkg);
    const double l = std::log(es_hpa * rh_pct / 100.0 / kMagnusE0Hpa);
    const double td_c = kMagnusBC * l / (kMagnusA - l);
    const double td_k = td_c + kKelvinOffset;
    const double t_lcl_k = 1.0 / (1.0 / (td_k - 56.0) + std::log(t_k / td_k) / 800.0) + 56.0;
    const double e_hpa = vapor_pressure_exp(td_c);
    const double r = kEpsilonBolton * e_hpa / (p_hpa - e_hpa);
    return t_k * std::pow(kReferencePressureHpa / (p_hpa - e_hpa), ROCP) * std::pow(t_k / t_lcl_k, 0.28 * r) *
           std::exp((3036.0 / t_lcl_k - 1.78) * r * (1.0 + 0.448 * r));
}

double parcel_theta_e(double p_hpa, double t_c, double td_c) noexcept {
    const LclPoint lcl = dry_lift(p_hpa, t_c, td_c);
    const double t_lcl_k = lcl.t_c + kKelvinOffset;
    const double theta_k = t_lcl_k * std::pow(kReferencePressureHpa / lcl.p_hpa, ROCP);
    const double w_kgkg = mixing_ratio_gkg(p_hpa, td_c) / 1000.0;
    const double lv = (2500.0 - 2.37 * lcl.t_c) * 1000.0;
    return theta_k * std::exp(lv * w_kgkg / (t_lcl_k * kCpDryRanking)) - kKelvinOffset;
}

ProfileValues profile_at_pressure(double target_hpa, std::span<const double> p_hpa, std::span<const double> t_c,
                                  std::span<const double> td_c) noexcept {
    const std::size_t n = p_hpa.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (!(p_hpa[i] >= target_hpa && target_hpa >= p_hpa[i + 1])) continue;
        if (p_hpa[i + 1] == p_hpa[i]) return {t_c[i], td_c[i]};
        const double a = std::log(p_hpa[i]);
        const double b = std::log(p_hpa[i + 1]);
        const double f = (std::log(target_hpa) - a) / (b - a);
        return {t_c[i] + (t_c[i + 1] - t_c[i]) * f, td_c[i] + (td_c[i + 1] - td_c[i]) * f};
    }
    return {t_c[n - 1], td_c[n - 1]};
}

double height_at_pressure(double target_hpa, std::span<const double> p_hpa, std::span<const double> z_m) noexcept {
    const std::size_t n = p_hpa.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (!(p_hpa[i] >= target_hpa && target_hpa >= p_hpa[i + 1])) continue;
        if (p_hpa[i + 1] == p_hpa[i]) return z_m[i];
        return z_m[i] + (z_m[i + 1] - z_m[i]) * (target_hpa - p_hpa[i]) / (p_hpa[i + 1] - p_hpa[i]);
    }
    if (target_hpa > p_hpa[0]) return z_m[0];
    if (target_hpa < p_hpa[n - 1]) return z_m[n - 1];
    return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace tarq::met
