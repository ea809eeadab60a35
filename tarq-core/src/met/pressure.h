#pragma once
// Sea-level pressure and omega from the model's pressure (Pa), temperature (K),
// water-vapour mixing ratio (kg/kg), height (m) and vertical wind (m/s). Each
// keeps its own constants: the reduction uses 0.608 and 287, omega 0.61 and
// 287.058. Pure and allocation-free; a negative or missing mixing ratio counts
// as dry air, other missing values (NaN) propagate.

#include <cstddef>
#include <span>

namespace tarq::met {

// Sea-level pressure (hPa) of column col of [nz][ncol] fields: the lowest
// level's pressure reduced hypsometrically with a standard-lapse-rate virtual
// temperature anchored 100 hPa above that level, and the 290.66 K sea-level
// temperature limit of the Shuell reduction. Needs nz >= 2 and nz*ncol values
// in each field; returns NaN when nz < 2.
[[nodiscard]] double sea_level_pressure_column(std::span<const double> p_pa, std::span<const double> t_k,
                                               std::span<const double> qv_kgkg, std::span<const double> z_m,
                                               std::size_t nz, std::size_t ncol, std::size_t col) noexcept;

// Vertical velocity in pressure coordinates (Pa/s): -rho g w with the density
// of the ideal gas law at the virtual temperature. Upward motion is negative.
[[nodiscard]] double omega_pa_s(double w_ms, double p_pa, double t_k, double qv_kgkg) noexcept;

}  // namespace tarq::met
