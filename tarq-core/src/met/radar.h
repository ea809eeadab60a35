#pragma once
// Simulated radar reflectivity from rain, snow and graupel mixing ratios
// (kg/kg), temperature (K) and pressure (Pa), for exponential (Marshall-Palmer
// type) size distributions with fixed intercepts; dry ice scatters with the
// dielectric factor 0.224 (Smith 1984). Pure and allocation-free; negative or
// missing mixing ratios count as 0.

namespace tarq::met {

// Reflectivity (dBZ), at least -30 dBZ (also for missing T or p). Without a
// snow field (snow_present false), rain water below 273.15 K counts as snow.
[[nodiscard]] double reflectivity_point(double t_k, double p_pa, double qv_kgkg, double qrain_kgkg, double qsnow_kgkg,
                                        double qgraupel_kgkg, bool snow_present) noexcept;

}  // namespace tarq::met
