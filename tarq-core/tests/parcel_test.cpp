#include "met/parcel.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "met/thermo.h"
#include "util/constants.h"

namespace tarq::met {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// An owned column with its Sounding view.
struct TestColumn {
    std::vector<double> p, t, td, z;
    [[nodiscard]] Sounding view() const { return {p, t, td, z}; }
    void add(double p_hpa, double t_c, double td_c, double z_m) {
        p.push_back(p_hpa);
        t.push_back(t_c);
        td.push_back(td_c);
        z.push_back(z_m);
    }
};

// Hydrostatic heights for an analytic column: z = 29.3 * Tv_mean * ln(p0/p),
// good enough for tests that only need a monotonic height scale.
double approx_height_m(double p_hpa, double p0_hpa) { return 29.3 * 260.0 * std::log(p0_hpa / p_hpa); }

// Column from 1000 to 100 hPa every 25 hPa whose temperature is the parcel's
// moist adiabat `label` shifted by offset(p), with dry environmental air.
template <class Offset>
TestColumn adiabat_column(double label_c, Offset offset) {
    TestColumn c;
    for (double p = 1000.0; p >= 100.0; p -= 25.0) {
        const double t = moist_lift(p, label_c) + offset(p);
        c.add(p, t, t - 30.0, approx_height_m(p, 1000.0));
    }
    return c;
}

ParcelResult lift(const TestColumn& c, Parcel start, ParcelKind kind = ParcelKind::Surface,
                  std::optional<double> top_m = std::nullopt) {
    ParcelScratch scratch;
    return lift_parcel(c.view(), start, kind, kMixedLayerDepthHpa, kMostUnstableDepthHpa, top_m, scratch);
}

// Virtual temperature difference parcel - environment of the kernel, at p.
double saturated_buoyancy(const TestColumn& c, double p, double label_c) {
    const double tp = moist_lift(p, label_c);
    const ProfileValues env = profile_at_pressure(p, c.p, c.t, c.td);
    return virtual_temp_c(tp, mixing_ratio_gkg(p, tp)) - virtual_temp_c(env.t_c, mixing_ratio_gkg(p, env.td_c));
}

TEST(LiftParcel, SaturatedStartHasItsLclAtTheStartAndNoInhibition) {
    const double label = 18.0;
    const TestColumn c = adiabat_column(label, [](double) { return -3.0; });
    const ParcelResult r = lift(c, {1000.0, label, label});
    EXPECT_NEAR(r.lcl_height, 0.0, 1e-6);
    EXPECT_NEAR(r.lfc_height, 0.0, 1e-6);
    EXPECT_EQ(r.cin, 0.0);
    EXPECT_GT(r.cape, 1000.0);
}

TEST(LiftParcel, StillBuoyantAtTheTopIntegratesToTheTop) {
    // Independent check of the sub-layer integration: a fine midpoint sum of
    // Rd (Tv_parcel - Tv_env) dln p from the LCL to the top.
    const double label = 18.0;
    const TestColumn c = adiabat_column(label, [](double) { return -3.0; });
    const ParcelResult r = lift(c, {1000.0, label, label});
    const double p_lcl = dry_lift(1000.0, label, label).p_hpa;
    double expected = 0.0;
    const int steps = 20000;
    const double ratio = std::pow(100.0 / p_lcl, 1.0 / steps);
    for (int s = 0; s < steps; ++s) {
        const double p1 = p_lcl * std::pow(ratio, s);
        const double p2 = p1 * ratio;
        expected += kRdParcel * saturated_buoyancy(c, std::sqrt(p1 * p2), label) * std::log(p1 / p2);
    }
    EXPECT_NEAR(r.cape, expected, 2e-3 * expected);
}

TEST(LiftParcel, NoBuoyancyGivesZerosAndNoLfc) {
    const double label = 18.0;
    const TestColumn c = adiabat_column(label, [](double) { return 4.0; });
    const ParcelResult r = lift(c, {1000.0, 25.0, 10.0});
    EXPECT_EQ(r.cape, 0.0);
    EXPECT_EQ(r.cin, 0.0);
    EXPECT_TRUE(std::isnan(r.lfc_height));
    const double p_lcl = dry_lift(1000.0, 25.0, 10.0).p_hpa;
    EXPECT_DOUBLE_EQ(r.lcl_height, height_at_pressure(p_lcl, c.p, c.z));
}

TEST(LiftParcel, TwoPositiveRegionsTakeTheLfcOfTheUpperOneAndCountBoth) {
    const double label = 12.0;
    auto lower = [](double p) { return p <= 950.0 && p >= 800.0 ? -5.0 : 5.0; };
    auto upper = [](double p) { return p <= 700.0 && p >= 400.0 ? -5.0 : 5.0; };
    auto both = [&](double p) { return std::min(lower(p), upper(p)); };
    const Parcel start{1000.0, label, label};
    const ParcelResult r_lower = lift(adiabat_column(label, lower), start);
    const ParcelResult r_upper = lift(adiabat_column(label, upper), start);
    const TestColumn c = adiabat_column(label, both);
    const ParcelResult r = lift(c, start);
    // LFC between the 725 and 700 hPa levels, the base of the upper region.
    EXPECT_GT(r.lfc_height, approx_height_m(725.0, 1000.0));
    EXPECT_LT(r.lfc_height, approx_height_m(700.0, 1000.0));
    EXPECT_DOUBLE_EQ(r.lfc_height, r_upper.lfc_height);
    // CAPE holds both positive areas; the stable gap between them is CIN.
    EXPECT_NEAR(r.cape, r_lower.cape + r_upper.cape, 0.01 * r.cape);
    EXPECT_LT(r.cin, r_lower.cin - 50.0);
}

TEST(LiftParcel, TopCapBelowTheLclKeepsOnlyTheInhibitionBelowIt) {
    // Unsaturated surface parcel in air warmer than its dry adiabat below the
    // LCL and colder than its moist adiabat above.
    const Parcel start{1000.0, 26.0, 14.0};
    const LclPoint lcl = dry_lift(start.p_hpa, start.t_c, start.td_c);
    const double label = moist_adiabat_theta(lcl.p_hpa, lcl.t_c);
    const double theta = start.t_c + kKelvinOffset;
    TestColumn c = adiabat_column(label, [](double) { return -2.0; });
    for (std::size_t k = 0; k < c.p.size() && c.p[k] > lcl.p_hpa; ++k) {
        c.t[k] = theta * std::pow(c.p[k] / 1000.0, ROCP) - kKelvinOffset + 1.5;
        c.td[k] = c.t[k] - 30.0;
    }
    const ParcelResult free = lift(c, start);
    const ParcelResult capped = lift(c, start, ParcelKind::Surface, 50.0);
    ASSERT_GT(free.cape, 0.0);
    ASSERT_LT(free.cin, 0.0);
    EXPECT_EQ(capped.cape, 0.0);
    EXPECT_EQ(capped.cin, free.cin);
    EXPECT_EQ(capped.lfc_height, free.lfc_height);
    // A cap above the top is the top pressure; the EL still governs.
    const ParcelResult high = lift(c, start, ParcelKind::Surface, 1e6);
    EXPECT_EQ(high.cape, free.cape);
    EXPECT_EQ(high.cin, free.cin);
    // A cap inside the buoyant region cuts CAPE.
    const ParcelResult mid = lift(c, start, ParcelKind::Surface, 3000.0);
    EXPECT_GT(mid.cape, 0.0);
    EXPECT_LT(mid.cape, free.cape);
}

// CAPE of a saturated parcel at 1000 hPa through one column layer of depth
// layer_hpa, computed with `sublayers` equal sub-layers.
double one_layer_cape(const TestColumn& c, double label, double top_hpa, int sublayers) {
    const double pb = dry_lift(1000.0, label, label).p_hpa;
    const double dp = pb - top_hpa;
    double cape = 0.0;
    for (int s = 0; s < sublayers; ++s) {
        const double p1 = pb - s * dp / sublayers;
        const double p2 = pb - (s + 1) * dp / sublayers;
        cape += kRdParcel * saturated_buoyancy(c, (p1 + p2) / 2.0, label) * std::log(p1 / p2);
    }
    return cape;
}

TEST(LiftParcel, SubLayersAreAtMostTenHpa) {
    const double label = 20.0;
    const struct {
        double layer_hpa;
        int sublayers;
    } cases[] = {{25.0, 3}, {20.0, 3}, {10.0, 1}, {35.0, 4}};
    for (const auto& tc : cases) {
        TestColumn c;
        const double top = 1000.0 - tc.layer_hpa;
        // A curved environment so that the sub-layer count shows in the sum.
        c.add(1000.0, label - 6.0, label - 30.0, 0.0);
        c.add(top, moist_lift(top, label) - 0.5, label - 30.0, 300.0);
        const ParcelResult r = lift(c, {1000.0, label, label});
        const double expected = one_layer_cape(c, label, top, tc.sublayers);
        EXPECT_NEAR(r.cape, expected, 1e-12 * expected) << tc.layer_hpa;
        EXPECT_GT(std::fabs(r.cape - one_layer_cape(c, label, top, tc.sublayers + 1)), 1e-9) << tc.layer_hpa;
    }
}

TEST(LiftParcel, PascalAndKelvinInputMatchHectopascalAndCelsius) {
    const double label = 16.0;
    TestColumn c = adiabat_column(label, [](double p) { return p > 950.0 ? 1.0 : -4.0; });
    for (std::size_t k = 0; c.p[k] >= 900.0; ++k) c.td[k] = c.t[k] - 2.0;
    TestColumn si = c;
    for (auto& p : si.p) p *= 100.0;
    for (auto& t : si.t) t += kKelvinOffset;
    for (auto& td : si.td) td += kKelvinOffset;
    for (ParcelKind kind : {ParcelKind::Surface, ParcelKind::MixedLayer, ParcelKind::MostUnstable}) {
        const ParcelResult hpa = lift(c, {1000.0, 22.0, 19.0}, kind, 2000.0);
        const ParcelResult pa = lift(si, {100000.0, 22.0 + kKelvinOffset, 19.0 + kKelvinOffset}, kind, 2000.0);
        EXPECT_NEAR(pa.cape, hpa.cape, 1e-9 * hpa.cape);
        EXPECT_NEAR(pa.cin, hpa.cin, 1e-9 * std::fabs(hpa.cin) + 1e-12);
        EXPECT_NEAR(pa.lcl_height, hpa.lcl_height, 1e-6);
        ASSERT_FALSE(std::isnan(hpa.lfc_height)) << static_cast<int>(kind);
        EXPECT_NEAR(pa.lfc_height, hpa.lfc_height, 1e-6);
    }
}

TEST(LiftParcel, MissingDataGivesNoBuoyancy) {
    const double label = 18.0;
    TestColumn c = adiabat_column(label, [](double) { return -3.0; });
    for (auto& t : c.t) t = kNaN;
    const ParcelResult r = lift(c, {1000.0, label, label});
    EXPECT_EQ(r.cape, 0.0);
    EXPECT_EQ(r.cin, 0.0);
    EXPECT_TRUE(std::isnan(r.lfc_height));
}

TEST(ParcelChoice, KindFromText) {
    EXPECT_EQ(parcel_kind("ml"), ParcelKind::MixedLayer);
    EXPECT_EQ(parcel_kind("mu"), ParcelKind::MostUnstable);
    for (const char* other : {"sb", "ML", "", "mixed"}) EXPECT_EQ(parcel_kind(other), ParcelKind::Surface) << other;
}

TEST(ParcelChoice, MixedLayerOfAWellMixedLayerIsItsSurfaceAir) {
    // Dry-adiabatic layer with constant mixing ratio.
    const double theta = 305.0;
    const double w_gkg = 12.0;
    TestColumn c;
    for (double p = 1000.0; p >= 850.0; p -= 10.0) {
        const double t = theta * std::pow(p / 1000.0, ROCP) - kKelvinOffset;
        c.add(p, t, temperature_at_mixing_ratio(w_gkg, p), 0.0);
    }
    const Parcel ml = mixed_layer_parcel(c.view(), 100.0);
    EXPECT_EQ(ml.p_hpa, 1000.0);
    EXPECT_NEAR(ml.t_c, c.t[0], 1e-9);
    EXPECT_NEAR(ml.td_c, c.td[0], 0.1);
}

TEST(ParcelChoice, MixedLayerWeightsLayerMidpointsEqually) {
    TestColumn c;
    c.add(1000.0, 30.0, 20.0, 0.0);
    c.add(960.0, 26.0, 18.0, 0.0);
    c.add(900.0, 20.0, 10.0, 0.0);
    c.add(800.0, 12.0, 0.0, 0.0);
    const Parcel ml = mixed_layer_parcel(c.view(), 100.0);
    auto th = [](double p, double t) { return std::pow(1000.0 / p, ROCP) * (t + kKelvinOffset); };
    const double theta_mean = (th(1000.0, 30.0) + 2.0 * th(960.0, 26.0) + th(900.0, 20.0)) / 4.0;
    const double td_mean = (20.0 + 2.0 * 18.0 + 10.0) / 4.0;
    const double p_mean = (1000.0 + 2.0 * 960.0 + 900.0) / 4.0;
    EXPECT_NEAR(ml.t_c, theta_mean - kKelvinOffset, 1e-9);
    EXPECT_NEAR(ml.td_c, temperature_at_mixing_ratio(mixing_ratio_gkg(p_mean, td_mean), 1000.0), 1e-9);
}

TEST(ParcelChoice, MostUnstableSearchesTheDepthInclusively) {
    TestColumn c;
    c.add(1000.0, 30.0, 24.0, 0.0);
    c.add(900.0, 15.0, 0.0, 0.0);
    c.add(700.0, 5.0, 4.0, 0.0);  // exactly 300 hPa above: still searched
    c.add(690.0, 40.0, 39.0, 0.0);  // outside the depth
    const Parcel start_wins = most_unstable_parcel(c.view(), 300.0);
    EXPECT_EQ(start_wins.p_hpa, 1000.0);
    c.t[0] = 10.0;
    c.td[0] = -20.0;
    EXPECT_EQ(most_unstable_parcel(c.view(), 300.0).p_hpa, 700.0);
    // Identical entries: the lower one is kept.
    TestColumn twins;
    twins.add(1000.0, 10.0, 0.0, 0.0);
    twins.add(950.0, 25.0, 20.0, 1.0);
    twins.add(950.0, 25.0, 20.0, 2.0);
    EXPECT_EQ(most_unstable_parcel(twins.view(), 300.0).p_hpa, 950.0);
    twins.t[1] = kNaN;
    EXPECT_EQ(most_unstable_parcel(twins.view(), 300.0).t_c, 25.0);
}

TEST(EquilibriumLevel, LastDownwardCrossingAtTheEntries) {
    const double label = 18.0;
    auto offset = [](double p) { return p >= 500.0 ? -3.0 : 4.0; };
    const TestColumn c = adiabat_column(label, offset);
    TestColumn profile;
    profile.add(1000.0, label, label, 0.0);
    for (std::size_t k = 1; k < c.p.size(); ++k) profile.add(c.p[k], c.t[k], c.td[k], c.z[k]);
    const EquilibriumLevel el = equilibrium_level(profile.view());
    ASSERT_TRUE(el.found);
    EXPECT_LT(el.p_hpa, 500.0);
    EXPECT_GT(el.p_hpa, 475.0);
    // Buoyant up to the top: no crossing.
    const TestColumn warm_top = adiabat_column(label, [](double) { return -3.0; });
    EXPECT_FALSE(equilibrium_level(warm_top.view()).found);
}

// The Omaha sounding (SHARPpy example data): pressure, height MSL, T, Td per
// row, the surface at 965 hPa / 350 m.
// The reference sounding's file: ../shared/meteo_ref beside the repository,
// or the nearest one above a checkout nested deeper. It is kept outside the
// repository, so a bare clone has none. (A compiler launcher may make
// __FILE__ relative to the build directory, where the tests also run.)
std::filesystem::path reference_sounding_csv() {
    const std::filesystem::path in_shared = std::filesystem::path("shared") / "meteo_ref" / "sharppy_oax_2014061619.csv";
    const auto repository =
        std::filesystem::weakly_canonical(std::filesystem::absolute(__FILE__)).parent_path().parent_path().parent_path();
    for (auto folder = repository.parent_path();; folder = folder.parent_path()) {
        if (std::filesystem::is_regular_file(folder / in_shared)) return folder / in_shared;
        if (folder == folder.parent_path()) break;
    }
    return repository.parent_path() / in_shared;
}

TestColumn omaha_sounding() {
    std::ifstream in(reference_sounding_csv());
    TestColumn c;
    if (!in) return c;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::stringstream row(line);
        std::string cell[4];
        for (auto& s : cell) std::getline(row, s, ',');
        if (cell[2].empty() || cell[3].empty()) continue;
        c.add(std::stod(cell[0]), std::stod(cell[2]), std::stod(cell[3]), std::stod(cell[1]) - 350.0);
    }
    return c;
}

// A missing reference skips the test, naming the path looked for.
#define REQUIRE_REFERENCE_SOUNDING(column)                                                               \
    if ((column).p.empty()) {                                                                            \
        GTEST_SKIP() << "observed reference sounding absent: " << reference_sounding_csv().string()      \
                     << " (kept in ../shared/meteo_ref beside the checkout)";                            \
    }

TEST(OmahaSounding, MatchesThePublishedParcels) {
    const TestColumn c = omaha_sounding();
    REQUIRE_REFERENCE_SOUNDING(c);
    ASSERT_EQ(c.p[0], 965.0);
    const Parcel surface{c.p[0], c.t[0], c.td[0]};
    // As in a model column, the start parcel is the surface and the column
    // holds the levels above it.
    const TestColumn above = [&] {
        TestColumn a = c;
        for (auto* v : {&a.p, &a.t, &a.td, &a.z}) v->erase(v->begin());
        return a;
    }();
    // Published by SHARPpy's tests ("Value from SHARP"); tolerances from the
    // reference's README: a few percent CAPE, 15 J/kg CIN, 25 m LCL, 100 m LFC.
    const ParcelResult sb = lift(above, surface);
    EXPECT_NEAR(sb.cape, 5765.0, 0.03 * 5765.0);
    EXPECT_NEAR(sb.cin, -1.0, 15.0);
    EXPECT_NEAR(sb.lcl_height, 513.0, 25.0);
    EXPECT_NEAR(sb.lfc_height, 613.0, 100.0);
    const ParcelResult ml = lift(above, surface, ParcelKind::MixedLayer);
    EXPECT_NEAR(ml.cape, 4203.0, 0.03 * 4203.0);
    EXPECT_NEAR(ml.cin, -58.0, 15.0);
    EXPECT_NEAR(ml.lcl_height, 1003.0, 25.0);
    EXPECT_NEAR(ml.lfc_height, 2393.0, 100.0);
    // The most-unstable parcel is the surface parcel here.
    const ParcelResult mu = lift(above, surface, ParcelKind::MostUnstable);
    EXPECT_EQ(mu.cape, sb.cape);
    EXPECT_EQ(mu.cin, sb.cin);
}

TEST(OmahaSounding, EffectiveLayerStartsAtTheSurface) {
    const TestColumn c = omaha_sounding();
    REQUIRE_REFERENCE_SOUNDING(c);
    ParcelScratch scratch;
    const EffectiveLayer layer = effective_layer_scan(c.view(), scratch);
    ASSERT_TRUE(layer.found);
    EXPECT_EQ(layer.base, 0u);
    // The layer ends at the first failing level; every level in it qualifies and
    // none beats the best.
    std::size_t k = 0;
    for (;; ++k) {
        const ParcelResult r = lift_parcel(c.view().from_level(k), {c.p[k], c.t[k], c.td[k]}, ParcelKind::Surface,
                                           100.0, 300.0, std::nullopt, scratch);
        if (!(r.cape >= MIN_EFFECTIVE_CAPE && r.cin >= MIN_EFFECTIVE_CIN)) break;
        EXPECT_LE(r.cape, layer.best_cape);
    }
    EXPECT_GT(k, 3u);
    EXPECT_LT(layer.best_level, k);
    EXPECT_GT(layer.best_cape, 5000.0);
}

TEST(EffectiveLayer, GapStopsTheLayerAndNothingQualifyingGivesZero) {
    // A moist surface layer (1000-950 hPa), a dry gap (925-850 hPa) and an
    // elevated, warmer moist layer (825-775 hPa) whose parcels are the most
    // buoyant of the column; the scan must stop at the gap.
    TestColumn c = adiabat_column(20.0, [](double) { return -2.0; });
    for (std::size_t k = 0; k < c.p.size(); ++k) {
        const double p = c.p[k];
        if (p >= 950.0) {
            c.t[k] = moist_lift(p, 20.0) - 0.5;
            c.td[k] = c.t[k] - 0.5;
        } else if (p <= 825.0 && p >= 775.0) {
            c.t[k] = moist_lift(p, 24.0);
            c.td[k] = c.t[k] - 0.3;
        }
    }
    ParcelScratch scratch;
    auto level_parcel = [&](std::size_t k) {
        return lift_parcel(c.view().from_level(k), {c.p[k], c.t[k], c.td[k]}, ParcelKind::Surface, 100.0, 300.0,
                           std::nullopt, scratch);
    };
    const std::size_t gap = 3;        // 925 hPa
    const std::size_t elevated = 7;   // 825 hPa
    ASSERT_EQ(c.p[gap], 925.0);
    ASSERT_EQ(c.p[elevated], 825.0);
    const ParcelResult surface = level_parcel(0);
    const ParcelResult upper = level_parcel(elevated);
    ASSERT_GE(surface.cape, MIN_EFFECTIVE_CAPE);
    ASSERT_GE(surface.cin, MIN_EFFECTIVE_CIN);
    ASSERT_LT(level_parcel(gap).cape, MIN_EFFECTIVE_CAPE);
    ASSERT_GE(upper.cin, MIN_EFFECTIVE_CIN);
    ASSERT_GT(upper.cape, surface.cape);

    const EffectiveLayer layer = effective_layer_scan(c.view(), scratch);
    ASSERT_TRUE(layer.found);
    EXPECT_EQ(layer.base, 0u);
    EXPECT_LT(layer.best_level, gap);
    EXPECT_LT(layer.best_cape, upper.cape);

    // Without the moist surface layer the base is the elevated layer.
    TestColumn elevated_only = c;
    for (std::size_t k = 0; k < gap; ++k) elevated_only.td[k] = elevated_only.t[k] - 40.0;
    const EffectiveLayer lifted = effective_layer_scan(elevated_only.view(), scratch);
    ASSERT_TRUE(lifted.found);
    EXPECT_GE(lifted.base, gap);
    EXPECT_LE(lifted.base, elevated);

    const TestColumn stable = adiabat_column(20.0, [](double) { return 6.0; });
    const EffectiveLayer none = effective_layer_scan(stable.view(), scratch);
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.best_cape, 0.0);
}

}  // namespace
}  // namespace tarq::met

namespace tarq::met {
namespace {

TEST(LclHeight, IsLiftParcelsLclBitForBit) {
    TestColumn warm = adiabat_column(24.0, [](double p) { return p > 800.0 ? 2.0 : -1.0; });
    TestColumn stable = adiabat_column(10.0, [](double p) { return (1000.0 - p) / 40.0; });
    for (const TestColumn* c : {&warm, &stable}) {
        for (const Parcel start : {Parcel{1005.0, 28.0, 21.0}, Parcel{100500.0, 301.0, 290.0}, Parcel{990.0, 20.0, 20.0}}) {
            for (const ParcelKind kind : {ParcelKind::Surface, ParcelKind::MixedLayer, ParcelKind::MostUnstable}) {
                ParcelScratch scratch;
                const double alone = lcl_height(c->view(), start, kind, kMixedLayerDepthHpa, kMostUnstableDepthHpa, scratch);
                EXPECT_EQ(std::bit_cast<std::uint64_t>(alone), std::bit_cast<std::uint64_t>(lift(*c, start, kind).lcl_height))
                    << "start " << start.p_hpa << " kind " << static_cast<int>(kind);
            }
        }
    }
}

}  // namespace
}  // namespace tarq::met
