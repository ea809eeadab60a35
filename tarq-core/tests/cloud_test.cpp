#include "met/cloud.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>

namespace tarq::met {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Condensate, FloorsEachSpeciesAtZero) {
    EXPECT_DOUBLE_EQ(condensate(2e-6, 3e-6), 5e-6);
    EXPECT_EQ(condensate(-1e-3, 3e-6), 3e-6);
    EXPECT_EQ(condensate(kNaN, kNaN), 0.0);
}

struct CloudTopCase {
    std::vector<double> cond;
    double expected;
    const char* what;
};

TEST(CloudTop, IsTheTemperatureOfTheHighestCloudyLevel) {
    const std::vector<double> t_c{20.0, 10.0, 0.0, -10.0, -20.0};
    const std::array<CloudTopCase, 5> cases{{
        {{0, 0, 0, 0, 0}, -80.0, "clear"},
        {{1e-5, 0, 0, 0, 0}, 20.0, "cloud only at the lowest level"},
        {{0, 1e-4, 0, 2e-6, 0}, -10.0, "highest of two layers"},
        {{0, 1e-4, 0, 0, 1e-6}, 10.0, "exactly 1e-6 is not cloud"},
        {{0, 0, 0, 0, 1.1e-6}, -20.0, "cloud at the top level"},
    }};
    for (const auto& c : cases) EXPECT_EQ(cloud_top_temperature_c(c.cond, t_c), c.expected) << c.what;
    EXPECT_EQ(cloud_top_temperature_c({}, {}), -80.0);
}

struct CloudCoverCase {
    double p_hpa;
    double cond;
    std::array<double, 3> low_mid_high;
    const char* what;
};

TEST(CloudCover, LayersIncludeBothBounds) {
    const std::array<CloudCoverCase, 9> cases{{
        {900.0, 1e-5, {100, 0, 0}, "low"},
        {800.0, 1e-5, {100, 100, 0}, "800 hPa is low and mid"},
        {450.0, 1e-5, {0, 100, 100}, "450 hPa is mid and high"},
        {1100.0, 1e-5, {100, 0, 0}, "1100 hPa is low"},
        {1100.5, 1e-5, {0, 0, 0}, "above 1100 hPa is no layer"},
        {200.0, 1e-5, {0, 0, 100}, "high"},
        {0.0, 1e-5, {0, 0, 100}, "0 hPa is high"},
        {800.0, 1e-6, {0, 0, 0}, "exactly 1e-6 is not cloud"},
        {kNaN, 1e-5, {0, 0, 0}, "a missing pressure is no layer"},
    }};
    for (const auto& c : cases) {
        // The cloudy level between two clear ones.
        const std::vector<double> p{1000.0, c.p_hpa, 100.0};
        const std::vector<double> cond{0.0, c.cond, 0.0};
        EXPECT_EQ(layer_cloud_cover_pct(cond, p, kLowCloudLayer), c.low_mid_high[0]) << c.what;
        EXPECT_EQ(layer_cloud_cover_pct(cond, p, kMidCloudLayer), c.low_mid_high[1]) << c.what;
        EXPECT_EQ(layer_cloud_cover_pct(cond, p, kHighCloudLayer), c.low_mid_high[2]) << c.what;
    }
}

}  // namespace
}  // namespace tarq::met
