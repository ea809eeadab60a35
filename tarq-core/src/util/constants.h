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

// Sea-level pressure: its own gas constant and virtual-temperature factor.
// The reduction is anchored this far above the lowest model level, Pa.
inline constexpr double kSlpAnchorDepthPa = 10000.0;
// Tv = (1 + this q) T of the reduction.
inline constexpr double kSlpVirtualFactor = 0.608;
// Levels closer than this are not interpolated between, Pa.
inline constexpr double kSlpMinLayerPa = 1.0;
// Standard-lapse-rate exponent 287 * 0.0065 / 9.81 of the surface temperature.
inline constexpr double kSlpLapseExponent = 0.1901630988786952;
// Standard lapse rate of the sea-level temperature estimate, K m-1.
inline constexpr double kSlpLapseRateKPerM = 0.0065;
// Limit of the sea-level temperature (Shuell reduction), K.
inline constexpr double kSlpCriticalTK = 290.66;
// Curvature of the sea-level temperature correction, K-1.
inline constexpr double kSlpCorrection = -0.005;
// 2 g of the hypsometric reduction with the mean of two temperatures, m s-2.
inline constexpr double kSlpTwoG = 19.62;
// Gas constant of dry air of the reduction, J kg-1 K-1.
inline constexpr double kSlpRd = 287.0;
// Pa to hPa of the reduced pressure.
inline constexpr double kSlpPaToHpa = 0.01;

// Omega: its own gas constant, virtual-temperature factor and gravity.
inline constexpr double kOmegaVirtualFactor = 0.61;
inline constexpr double kOmegaRd = 287.058;
inline constexpr double kOmegaMinusG = -9.80665;

// Simulated reflectivity. Coefficients 720e18 (pi rho_x)^-1.75 (rho_x/1000)^2
// alpha for particle densities 1000 (rain), 100 (snow) and 400 (graupel)
// kg m-3, alpha = 0.224 for the dry factors (T <= 273.15 K) and 1 otherwise;
// these values, to the digit, are the ones used.
inline constexpr double kRainFactor = 546160414212904.06;
inline constexpr double kSnowFactorWet = 307128571094994.44;
inline constexpr double kSnowFactorDry = 68796799925278.76;
inline constexpr double kGraupelFactorWet = 434345390634810.44;
inline constexpr double kGraupelFactorDry = 97293367502197.55;
// Intercept parameters of the size distributions, m-4.
inline constexpr double kN0Rain = 8000000.0;
inline constexpr double kN0Snow = 20000000.0;
inline constexpr double kN0Graupel = 4000000.0;
// Freezing point that switches rain to snow and wet to dry factors, K.
inline constexpr double kFreezingPointK = 273.15;
// Gas constant of dry air and molecular-weight ratio of the reflectivity's
// air density, J kg-1 K-1 and 1.
inline constexpr double kRdReflectivity = 287.04;
inline constexpr double kEpsilonReflectivity = 0.622;
// Smallest reflectivity factor, mm6 m-3 (-30 dBZ).
inline constexpr double kMinReflectivityFactor = 0.001;

// Cloud diagnostics. A level is cloudy when its condensate exceeds this, kg/kg.
inline constexpr double kCloudThresholdKgkg = 1e-6;
// Cloud-top temperature of a cloud-free column, °C.
inline constexpr double kCloudFreeTopC = -80.0;
// Cloud cover of a layer with and without cloud, %.
inline constexpr double kCloudyPct = 100.0;
inline constexpr double kClearPct = 0.0;
// Pressure bounds of the cloud layers, hPa; both bounds belong to the layer.
inline constexpr double kLowCloudLowerHpa = 800.0;
inline constexpr double kLowCloudUpperHpa = 1100.0;
inline constexpr double kMidCloudLowerHpa = 450.0;
inline constexpr double kMidCloudUpperHpa = 800.0;
inline constexpr double kHighCloudLowerHpa = 0.0;
inline constexpr double kHighCloudUpperHpa = 450.0;

// Fire-weather indices.
// Metres per second in one mile per hour.
inline constexpr double kMsPerMph = 0.44704;
// Upper clamp of the Fosberg index.
inline constexpr double kFosbergMax = 100.0;
// Layer of the low-elevation Haines index, hPa.
inline constexpr double kHainesBaseHpa = 950.0;
inline constexpr double kHainesTopHpa = 850.0;

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
