#pragma once
// Vertical interpolation of one grid column to fixed levels. The coordinate
// may run either way (height up, pressure down) and is used as given: a caller
// wanting interpolation in ln p passes ln p for both the column and the
// targets. Pure, allocation-free and reentrant; NaN coordinates never bracket
// a target.

#include <span>

namespace tarq::met {

// Value of `values` at each of `targets` along the column `coord` (same
// length), written to `out` (as long as `targets`). Levels are scanned from
// index 0: the first level equal to a target gives its own value, else the
// first pair of neighbouring levels strictly bracketing it gives the linear
// interpolate. A target outside every pair is NaN, or with `extrapolate` the
// value of the column's end nearer to it (the level of lowest or highest
// coordinate); an empty column gives NaN.
void interp_column(std::span<const double> coord, std::span<const double> values, std::span<const double> targets,
                   bool extrapolate, std::span<double> out) noexcept;

}  // namespace tarq::met
