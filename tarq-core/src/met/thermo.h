#pragma once
// Scalar thermodynamic functions. Units: pressure hPa, temperature and dewpoint
// °C, mixing ratio g/kg where the name ends in _gkg, else kg/kg. Pure,
// allocation-free and reentrant; missing values (NaN) propagate except where a
// floor or clamp is documented. The few the parcel kernel evaluates at every
// sub-layer are defined here, inline.

#include <span>

#include "util/constants.h"

namespace tarq::met {

struct LclPoint {
    double p_hpa;
    double t_c;
};

struct ProfileValues {
    double t_c;
    double td_c;
};

// Saturation vapour pressure over water (hPa); 8th-power polynomial of the
// NSHARP "vappres".
[[nodiscard]] inline double vapor_pressure(double t_c) noexcept {
    const double t = t_c;
    const double pol =
        0.99999683 +
        t * (-0.009082695 +
             t * (7.8736169e-5 +
                  t * (-6.111796e-7 +
                       t * (4.388418e-9 +
                            t * (-2.988388e-11 +
                                 t * (2.1874425e-13 +
                                      t * (-1.789232e-15 + t * (1.1112018e-17 + t * (-3.0994571e-20)))))))));
    const double pol2 = pol * pol;
    const double pol4 = pol2 * pol2;
    return kPolynomialE0Hpa / (pol4 * pol4);
}

// Saturation vapour pressure over water (hPa); Bolton (1980), eq. 10.
[[nodiscard]] double vapor_pressure_exp(double t_c) noexcept;

// Mixing ratio (g/kg) of air saturated at t_c (pass a dewpoint for the actual
// mixing ratio), with the enhancement factor of NSHARP "mixratio".
[[nodiscard]] inline double mixing_ratio_gkg(double p_hpa, double t_c) noexcept {
    const double x = 0.02 * (t_c - 12.5 + 7500.0 / p_hpa);
    const double enhancement = 1.0 + 4.5e-6 * p_hpa + 0.0014 * (x * x);
    const double e_hpa = enhancement * vapor_pressure(t_c);
    return kMixingRatioFactorGkg * e_hpa / (p_hpa - e_hpa);
}

// Virtual temperature (°C) of air at t_c with mixing ratio w_gkg.
[[nodiscard]] inline double virtual_temp_c(double t_c, double w_gkg) noexcept {
    return (t_c + kKelvinOffset) * (1.0 + kVirtualFactor * w_gkg / 1000.0) - kKelvinOffset;
}

// Virtual temperature (K) from kg/kg moisture; a negative or missing mixing
// ratio counts as dry air.
[[nodiscard]] double virtual_temperature_k(double t_k, double q_kgkg) noexcept;

// Wobus correction function of the saturated adiabat (°C); NSHARP "wobf".
[[nodiscard]] double wobus(double t_c) noexcept;

// Temperature at the lifting condensation level (°C) from the dewpoint
// depression; NSHARP "lcltemp" polynomial.
[[nodiscard]] double lcl_temperature(double t_c, double td_c) noexcept;

// Dry-adiabatic lift of (p, T, Td) to its LCL: pressure (hPa) and temperature (°C).
[[nodiscard]] LclPoint dry_lift(double p_hpa, double t_c, double td_c) noexcept;

// Label of the moist adiabat through (p_lcl, t_lcl): its temperature (°C) at
// 1000 hPa; Wobus method as used by NSHARP "thetam".
[[nodiscard]] double moist_adiabat_theta(double p_lcl_hpa, double t_lcl_c) noexcept;

// Temperature (°C) at p_hpa on the moist adiabat labelled label_c; secant
// iteration of NSHARP "satlift", at most seven passes.
[[nodiscard]] double moist_lift(double p_hpa, double label_c) noexcept;

// moist_lift with wobus(label_c) computed once by the caller, for lifting one
// parcel to many pressures; the same value bit for bit.
[[nodiscard]] double moist_lift(double p_hpa, double label_c, double wobus_label_c) noexcept;

// out[i] = moist_lift(p_hpa[i], label_c, wobus_label_c) for every i, with
// several pressures iterated side by side and the power of each pressure
// from pow_many (vector_math.h); out holds p_hpa.size().
void moist_lift_many(std::span<const double> p_hpa, double label_c, double wobus_label_c,
                     std::span<double> out) noexcept;

// Wet-bulb temperature (°C): dry lift to the LCL, then moist descent to p_hpa.
[[nodiscard]] double wet_bulb(double p_hpa, double t_c, double td_c) noexcept;

// Wet-bulb potential temperature (K): the moist adiabat through the parcel's
// LCL, at 1000 hPa.
[[nodiscard]] double wet_bulb_potential_temperature(double p_hpa, double t_c, double td_c) noexcept;

// Temperature (°C) at which air at p_hpa is saturated with mixing ratio w_gkg;
// NSHARP "temp_at_mixrat".
[[nodiscard]] double temperature_at_mixing_ratio(double w_gkg, double p_hpa) noexcept;

// Dewpoint (°C) from specific moisture q (kg/kg), inverting Bolton (1980),
// eq. 10; moisture and vapour pressure are floored at 1e-10 so the result is
// finite for zero, negative or missing moisture.
[[nodiscard]] double dewpoint_from_q(double q_kgkg, double p_hpa) noexcept;

// Relative humidity (%) over water, clamped to 0..100; NaN stays NaN.
[[nodiscard]] double relative_humidity_from_q(double p_hpa, double t_c, double q_kgkg) noexcept;

// Equivalent potential temperature (K); Bolton (1980), eqs. 15, 24 and 39. Dry
// air (q <= 0) gives its potential temperature, the limit as r -> 0.
[[nodiscard]] double theta_e_bolton(double p_hpa, double t_c, double q_kgkg) noexcept;

// Equivalent potential temperature (°C) used only to rank parcels for the
// most-unstable choice: theta at the LCL times exp(Lv w / (cp T_lcl)).
[[nodiscard]] double parcel_theta_e(double p_hpa, double t_c, double td_c) noexcept;

// Temperature and dewpoint at target_hpa, linear in ln p within the first
// bracketing pair of a bottom-first column; the top level's values when no
// pair brackets the target.
[[nodiscard]] ProfileValues profile_at_pressure(double target_hpa, std::span<const double> p_hpa,
                                                std::span<const double> t_c,
                                                std::span<const double> td_c) noexcept;

// Height at target_hpa, linear in p within the first bracketing pair of a
// bottom-first column; z[0] below the column, z[n-1] above it, else NaN.
[[nodiscard]] double height_at_pressure(double target_hpa, std::span<const double> p_hpa,
                                        std::span<const double> z_m) noexcept;

}  // namespace tarq::met
