#pragma once
// Physical constants of every layer, written exactly as the formulas use them.
// Where two formulas use different values for the same quantity, each keeps
// its own, named for its role.

namespace tarq {

// Base fields of the model file.
// T is stored as potential temperature minus this, K.
inline constexpr double kThetaOffsetK = 300.0;
// Reference pressure of the stored potential temperature, Pa.
inline constexpr double kReferencePressurePa = 100000.0;
// R/cp of the base temperature, as this decimal (not 2/7 and not ROCP).
inline constexpr double kPoissonExponentBase = 0.2857142857;
// Geopotential to height, m s-2.
inline constexpr double kGravity = 9.80665;

// A parcel or sounding pressure above this is taken as Pa, a temperature above
// this as K.
inline constexpr double kPascalThreshold = 2000.0;
inline constexpr double kKelvinThreshold = 150.0;

// Thermodynamic functions and the parcel kernel.

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

// Kinematics.
// 180/pi of the wind direction.
inline constexpr double kDegreesPerRadian = 57.29577951308232;
// pi/180 of the Coriolis parameter and the derived grid rotation.
inline constexpr double kRadiansPerDegree = 0.017453292519943295;
// Twice the earth's angular velocity, s-1: f = kTwoOmega sin(latitude).
inline constexpr double kTwoOmega = 0.000145842318;
// Gravity of the potential vorticity, m s-2.
inline constexpr double kGravityPv = 9.80665;
// K m2 kg-1 s-1 to PVU, with the sign of the isobaric form.
inline constexpr double kPvuScale = -1000000.0;

}  // namespace tarq
