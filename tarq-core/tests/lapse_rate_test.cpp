#include "met/lapse_rate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace tarq::met {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// 7 °C/km from 20 °C at 100 m, levels every 1 km above that, 25 °C at 2 m.
const std::vector<double> kZ{100.0, 1100.0, 2100.0, 3100.0, 4100.0};
const std::vector<double> kT{20.0, 13.0, 6.0, -1.0, -8.0};

TEST(TemperatureAtHeight, Cases) {
    struct Case {
        double x_m, expected;
    };
    const std::vector<Case> cases{
        {0.0, 20.0}, {100.0, 20.0}, {600.0, 16.5}, {1100.0, 13.0}, {3000.0, -0.3}, {9000.0, -8.0},
    };
    for (const Case& c : cases) EXPECT_NEAR(temperature_at_height(c.x_m, kT, kZ), c.expected, 1e-12) << c.x_m;
    EXPECT_TRUE(std::isnan(temperature_at_height(500.0, {}, {})));
}

TEST(HeightLayerLapseRate, ScreenTemperatureOnlyBelowTenMetres) {
    struct Case {
        const char* label;
        std::optional<double> t2m;
        double bottom, top, expected;
    };
    const std::vector<Case> cases{
        // T(3000) = -0.3; from the 2-m 25 °C: 25.3 °C over 3 km.
        {"0-3 km from the 2-m temperature", 25.0, 0.0, 3000.0, 25.3 / 3.0},
        {"without a 2-m value the lowest level", std::nullopt, 0.0, 3000.0, 20.3 / 3.0},
        {"bottom 10 m takes the levels", 25.0, 10.0, 3010.0, 20.37 / 3.0},
        {"inside the levels", 25.0, 1100.0, 3100.0, 7.0},
        {"top below bottom", 25.0, 3000.0, 0.0, 0.0},
        {"top equal to bottom", 25.0, 1000.0, 1000.0, 0.0},
        {"layer of 0.01 km", 25.0, 1000.0, 1010.0, 0.0},
        {"NaN bottom", 25.0, kNaN, 3000.0, 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(height_layer_lapse_rate(kT, kZ, c.t2m, c.bottom, c.top), c.expected, 1e-9) << c.label;
    }
}

// Pressures falling 100 hPa per level from 1000 hPa; the same T and z.
const std::vector<double> kP{1000.0, 900.0, 800.0, 700.0, 600.0};

TEST(PressureLayerLapseRate, Cases) {
    struct Case {
        const char* label;
        double bottom, top, expected;
    };
    const std::vector<Case> cases{
        {"900-700 hPa", 900.0, 700.0, 7.0},
        {"reversed layer negates", 700.0, 900.0, -7.0},
        {"950-650 hPa, linear in pressure", 950.0, 650.0, 7.0},
        // 1050 hPa lies below the ground: the lowest level's T and z.
        {"bottom below the ground", 1050.0, 800.0, 7.0},
        {"both above the column: lowest level twice", 500.0, 400.0, 0.0},
        {"same pressure", 800.0, 800.0, 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(pressure_layer_lapse_rate(kP, kT, kZ, c.bottom, c.top), c.expected, 1e-12) << c.label;
    }
    const TemperatureAndHeight mid = at_pressure_linear(750.0, kP, kT, kZ);
    EXPECT_NEAR(mid.t_c, 2.5, 1e-12);
    EXPECT_NEAR(mid.z_m, 2600.0, 1e-12);
}

TEST(ZeroCrossingHeight, Cases) {
    struct Case {
        const char* label;
        std::vector<double> t;
        double expected;
    };
    const std::vector<Case> cases{
        {"one crossing", {4.0, 2.0, -2.0, -6.0, -10.0}, 1600.0},
        {"all below freezing", {-1.0, -3.0, -5.0, -7.0, -9.0}, 0.0},
        {"all warm", {30.0, 25.0, 20.0, 15.0, 10.0}, 0.0},
        {"inversion: the lowest of two crossings", {2.0, -2.0, 3.0, -1.0, -5.0}, 600.0},
        {"cold below a warm nose", {-2.0, 3.0, -1.0, -5.0, -9.0}, 1850.0},
        {"exactly 0 at a level", {5.0, 0.0, -1.0, -5.0, -9.0}, 1100.0},
        {"NaN level breaks the pair", {2.0, kNaN, -2.0, -4.0, -6.0}, 0.0},
    };
    for (const Case& c : cases) EXPECT_NEAR(zero_crossing_height(c.t, kZ), c.expected, 1e-9) << c.label;
}

TEST(VirtualTemperature, DryAndMoist) {
    EXPECT_EQ(virtual_temperature_c_from_q(20.0, 0.0), 20.0);
    EXPECT_EQ(virtual_temperature_c_from_q(20.0, -0.001), 20.0);
    EXPECT_EQ(virtual_temperature_c_from_q(20.0, kNaN), 20.0);
    EXPECT_NEAR(virtual_temperature_c_from_q(20.0, 0.01), (1.0 + 0.0061) * 293.15 - 273.15, 1e-12);
}

}  // namespace
}  // namespace tarq::met
