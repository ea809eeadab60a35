#pragma once
// Vertical temperature structure of one column: lapse rates over height or
// pressure layers and the height of the lowest 0 °C crossing. Columns are
// bottom first; temperature °C, height m above ground, pressure hPa, moisture
// kg/kg. Lapse rates are °C/km, positive where temperature falls with height.
// Pure and allocation-free; NaN propagates except where a result of 0 is
// documented.

#include <optional>
#include <span>

namespace tarq::met {

// Heights below this (m) take the 2-m temperature when the caller has one.
inline constexpr double kScreenLayerTopM = 10.0;
// Layers this thin (km) or thinner have no lapse rate.
inline constexpr double kMinLapseLayerKm = 0.01;

// Virtual temperature (°C), (1 + 0.61 max(q, 0))(T + 273.15) - 273.15; a
// missing q counts as dry air.
[[nodiscard]] double virtual_temperature_c_from_q(double t_c, double q_kgkg) noexcept;

// Temperature at x_m: the lowest level's at or below it, the top level's above
// the column, else linear in height between the levels around it. NaN for an
// empty column.
[[nodiscard]] double temperature_at_height(double x_m, std::span<const double> t_c,
                                           std::span<const double> z_m) noexcept;

// Lapse rate between bottom_m and top_m above ground; a height below 10 m
// takes t2m_c where given. 0 where the layer is 0.01 km thin or inverted.
[[nodiscard]] double height_layer_lapse_rate(std::span<const double> t_c, std::span<const double> z_m,
                                             std::optional<double> t2m_c, double bottom_m,
                                             double top_m) noexcept;

struct TemperatureAndHeight {
    double t_c;
    double z_m;
};

// Temperature and height at x_hpa, linear in pressure within the first pair of
// levels that brackets it; the lowest level's where none does (for example a
// pressure below the ground).
[[nodiscard]] TemperatureAndHeight at_pressure_linear(double x_hpa, std::span<const double> p_hpa,
                                                      std::span<const double> t_c,
                                                      std::span<const double> z_m) noexcept;

// Lapse rate between two pressures, over the absolute height difference
// between them, so a bottom above the top gives the negative of the usual
// value. 0 where the layer is 0.01 km thin or less.
[[nodiscard]] double pressure_layer_lapse_rate(std::span<const double> p_hpa, std::span<const double> t_c,
                                               std::span<const double> z_m, double bottom_hpa,
                                               double top_hpa) noexcept;

// Height of the lowest crossing from >= 0 to < 0 going up, linear in height;
// 0 where the column never crosses (all warm or all below freezing).
[[nodiscard]] double zero_crossing_height(std::span<const double> values_c, std::span<const double> z_m) noexcept;

}  // namespace tarq::met
