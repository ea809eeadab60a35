#pragma once
// Wind inputs shared by the kinematic and composite families: winds rotated to
// earth coordinates, and the extended columns that put the 10-m wind at 10 m
// under the model levels.

#include <cstddef>
#include <span>
#include <vector>

#include "file/field.h"
#include "file/grid_field.h"
#include "file/rotation.h"
#include "file/tarq_file.h"
#include "met/wind.h"
#include "util/error.h"

namespace tarq {

// Height of the 10-m point of an extended column, m above ground.
inline constexpr double kTenMetreHeightM = 10.0;

// Two wind components, each a whole field.
struct WindFields {
    std::vector<double> u;
    std::vector<double> v;
};

// Earth-relative (u, v) of grid-relative fields of one grid (both [ny][nx]
// or both [nz][ny][nx]); the 2-D rotation of point i mod nxy applies to
// every level.
[[nodiscard]] WindFields rotate_to_earth(const GridField& u, const GridField& v, const RotationFields& rotation,
                                         std::size_t nxy);

// The fields extended columns are built from, for one time: earth-relative
// model-level winds and heights [nz][ny][nx], earth-relative 10-m winds [ny][nx].
// The model-level winds are u of every point then v, as kept in the record's
// FieldCache: every helicity and storm-motion row of a time rotates them once.
struct ExtendedColumnInputs {
    RotationFields rotation;
    Field winds;
    GridField z_agl;
    WindFields winds10;
    std::size_t nz = 0;
    std::size_t ncol = 0;
};

// One extended column of nz + 1 points, reused from column to column.
struct ExtendedColumn {
    std::vector<double> u;
    std::vector<double> v;
    std::vector<double> z;

    [[nodiscard]] met::WindColumn view() const noexcept { return {u, v, z}; }
};

// Reads u_mass, v_mass, SINALPHA, COSALPHA (or their derived stand-ins) and
// height_agl, and rotates the winds; the 10-m winds are left for
// add_ten_metre_winds, so that a caller can read other fields in between.
[[nodiscard]] Result<ExtendedColumnInputs> load_model_level_winds(const TarqFile& file, std::size_t t);

// Reads U10 and V10 into the inputs, rotated with the rotation already read.
[[nodiscard]] Result<void> add_ten_metre_winds(const TarqFile& file, std::size_t t, ExtendedColumnInputs& in);

// load_model_level_winds then add_ten_metre_winds.
[[nodiscard]] Result<ExtendedColumnInputs> load_extended_columns(const TarqFile& file, std::size_t t);

// Column col: point 0 the 10-m wind at 10 m, points 1..nz the model levels.
void build_extended_column(std::size_t col, const ExtendedColumnInputs& in, ExtendedColumn& out);

}  // namespace tarq
