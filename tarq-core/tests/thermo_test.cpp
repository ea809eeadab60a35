#include "met/thermo.h"
#include "met/vector_math.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <span>
#include <cmath>
#include <limits>
#include <vector>

#include "util/constants.h"

namespace tarq::met {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Test values published by the operational sounding lineage whose polynomials
// these functions share (SHARPpy's thermo tests, "Value from SHARP").
TEST(ThermoAnchors, WobusPolynomial) {
    EXPECT_NEAR(wobus(10.0), 10.192034543230415, 1e-6);
    EXPECT_NEAR(wobus(0.0), 6.411053315058521, 1e-6);
    EXPECT_NEAR(wobus(-10.0), 3.8633154447163114, 1e-6);
}

TEST(ThermoAnchors, LclTemperatureAndDryLift) {
    EXPECT_NEAR(lcl_temperature(10.0, 5.0), 3.89818375, 1e-6);
    const LclPoint lcl = dry_lift(950.0, 30.0, 25.0);
    EXPECT_NEAR(lcl.p_hpa, 883.4367363248148, 1e-6);
    EXPECT_NEAR(lcl.t_c, 23.77298375, 1e-6);
}

TEST(ThermoAnchors, MoistLiftAt850) {
    // The lineage iterates to a different stopping rule, hence 1e-3.
    EXPECT_NEAR(moist_lift(850.0, 20.0), 13.713, 1e-3);
}

TEST(Wobus, ContinuousWhereTheBranchesMeet) {
    EXPECT_EQ(wobus(20.0), 15.13);
    EXPECT_NEAR(wobus(20.0 + 1e-9), 15.13, 1e-9);
    EXPECT_NEAR(wobus(20.0 - 1e-9), 15.13, 1e-9);
    EXPECT_TRUE(std::isnan(wobus(kNaN)));
}

TEST(MoistLift, AnswersTheLabelOnlyAtItsOwnLevel) {
    EXPECT_EQ(moist_lift(1000.0, 17.3), 17.3);
    EXPECT_EQ(moist_lift(1000.0005, 17.3), 17.3);
    EXPECT_TRUE(std::isnan(moist_lift(kNaN, 17.3)));
    EXPECT_TRUE(std::isnan(moist_lift(850.0, kNaN)));
}

TEST(MoistLift, FollowsTheAdiabatBelow1000Hpa) {
    // Higher pressure is further down the adiabat, so warmer than its label.
    for (double label : {-20.0, 0.0, 15.0, 28.0}) {
        const double t1013 = moist_lift(1013.0, label);
        const double t1050 = moist_lift(1050.0, label);
        EXPECT_GT(t1013, label) << label;
        EXPECT_GT(t1050, t1013) << label;
        // The round trip through the label of (p, T) lands on the same adiabat.
        const double back = moist_adiabat_theta(1050.0, t1050);
        EXPECT_NEAR(back, label, 2e-3) << label;
    }
}

TEST(MoistLift, ManyPressuresSideBySideMatchOneAtATime) {
    // Labels on both sides of the Wobus branch point and a missing one;
    // pressures at, near and above 1000 hPa, through the troposphere, a NaN,
    // and counts that do not fill the last block of four. With scalar powers
    // the lanes repeat moist_lift bit for bit; SLEEF's powers are within 1 ulp.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> all = {1000.0, 1000.0005, 999.9995, 1013.0, 1050.0, 950.0, 850.0, 700.0, 500.0,
                                     300.0, 200.0, 100.0, 50.0, nan, 925.25, 10.0, 1.0};
    const VectorIsa best = best_vector_isa();
    for (const VectorIsa isa : {VectorIsa::Scalar, best})
    for (const double label : {-40.0, -5.0, 19.99, 20.0, 20.01, 24.5, 35.0, nan}) {
        use_vector_isa(isa);
        const double wobus_label = wobus(label);
        for (std::size_t count : {std::size_t{1}, std::size_t{3}, std::size_t{4}, std::size_t{5}, all.size()}) {
            const std::span<const double> p(all.data(), count);
            std::vector<double> many(count);
            moist_lift_many(p, label, wobus_label, many);
            for (std::size_t i = 0; i < count; ++i) {
                const double one = moist_lift(p[i], label);
                if (std::isnan(one)) {
                    EXPECT_TRUE(std::isnan(many[i])) << "p " << p[i] << " label " << label;
                } else if (isa == VectorIsa::Scalar) {
                    EXPECT_EQ(std::bit_cast<std::uint64_t>(many[i]), std::bit_cast<std::uint64_t>(one))
                        << "p " << p[i] << " label " << label;
                } else {
                    EXPECT_NEAR(many[i], one, 1e-12 * std::fabs(one)) << "p " << p[i] << " label " << label;
                }
            }
        }
    }
    use_vector_isa(best);
}

TEST(WetBulb, SaturatedAirIsItsOwnWetBulb) {
    for (double p : {1013.0, 1040.0, 1000.0, 900.0, 700.0}) {
        EXPECT_NEAR(wet_bulb(p, 20.0, 20.0), 20.0, 1e-3) << p;
        EXPECT_NEAR(wet_bulb(p, -5.0, -5.0), -5.0, 1e-3) << p;
    }
    EXPECT_NEAR(wet_bulb_potential_temperature(1000.0, 18.0, 18.0), 18.0 + kKelvinOffset, 1e-9);
}

struct PublishedWetBulb {
    double p_hpa, t_c, td_c, expected_c, tolerance_c;
    const char* source;
};

TEST(WetBulb, AgreesWithPublishedValues) {
    const std::array<PublishedWetBulb, 2> cases{{
        // MetPy documentation, wet_bulb_temperature example (Normand's rule).
        // The Wobus adiabat and MetPy's integrated pseudo-adiabat differ by a
        // few tenths of a degree.
        {993.0, 32.0, 15.0, 20.3937601, 0.3, "MetPy wet_bulb_temperature docs"},
        // 70 F / 30 F dewpoint at 1013 hPa: 50.27 F, MetPy issue #2005.
        {1013.0, (70.0 - 32.0) / 1.8, (30.0 - 32.0) / 1.8, (50.27 - 32.0) / 1.8, 0.3, "MetPy issue 2005"},
    }};
    for (const auto& c : cases) EXPECT_NEAR(wet_bulb(c.p_hpa, c.t_c, c.td_c), c.expected_c, c.tolerance_c) << c.source;
}

TEST(DryLift, SaturatedParcelIsAtItsLcl) {
    EXPECT_EQ(lcl_temperature(12.5, 12.5), 12.5);
    const LclPoint lcl = dry_lift(870.0, 12.5, 12.5);
    EXPECT_NEAR(lcl.p_hpa, 870.0, 1e-9);
    EXPECT_EQ(lcl.t_c, 12.5);
}

TEST(DewpointFromQ, FloorsKeepItFinite) {
    const double dry = dewpoint_from_q(0.0, 1000.0);
    EXPECT_NEAR(dry, -121.0, 0.1);
    EXPECT_EQ(dewpoint_from_q(kNaN, 1000.0), dewpoint_from_q(1e-10, 1000.0));
    EXPECT_EQ(dewpoint_from_q(-0.003, 1000.0), dry);
    // The vapour-pressure floor alone.
    EXPECT_NEAR(dewpoint_from_q(0.01, 0.0), -137.8, 0.1);
    // Inverse of the exponential saturation formula for a realistic point.
    const double w = 0.622 * vapor_pressure_exp(15.0) / (850.0 - vapor_pressure_exp(15.0));
    EXPECT_NEAR(dewpoint_from_q(w, 850.0), 15.0, 1e-9);
}

TEST(RelativeHumidityFromQ, ClampedToZeroAndHundred) {
    EXPECT_EQ(relative_humidity_from_q(1000.0, 20.0, 0.5), 100.0);
    EXPECT_EQ(relative_humidity_from_q(1000.0, 20.0, -0.001), 0.0);
    EXPECT_EQ(relative_humidity_from_q(1000.0, 20.0, 0.0), 0.0);
    EXPECT_TRUE(std::isnan(relative_humidity_from_q(1000.0, kNaN, 0.01)));
    EXPECT_TRUE(std::isnan(relative_humidity_from_q(1000.0, 20.0, kNaN)));
    const double half = 0.5 * vapor_pressure_exp(20.0);
    EXPECT_NEAR(relative_humidity_from_q(1000.0, 20.0, 0.622 * half / (1000.0 - half)), 50.0, 1e-9);
}

TEST(ThetaEBolton, AgreesWithPublishedValue) {
    // MetPy documentation, equivalent_potential_temperature(850 hPa, 20 C, 18 C)
    // = 353.898874 K with the same Bolton formulation.
    const double e = vapor_pressure_exp(18.0);
    const double w = 0.622 * e / (850.0 - e);
    EXPECT_NEAR(theta_e_bolton(850.0, 20.0, w), 353.898874, 0.1);
}

TEST(ThetaEBolton, DryAirGivesItsPotentialTemperature) {
    const double theta = (20.0 + kKelvinOffset) * std::pow(1000.0 / 850.0, ROCP);
    EXPECT_EQ(theta_e_bolton(850.0, 20.0, 0.0), theta);
    EXPECT_EQ(theta_e_bolton(850.0, 20.0, -1e-4), theta);
    EXPECT_NEAR(theta_e_bolton(850.0, 20.0, 1e-12), theta, 1e-6);
    EXPECT_TRUE(std::isnan(theta_e_bolton(850.0, 20.0, kNaN)));
}

TEST(MixingRatio, KnownRelations) {
    // Smithsonian Meteorological Tables: e_s(20 C) = 23.37 hPa, so 14.88 g/kg
    // at 1000 hPa before the enhancement factor of about 1.004.
    EXPECT_NEAR(mixing_ratio_gkg(1000.0, 20.0), 14.88 * 1.0045, 0.02);
    EXPECT_NEAR(temperature_at_mixing_ratio(mixing_ratio_gkg(850.0, 10.0), 850.0), 10.0, 0.1);
    EXPECT_NEAR(virtual_temp_c(20.0, 10.0), (293.15 * 1.0061) - 273.15, 1e-12);
    EXPECT_NEAR(vapor_pressure(0.0), 6.1078 / std::pow(0.99999683, 8), 1e-12);
    // The enhancement term is 0.0014 * (x * x); (0.0014 * x) * x differs in the
    // last place at these points.
    EXPECT_EQ(mixing_ratio_gkg(1000.0, -47.0), 0x1.c92c456fa64c4p-5);
    EXPECT_EQ(mixing_ratio_gkg(925.0, 35.0), 0x1.43b2afc8c7f62p+5);
}

TEST(VirtualTemperatureK, NegativeOrMissingMoistureIsDry) {
    EXPECT_EQ(virtual_temperature_k(300.0, 0.01), 300.0 * (1.0 + 0.61 * 0.01));
    EXPECT_EQ(virtual_temperature_k(300.0, -0.01), 300.0);
    EXPECT_EQ(virtual_temperature_k(300.0, kNaN), 300.0);
}

TEST(ParcelThetaE, RanksMoistAirAboveDryAir) {
    EXPECT_GT(parcel_theta_e(900.0, 25.0, 20.0), parcel_theta_e(900.0, 25.0, 5.0));
    // Dry limit: theta of the parcel in Celsius.
    const double theta_c = (25.0 + kKelvinOffset) * std::pow(1000.0 / 900.0, ROCP) - kKelvinOffset;
    EXPECT_NEAR(parcel_theta_e(900.0, 25.0, -90.0), theta_c, 0.05);
}

TEST(ProfileAtPressure, InterpolatesInLogPressureAndFallsBackToTheTop) {
    const std::vector<double> p{1000.0, 900.0, 900.0, 500.0};
    const std::vector<double> t{20.0, 14.0, 13.0, -10.0};
    const std::vector<double> td{15.0, 10.0, 9.0, -30.0};
    const ProfileValues mid = profile_at_pressure(950.0, p, t, td);
    const double f = std::log(950.0 / 1000.0) / std::log(900.0 / 1000.0);
    EXPECT_NEAR(mid.t_c, 20.0 - 6.0 * f, 1e-12);
    EXPECT_NEAR(mid.td_c, 15.0 - 5.0 * f, 1e-12);
    // 900 is bracketed first by (1000, 900): level 1 exactly.
    EXPECT_DOUBLE_EQ(profile_at_pressure(900.0, p, t, td).t_c, 14.0);
    for (double outside : {1010.0, 400.0, kNaN}) {
        const ProfileValues v = profile_at_pressure(outside, p, t, td);
        EXPECT_EQ(v.t_c, -10.0) << outside;
        EXPECT_EQ(v.td_c, -30.0) << outside;
    }
    const std::vector<double> one{850.0};
    EXPECT_EQ(profile_at_pressure(850.0, one, std::vector<double>{5.0}, std::vector<double>{1.0}).t_c, 5.0);
}

TEST(HeightAtPressure, LinearInPressureWithEndValues) {
    const std::vector<double> p{1000.0, 900.0, 800.0};
    const std::vector<double> z{0.0, 1000.0, 2000.0};
    EXPECT_DOUBLE_EQ(height_at_pressure(950.0, p, z), 500.0);
    EXPECT_EQ(height_at_pressure(1010.0, p, z), 0.0);
    EXPECT_EQ(height_at_pressure(700.0, p, z), 2000.0);
    EXPECT_TRUE(std::isnan(height_at_pressure(kNaN, p, z)));
    // A column with a gap brackets nothing inside its range.
    EXPECT_TRUE(std::isnan(height_at_pressure(850.0, std::vector<double>{900.0, kNaN, 800.0}, z)));
}

}  // namespace
}  // namespace tarq::met
