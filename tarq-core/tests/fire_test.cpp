#include "met/fire.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace tarq::met {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Written out here rather than taken from the library.
double saturation_vapor_pressure_hpa(double t_c) { return 6.112 * std::exp(17.67 * t_c / (t_c + 243.5)); }
double mixing_ratio_at(double e_hpa, double p_hpa) { return 0.622 * e_hpa / (p_hpa - e_hpa); }

TEST(EquilibriumMoisture, HumidityOfExactly10And50UsesTheLowerBranch) {
    const double t_f = 80.0;
    const double dry_at_10 = 0.03229 + 0.281073 * 10.0 - 0.000578 * 10.0 * t_f;
    const double middle_at_50 = 2.22749 + 0.160107 * 50.0 - 0.01478 * t_f;
    EXPECT_DOUBLE_EQ(equilibrium_moisture_pct(10.0, t_f), dry_at_10);
    EXPECT_DOUBLE_EQ(equilibrium_moisture_pct(50.0, t_f), middle_at_50);
    // Just above each bound the next branch takes over (the branches do not meet).
    EXPECT_NEAR(equilibrium_moisture_pct(std::nextafter(10.0, 11.0), t_f), 2.22749 + 1.60107 - 0.01478 * t_f, 1e-9);
    EXPECT_NEAR(equilibrium_moisture_pct(std::nextafter(50.0, 51.0), t_f),
                21.0606 + 0.005565 * 2500.0 - 0.00035 * 50.0 * t_f - 0.483199 * 50.0, 1e-9);
}

// T2 30 °C over 1000 hPa at a relative humidity of 20 %.
constexpr double kT2 = 303.15, kPsfc = 100000.0;
const double kQ2At20Pct = mixing_ratio_at(0.2 * saturation_vapor_pressure_hpa(30.0), 1000.0);

TEST(Fosberg, CalmAirIsTheMoistureTermAlone) {
    const double t_f = 30.0 * 9.0 / 5.0 + 32.0;
    const double x = equilibrium_moisture_pct(20.0, t_f) / 30.0;
    const double eta = 1.0 - 2.0 * x + 1.5 * x * x - 0.5 * x * x * x;
    EXPECT_NEAR(fosberg_index(kT2, kQ2At20Pct, kPsfc, 0.0, 0.0), eta * 10.0 / 3.0, 1e-9);
}

TEST(Fosberg, WindScalesInMilesPerHourAndCapsAt100) {
    const double calm = fosberg_index(kT2, kQ2At20Pct, kPsfc, 0.0, 0.0);
    const double mph = 5.0 / 0.44704;
    EXPECT_NEAR(fosberg_index(kT2, kQ2At20Pct, kPsfc, 3.0, -4.0), calm * std::sqrt(1.0 + mph * mph), 1e-9);
    EXPECT_EQ(fosberg_index(kT2, 0.0, kPsfc, 40.0, 0.0), 100.0) << "dry gale";
}

TEST(Fosberg, HumidityIsClampedAndMissingInputStaysMissing) {
    const double q_sat = mixing_ratio_at(saturation_vapor_pressure_hpa(30.0), 1000.0);
    EXPECT_EQ(fosberg_index(kT2, 3.0 * q_sat, kPsfc, 2.0, 1.0), fosberg_index(kT2, q_sat * 1.001, kPsfc, 2.0, 1.0));
    EXPECT_EQ(fosberg_index(kT2, -0.01, kPsfc, 2.0, 1.0), fosberg_index(kT2, 0.0, kPsfc, 2.0, 1.0));
    EXPECT_TRUE(std::isnan(fosberg_index(kNaN, kQ2At20Pct, kPsfc, 2.0, 1.0)));
    EXPECT_TRUE(std::isnan(fosberg_index(kT2, kNaN, kPsfc, 2.0, 1.0)));
    EXPECT_TRUE(std::isnan(fosberg_index(kT2, kQ2At20Pct, kPsfc, kNaN, 1.0)));
}

// Mixing ratio whose dewpoint at 850 hPa lies depression_c below t850_c.
double q_for_depression(double t850_c, double depression_c) {
    return mixing_ratio_at(saturation_vapor_pressure_hpa(t850_c - depression_c), 850.0);
}

struct HainesCase {
    std::vector<double> p_hpa, t_c, q;
    double expected;
    const char* what;
};

TEST(Haines, ClassesOfLapseAndDepression) {
    const double q4 = q_for_depression(10.0, 4.0), q8 = q_for_depression(10.0, 8.0), q12 = q_for_depression(10.0, 12.0);
    const double q7 = q_for_depression(11.0, 7.0), q_cold = q_for_depression(-7.5, 4.0);
    // Levels at exactly 950 and 850 hPa make each value that level's own.
    const std::vector<double> p{1000.0, 950.0, 850.0, 700.0};
    const std::array<HainesCase, 8> cases{{
        {p, {16, 13, 10, 0}, {q4, q4, q4, q4}, 2, "stable and moist: lapse of exactly 3"},
        {p, {20, 17, 10, 0}, {q8, q8, q8, q8}, 4, "lapse of exactly 7, depression 8"},
        {p, {20, 17.5, 10, 0}, {q12, q12, q12, q12}, 6, "steep and dry"},
        {{1000, 900, 800, 700}, {20, 14, 8, 2}, {q7, q7, q7, q7}, 4, "interpolated: 17 and 11 °C"},
        // The 950 hPa value stays 0: 0 - (-7.5) is in the top class, where the
        // lowest level's -2 °C would have given the middle one.
        {{940, 900, 800}, {-2, -5, -10}, {q_cold, q_cold, q_cold}, 4, "ground above 950 hPa"},
        {{1000}, {20}, {0.01}, 2, "one level: every value 0"},
        {p, {20, 17, kNaN, 0}, {q4, q4, q4, q4}, 6, "missing 850 hPa temperature: both top classes"},
        {{1000, 900}, {20, 14}, {q4, q4}, 4, "850 hPa above the column: its temperature and dewpoint stay 0"},
    }};
    for (const auto& c : cases) EXPECT_EQ(haines_index(c.p_hpa, c.t_c, c.q), c.expected) << c.what;
}

TEST(HotDryWindy, IsWindTimesVapourPressureDeficit) {
    const double e = 1000.0 * kQ2At20Pct / (kQ2At20Pct + 0.622);
    const double deficit = saturation_vapor_pressure_hpa(30.0) - e;
    EXPECT_NEAR(hot_dry_windy_index(kT2, kQ2At20Pct, kPsfc, 3.0, 4.0), 5.0 * deficit, 1e-9);
    EXPECT_NEAR(hot_dry_windy_index(kT2, -0.01, kPsfc, 3.0, 4.0), 5.0 * saturation_vapor_pressure_hpa(30.0), 1e-9);
}

TEST(HotDryWindy, SaturatedOrUnknownAirHasNoDeficit) {
    const double q_sat = mixing_ratio_at(saturation_vapor_pressure_hpa(30.0), 1000.0);
    EXPECT_NEAR(hot_dry_windy_index(kT2, q_sat, kPsfc, 30.0, 0.0), 0.0, 1e-9);
    EXPECT_EQ(hot_dry_windy_index(kT2, 1.01 * q_sat, kPsfc, 30.0, 0.0), 0.0);
    EXPECT_EQ(hot_dry_windy_index(kNaN, kQ2At20Pct, kPsfc, 30.0, 0.0), 0.0);
    EXPECT_EQ(hot_dry_windy_index(kT2, kNaN, kPsfc, 30.0, 0.0), 0.0);
    EXPECT_EQ(hot_dry_windy_index(kT2, kQ2At20Pct, kNaN, 30.0, 0.0), 0.0);
}

}  // namespace
}  // namespace tarq::met
