#include "met/radar.h"

#include <cmath>

#include "util/constants.h"

namespace tarq::met {

namespace {

double dry_floor(double q) noexcept { return q > 0.0 ? q : 0.0; }

// N0^0.75 of each species, evaluated once by the same pow as a per-point
// evaluation would use.
const double kRainN0Power = std::pow(kN0Rain, 0.75);
const double kSnowN0Power = std::pow(kN0Snow, 0.75);
const double kGraupelN0Power = std::pow(kN0Graupel, 0.75);

// One species' term factor (rho q)^1.75 / N0^0.75. Most points hold no
// precipitation: an exact zero skips the pow and gives the same +0.
double species_z(double factor, double rho_q, double n0_power) noexcept {
    if (rho_q == 0.0) return 0.0;
    return factor * std::pow(rho_q, 1.75) / n0_power;
}

}  // namespace

double reflectivity_point(double t_k, double p_pa, double qv_kgkg, double qrain_kgkg, double qsnow_kgkg,
                          double qgraupel_kgkg, bool snow_present) noexcept {
    const double qv = dry_floor(qv_kgkg);
    const double tv_k = t_k * (qv + kEpsilonReflectivity) / (kEpsilonReflectivity * (1.0 + qv));
    const double rho = p_pa / (kRdReflectivity * tv_k);

    // A missing temperature counts as not below freezing here and as dry below.
    double rain = dry_floor(qrain_kgkg);
    double snow = dry_floor(qsnow_kgkg);
    if (t_k < kFreezingPointK && !snow_present) {
        // Without a snow field the microphysics keeps frozen precipitation in the rain field.
        snow = rain;
        rain = 0.0;
    }
    const double graupel = dry_floor(qgraupel_kgkg);
    const bool wet = t_k > kFreezingPointK;
    const double snow_factor = wet ? kSnowFactorWet : kSnowFactorDry;
    const double graupel_factor = wet ? kGraupelFactorWet : kGraupelFactorDry;

    const double snow_z = species_z(snow_factor, rho * snow, kSnowN0Power);
    const double rain_z = species_z(kRainFactor, rho * rain, kRainN0Power);
    const double graupel_z = species_z(graupel_factor, rho * graupel, kGraupelN0Power);
    const double z = (snow_z + rain_z) + graupel_z;
    return 10.0 * std::log10(z > kMinReflectivityFactor ? z : kMinReflectivityFactor);
}

}  // namespace tarq::met
