#pragma once
// Physical constants of the thermodynamic functions and the parcel kernel,
// written exactly as the formulas use them. Where two formulas use different
// values for the same quantity, each keeps its own, named for its role.

namespace tarq::met {

// Poisson exponent R/cp of every potential-temperature conversion.
inline constexpr double ROCP = 0.28571426;
// 1 / ROCP, stored as a literal; LCL pressure from the potential temperature.
inline constexpr double kInverseRocp = 3.5000003150000283;
// Reference pressure of potential temperatures, hPa.
inline constexpr double kReferencePressureHpa = 1000.0;
// Celsius to kelvin offset, K.
inline constexpr double kKelvinOffset = 273.15;
// Gas constant of dry air for the CAPE/CIN area, J kg-1 K-1.
inline constexpr double kRdParcel = 287.058;
// Virtual-temperature factor, (Rv/Rd - 1).
inline constexpr double kVirtualFactor = 0.61;
// Mixing-ratio factor of mixing_ratio_gkg, g/kg.
inline constexpr double kMixingRatioFactorGkg = 621.97;
// Molecular-weight ratio of temperature_at_mixing_ratio (g/kg form).
inline constexpr double kEpsilonTemperatureAtMixingRatio = 622.0;
// Molecular-weight ratio that turns a mixing ratio into a vapour pressure.
inline constexpr double kEpsilonVaporPressure = 0.622;
// Molecular-weight ratio of theta_e_bolton.
inline constexpr double kEpsilonBolton = 0.62197;
// Gravity for precipitable water, m s-2.
inline constexpr double kGravityPw = 9.80665;
// Heat capacity of dry air for the most-unstable ranking, J kg-1 K-1.
inline constexpr double kCpDryRanking = 1005.7;

// Exponential saturation formula 6.112 exp(17.67 T / (T + 243.5)) hPa.
inline constexpr double kMagnusE0Hpa = 6.112;
inline constexpr double kMagnusA = 17.67;
inline constexpr double kMagnusBC = 243.5;

// Polynomial saturation formula 6.1078 / P(T)^8 hPa.
inline constexpr double kPolynomialE0Hpa = 6.1078;

}  // namespace tarq::met
