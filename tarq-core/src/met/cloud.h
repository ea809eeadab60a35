#pragma once
// Cloud diagnostics of one model column, bottom first: condensate (kg/kg) is
// cloud water plus cloud ice, and a level is cloudy when it exceeds 1e-6
// kg/kg. Pure and allocation-free; a negative or missing mixing ratio counts
// as 0, a missing pressure lies in no layer.

#include <span>

namespace tarq::met {

// Pressure bounds (hPa) of the cloud-cover layers; both bounds belong to a layer.
struct CloudLayer {
    double lower_hpa;
    double upper_hpa;
};
inline constexpr CloudLayer kLowCloudLayer{800.0, 1100.0};
inline constexpr CloudLayer kMidCloudLayer{450.0, 800.0};
inline constexpr CloudLayer kHighCloudLayer{0.0, 450.0};

// Cloud-top temperature of a cloud-free column, °C.
inline constexpr double kCloudFreeTopC = -80.0;

// Cloud water plus cloud ice (kg/kg), each floored at 0.
[[nodiscard]] double condensate(double qcloud_kgkg, double qice_kgkg) noexcept;

// Temperature (°C) of the highest level whose condensate exceeds the
// threshold; kCloudFreeTopC when none does.
[[nodiscard]] double cloud_top_temperature_c(std::span<const double> condensate_kgkg,
                                             std::span<const double> t_c) noexcept;

// Cloud cover (%) of a layer: 100 when any level inside it (bounds included)
// has condensate above the threshold, else 0.
[[nodiscard]] double layer_cloud_cover_pct(std::span<const double> condensate_kgkg, std::span<const double> p_hpa,
                                           CloudLayer layer) noexcept;

}  // namespace tarq::met
