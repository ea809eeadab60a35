#include "met/composite.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace tarq::met {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct FormulaCase {
    const char* label;
    double got;
    double expected;  // NaN: the result must be NaN
};

void check(const std::vector<FormulaCase>& cases) {
    for (const FormulaCase& c : cases) {
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(c.got)) << c.label << ": " << c.got;
        } else {
            EXPECT_NEAR(c.got, c.expected, 1e-12 * std::max(1.0, std::abs(c.expected))) << c.label;
        }
    }
}

TEST(CompositeFormulas, EnergyHelicityAndRichardson) {
    check({
        {"EHI 2000 x 200", energy_helicity_index(2000.0, 200.0), 2.5},
        {"EHI keeps the helicity sign", energy_helicity_index(2000.0, -200.0), -2.5},
        {"EHI NaN CAPE", energy_helicity_index(kNaN, 200.0), kNaN},
        {"EHI NaN SRH", energy_helicity_index(2000.0, kNaN), kNaN},
        {"BRN 2500 J/kg, 10 m/s", bulk_richardson_number(2500.0, 10.0), 50.0},
        {"BRN d = 0.08 is 0", bulk_richardson_number(2500.0, 0.4), 0.0},
        {"BRN d = 0.1 exactly is 0", bulk_richardson_number(2500.0, std::sqrt(0.2)), 0.0},
        {"BRN NaN CAPE", bulk_richardson_number(kNaN, 10.0), kNaN},
        {"BRN NaN CAPE, calm", bulk_richardson_number(kNaN, 0.4), 0.0},
        {"BRN NaN shear", bulk_richardson_number(2500.0, kNaN), 0.0},
    });
}

TEST(CompositeFormulas, SupercellCompositeHasNoCapAndSilencesNaN) {
    check({
        {"SCP 1000, 50, 40", supercell_composite(1000.0, 50.0, 40.0), 1.0},
        {"SCP shear 80 doubles it", supercell_composite(1000.0, 50.0, 80.0), 2.0},
        {"SCP large terms uncapped", supercell_composite(4000.0, 400.0, 40.0), 32.0},
        {"SCP negative SRH", supercell_composite(1000.0, -50.0, 40.0), 0.0},
        {"SCP NaN CAPE", supercell_composite(kNaN, 50.0, 40.0), 0.0},
        {"SCP NaN SRH", supercell_composite(1000.0, kNaN, 40.0), 0.0},
        {"SCP NaN shear", supercell_composite(1000.0, 50.0, kNaN), 0.0},
    });
}

TEST(CompositeFormulas, TornadoParameterTerms) {
    check({
        {"LCL 500", stp_lcl_term(500.0), 1.0},
        {"LCL 1000", stp_lcl_term(1000.0), 1.0},
        {"LCL 1500", stp_lcl_term(1500.0), 0.5},
        {"LCL 2000", stp_lcl_term(2000.0), 0.0},
        {"LCL NaN", stp_lcl_term(kNaN), kNaN},
        {"shear 12", stp_shear_term(12.0), 0.0},
        {"shear 12.5", stp_shear_term(12.5), 0.625},
        {"shear 20", stp_shear_term(20.0), 1.0},
        {"shear 30", stp_shear_term(30.0), 1.5},
        {"shear 35", stp_shear_term(35.0), 1.5},
        {"shear NaN", stp_shear_term(kNaN), kNaN},
        {"CIN 0 capped at 1", stp_cin_term(0.0), 1.0},
        {"CIN -50", stp_cin_term(-50.0), 1.0},
        {"CIN -125", stp_cin_term(-125.0), 0.5},
        {"CIN -200", stp_cin_term(-200.0), 0.0},
        {"CIN -300 floored", stp_cin_term(-300.0), 0.0},
        {"CIN NaN", stp_cin_term(kNaN), kNaN},
    });
}

TEST(CompositeFormulas, TornadoParameter) {
    check({
        {"fixed, LCL 500, shear 35", stp_fixed_layer(1500.0, 500.0, 150.0, 35.0), 1.5},
        {"fixed, LCL 2000", stp_fixed_layer(1500.0, 2000.0, 150.0, 35.0), 0.0},
        {"fixed, shear 12", stp_fixed_layer(1500.0, 500.0, 150.0, 12.0), 0.0},
        {"fixed, mid terms", stp_fixed_layer(3000.0, 1500.0, 300.0, 20.0), 2.0},
        {"fixed, negative SRH", stp_fixed_layer(1500.0, 500.0, -150.0, 35.0), 0.0},
        {"fixed, NaN CAPE silences", stp_fixed_layer(kNaN, 500.0, 150.0, 35.0), 0.0},
        {"fixed, NaN SRH silences", stp_fixed_layer(1500.0, 500.0, kNaN, 35.0), 0.0},
        {"fixed, NaN LCL propagates", stp_fixed_layer(1500.0, kNaN, 150.0, 35.0), kNaN},
        {"fixed, NaN shear propagates", stp_fixed_layer(1500.0, 500.0, 150.0, kNaN), kNaN},
        {"effective, CIN -125 halves", stp_effective_layer(1500.0, 500.0, -125.0, 150.0, 35.0), 0.75},
        {"effective, CIN -20", stp_effective_layer(1500.0, 500.0, -20.0, 150.0, 35.0), 1.5},
        {"effective, NaN CIN propagates", stp_effective_layer(1500.0, 500.0, kNaN, 150.0, 35.0), kNaN},
        {"effective, NaN CAPE silences", stp_effective_layer(kNaN, 500.0, -20.0, 150.0, 35.0), 0.0},
        {"effective, NaN SRH silences", stp_effective_layer(1500.0, 500.0, -20.0, kNaN, 35.0), 0.0},
        {"effective, NaN LCL propagates", stp_effective_layer(1500.0, kNaN, -20.0, 150.0, 35.0), kNaN},
        {"effective, NaN shear propagates", stp_effective_layer(1500.0, 500.0, -20.0, 150.0, kNaN), kNaN},
    });
}

TEST(CompositeFormulas, SignificantHail) {
    // 2000 x 10 x 7 x 15 x 25 / 42e6 = 1.25 exactly.
    check({
        {"SHIP", significant_hail(2000.0, 10.0, 7.0, -15.0, 25.0), 1.25},
        {"SHIP T500 0", significant_hail(2000.0, 10.0, 7.0, 0.0, 25.0), 0.0},
        {"SHIP T500 warm", significant_hail(2000.0, 10.0, 7.0, 5.0, 25.0), 0.0},
        {"SHIP MUCAPE 0", significant_hail(0.0, 10.0, 7.0, -15.0, 25.0), 0.0},
        {"SHIP MUCAPE negative", significant_hail(-10.0, 10.0, 7.0, -15.0, 25.0), 0.0},
        {"SHIP inverted lapse rate", significant_hail(2000.0, 10.0, -7.0, -15.0, 25.0), 0.0},
        {"SHIP NaN MUCAPE", significant_hail(kNaN, 10.0, 7.0, -15.0, 25.0), 0.0},
        {"SHIP NaN MR", significant_hail(2000.0, kNaN, 7.0, -15.0, 25.0), 0.0},
        {"SHIP NaN lapse rate", significant_hail(2000.0, 10.0, kNaN, -15.0, 25.0), 0.0},
        {"SHIP NaN T500", significant_hail(2000.0, 10.0, 7.0, kNaN, 25.0), 0.0},
        {"SHIP NaN shear", significant_hail(2000.0, 10.0, 7.0, -15.0, kNaN), 0.0},
    });
}

TEST(CompositeFormulas, ClipsDifferOnlyForNaN) {
    check({
        {"clip0 -1", clip0(-1.0), 0.0},
        {"clip0n -1", clip0n(-1.0), 0.0},
        {"clip0 2", clip0(2.0), 2.0},
        {"clip0n 2", clip0n(2.0), 2.0},
        {"clip0 NaN", clip0(kNaN), 0.0},
        {"clip0n NaN", clip0n(kNaN), kNaN},
    });
}

TEST(Values500Hpa, LinearInPressureWithinTheFirstCrossing) {
    const std::vector<double> p{1000.0, 700.0, 400.0, 600.0, 300.0};
    const std::vector<double> t{20.0, 0.0, -20.0, -5.0, -40.0};
    const std::vector<double> q{0.010, 0.005, 0.001, 0.004, 0.0};
    const Values500Hpa v = values_at_500hpa(p, t, q);
    EXPECT_NEAR(v.t_c, -20.0 + 20.0 / 3.0, 1e-12);
    EXPECT_NEAR(v.mr_gkg, (0.001 + 0.004 / 3.0) * 1000.0, 1e-12);
}

TEST(Values500Hpa, EdgeColumns) {
    struct Case {
        const char* label;
        std::vector<double> p, t, q;
        double t500, mr;
    };
    const std::vector<Case> cases{
        {"never reaches 500 hPa", {1000.0, 800.0, 600.0}, {20.0, 10.0, 0.0}, {0.01, 0.01, 0.01}, 0.0, 0.0},
        {"starts above 500 hPa", {450.0, 300.0}, {-20.0, -40.0}, {0.001, 0.0}, 0.0, 0.0},
        {"a level at exactly 500 hPa", {700.0, 500.0, 300.0}, {0.0, -12.0, -30.0}, {0.004, 0.002, 0.0}, -12.0, 2.0},
        {"negative moisture clipped", {600.0, 400.0}, {-5.0, -25.0}, {-0.002, -0.001}, -15.0, 0.0},
        {"NaN moisture is 0", {600.0, 400.0}, {-5.0, -25.0}, {kNaN, 0.001}, -15.0, 0.0},
        {"NaN pressure never crosses", {kNaN, 400.0}, {-5.0, -25.0}, {0.001, 0.001}, 0.0, 0.0},
        {"empty", {}, {}, {}, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        const Values500Hpa v = values_at_500hpa(c.p, c.t, c.q);
        EXPECT_NEAR(v.t_c, c.t500, 1e-12) << c.label;
        EXPECT_NEAR(v.mr_gkg, c.mr, 1e-12) << c.label;
    }
    const std::vector<double> p{600.0, 400.0};
    const std::vector<double> t{kNaN, -25.0};
    const std::vector<double> q{0.001, 0.001};
    EXPECT_TRUE(std::isnan(values_at_500hpa(p, t, q).t_c));
}

TEST(CriticalAngle, Cases) {
    struct Case {
        const char* label;
        std::vector<double> u, v, z;
        double su, sv;
        double expected;  // NaN: must be NaN
    };
    // Lowest wind calm, 10 m/s westerly at 1000 m: the 0-500 m shear points east.
    const std::vector<double> u{0.0, 10.0};
    const std::vector<double> v{0.0, 0.0};
    const std::vector<double> z{0.0, 1000.0};
    const std::vector<Case> cases{
        {"storm motion on the lowest wind", {5.0, 10.0}, {0.0, 0.0}, z, 5.0, 0.0, 0.0},
        {"inflow perpendicular to the shear", u, v, z, 0.0, 5.0, 90.0},
        {"inflow along the shear", u, v, z, -5.0, 0.0, 0.0},
        {"inflow against the shear", u, v, z, 10.0, 0.0, 180.0},
        {"45 degrees", u, v, z, -3.0, -3.0, 45.0},
        {"no 0-500 m shear", {3.0, 3.0}, {1.0, 1.0}, z, 0.0, 5.0, 0.0},
        {"column above 500 m: lowest wind, no shear", {0.0, 10.0}, {0.0, 0.0}, {600.0, 1000.0}, 0.0, 5.0, 0.0},
        {"column below 500 m: highest wind", {0.0, 10.0}, {0.0, 0.0}, {0.0, 300.0}, 0.0, -5.0, 90.0},
        // cos evaluates to 1 + 2^-52 here; clamped, not NaN.
        {"parallel vectors clamp", {0.0, 0.6}, {0.0, 3.6}, z, -0.1, -0.6, 0.0},
        {"NaN storm motion", u, v, z, kNaN, 5.0, kNaN},
        {"NaN wind aloft", {0.0, kNaN}, v, z, 0.0, 5.0, kNaN},
        {"empty column", {}, {}, {}, 0.0, 5.0, 0.0},
    };
    for (const Case& c : cases) {
        const double got = critical_angle_deg(c.u, c.v, c.z, c.su, c.sv);
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(got)) << c.label << ": " << got;
        } else {
            EXPECT_NEAR(got, c.expected, 1e-9) << c.label;
        }
    }
}

}  // namespace
}  // namespace tarq::met
