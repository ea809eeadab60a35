#include "file/lakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "util/thread_pool.h"

namespace tarq {
namespace {

// Land-use grid from rows of characters: 'w' water (16), 'W' water (21), '.' land (2).
std::vector<double> land_use(const std::vector<std::string>& rows) {
    std::vector<double> lu;
    for (const auto& row : rows)
        for (char c : row) lu.push_back(c == 'w' ? 16.0 : c == 'W' ? 21.0 : 2.0);
    return lu;
}

std::vector<std::uint8_t> marks(const std::vector<std::string>& rows) {
    std::vector<std::uint8_t> m;
    for (const auto& row : rows)
        for (char c : row) m.push_back(c == 'x');
    return m;
}

TEST(Lakes, WaterCategoriesTruncateTowardZero) {
    struct Case { double lu; bool water; };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (Case c : {Case{16.0, true}, {16.7, true}, {17.99, true}, {21.0, true}, {15.9, false}, {18.0, false},
                   {20.99, false}, {-16.5, false}, {nan, false}, {1e300, false}}) {
        EXPECT_EQ(is_water_category(c.lu), c.water) << c.lu;
    }
}

TEST(Lakes, CellLimitFromAreaAndSpacing) {
    struct Case { double area; double dx; double dy; std::uint64_t limit; };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (Case c : {Case{4.0, 1000.0, 1000.0, 4}, {50.0, 3000.0, 3000.0, 5}, {8.9, 1000.0, 1000.0, 8},
                   {-1.0, 1000.0, 1000.0, 0}, {nan, 1000.0, 1000.0, 0}, {4.0, 0.0, 1000.0, UINT64_MAX},
                   {0.0, 0.0, 1000.0, 0}, {inf, 1000.0, 1000.0, UINT64_MAX}, {1e30, 1.0, 1.0, UINT64_MAX}}) {
        EXPECT_EQ(lake_cell_limit(c.area, c.dx, c.dy), c.limit) << c.area << " " << c.dx;
    }
}

TEST(Lakes, SizeTestIsStrictAndBodiesAreEightConnected) {
    // A 3-cell lake joined only through a corner, and a 4-cell lake.
    const std::vector<std::string> grid = {
        "w.....",
        ".ww...",
        "......",
        "...WW.",
        "...WW.",
    };
    const auto lu = land_use(grid);
    EXPECT_EQ(small_water_bodies(lu, 5, 6, lake_cell_limit(4.0, 1000.0, 1000.0)), marks({
                  "x.....",
                  ".xx...",
                  "......",
                  "......",
                  "......",
              }));
    EXPECT_EQ(small_water_bodies(lu, 5, 6, 5), marks({
                  "x.....",
                  ".xx...",
                  "......",
                  "...xx.",
                  "...xx.",
              }));
    EXPECT_EQ(small_water_bodies(lu, 5, 6, 3), std::vector<std::uint8_t>(30, 0));
}

TEST(Lakes, FloodFillCoversWindingBodies) {
    // One body of 13 cells spiralling round land; the flood must reach it all.
    const std::vector<std::string> grid = {
        "wwwww",
        "....w",
        "www.w",
        "w...w",
        "wwwww",
    };
    const auto lu = land_use(grid);
    EXPECT_EQ(small_water_bodies(lu, 5, 5, 18), marks({
                  "xxxxx",
                  "....x",
                  "xxx.x",
                  "x...x",
                  "xxxxx",
              }));
    EXPECT_EQ(small_water_bodies(lu, 5, 5, 17), std::vector<std::uint8_t>(25, 0));
}

TEST(Lakes, FillUsesInverseDistanceOfTheNearestRing) {
    // 3x3 land around one lake point: edge neighbours weigh 1, corners 1/sqrt(2).
    const std::vector<double> field = {1, 2, 3, 4, 100, 6, 7, 8, 9};
    const std::vector<std::uint8_t> mask = {0, 0, 0, 0, 1, 0, 0, 0, 0};
    const double c = 1.0 / std::sqrt(2.0);
    double sum = 0.0, total = 0.0;
    // Ring order: top row left to right, side points, bottom row.
    for (auto [v, w] : {std::pair{1.0, c}, {2.0, 1.0}, {3.0, c}, {4.0, 1.0}, {6.0, 1.0}, {7.0, c}, {8.0, 1.0},
                        {9.0, c}}) {
        sum += w * v;
        total += w;
    }
    const auto filled = fill_lake_points(field, mask, 3, 3);
    EXPECT_EQ(filled[4], sum / total);
    for (int n : {0, 1, 2, 3, 5, 6, 7, 8}) EXPECT_EQ(filled[n], field[n]);
}

TEST(Lakes, FillSearchesOutwardAndUsesUnfilledValues) {
    // Row of 5: lake points 1..3; point 2 has no land on ring 1, so it takes ring 2
    // (points 0 and 4, weight 1/2 each), never the freshly filled neighbours.
    const std::vector<double> field = {10, 50, 50, 50, 30};
    const std::vector<std::uint8_t> mask = {0, 1, 1, 1, 0};
    const auto filled = fill_lake_points(field, mask, 1, 5);
    EXPECT_EQ(filled, (std::vector<double>{10, 10, (0.5 * 10 + 0.5 * 30) / (0.5 + 0.5), 30, 30}));
}

TEST(Lakes, FillEdgeCases) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // The whole grid is lake: nothing to fill from.
    EXPECT_EQ(fill_lake_points(std::vector<double>{1, 2, 3, 4}, std::vector<std::uint8_t>{1, 1, 1, 1}, 2, 2),
              (std::vector<double>{1, 2, 3, 4}));
    // A NaN shore value makes the filled value NaN.
    const auto filled = fill_lake_points(std::vector<double>{nan, 5, 7}, std::vector<std::uint8_t>{0, 1, 0}, 1, 3);
    EXPECT_TRUE(std::isnan(filled[1]));
    EXPECT_TRUE(fill_lake_points(std::vector<double>{}, std::vector<std::uint8_t>{}, 0, 4).empty());
    EXPECT_THROW((void)fill_lake_points(std::vector<double>(5, 0.0), std::vector<std::uint8_t>(6, 0), 2, 3),
                 std::logic_error);
}

TEST(Lakes, ParallelFillEqualsSerial) {
    const std::uint64_t ny = 13, nx = 17;
    std::vector<double> field(ny * nx);
    std::vector<std::uint8_t> mask(ny * nx);
    for (std::size_t n = 0; n < field.size(); ++n) {
        field[n] = static_cast<double>(n * 37 % 101) / 3.0;
        mask[n] = (n * 11 % 7) < 3;
    }
    std::vector<std::vector<double>> results;
    for (std::size_t workers : {1u, 2u, 7u}) {
        ScopedWorkerCount scoped(workers);
        results.push_back(fill_lake_points(field, mask, ny, nx));
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

}  // namespace
}  // namespace tarq
