#include "file/lakes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "util/grid_loops.h"

namespace tarq {

namespace {

std::int32_t truncate_to_i32(double v) noexcept {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

void require_grid(std::size_t size, std::uint64_t ny, std::uint64_t nx, const char* what) {
    if (nx != 0 && ny > size / nx) throw std::logic_error(what);
}

// Component sizes indexed by label (entry 0 unused), labels per point.
struct Components {
    std::vector<std::uint64_t> labels;
    std::vector<std::uint64_t> sizes;
};

Components label_water(const std::vector<std::uint8_t>& water, std::uint64_t ny, std::uint64_t nx) {
    Components c{std::vector<std::uint64_t>(water.size(), 0), {0}};
    std::vector<std::uint64_t> stack;
    for (std::uint64_t start = 0; start < water.size(); ++start) {
        if (!water[start] || c.labels[start] != 0) continue;
        const std::uint64_t label = c.sizes.size();
        std::uint64_t count = 0;
        stack.push_back(start);
        while (!stack.empty()) {
            const std::uint64_t p = stack.back();
            stack.pop_back();
            if (c.labels[p] != 0) continue;
            c.labels[p] = label;
            ++count;
            const auto row = static_cast<std::int64_t>(p / nx);
            const auto col = static_cast<std::int64_t>(p % nx);
            for (std::int64_t dr = -1; dr <= 1; ++dr) {
                for (std::int64_t dc = -1; dc <= 1; ++dc) {
                    if (dr == 0 && dc == 0) continue;
                    const std::int64_t r = row + dr;
                    const std::int64_t q = col + dc;
                    if (r < 0 || q < 0 || r >= static_cast<std::int64_t>(ny) || q >= static_cast<std::int64_t>(nx)) {
                        continue;
                    }
                    const auto n = static_cast<std::uint64_t>(r) * nx + static_cast<std::uint64_t>(q);
                    if (water[n] && c.labels[n] == 0) stack.push_back(n);
                }
            }
        }
        c.sizes.push_back(count);
    }
    return c;
}

// Inverse-distance mean over the nearest ring holding non-mask points, or the
// point's own value when no ring up to max(nx, ny) holds any.
double fill_value(std::span<const double> field, std::span<const std::uint8_t> mask, std::int64_t ny,
                  std::int64_t nx, std::uint64_t index) {
    const auto row = static_cast<std::int64_t>(index / static_cast<std::uint64_t>(nx));
    const auto col = static_cast<std::int64_t>(index % static_cast<std::uint64_t>(nx));
    const std::int64_t max_radius = std::max(nx, ny);
    for (std::int64_t r = 1; r <= max_radius; ++r) {
        double total = 0.0;
        double sum = 0.0;
        auto visit = [&](std::int64_t dr, std::int64_t dc) {
            const std::int64_t y = row + dr;
            const std::int64_t x = col + dc;
            if (y < 0 || x < 0 || y >= ny || x >= nx) return;
            const auto n = static_cast<std::size_t>(y * nx + x);
            if (mask[n]) return;
            const double w = 1.0 / std::sqrt(static_cast<double>(dr * dr + dc * dc));
            total += w;
            sum += w * field[n];
        };
        for (std::int64_t dr = -r; dr <= r; ++dr) {
            if (dr == -r || dr == r) {
                for (std::int64_t dc = -r; dc <= r; ++dc) visit(dr, dc);
            } else {
                visit(dr, -r);
                visit(dr, r);
            }
        }
        if (total > 0.0) return sum / total;
    }
    return field[index];
}

}  // namespace

bool is_water_category(double lu_index) noexcept {
    const std::int32_t category = truncate_to_i32(lu_index);
    return category == 16 || category == 17 || category == 21;
}

std::uint64_t lake_cell_limit(double area_km2, double dx_m, double dy_m) noexcept {
    const double cells = area_km2 / (dx_m * dy_m / 1000000);
    if (std::isnan(cells) || cells <= 0.0) return 0;
    if (cells >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(cells);
}

std::vector<std::uint8_t> small_water_bodies(std::span<const double> lu_index, std::uint64_t ny, std::uint64_t nx,
                                             std::uint64_t cell_limit) {
    require_grid(lu_index.size(), ny, nx, "small_water_bodies: land use shorter than the grid");
    const std::uint64_t points = ny * nx;
    std::vector<std::uint8_t> water(points);
    for (std::uint64_t p = 0; p < points; ++p) water[p] = is_water_category(lu_index[p]);
    const Components c = label_water(water, ny, nx);
    std::vector<std::uint8_t> mask(points, 0);
    for (std::uint64_t p = 0; p < points; ++p) {
        mask[p] = c.labels[p] != 0 && c.sizes[c.labels[p]] < cell_limit;
    }
    return mask;
}

std::vector<double> fill_lake_points(std::span<const double> field, std::span<const std::uint8_t> mask,
                                     std::uint64_t ny, std::uint64_t nx) {
    require_grid(field.size(), ny, nx, "fill_lake_points: field shorter than the grid");
    require_grid(mask.size(), ny, nx, "fill_lake_points: mask shorter than the grid");
    std::vector<double> filled(field.begin(), field.end());
    std::vector<std::uint64_t> lake_points;
    for (std::uint64_t p = 0; p < ny * nx; ++p) {
        if (mask[p]) lake_points.push_back(p);
    }
    // With no land anywhere every ring search would come back empty, at a cost
    // that grows with the fourth power of the grid size.
    if (lake_points.size() == ny * nx) return filled;
    // Every value is computed from the unfilled field before any is written.
    const std::vector<double> values = per_point(lake_points.size(), [&](std::size_t i) {
        return fill_value(field, mask, static_cast<std::int64_t>(ny), static_cast<std::int64_t>(nx), lake_points[i]);
    });
    for (std::size_t i = 0; i < lake_points.size(); ++i) filled[lake_points[i]] = values[i];
    return filled;
}

}  // namespace tarq
