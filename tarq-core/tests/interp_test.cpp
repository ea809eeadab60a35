#include "met/interp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "diag/levels.h"
#include "util/thread_pool.h"

namespace tarq {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct ColumnCase {
    std::string name;
    std::vector<double> coord;
    std::vector<double> values;
    std::vector<double> targets;
    bool extrapolate;
    std::vector<double> expected;  // NaN where the result must be NaN
};

class InterpColumnTest : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(InterpColumnTest, MatchesAnalyticValues) {
    const ColumnCase& c = GetParam();
    std::vector<double> out(c.targets.size(), -999.0);
    met::interp_column(c.coord, c.values, c.targets, c.extrapolate, out);
    for (std::size_t l = 0; l < out.size(); ++l) {
        if (std::isnan(c.expected[l])) {
            EXPECT_TRUE(std::isnan(out[l])) << "target " << c.targets[l] << " gave " << out[l];
        } else {
            EXPECT_NEAR(out[l], c.expected[l], 1e-12 * std::fabs(c.expected[l])) << "target " << c.targets[l];
        }
    }
}

// Values 3 z - 7 on heights 0, 100, 250, 600: linear, so interpolation is exact.
INSTANTIATE_TEST_SUITE_P(
    Columns, InterpColumnTest,
    ::testing::Values(
        ColumnCase{"upward", {0, 100, 250, 600}, {-7, 293, 743, 1793}, {50, 100, 400, 600, -1, 601}, false,
                   {143, 293, 1193, 1793, kNaN, kNaN}},
        ColumnCase{"downward", {600, 250, 100, 0}, {1793, 743, 293, -7}, {50, 0, 400, 700}, false,
                   {143, -7, 1193, kNaN}},
        ColumnCase{"extrapolated_to_nearer_end", {600, 250, 100, 0}, {1793, 743, 293, -7}, {-50, 650, 300}, true,
                   {-7, 1793, 893}},
        ColumnCase{"nan_level_breaks_its_pairs", {0, 100, kNaN, 300}, {0, 1, 2, 3}, {50, 150, 300, 400}, true,
                   {0.5, kNaN, 3, 3}},
        ColumnCase{"single_level", {10}, {4}, {10, 11}, false, {4, kNaN}},
        ColumnCase{"empty_column", {}, {}, {10}, true, {kNaN}},
        ColumnCase{"first_bracket_from_the_bottom", {0, 100, 0}, {0, 10, 30}, {50}, false, {5}},
        ColumnCase{"nan_target", {0, 100}, {0, 1}, {kNaN}, true, {kNaN}}),
    [](const auto& info) { return info.param.name; });

// nz levels of ncol columns: pressure falling with height, temperature linear
// in ln p (so log-p interpolation is exact), level k at k * ncol + col.
struct Grid {
    std::size_t nz, ncol;
    std::vector<double> p_hpa, t_k;
};

Grid log_p_grid(std::size_t nz, std::size_t ncol) {
    Grid g{nz, ncol, {}, {}};
    for (std::size_t k = 0; k < nz; ++k) {
        for (std::size_t col = 0; col < ncol; ++col) {
            const double p = (1000.0 - 5.0 * static_cast<double>(col % 13)) * std::exp(-0.12 * static_cast<double>(k));
            g.p_hpa.push_back(p);
            g.t_k.push_back(290.0 + 40.0 * std::log(p / 1000.0) + 0.1 * static_cast<double>(col));
        }
    }
    return g;
}

TEST(InterpToLevels, LinearInLogPressureIsExactAndOutsideIsNaN) {
    const Grid g = log_p_grid(12, 29);
    const std::vector<double> levels{850.0, 500.0, 1050.0, 10.0};
    LevelsRequest request{g.t_k, g.p_hpa, levels, g.nz, g.ncol, true, false};
    const auto out = interp_to_levels(request);
    ASSERT_TRUE(out.has_value());
    ASSERT_EQ(out->size(), levels.size() * g.ncol);
    for (std::size_t col = 0; col < g.ncol; ++col) {
        for (std::size_t l = 0; l < 2; ++l) {
            const double expected = 290.0 + 40.0 * std::log(levels[l] / 1000.0) + 0.1 * static_cast<double>(col);
            EXPECT_NEAR((*out)[l * g.ncol + col], expected, 1e-10) << "col " << col << " level " << levels[l];
        }
        EXPECT_TRUE(std::isnan((*out)[2 * g.ncol + col])) << "below the lowest level, col " << col;
        EXPECT_TRUE(std::isnan((*out)[3 * g.ncol + col])) << "above the top, col " << col;
    }
}

TEST(InterpToLevels, SharedAndPerFieldCoordinatesGiveFieldsInOrder) {
    const Grid g = log_p_grid(6, 5);
    std::vector<double> two_fields = g.t_k;
    for (double t : g.t_k) two_fields.push_back(-t);
    std::vector<double> two_coords = g.p_hpa;
    two_coords.insert(two_coords.end(), g.p_hpa.begin(), g.p_hpa.end());
    const std::vector<double> levels{700.0};
    const auto shared = interp_to_levels({two_fields, g.p_hpa, levels, g.nz, g.ncol, true, false});
    const auto own = interp_to_levels({two_fields, two_coords, levels, g.nz, g.ncol, true, false});
    ASSERT_TRUE(shared.has_value() && own.has_value());
    EXPECT_EQ(*shared, *own);
    for (std::size_t col = 0; col < g.ncol; ++col) EXPECT_EQ((*shared)[g.ncol + col], -(*shared)[col]);
}

TEST(InterpToLevels, RefusesSizesThatDoNotFit) {
    const std::vector<double> nine(9, 1.0);
    const std::vector<double> six(6, 1.0);
    const std::vector<double> levels{1.0};
    EXPECT_FALSE(interp_to_levels({nine, six, levels, 2, 3, false, false}).has_value());  // field not whole
    EXPECT_FALSE(interp_to_levels({six, nine, levels, 2, 3, false, false}).has_value());  // coordinate size
    const auto err = interp_to_levels({nine, six, levels, 2, 3, false, false}).error();
    EXPECT_EQ(err.kind, ErrorKind::DimMismatch);
}

TEST(InterpToLevels, ParallelEqualsSerial) {
    const Grid g = log_p_grid(17, 1009);
    const std::vector<double> levels{925.0, 700.0, 300.0, 2000.0};
    std::vector<std::vector<double>> results;
    for (std::size_t workers : {1u, 2u, 7u}) {
        ScopedWorkerCount scoped(workers);
        auto out = interp_to_levels({g.t_k, g.p_hpa, levels, g.nz, g.ncol, true, true});
        ASSERT_TRUE(out.has_value());
        results.push_back(std::move(*out));
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

}  // namespace
}  // namespace tarq
