#include "compute/option_checks.h"

#include <cmath>
#include <cstdio>
#include <tuple>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarq {

namespace {

// The custom parcel's unit rule: a pressure above 2000 is in Pa, a
// temperature above 150 in K; otherwise hPa and degC.
constexpr double kPascalThreshold = 2000.0;
constexpr double kKelvinThreshold = 150.0;
constexpr double kKelvinOffset = 273.15;

// Physical range of a parcel that can start in the troposphere.
constexpr double kMaxParcelPressureHpa = 1100.0;
constexpr double kMinParcelTemperatureC = -100.0;
constexpr double kMaxParcelTemperatureC = 60.0;

std::unexpected<TarqError> invalid(std::string_view option, std::string_view why) {
    return fail(ErrorKind::InvalidParam, std::string(option) + " " + std::string(why));
}

std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

Result<void> check_finite(std::string_view option, const std::optional<double>& value) {
    if (!value || std::isfinite(*value)) return {};
    return invalid(option, std::string(std::isnan(*value) ? "is NaN" : *value > 0 ? "is inf" : "is -inf") +
                               "; give a finite number");
}

double celsius(double t) { return t > kKelvinThreshold ? t - kKelvinOffset : t; }

Result<void> check_custom_parcel(const ComputeOptions& options) {
    if (!options.parcel_pressure || !options.parcel_temperature || !options.parcel_dewpoint) return {};
    const double p = *options.parcel_pressure;
    const double p_hpa = p > kPascalThreshold ? p / 100.0 : p;
    if (!(p_hpa > 0.0 && p_hpa <= kMaxParcelPressureHpa))
        return invalid("parcel_pressure", number(p) + " is outside (0, 1100] hPa (values above 2000 are taken as Pa)");
    const double t_c = celsius(*options.parcel_temperature);
    const double td_c = celsius(*options.parcel_dewpoint);
    for (const auto& [option, value, value_c] :
         {std::tuple{"parcel_temperature", *options.parcel_temperature, t_c},
          std::tuple{"parcel_dewpoint", *options.parcel_dewpoint, td_c}}) {
        if (!(value_c > kMinParcelTemperatureC && value_c < kMaxParcelTemperatureC))
            return invalid(option, number(value) + " is outside (-100, 60) degC (values above 150 are taken as K)");
    }
    if (td_c > t_c) return invalid("parcel_dewpoint", number(*options.parcel_dewpoint) + " is above parcel_temperature " + number(*options.parcel_temperature));
    return {};
}

}  // namespace

Result<void> check_options(const ComputeOptions& options) {
    const std::pair<std::string_view, const std::optional<double>*> numbers[] = {
        {"top_m", &options.top_m},
        {"bottom_m", &options.bottom_m},
        {"depth_m", &options.depth_m},
        {"bottom_p", &options.bottom_p},
        {"top_p", &options.top_p},
        {"parcel_pressure", &options.parcel_pressure},
        {"parcel_temperature", &options.parcel_temperature},
        {"parcel_dewpoint", &options.parcel_dewpoint},
        {"lake_interp", &options.lake_interp},
    };
    for (const auto& [option, value] : numbers) {
        if (auto finite = check_finite(option, *value); !finite) return finite;
    }
    if (options.storm_motion) {
        if (auto u = check_finite("storm_motion u", options.storm_motion->first); !u) return u;
        if (auto v = check_finite("storm_motion v", options.storm_motion->second); !v) return v;
    }
    return check_custom_parcel(options);
}

}  // namespace tarq
