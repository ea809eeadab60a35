#include "met/helicity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <vector>

namespace tarq::met {
namespace {

struct TwoPointCase {
    double u_top, v_top, expected;
    const char* what;
};

// Storm motion (cx, cy) = (3, 1), R = 4: 10-m wind (cx + R, cy), top wind as tabled.
TEST(HelicityIntegral, TwoPointHodographs) {
    const Wind storm{3.0, 1.0};
    const double r = 4.0;
    const TwoPointCase cases[] = {
        {3.0, 1.0 - r, r * r, "veering: +R^2"},
        {3.0, 1.0 + r, -r * r, "backing: -R^2"},
        {3.0 + 2.0 * r, 1.0, 0.0, "straight line through the storm motion"},
    };
    for (const auto& c : cases) {
        const std::vector<double> u = {3.0 + r, c.u_top}, v = {1.0, c.v_top}, z = {10.0, 1000.0};
        const auto h = helicity_integral({u, v, z}, 1000.0, storm);
        ASSERT_TRUE(h.has_value());
        EXPECT_DOUBLE_EQ(h->total, c.expected) << c.what;
        EXPECT_DOUBLE_EQ(srh_layer_walk({u, v, z}, 1000.0, storm), c.expected) << c.what;
    }
}

// A turning, strengthening hodograph on uneven levels from 10 m to 8 km.
struct CurvedColumn {
    std::vector<double> u, v, z;
    CurvedColumn() {
        for (double zk : {10.0, 150.0, 400.0, 900.0, 1300.0, 2100.0, 2950.0, 3600.0, 5000.0, 6200.0, 8000.0}) {
            z.push_back(zk);
            u.push_back(2.0 + 12.0 * std::sin(zk / 2500.0));
            v.push_back(5.0 * std::cos(zk / 1800.0) - 3.0);
        }
    }
    [[nodiscard]] WindColumn view() const { return {u, v, z}; }
};

TEST(HelicityIntegral, LayerWalkAgreesOnAscendingAndDescendingColumns) {
    const CurvedColumn c;
    const std::vector<double> ur(c.u.rbegin(), c.u.rend()), vr(c.v.rbegin(), c.v.rend()), zr(c.z.rbegin(), c.z.rend());
    const Wind storm{4.0, -1.5};
    for (double depth : {5.0, 10.0, 120.0, 1000.0, 2950.0, 3000.0, 7999.0, 12000.0}) {
        const auto h = helicity_integral(c.view(), depth, storm);
        ASSERT_TRUE(h.has_value());
        EXPECT_NEAR(srh_layer_walk(c.view(), depth, storm), h->total, 1e-9 * (1.0 + std::fabs(h->total))) << depth;
        EXPECT_EQ(srh_layer_walk({ur, vr, zr}, depth, storm), srh_layer_walk(c.view(), depth, storm)) << depth;
        EXPECT_DOUBLE_EQ(h->total, h->positive + h->negative);
    }
    EXPECT_EQ(helicity_integral(c.view(), 5.0, storm)->total, 0.0) << "a depth below 10 m has no segment";
    EXPECT_FALSE(helicity_integral(c.view().from(c.z.size() - 1), 1000.0, storm).has_value());
}

TEST(SrhStormMotion, CalmBelowATenthOfAMetrePerSecond) {
    // 0-6 km shear of 0.05 m/s: the fixed-depth helicity moves the storm with
    // the mean wind, the Bunkers motion still deviates by 7.5 m/s.
    const std::vector<double> u = {5.0, 5.02, 5.05, 5.05}, v = {1.0, 1.0, 1.0, 1.0}, z = {10.0, 3000.0, 6000.0, 9000.0};
    const WindColumn c{u, v, z};
    const Wind srh_motion = srh_storm_motion(c);
    const StormMotion bunkers = bunkers_motion(c);
    EXPECT_DOUBLE_EQ(srh_motion.u, bunkers.mean.u);
    EXPECT_DOUBLE_EQ(srh_motion.v, bunkers.mean.v);
    EXPECT_NEAR(std::hypot(bunkers.right.u - bunkers.mean.u, bunkers.right.v - bunkers.mean.v), 7.5, 1e-12);

    const CurvedColumn curved;
    const Wind strong = srh_storm_motion(curved.view());
    const StormMotion reference = bunkers_motion(curved.view());
    EXPECT_NEAR(strong.u, reference.right.u, 1e-12) << "both forms bracket 6 km alike: the Bunkers right-mover";
}

}  // namespace
}  // namespace tarq::met

namespace tarq::met {
namespace {

// Profile of the effective-layer search: point 0 repeats level 0's
// thermodynamics at 10 m. Steep lapse rate, dry air except at the moist points.
struct EffectiveProfile {
    std::vector<double> p, t, td, z, u, v;
    EffectiveProfile(std::initializer_list<std::size_t> moist, double level0_height_m) {
        const double levels_hpa[] = {1000.0, 985.0, 970.0, 950.0, 925.0, 900.0, 850.0, 800.0, 700.0,
                                     600.0,  500.0, 400.0, 300.0, 250.0, 200.0};
        for (std::size_t k = 0; k < std::size(levels_hpa); ++k) {
            const double zk = k == 0 ? level0_height_m
                                     : 44330.8 * (1.0 - std::pow(levels_hpa[k] / 1000.0, 0.190263)) + level0_height_m;
            const double tk = 30.0 - 7.5 * std::min(zk, 11000.0) / 1000.0;
            p.push_back(levels_hpa[k]);
            t.push_back(tk);
            td.push_back(tk - 25.0);
            z.push_back(zk);
        }
        // Point 0: level 0's thermodynamics with the 10-m wind at 10 m.
        p.insert(p.begin(), p[0]);
        t.insert(t.begin(), t[0]);
        td.insert(td.begin(), td[0]);
        z.insert(z.begin(), 10.0);
        for (std::size_t i : moist) td[i] = t[i] - 0.5;
        for (double zk : z) {
            u.push_back(2.0 + zk / 500.0);
            v.push_back(3.0 * std::sin(zk / 1500.0));
        }
    }
    [[nodiscard]] Sounding sounding() const { return {p, t, td, z}; }
    [[nodiscard]] WindColumn winds() const { return {u, v, z}; }
};

TEST(EffectiveLayerHelicity, NeedsALayerThatRises) {
    const Wind storm{1.0, -1.0};
    ParcelScratch scratch;
    const EffectiveProfile dry({}, 30.0);
    EXPECT_FALSE(effective_layer_scan(dry.sounding(), scratch).found);
    EXPECT_EQ(effective_layer_helicity(dry.sounding(), dry.winds(), storm, scratch), 0.0) << "nothing qualifies";

    const EffectiveProfile single({4}, 30.0);
    const EffectiveLayer one = effective_layer_scan(single.sounding(), scratch);
    ASSERT_TRUE(one.found);
    EXPECT_EQ(one.base, 4u);
    EXPECT_EQ(one.top, 4u);
    EXPECT_EQ(effective_layer_helicity(single.sounding(), single.winds(), storm, scratch), 0.0)
        << "one qualifying point";

    // Only the lowest level (points 0 and 1) qualifies: below 10 m the layer does not rise...
    const EffectiveProfile low({0, 1}, 5.0);
    const EffectiveLayer pair = effective_layer_scan(low.sounding(), scratch);
    ASSERT_TRUE(pair.found);
    EXPECT_EQ(pair.top, 1u);
    EXPECT_EQ(effective_layer_helicity(low.sounding(), low.winds(), storm, scratch), 0.0);
    // ...above 10 m it is the one segment from the 10-m wind to level 0.
    const EffectiveProfile high({0, 1}, 40.0);
    const auto& w = high;
    const double segment = (w.u[1] - storm.u) * (w.v[0] - storm.v) - (w.u[0] - storm.u) * (w.v[1] - storm.v);
    EXPECT_DOUBLE_EQ(effective_layer_helicity(high.sounding(), high.winds(), storm, scratch), segment);
    EXPECT_NE(segment, 0.0);
}

}  // namespace
}  // namespace tarq::met
