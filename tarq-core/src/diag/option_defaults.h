#pragma once
// What an option left out of a request means, for the rows that read it: the
// families apply these values and the catalogue declares them, so both say
// the same. Options without a fixed default (the CAPE height cap, the custom
// parcel, the storm motion, lake filling) are absent here: leaving them out
// switches something off or lets the row compute its own.

#include <string_view>

namespace tarq::option_defaults {

// diag/cape.cpp: the parcel of cape, cin, lcl, lfc and el, and that of cape2d.
namespace cape {
inline constexpr std::string_view kDefaultParcelType = "sb";
inline constexpr std::string_view kCape2dParcelType = "ml";
}  // namespace cape

// diag/srh.cpp: the layer of bulk_shear and mean_wind (m AGL), the depth of srh (m).
namespace layer_wind {
inline constexpr double kDefaultBottomM = 0.0;
inline constexpr double kDefaultTopM = 6000.0;
inline constexpr double kDefaultSrhDepthM = 3000.0;
}  // namespace layer_wind

// diag/helicity.cpp: the layer of uhel (m AGL).
namespace updraft_helicity {
inline constexpr double kDefaultBottomM = 2000.0;
inline constexpr double kDefaultTopM = 5000.0;
}  // namespace updraft_helicity

// diag/severe.cpp: the helicity depth of ehi (m); stp takes the fixed layer
// unless layer_type is "effective".
namespace severe {
inline constexpr double kEhiDefaultDepthM = 1000.0;
inline constexpr std::string_view kDefaultLayerType = "fixed";
}  // namespace severe

// diag/lapse_rates.cpp: the height layer (m AGL) and pressure layer (hPa) of
// lapse_rate, which are also the fixed layers of lapse_rate_0_3km and
// lapse_rate_700_500, and whether temperatures are virtual.
namespace lapse_rate {
inline constexpr double kDefaultBottomM = 0.0;
inline constexpr double kDefaultTopM = 3000.0;
inline constexpr double kDefaultBottomHpa = 700.0;
inline constexpr double kDefaultTopHpa = 500.0;
inline constexpr bool kDefaultUseVirtual = false;
}  // namespace lapse_rate

// diag/ecape.cpp: the parcel of ecape.
namespace ecape {
inline constexpr std::string_view kDefaultParcelType = "mu";
}  // namespace ecape

}  // namespace tarq::option_defaults
