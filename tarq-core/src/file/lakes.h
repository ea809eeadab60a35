#pragma once
// Small inland water bodies in the land-use field, and the filling of their
// points from the surrounding land (2-m temperature and humidity over a lake
// too small for the model to resolve are better taken from its shores).

#include <cstdint>
#include <span>
#include <vector>

namespace tarq {

// LU_INDEX categories 16, 17 and 21 are water. The value is truncated toward
// zero to a 32-bit integer (saturating, NaN as 0) first, so 16.7 is water.
[[nodiscard]] bool is_water_category(double lu_index) noexcept;

// Largest number of grid cells a water body may have to count as small:
// area_km2 over the cell area in km2, truncated (negative or NaN give 0).
[[nodiscard]] std::uint64_t lake_cell_limit(double area_km2, double dx_m, double dy_m) noexcept;

// 1 for every water point whose 8-connected water body has strictly fewer
// than cell_limit points, else 0. Needs ny * nx land-use values.
[[nodiscard]] std::vector<std::uint8_t> small_water_bodies(std::span<const double> lu_index, std::uint64_t ny,
                                                           std::uint64_t nx, std::uint64_t cell_limit);

// A copy of field whose mask points hold the inverse-distance mean of the
// non-mask points on the nearest square ring around them that has any; a point
// with no such ring keeps its value. Needs ny * nx values of field and mask.
[[nodiscard]] std::vector<double> fill_lake_points(std::span<const double> field, std::span<const std::uint8_t> mask,
                                                   std::uint64_t ny, std::uint64_t nx);

}  // namespace tarq
