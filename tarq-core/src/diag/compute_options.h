#pragma once
// The optional keyword arguments of getvar, as every compute function sees them.
// compute_variable refuses only what no diagnostic can honour (non-finite
// numbers, a custom parcel outside the physical range, option_checks.h); each
// diagnostic gives an absent field its default and decides what odd finite
// values mean.

#include <optional>
#include <string>
#include <utility>

namespace tarq {

struct ComputeOptions {
    std::optional<std::string> units;                         // applied by compute_variable only
    std::optional<std::string> parcel_type;                   // CAPE family
    std::optional<std::pair<double, double>> storm_motion;    // (u, v), m/s
    std::optional<double> top_m;                              // layer top above ground, m
    std::optional<double> bottom_m;                           // layer bottom above ground, m
    std::optional<double> depth_m;                            // layer depth, m
    std::optional<double> parcel_pressure;                    // custom parcel start pressure
    std::optional<double> parcel_temperature;                 // custom parcel temperature
    std::optional<double> parcel_dewpoint;                    // custom parcel dewpoint
    std::optional<double> bottom_p;                           // pressure layer bottom, hPa
    std::optional<double> top_p;                              // pressure layer top, hPa
    std::optional<std::string> layer_type;                    // fixed or effective layer
    std::optional<bool> use_virtual;                          // use virtual temperature
    std::optional<double> lake_interp;                        // max lake area to fill, km2
};

}  // namespace tarq
