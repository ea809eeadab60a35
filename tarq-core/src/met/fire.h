#pragma once
// Fire-weather indices from the surface fields (T2 in K, Q2 in kg/kg, PSFC in
// Pa, 10-m wind in m/s) and, for the Haines index, a model column bottom first
// (hPa, °C, kg/kg). Pure and allocation-free; missing values (NaN) propagate
// except where a clamp or class is documented.

#include <span>

namespace tarq::met {

// Equilibrium moisture content (%) of fine dead fuel at relative humidity
// rh_pct and temperature t_f (°F); Simard (1968), as used by Fosberg (1978).
[[nodiscard]] double equilibrium_moisture_pct(double rh_pct, double t_f) noexcept;

// Fosberg Fire Weather Index (0..100) from the equilibrium moisture content
// of Simard (1968) and the wind in mph; Fosberg (1978), Goodrick (2002).
[[nodiscard]] double fosberg_index(double t2_k, double q2_kgkg, double psfc_pa, double u10_ms, double v10_ms) noexcept;

// Low-elevation Haines index (2..6) from the 950-850 hPa lapse and the 850 hPa
// dewpoint depression; Haines (1988). Levels that never bracket 950 or 850 hPa
// leave that value at 0; a missing difference falls in the top class.
[[nodiscard]] double haines_index(std::span<const double> p_hpa, std::span<const double> t_c,
                                  std::span<const double> q_kgkg) noexcept;

// Hot-Dry-Windy index ((m/s) hPa): 10-m wind speed times the vapour-pressure
// deficit, 0 where the air is saturated or the deficit is unknown; Srock et al. (2018).
[[nodiscard]] double hot_dry_windy_index(double t2_k, double q2_kgkg, double psfc_pa, double u10_ms,
                                         double v10_ms) noexcept;

}  // namespace tarq::met
