#pragma once
// Cloud diagnostics of one model column, bottom first: condensate (kg/kg) is
// cloud water plus cloud ice, and a level is cloudy when it exceeds 1e-6
// kg/kg. Pure and allocation-free; a negative or missing mixing ratio counts
// as 0, a missing pressure lies in no layer.

#include <span>

#include "util/constants.h"

namespace tarq::met {

// Pressure bounds (hPa) of the cloud-cover layers; both bounds belong to a layer.
struct CloudLayer {
    double lower_hpa;
    double upper_hpa;
};
inline constexpr CloudLayer kLowCloudLayer{kLowCloudLowerHpa, kLowCloudUpperHpa};
inline constexpr CloudLayer kMidCloudLayer{kMidCloudLowerHpa, kMidCloudUpperHpa};
inline constexpr CloudLayer kHighCloudLayer{kHighCloudLowerHpa, kHighCloudUpperHpa};

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
