#include "met/wind.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace tarq::met {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(EarthRelative, IdentityAndQuarterTurn) {
    const Wind same = earth_relative(3.0, -4.0, 0.0, 1.0);
    EXPECT_EQ(same.u, 3.0);
    EXPECT_EQ(same.v, -4.0);
    // COSALPHA 0, SINALPHA 1: grid-relative east becomes earth-relative north.
    const Wind turned = earth_relative(1.0, 0.0, 1.0, 0.0);
    EXPECT_EQ(turned.u, 0.0);
    EXPECT_EQ(turned.v, 1.0);
}

struct DirectionCase {
    double u, v, expected;
    const char* what;
};

TEST(WindDirection, MeteorologicalConvention) {
    const DirectionCase cases[] = {
        {0.0, -5.0, 0.0, "from the north is 0, not 360"},
        {-5.0, 0.0, 90.0, "from the east"},
        {0.0, 5.0, 180.0, "from the south"},
        {5.0, 0.0, 270.0, "from the west"},
        {0.0, 0.0, 270.0, "calm: no calm rule"},
        {-0.0, 0.0, 90.0, "negative-zero u"},
        {-3.0, -3.0, 45.0, "from the north-east"},
    };
    for (const auto& c : cases) EXPECT_NEAR(wind_direction_deg(c.u, c.v), c.expected, 1e-12) << c.what;
    EXPECT_TRUE(std::isnan(wind_direction_deg(kNaN, 1.0)));
    EXPECT_EQ(wind_speed(3.0, -4.0), 5.0);
}

struct InterpCase {
    std::vector<double> z;
    double x;
    double form_a;  // NaN: no value
    double form_b;
    const char* what;
};

TEST(InterpAtHeight, BothForms) {
    const std::vector<double> data3 = {1.0, 2.0, 4.0};
    const InterpCase cases[] = {
        {{100.0, 200.0, 400.0}, 50.0, 1.0, 1.0, "all heights above the target: lowest value"},
        {{100.0, 200.0, 400.0}, 500.0, 4.0, 4.0, "all below: highest value"},
        {{100.0, 200.0, 400.0}, 300.0, 3.0, 3.0, "linear between a pair"},
        {{100.0, 200.0, 400.0}, 200.0, 2.0, 2.0, "on a level"},
        {{100.0, 200.0, 400.0}, kNaN, kNaN, 4.0, "NaN target: no value, or the last value"},
    };
    for (const auto& c : cases) {
        const auto a = interp_at_height(data3, c.z, c.x);
        if (std::isnan(c.form_a)) {
            EXPECT_FALSE(a.has_value()) << c.what;
        } else {
            ASSERT_TRUE(a.has_value()) << c.what;
            EXPECT_DOUBLE_EQ(*a, c.form_a) << c.what;
        }
        EXPECT_DOUBLE_EQ(interp_at_height(c.x, c.z, data3), c.form_b) << c.what;
    }
    // A NaN height breaks every bracketing pair of form B: the last value.
    EXPECT_EQ(interp_at_height(300.0, std::vector<double>{100.0, kNaN, 400.0}, data3), 4.0);
    EXPECT_FALSE(interp_at_height(std::vector<double>{}, std::vector<double>{}, 1.0).has_value());
    EXPECT_TRUE(std::isnan(interp_at_height(1.0, std::vector<double>{}, std::vector<double>{})));
}

// Straight unidirectional profile u = z / 1000, v = 0 on levels every 500 m
// from 10 m up, as an extended column.
struct LinearColumn {
    std::vector<double> u, v, z;
    LinearColumn() {
        for (double zk : {10.0, 500.0, 1000.0, 2000.0, 3000.0, 4000.0, 5000.0, 6000.0, 7000.0}) {
            z.push_back(zk);
            u.push_back(zk / 1000.0);
            v.push_back(0.0);
        }
    }
    [[nodiscard]] WindColumn view() const { return {u, v, z}; }
};

TEST(LayerWinds, ShearAndMeans) {
    const LinearColumn c;
    const auto shear = layer_shear(c.view(), 0.0, 6000.0);
    ASSERT_TRUE(shear.has_value());
    EXPECT_DOUBLE_EQ(shear->u, 6.0 - 0.01);
    EXPECT_EQ(shear->v, 0.0);
    EXPECT_FALSE(layer_shear(c.view().from(8), 0.0, 6000.0).has_value()) << "one point: need at least 2 levels";

    // Level-sampled: point 0, the six levels strictly inside (500..5000) and the 6000-m wind.
    const auto mean = layer_mean_wind(c.view(), 0.0, 6000.0);
    ASSERT_TRUE(mean.has_value());
    EXPECT_DOUBLE_EQ(mean->u, (0.01 + 6.0 + 0.5 + 1.0 + 2.0 + 3.0 + 4.0 + 5.0) / 8.0);

    // Height-weighted: a linear profile averages to its mid-layer value.
    const auto weighted = layer_mean_wind_weighted(c.view(), 1000.0, 5000.0);
    ASSERT_TRUE(weighted.has_value());
    EXPECT_DOUBLE_EQ(weighted->u, 3.0);
    const auto at_level = layer_mean_wind_weighted(c.view(), 2500.0, 2500.0);
    ASSERT_TRUE(at_level.has_value());
    EXPECT_DOUBLE_EQ(at_level->u, 2.5) << "bottom = top gives the wind at that height";
    // Bottom 0 lies below the 10-m point: the first 10 m carry the 10-m wind.
    const auto from_ground = layer_mean_wind_weighted(c.view(), 0.0, 500.0);
    EXPECT_DOUBLE_EQ(from_ground->u, (0.01 * 10.0 + 0.5 * (0.01 + 0.5) * 490.0) / 500.0);
}

TEST(Bunkers, DeviatesPerpendicularToTheShear) {
    const LinearColumn c;
    const StormMotion m = bunkers_motion(c.view());
    const Wind mean = *layer_mean_wind(c.view(), 0.0, 6000.0);
    EXPECT_DOUBLE_EQ(m.mean.u, mean.u);
    // Shear toward +x: the right-mover lies 7.5 m/s toward -y, the left-mover toward +y.
    EXPECT_DOUBLE_EQ(m.right.u, mean.u);
    EXPECT_DOUBLE_EQ(m.right.v, -7.5);
    EXPECT_DOUBLE_EQ(m.left.u, mean.u);
    EXPECT_DOUBLE_EQ(m.left.v, 7.5);

    const std::vector<double> u(5, 4.0), v(5, -2.0), z = {10.0, 800.0, 3000.0, 6500.0, 9000.0};
    const StormMotion calm = bunkers_motion({u, v, z});
    for (const Wind& w : {calm.right, calm.left, calm.mean}) {
        EXPECT_EQ(w.u, 4.0);
        EXPECT_EQ(w.v, -2.0);
    }
}

TEST(BulkShear, MagnitudeAndOrder) {
    std::vector<double> u = {1.0, 3.0, 9.0}, v = {0.0, 4.0, 0.0}, z = {200.0, 1000.0, 5000.0};
    std::vector<double> ur(u.rbegin(), u.rend()), vr(v.rbegin(), v.rend()), zr(z.rbegin(), z.rend());
    EXPECT_DOUBLE_EQ(bulk_shear_magnitude(u, v, z, 0.0, 1000.0), std::hypot(2.0, 4.0));
    EXPECT_DOUBLE_EQ(bulk_shear_magnitude(ur, vr, zr, 0.0, 1000.0), std::hypot(2.0, 4.0)) << "descending heights";
    std::vector<double> hu = {1.0, 5.0}, hv = {0.0, 0.0}, hz = {1500.0, 3000.0};
    EXPECT_EQ(bulk_shear_magnitude(hu, hv, hz, 0.0, 1000.0), 0.0) << "lowest level above the top";
    std::vector<double> lu = {1.0, 5.0}, lv = {0.0, 0.0}, lz = {100.0, 600.0};
    EXPECT_EQ(bulk_shear_magnitude(lu, lv, lz, 0.0, 1000.0), 4.0) << "highest level below the top";
}

}  // namespace
}  // namespace tarq::met
