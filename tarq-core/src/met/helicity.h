#pragma once
// Storm-relative helicity of one column: the signed area swept by the
// storm-relative hodograph (Davies-Jones et al. 1990), and the storm motion the
// fixed-depth form assumes. Units: m/s, heights m above ground, helicity m2/s2.
// Pure and noexcept.

#include <optional>

#include "met/parcel.h"
#include "met/wind.h"

namespace tarq::met {

// Shear at or below this counts as calm in the fixed-depth storm motion.
inline constexpr double kSrhCalmShearMs = 0.1;

struct Helicity {
    double positive;
    double negative;  // every non-positive term, NaN included
    double total;
};

// Helicity of the points from the first one's height up to top (inclusive),
// closed by the wind at top where the last such point lies below it; (0, 0, 0)
// with fewer than two points. No value for a column of fewer than 2 points.
[[nodiscard]] std::optional<Helicity> helicity_integral(const WindColumn& c, double top, Wind storm) noexcept;

// Bunkers right-mover of an extended column as the fixed-depth helicity uses
// it: the 6-km wind by the second interpolation form, the level-sampled mean,
// and the mean itself where the shear is at most kSrhCalmShearMs (or NaN).
[[nodiscard]] Wind srh_storm_motion(const WindColumn& extended) noexcept;

// Helicity from the first point up to depth, segment by segment, the top
// segment cut at depth by linear interpolation; a column with descending
// heights is walked from its top end. 0 with fewer than two points.
[[nodiscard]] double srh_layer_walk(const WindColumn& c, double depth, Wind storm) noexcept;

// Helicity over the effective inflow layer of a profile whose heights are
// those of the extended column (point 0 at 10 m): from the lowest to the
// highest point of the first run whose surface-based parcels have CAPE >=
// MIN_EFFECTIVE_CAPE and CIN >= MIN_EFFECTIVE_CIN, against the given storm
// motion or else the column's Bunkers right-mover. 0 where no point qualifies
// or the layer does not rise.
[[nodiscard]] double effective_layer_helicity(const Sounding& profile, const WindColumn& extended,
                                              std::optional<Wind> storm, ParcelScratch& scratch) noexcept;

}  // namespace tarq::met
