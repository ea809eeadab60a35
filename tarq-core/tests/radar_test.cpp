#include "met/radar.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace tarq::met {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Reflectivity factor of one species with an exponential size distribution of
// intercept n0 and particle density rho_x, derived here from its definition
// rather than taken from the tabled coefficients: 720e18 (pi rho_x)^-1.75
// (rho_x / 1000)^2 alpha (rho_air q)^1.75 / n0^0.75, alpha = 0.224 for dry ice.
double species_z(double rho_x, double alpha, double n0, double rho_air, double q) {
    return 720e18 * std::pow(std::numbers::pi * rho_x, -1.75) * std::pow(rho_x / 1000.0, 2.0) * alpha *
           std::pow(rho_air * q, 1.75) / std::pow(n0, 0.75);
}

double air_density(double p_pa, double t_k, double qv) {
    return p_pa / (287.04 * t_k * (qv + 0.622) / (0.622 * (1.0 + qv)));
}

constexpr double kRain = 1000.0, kSnow = 100.0, kGraupel = 400.0;
constexpr double kN0r = 8e6, kN0s = 2e7, kN0g = 4e6;
constexpr double kWet = 1.0, kDry = 0.224;

struct ReflectivityCase {
    double t_k, qr, qs, qg;
    bool snow_present;
    // Expected Z from the definition: each active species (density, alpha, n0, q).
    struct Term {
        double rho_x, alpha, n0, q;
    };
    std::array<Term, 3> terms;
    const char* what;
};

TEST(Reflectivity, SpeciesAndFactorsFollowTheTemperatureRules) {
    const double p = 80000.0, qv = 0.006;
    const std::array<ReflectivityCase, 8> cases{{
        {285.0, 1e-3, 0.0, 0.0, false, {{{kRain, kWet, kN0r, 1e-3}}}, "warm rain"},
        {265.0, 1e-3, 0.0, 0.0, false, {{{kSnow, kDry, kN0s, 1e-3}}}, "no snow field: cold rain is dry snow"},
        {265.0, 1e-3, 5e-4, 0.0, true, {{{kRain, kWet, kN0r, 1e-3}, {kSnow, kDry, kN0s, 5e-4}}},
         "snow field: cold rain stays rain"},
        {285.0, 0.0, 5e-4, 0.0, true, {{{kSnow, kWet, kN0s, 5e-4}}}, "wet snow above freezing"},
        {273.15, 1e-3, 0.0, 0.0, false, {{{kRain, kWet, kN0r, 1e-3}}}, "exactly 273.15 K: rain stays rain"},
        {273.15, 0.0, 5e-4, 2e-3, true, {{{kSnow, kDry, kN0s, 5e-4}, {kGraupel, kDry, kN0g, 2e-3}}},
         "exactly 273.15 K: dry snow and graupel"},
        {273.16, 0.0, 0.0, 2e-3, false, {{{kGraupel, kWet, kN0g, 2e-3}}}, "wet graupel"},
        {285.0, -1e-3, kNaN, 2e-3, true, {{{kGraupel, kWet, kN0g, 2e-3}}},
         "negative or missing mixing ratios add nothing"},
    }};
    for (const auto& c : cases) {
        const double rho = air_density(p, c.t_k, qv);
        double z = 0.0;
        for (const auto& term : c.terms) {
            if (term.q > 0.0) z += species_z(term.rho_x, term.alpha, term.n0, rho, term.q);
        }
        const double dbz = reflectivity_point(c.t_k, p, qv, c.qr, c.qs, c.qg, c.snow_present);
        EXPECT_NEAR(dbz, 10.0 * std::log10(z), 1e-11) << c.what;
        EXPECT_GT(dbz, 10.0) << c.what;
    }
}

TEST(Reflectivity, FloorsAtMinusThirty) {
    EXPECT_EQ(reflectivity_point(285.0, 80000.0, 0.006, 0.0, 0.0, 0.0, true), -30.0);
    EXPECT_EQ(reflectivity_point(285.0, 80000.0, 0.006, -1e-3, 0.0, 0.0, false), -30.0);
    EXPECT_EQ(reflectivity_point(285.0, 80000.0, 0.006, 1e-12, 0.0, 0.0, false), -30.0) << "trace of rain";
    EXPECT_EQ(reflectivity_point(kNaN, 80000.0, 0.006, 1e-3, 0.0, 0.0, false), -30.0);
    EXPECT_EQ(reflectivity_point(285.0, kNaN, 0.006, 1e-3, 0.0, 0.0, false), -30.0);
}

TEST(Reflectivity, NegativeOrMissingVapourIsDryAir) {
    const double dry = reflectivity_point(285.0, 80000.0, 0.0, 1e-3, 0.0, 0.0, false);
    EXPECT_EQ(reflectivity_point(285.0, 80000.0, -0.01, 1e-3, 0.0, 0.0, false), dry);
    EXPECT_EQ(reflectivity_point(285.0, 80000.0, kNaN, 1e-3, 0.0, 0.0, false), dry);
}

}  // namespace
}  // namespace tarq::met
