#pragma once
// Severe-weather composite indices at one grid point, and the two column
// computations only they need. Units: CAPE and CIN J/kg, SRH m2/s2, bulk shear
// and winds m/s, heights m above ground, temperature °C, mixing ratio g/kg,
// lapse rate °C/km. Pure and allocation-free.
//
// NaN policy: each formula states whether a missing input silences the index
// (its term is clipped to 0) or propagates. These are this library's forms of
// the indices; where a published variant differs, the comment says so.

#include <span>

namespace tarq::met {

// max(x, 0), a NaN giving 0: a missing term silences the product.
[[nodiscard]] double clip0(double x) noexcept;

// max(x, 0), a NaN staying NaN: a missing term propagates.
[[nodiscard]] double clip0n(double x) noexcept;

// Energy-helicity index CAPE × SRH / 160000; no floor, so negative helicity
// gives a negative index. Hart and Korotky (1991).
[[nodiscard]] double energy_helicity_index(double cape_jkg, double srh_m2s2) noexcept;

// Bulk Richardson number CAPE / (0.5 S²); 0 where 0.5 S² <= 0.1 m2/s2 (or is
// NaN). Weisman and Klemp (1982).
[[nodiscard]] double bulk_richardson_number(double cape_jkg, double shear_ms) noexcept;

// Supercell composite parameter (S/40)(SRH/50)(CAPE/1000), each term clipped
// at 0 and a NaN term 0. Thompson et al. (2003) in its original form: the
// shear divides by 40, not the later 20, and no term is capped.
[[nodiscard]] double supercell_composite(double cape_jkg, double srh_m2s2, double shear_ms) noexcept;

// LCL term of the tornado parameter: 1 at or below 1000 m, 0 at or above
// 2000 m, linear between; NaN stays NaN.
[[nodiscard]] double stp_lcl_term(double lcl_m) noexcept;

// Shear term of the tornado parameter: 0 below 12.5 m/s, 1.5 at or above
// 30 m/s, S/20 between; NaN stays NaN.
[[nodiscard]] double stp_shear_term(double shear_ms) noexcept;

// CIN term of the effective-layer tornado parameter: 1 for CIN >= -50, 0 for
// CIN <= -200, linear between; NaN stays NaN.
[[nodiscard]] double stp_cin_term(double cin_jkg) noexcept;

// Fixed-layer significant tornado parameter (SRH/150)(CAPE/1500)·LCL·shear
// terms; Thompson et al. (2003).
[[nodiscard]] double stp_fixed_layer(double cape_jkg, double lcl_m, double srh_m2s2, double shear_ms) noexcept;

// Effective-layer significant tornado parameter: the fixed-layer product times
// the CIN term; Thompson et al. (2007). The shear stays the 0-6 km bulk shear
// the caller passes, not a shear over the effective layer.
[[nodiscard]] double stp_effective_layer(double cape_jkg, double lcl_m, double cin_jkg, double srh_m2s2,
                                         double shear_ms) noexcept;

// Significant hail parameter MUCAPE·MR·LR·(-T500)·S / 42 000 000, 0 where
// MUCAPE <= 0, T500 >= 0 or any input is NaN. SPC's formula without its
// later adjustments: MR is the environmental 500 hPa mixing ratio, and there
// is no scaling for small CAPE, weak lapse rates or a low freezing level.
[[nodiscard]] double significant_hail(double mucape_jkg, double mr_gkg, double lapse_c_per_km, double t500_c,
                                      double shear_ms) noexcept;

struct Values500Hpa {
    double t_c;     // 0 where the column never crosses 500 hPa
    double mr_gkg;  // environmental mixing ratio, clipped at 0
};

// Temperature and mixing ratio at 500 hPa of a bottom-first column (q in
// kg/kg), linear in pressure within the first pair that crosses 500 hPa.
[[nodiscard]] Values500Hpa values_at_500hpa(std::span<const double> p_hpa, std::span<const double> t_c,
                                            std::span<const double> q_kgkg) noexcept;

// Critical angle (degrees, 0 to 180) between the storm-relative wind at the
// lowest model level, V0 - Vs, and the 0-500 m shear; Esterheld and Giuliano
// (2008). Uses the lowest model level, not a 10-m wind. 0 where either vector
// is shorter than 1e-10 m/s or the column is empty.
[[nodiscard]] double critical_angle_deg(std::span<const double> u_ms, std::span<const double> v_ms,
                                        std::span<const double> z_m, double storm_u_ms,
                                        double storm_v_ms) noexcept;

// Critical angle of a model-level column whose storm motion is its own
// Bunkers right-mover over 0-6 km (no 10-m point).
[[nodiscard]] double critical_angle_deg(std::span<const double> u_ms, std::span<const double> v_ms,
                                        std::span<const double> z_m) noexcept;

}  // namespace tarq::met
