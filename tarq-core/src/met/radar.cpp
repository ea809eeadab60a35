#include "met/radar.h"

#include <cmath>

#include "util/constants.h"

namespace tarq::met {

namespace {

double dry_floor(double q) noexcept { return q > 0.0 ? q : 0.0; }

// One species' factor (rho q)^1.75 / N0^0.75 term.
double species_z(double factor, double rho_q, double n0) noexcept {
    return factor * std::pow(rho_q, 1.75) / std::pow(n0, 0.75);
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
        // Without a snow field the scheme carries frozen precipitation as rain.
        snow = rain;
        rain = 0.0;
    }
    const double graupel = dry_floor(qgraupel_kgkg);
    const bool wet = t_k > kFreezingPointK;
    const double snow_factor = wet ? kSnowFactorWet : kSnowFactorDry;
    const double graupel_factor = wet ? kGraupelFactorWet : kGraupelFactorDry;

    const double z = (species_z(snow_factor, rho * snow, kN0Snow) + species_z(kRainFactor, rho * rain, kN0Rain)) +
                     species_z(graupel_factor, rho * graupel, kN0Graupel);
    return 10.0 * std::log10(z > kMinReflectivityFactor ? z : kMinReflectivityFactor);
}

}  // namespace tarq::met
