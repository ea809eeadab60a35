// The parcel kernel with SLEEF's vector powers and logarithms against the same
// kernel with std::pow and std::log, on columns of every kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "met/parcel.h"
#include "met/thermo.h"
#include "met/vector_math.h"

namespace tarq::met {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Column {
    std::vector<double> p, t, td, z;
    [[nodiscard]] Sounding view() const { return {p, t, td, z}; }
};

// 1000 hPa to top_hpa every 18 hPa (51 levels to 100 hPa), temperature t(p),
// dewpoint td(p, t).
Column make_column(const std::function<double(double)>& t_of_p, const std::function<double(double, double)>& td_of,
                   double top_hpa = 100.0) {
    Column c;
    for (double p = 1000.0; p >= top_hpa - 1.0; p -= 18.0) {
        const double t = t_of_p(p);
        c.p.push_back(p);
        c.t.push_back(t);
        c.td.push_back(td_of(p, t));
        c.z.push_back(29.3 * 260.0 * std::log(1000.0 / p));
    }
    return c;
}

struct Case {
    std::string name;
    Column column;
};

std::vector<Case> columns() {
    const auto lapse = [](double p) { return 30.0 - 75.0 * std::log(1000.0 / p); };
    std::vector<Case> cases;
    // Dry enough that the parcel's LCL lies above the column.
    cases.push_back({"never saturating", make_column(lapse, [](double, double t) { return t - 70.0; }, 460.0)});
    // Saturated everywhere on a slightly stable moist adiabat: the LCL at the ground.
    cases.push_back({"saturated from the ground", make_column([](double p) { return moist_lift(p, 22.0) + 0.3; },
                                                              [](double, double t) { return t; })});
    // A saturated surface parcel colder than the air at every level but the last.
    const auto warm_but_the_top = [](double p) {
        return moist_lift(p, 20.0) + (p > 999.0 ? 0.0 : p < 110.0 ? -5.0 : 5.0);
    };
    cases.push_back({"lfc at the top level", make_column(warm_but_the_top, [](double p, double t) {
                         return p > 999.0 ? t : t - 2.0;
                     })});
    // Conditionally unstable with a moist boundary layer.
    cases.push_back({"conditionally unstable", make_column(lapse, [](double p, double t) {
                         return t - (p > 850.0 ? 2.0 : 25.0);
                     })});
    Case missing{"nan inputs", cases.back().column};
    missing.column.t[7] = kNaN;
    missing.column.td[20] = kNaN;
    cases.push_back(missing);
    return cases;
}

struct Lifted {
    std::vector<ParcelResult> parcels;
    EffectiveLayer layer;
    EquilibriumLevel el;
};

Lifted lift_all(const Column& c, VectorIsa isa) {
    use_vector_isa(isa);
    ParcelScratch scratch;
    Lifted out{};
    const Parcel surface{c.p[0], c.t[0], c.td[0]};
    const Parcel custom{950.0, 26.0, 21.0};
    for (const ParcelKind kind : {ParcelKind::Surface, ParcelKind::MixedLayer, ParcelKind::MostUnstable}) {
        for (const std::optional<double> top : {std::optional<double>{}, std::optional<double>{3000.0}}) {
            out.parcels.push_back(
                lift_parcel(c.view(), surface, kind, kMixedLayerDepthHpa, kMostUnstableDepthHpa, top, scratch));
        }
    }
    out.parcels.push_back(lift_parcel(c.view(), custom, ParcelKind::Surface, kMixedLayerDepthHpa,
                                      kMostUnstableDepthHpa, std::nullopt, scratch));
    out.layer = effective_layer_scan(c.view(), scratch);
    out.el = equilibrium_level(c.view());
    use_vector_isa(best_vector_isa());
    return out;
}

void expect_close(double vector, double scalar, double tolerance, const std::string& what) {
    if (std::isnan(scalar)) {
        EXPECT_TRUE(std::isnan(vector)) << what;
        return;
    }
    EXPECT_NEAR(vector, scalar, tolerance) << what;
}

TEST(ParcelLanes, VectorAndScalarMathAgreeOnEveryKindOfColumn) {
    for (const Case& c : columns()) {
        const Lifted scalar = lift_all(c.column, VectorIsa::Scalar);
        const Lifted vector = lift_all(c.column, best_vector_isa());
        for (std::size_t i = 0; i < scalar.parcels.size(); ++i) {
            const ParcelResult& s = scalar.parcels[i];
            const ParcelResult& v = vector.parcels[i];
            const std::string what = c.name + ", parcel " + std::to_string(i);
            expect_close(v.cape, s.cape, 1e-9 * std::fabs(s.cape), what + " cape");
            expect_close(v.cin, s.cin, 1e-9 * std::fabs(s.cin), what + " cin");
            expect_close(v.lcl_height, s.lcl_height, 1e-6, what + " lcl");
            expect_close(v.lfc_height, s.lfc_height, 1e-6, what + " lfc");
        }
        EXPECT_EQ(vector.layer.found, scalar.layer.found) << c.name;
        EXPECT_EQ(vector.layer.base, scalar.layer.base) << c.name;
        EXPECT_EQ(vector.layer.top, scalar.layer.top) << c.name;
        EXPECT_EQ(vector.layer.best_level, scalar.layer.best_level) << c.name;
        expect_close(vector.layer.best_cape, scalar.layer.best_cape, 1e-9 * scalar.layer.best_cape, c.name);
        EXPECT_EQ(vector.el.found, scalar.el.found) << c.name;
        expect_close(vector.el.p_hpa, scalar.el.p_hpa, 1e-9 * std::fabs(scalar.el.p_hpa), c.name + " el");
    }
}

// The cases above are what they say they are, so each edge is exercised.
TEST(ParcelLanes, ColumnsCoverTheirEdges) {
    const std::vector<Case> cases = columns();
    ParcelScratch scratch;
    auto surface = [&](const Column& c) {
        return lift_parcel(c.view(), {c.p[0], c.t[0], c.td[0]}, ParcelKind::Surface, kMixedLayerDepthHpa,
                           kMostUnstableDepthHpa, std::nullopt, scratch);
    };
    const ParcelResult dry = surface(cases[0].column);
    // An LCL above the column is placed at its top.
    EXPECT_EQ(dry.lcl_height, cases[0].column.z.back());
    EXPECT_TRUE(std::isnan(dry.lfc_height));
    const ParcelResult saturated = surface(cases[1].column);
    EXPECT_EQ(saturated.lcl_height, 0.0);
    const ParcelResult top = surface(cases[2].column);
    EXPECT_GT(top.lfc_height, cases[2].column.z[cases[2].column.z.size() - 2]);
    EXPECT_GT(top.cape, 0.0);
    EXPECT_GT(surface(cases[3].column).cape, 1000.0);
}

TEST(VectorMath, LanesStayWithinAnUlpOfTheScalarFunctions) {
    std::vector<double> x;
    for (int i = 0; i < 37; ++i) x.push_back(0.01 + 37.3 * i);
    x.push_back(kNaN);
    std::vector<double> pow_out(x.size());
    std::vector<double> log_out(x.size());
    for (const VectorIsa isa : {VectorIsa::Scalar, VectorIsa::Sse2, VectorIsa::Avx2, VectorIsa::Avx512}) {
        use_vector_isa(isa);
        pow_many(x, 0.2857, pow_out);
        log_many(x, log_out);
        for (std::size_t i = 0; i + 1 < x.size(); ++i) {
            EXPECT_NEAR(pow_out[i], std::pow(x[i], 0.2857), 2e-16 * std::pow(x[i], 0.2857)) << x[i];
            EXPECT_NEAR(log_out[i], std::log(x[i]), 2.3e-16 * std::fabs(std::log(x[i])) + 1e-300) << x[i];
        }
        EXPECT_TRUE(std::isnan(pow_out.back()));
        EXPECT_TRUE(std::isnan(log_out.back()));
    }
    use_vector_isa(best_vector_isa());
}

}  // namespace
}  // namespace tarq::met
