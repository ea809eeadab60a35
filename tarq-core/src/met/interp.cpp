#include "met/interp.h"

#include <cmath>
#include <cstddef>
#include <limits>

namespace tarq::met {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Value at the end of the column nearer to x, for x beyond the coordinate's
// range; NaN for x inside it (a gap of NaN coordinates) or an all-NaN column.
double end_value(std::span<const double> coord, std::span<const double> values, double x) noexcept {
    std::size_t lowest = coord.size();
    std::size_t highest = coord.size();
    for (std::size_t k = 0; k < coord.size(); ++k) {
        if (std::isnan(coord[k])) continue;
        if (lowest == coord.size() || coord[k] < coord[lowest]) lowest = k;
        if (highest == coord.size() || coord[k] > coord[highest]) highest = k;
    }
    if (lowest == coord.size()) return kNaN;
    if (x < coord[lowest]) return values[lowest];
    if (x > coord[highest]) return values[highest];
    return kNaN;
}

double value_at(std::span<const double> coord, std::span<const double> values, double x, bool extrapolate) noexcept {
    const std::size_t n = coord.size();
    for (std::size_t k = 0; k < n; ++k) {
        const double a = coord[k];
        if (a == x) return values[k];
        if (k + 1 == n) break;
        const double b = coord[k + 1];
        if ((a < x && x < b) || (b < x && x < a)) return values[k] + (values[k + 1] - values[k]) * ((x - a) / (b - a));
    }
    return extrapolate ? end_value(coord, values, x) : kNaN;
}

}  // namespace

void interp_column(std::span<const double> coord, std::span<const double> values, std::span<const double> targets,
                   bool extrapolate, std::span<double> out) noexcept {
    const std::size_t n = coord.size() < values.size() ? coord.size() : values.size();
    const std::size_t m = targets.size() < out.size() ? targets.size() : out.size();
    for (std::size_t l = 0; l < m; ++l) {
        out[l] = value_at(coord.first(n), values.first(n), targets[l], extrapolate);
    }
}

}  // namespace tarq::met
