#include "met/pressure.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace tarq::met {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kLapseExponent = 287.0 * 0.0065 / 9.81;

// One column, bottom first, in Pa, K, kg/kg and m.
struct Column {
    std::vector<double> p, t, q, z;

    [[nodiscard]] double slp() const { return sea_level_pressure_column(p, t, q, z, p.size(), 1, 0); }
};

// A column whose height and virtual temperature are both linear in ln p, so a
// ln-p interpolation between any two of its levels is exact.
Column log_linear_column(const std::vector<double>& p_pa) {
    Column c;
    for (double p : p_pa) {
        const double x = std::log(p / 100000.0);
        c.p.push_back(p);
        c.t.push_back(290.0 + 20.0 * x);
        c.q.push_back(0.0);
        c.z.push_back(150.0 - 8000.0 * x);
    }
    return c;
}

TEST(SeaLevelPressure, ColumnBelowTheAnchorExtrapolatesFromItsTopTwoLevels) {
    const Column tall = log_linear_column({100000.0, 97000.0, 94000.0, 91000.0, 88000.0, 85000.0});
    const Column shallow = log_linear_column({100000.0, 98000.0, 96500.0});
    EXPECT_NEAR(shallow.slp(), tall.slp(), 1e-9 * tall.slp());
    // Reduced from 150 m: a little above the lowest level's 1000 hPa.
    EXPECT_GT(tall.slp(), 1015.0);
    EXPECT_LT(tall.slp(), 1020.0);
}

TEST(SeaLevelPressure, LevelsCloserThanOnePascalTakeTheUpperLevel) {
    // 89999.9 Pa is the first level 100 hPa above the ground; the level below
    // it is 0.5 Pa away, so nothing is interpolated from that one.
    Column c = log_linear_column({100000.0, 95000.0, 90000.4, 89999.9, 85000.0});
    const double reference = c.slp();
    c.z[2] = 5000.0;
    c.t[2] = 200.0;
    EXPECT_EQ(c.slp(), reference);
    c.t[2] = kNaN;
    EXPECT_EQ(c.slp(), reference);
    c.t[3] += 5.0;
    EXPECT_NE(c.slp(), reference);
}

// Two levels exactly 100 hPa apart: the anchor is the upper level itself.
struct SeaLevelTemperatureCase {
    double p_s, z_0, z_1, t_1, q;
    bool limited;  // the lapse-rate estimate is replaced by 290.66 K exactly
    const char* what;
};

TEST(SeaLevelPressure, SeaLevelTemperatureIsLimitedOrCurvedInBothBranches) {
    const std::array<SeaLevelTemperatureCase, 4> cases{{
        {85000.0, 1500.0, 2500.0, 280.0, 0.0, true, "warm estimate above a cool surface: limited"},
        {85000.0, 1500.0, 2500.0, 280.0, 0.01, true, "the same, moist: 0.608 virtual factor"},
        {85000.0, 1500.0, 2500.0, 300.0 / std::pow(85000.0 / 75000.0, kLapseExponent), 0.0, false,
         "surface at 300 K"},
        {100000.0, 300.0, 1200.0, 260.0, 0.0, false, "cold estimate: curved all the same"},
    }};
    for (const auto& c : cases) {
        const double p_c = c.p_s - 10000.0;
        const Column col{{c.p_s, p_c}, {c.t_1 + 2.0, c.t_1}, {c.q, c.q}, {c.z_0, c.z_1}};
        const double tv_c = (1.0 + 0.608 * c.q) * c.t_1;
        const double t_s = tv_c * std::pow(c.p_s / p_c, kLapseExponent);
        // Sea-level temperature recovered from the reduction itself.
        const double t_0 = 19.62 * c.z_0 / (287.0 * std::log(col.slp() * 100.0 / c.p_s)) - t_s;
        const double expected = c.limited ? 290.66 : 290.66 - 0.005 * (t_s - 290.66) * (t_s - 290.66);
        EXPECT_NEAR(t_0, expected, 1e-7) << c.what;
    }
    // The 300 K surface of the published example.
    EXPECT_NEAR(290.66 - 0.005 * 9.34 * 9.34, 290.223822, 1e-6);
}

TEST(SeaLevelPressure, NegativeOrMissingMoistureCountsAsDry) {
    Column c = log_linear_column({100000.0, 95000.0, 90000.0, 85000.0});
    const double dry = c.slp();
    c.q = {-0.002, -0.001, kNaN, -1.0};
    EXPECT_EQ(c.slp(), dry);
    c.q = {0.01, 0.008, 0.006, 0.004};
    EXPECT_NE(c.slp(), dry);
}

TEST(SeaLevelPressure, ReadsOnlyItsOwnColumnOfInterleavedFields) {
    const Column c = log_linear_column({100000.0, 95000.0, 90000.0, 85000.0});
    const std::size_t nz = c.p.size();
    const std::size_t ncol = 3;
    auto interleave = [&](const std::vector<double>& v) {
        std::vector<double> out(nz * ncol, kNaN);
        for (std::size_t k = 0; k < nz; ++k) out[k * ncol + 1] = v[k];
        return out;
    };
    const auto p = interleave(c.p), t = interleave(c.t), q = interleave(c.q), z = interleave(c.z);
    EXPECT_EQ(sea_level_pressure_column(p, t, q, z, nz, ncol, 1), c.slp());
}

TEST(SeaLevelPressure, SingleLevelHasNoAnswer) {
    const std::vector<double> p{100000.0}, t{290.0}, q{0.0}, z{100.0};
    EXPECT_TRUE(std::isnan(sea_level_pressure_column(p, t, q, z, 1, 1, 0)));
}

TEST(Omega, IsMinusDensityTimesGravityTimesW) {
    struct Case {
        double w, p, t, q;
    };
    for (const Case c : {Case{1.5, 85000.0, 280.0, 0.008}, Case{-0.3, 50000.0, 250.0, 0.0005},
                         Case{12.0, 30000.0, 230.0, 0.0}}) {
        const double rho = c.p / (287.058 * c.t * (1.0 + 0.61 * c.q));
        EXPECT_DOUBLE_EQ(omega_pa_s(c.w, c.p, c.t, c.q), -rho * 9.80665 * c.w);
    }
    EXPECT_LT(omega_pa_s(1.0, 85000.0, 280.0, 0.008), 0.0) << "rising air has negative omega";
    EXPECT_EQ(omega_pa_s(1.0, 85000.0, 280.0, -0.001), omega_pa_s(1.0, 85000.0, 280.0, 0.0));
    EXPECT_EQ(omega_pa_s(1.0, 85000.0, 280.0, kNaN), omega_pa_s(1.0, 85000.0, 280.0, 0.0));
}

}  // namespace
}  // namespace tarq::met
