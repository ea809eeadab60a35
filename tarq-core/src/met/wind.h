#pragma once
// Wind kernels of one point or one column: rotation to earth coordinates,
// speed and direction, interpolation to a height above ground, bulk shear,
// layer-mean winds and the Bunkers supercell motion. Units: m/s, heights m
// above ground, directions degrees. Pure and noexcept; NaN propagates unless a
// function says otherwise.

#include <cstddef>
#include <optional>
#include <span>

namespace tarq::met {

// Layer and deviation of the Bunkers motion (Bunkers et al. 2000).
inline constexpr double kBunkersTopM = 6000.0;
inline constexpr double kBunkersDeviationMs = 7.5;
// Shear below this is calm: the storm then moves with the mean wind.
inline constexpr double kCalmShearMs = 1e-10;

struct Wind {
    double u;
    double v;
};

// Winds and heights of one column, bottom first. The operations below give
// no value for spans of unequal length.
struct WindColumn {
    std::span<const double> u;
    std::span<const double> v;
    std::span<const double> z;

    [[nodiscard]] std::size_t size() const noexcept { return z.size(); }
    [[nodiscard]] bool consistent() const noexcept { return u.size() == z.size() && v.size() == z.size(); }
    // Points first .. size()-1.
    [[nodiscard]] WindColumn from(std::size_t first) const noexcept {
        return {u.subspan(first), v.subspan(first), z.subspan(first)};
    }
};

// Right- and left-moving supercell motion and the mean wind they deviate from.
struct StormMotion {
    Wind right;
    Wind left;
    Wind mean;
};

// Earth-relative wind of a grid-relative (u, v) where the grid is turned by
// the angle whose sine and cosine are given (the file's SINALPHA, COSALPHA).
[[nodiscard]] Wind earth_relative(double u, double v, double sin_alpha, double cos_alpha) noexcept;

// Speed sqrt(u^2 + v^2).
[[nodiscard]] double wind_speed(double u, double v) noexcept;

// Meteorological direction the wind blows from, clockwise from north, in
// [0, 360). No calm rule: u = v = 0 gives 270.
[[nodiscard]] double wind_direction_deg(double u, double v) noexcept;

// Value of data at height x: the end value outside the heights, else linear
// between the first pair that brackets x from below. No value for an empty
// column or where no pair brackets x (NaN).
[[nodiscard]] std::optional<double> interp_at_height(std::span<const double> data, std::span<const double> z,
                                                     double x) noexcept;

// As above with the heights searched for the first pair z[i] <= x <= z[i+1];
// NaN for an empty column, the last value where no pair brackets x.
[[nodiscard]] double interp_at_height(double x, std::span<const double> z, std::span<const double> data) noexcept;

// Wind at top minus wind at bottom; no value with fewer than 2 points or where
// an end has no value.
[[nodiscard]] std::optional<Wind> layer_shear(const WindColumn& c, double bottom, double top) noexcept;

// Level-sampled mean of the first point, the points strictly inside the layer
// and the wind at top (the last point where top has no value); (0, 0) for an
// empty column.
[[nodiscard]] std::optional<Wind> layer_mean_wind(const WindColumn& c, double bottom, double top) noexcept;

// Trapezoidal mean over height from bottom to top; the wind at bottom where
// the layer has no thickness. No value with fewer than 2 points or where an
// end has no value.
[[nodiscard]] std::optional<Wind> layer_mean_wind_weighted(const WindColumn& c, double bottom, double top) noexcept;

// Bunkers et al. (2000) motion of an extended column (10-m wind first): the
// 0-6 km level-sampled mean wind, deviated 7.5 m/s to either side of the
// 0-6 km shear, or the mean itself where the shear is calm.
[[nodiscard]] StormMotion bunkers_motion(const WindColumn& extended) noexcept;

// Magnitude of the bulk shear between bottom and top of a model-level column,
// by the second interpolation form. The spans are the caller's copies: they
// are reversed in place when the heights descend.
[[nodiscard]] double bulk_shear_magnitude(std::span<double> u, std::span<double> v, std::span<double> z,
                                          double bottom, double top) noexcept;

}  // namespace tarq::met
