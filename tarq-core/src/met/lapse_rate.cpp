#include "met/lapse_rate.h"

#include <cmath>
#include <cstddef>
#include <limits>

#include "met/thermo.h"
#include "util/constants.h"

namespace tarq::met {

double virtual_temperature_c_from_q(double t_c, double q_kgkg) noexcept {
    return virtual_temperature_k(t_c + kKelvinOffset, q_kgkg) - kKelvinOffset;
}

double temperature_at_height(double x_m, std::span<const double> t_c, std::span<const double> z_m) noexcept {
    const std::size_t n = z_m.size();
    if (n == 0) return std::numeric_limits<double>::quiet_NaN();
    if (x_m <= z_m[0]) return t_c[0];
    for (std::size_t k = 1; k < n; ++k) {
        if (x_m <= z_m[k]) return t_c[k - 1] + (t_c[k] - t_c[k - 1]) * ((x_m - z_m[k - 1]) / (z_m[k] - z_m[k - 1]));
    }
    return t_c[n - 1];
}

double height_layer_lapse_rate(std::span<const double> t_c, std::span<const double> z_m,
                               std::optional<double> t2m_c, double bottom_m, double top_m) noexcept {
    const auto at = [&](double x_m) {
        return x_m < kScreenLayerTopM && t2m_c ? *t2m_c : temperature_at_height(x_m, t_c, z_m);
    };
    const double d_km = (top_m - bottom_m) / 1000.0;
    if (!(d_km > kMinLapseLayerKm)) return 0.0;
    return -(at(top_m) - at(bottom_m)) / d_km;
}

TemperatureAndHeight at_pressure_linear(double x_hpa, std::span<const double> p_hpa, std::span<const double> t_c,
                                        std::span<const double> z_m) noexcept {
    const std::size_t n = p_hpa.size();
    if (n == 0) return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
    for (std::size_t k = 1; k < n; ++k) {
        if (!(p_hpa[k - 1] >= x_hpa && x_hpa > p_hpa[k])) continue;
        const double f = (x_hpa - p_hpa[k]) / (p_hpa[k - 1] - p_hpa[k]);
        return {t_c[k] + (t_c[k - 1] - t_c[k]) * f, z_m[k] + (z_m[k - 1] - z_m[k]) * f};
    }
    return {t_c[0], z_m[0]};
}

double pressure_layer_lapse_rate(std::span<const double> p_hpa, std::span<const double> t_c,
                                 std::span<const double> z_m, double bottom_hpa, double top_hpa) noexcept {
    const TemperatureAndHeight bottom = at_pressure_linear(bottom_hpa, p_hpa, t_c, z_m);
    const TemperatureAndHeight top = at_pressure_linear(top_hpa, p_hpa, t_c, z_m);
    const double d_km = std::abs(top.z_m - bottom.z_m) / 1000.0;
    if (!(d_km > kMinLapseLayerKm)) return 0.0;
    return -(top.t_c - bottom.t_c) / d_km;
}

double zero_crossing_height(std::span<const double> values_c, std::span<const double> z_m) noexcept {
    for (std::size_t k = 0; k + 1 < values_c.size(); ++k) {
        const double a = values_c[k];
        const double b = values_c[k + 1];
        if (a >= 0.0 && b < 0.0) return z_m[k] + (z_m[k + 1] - z_m[k]) * (0.0 - a) / (b - a);
    }
    return 0.0;
}

}  // namespace tarq::met
