#pragma once
// Layer-wind and helicity fields of one time that the composite family builds
// on, each [ny][nx] (column index j*nx + i). The errors are those of the field
// reads, in the order each driver reads its fields. Each result is kept in
// the record's FieldCache under the options that made it, so that the rows
// and composites of one time compute it once.

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "file/tarq_file.h"
#include "util/error.h"

namespace tarq {

// Storm motion given by the caller, (u, v) earth-relative m/s.
using StormMotionOption = std::optional<std::pair<double, double>>;

// Bulk shear magnitude (m/s) between bottom_m and top_m above ground, from the
// grid-relative model-level winds (no 10-m point). Reads u_mass, v_mass,
// height_agl. The heights must not be NaN (the rows refuse NaN options).
[[nodiscard]] Result<std::vector<double>> bulk_shear_field(const TarqFile& file, std::size_t t, double bottom_m,
                                                           double top_m);

// Bunkers motion of every extended column, earth-relative m/s.
struct StormMotionFields {
    std::vector<double> right_u;
    std::vector<double> right_v;
    std::vector<double> left_u;
    std::vector<double> left_v;
    std::vector<double> mean_u;
    std::vector<double> mean_v;
};

// One Bunkers pass over the grid. Reads u_mass, v_mass, SINALPHA, COSALPHA,
// height_agl, U10, V10.
[[nodiscard]] Result<StormMotionFields> bunkers_fields(const TarqFile& file, std::size_t t);

// Storm-relative helicity (m2/s2) from 10 m up to depth_m, with the given
// storm motion or else each column's Bunkers right-mover. Reads as
// bunkers_fields.
[[nodiscard]] Result<std::vector<double>> fixed_depth_srh(const TarqFile& file, std::size_t t, double depth_m,
                                                          const StormMotionOption& storm_motion);

// Storm-relative helicity (m2/s2) over each column's effective inflow layer,
// 0 where the layer has fewer than two points. Reads u_mass, v_mass,
// SINALPHA, COSALPHA, height_agl, pressure_hpa, temperature_c, QVAPOR, U10, V10.
[[nodiscard]] Result<std::vector<double>> effective_srh_field(const TarqFile& file, std::size_t t,
                                                              const StormMotionOption& storm_motion);

// The four above without the cache.
[[nodiscard]] Result<std::vector<double>> bulk_shear_uncached(const TarqFile& file, std::size_t t, double bottom_m,
                                                              double top_m);
[[nodiscard]] Result<StormMotionFields> bunkers_uncached(const TarqFile& file, std::size_t t);
[[nodiscard]] Result<std::vector<double>> fixed_depth_srh_uncached(const TarqFile& file, std::size_t t,
                                                                   double depth_m,
                                                                   const StormMotionOption& storm_motion);
[[nodiscard]] Result<std::vector<double>> effective_srh_uncached(const TarqFile& file, std::size_t t,
                                                                 const StormMotionOption& storm_motion);

}  // namespace tarq
