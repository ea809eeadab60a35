#include "met/radar.h"

#include <cmath>

namespace tarq::met {

namespace {

// 720e18 (pi rho_x)^-1.75 (rho_x / 1000)^2 alpha for particle densities of
// 1000 (rain), 100 (snow) and 400 (graupel) kg m-3; alpha = 0.224 for the dry
// (ice-surface) factors, 1 otherwise. The values, to the digit, are the ones used.
constexpr double kRainFactor = 546160414212904.06;
constexpr double kSnowFactorWet = 307128571094994.44;
constexpr double kSnowFactorDry = 68796799925278.76;
constexpr double kGraupelFactorWet = 434345390634810.44;
constexpr double kGraupelFactorDry = 97293367502197.55;
// Intercept parameters, m-4.
constexpr double kN0Rain = 8000000.0;
constexpr double kN0Snow = 20000000.0;
constexpr double kN0Graupel = 4000000.0;

constexpr double kFreezingK = 273.15;
constexpr double kEpsilon = 0.622;
constexpr double kRdReflectivity = 287.04;  // J kg-1 K-1
constexpr double kMinZ = 0.001;             // mm6 m-3: -30 dBZ

double dry_floor(double q) noexcept { return q > 0.0 ? q : 0.0; }

// One species' factor (rho q)^1.75 / N0^0.75 term.
double species_z(double factor, double rho_q, double n0) noexcept {
    return factor * std::pow(rho_q, 1.75) / std::pow(n0, 0.75);
}

}  // namespace

double reflectivity_point(double t_k, double p_pa, double qv_kgkg, double qrain_kgkg, double qsnow_kgkg,
                          double qgraupel_kgkg, bool snow_present) noexcept {
    const double qv = dry_floor(qv_kgkg);
    const double tv_k = t_k * (qv + kEpsilon) / (kEpsilon * (1.0 + qv));
    const double rho = p_pa / (kRdReflectivity * tv_k);

    // A missing temperature counts as not below freezing here and as dry below.
    double rain = dry_floor(qrain_kgkg);
    double snow = dry_floor(qsnow_kgkg);
    if (t_k < kFreezingK && !snow_present) {
        // Without a snow field the scheme carries frozen precipitation as rain.
        snow = rain;
        rain = 0.0;
    }
    const double graupel = dry_floor(qgraupel_kgkg);
    const bool wet = t_k > kFreezingK;
    const double snow_factor = wet ? kSnowFactorWet : kSnowFactorDry;
    const double graupel_factor = wet ? kGraupelFactorWet : kGraupelFactorDry;

    const double z = (species_z(snow_factor, rho * snow, kN0Snow) + species_z(kRainFactor, rho * rain, kN0Rain)) +
                     species_z(graupel_factor, rho * graupel, kN0Graupel);
    return 10.0 * std::log10(z > kMinZ ? z : kMinZ);
}

}  // namespace tarq::met
