#pragma once
// Fields of one time index, as every diagnostic reads them. read_var returns a
// stored model variable; the base fields below it are computed once per time
// index and kept in the record's FieldCache, and every call shares the cached,
// immutable values instead of copying them. Each comes back as a GridField:
// it fills its grid exactly, so no caller measures it again.
// The time index t must already be below file.nt.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "file/grid_field.h"
#include "file/model_grids.h"
#include "file/tarq_file.h"
#include "util/error.h"

namespace tarq {

// One time slab of a stored variable as float64: the stored dimensions without
// the first. A variable without a time dimension is returned whole for every
// t: one the file's dimension metadata records so, or where the file records
// none, one of fewer than 2 dimensions or stored as exactly [ny, nx] (files
// rewritten without a time dimension). A packed variable (scale_factor,
// add_offset) is unpacked. The variable must hold exactly one time of its
// grid, else DimMismatch.
// The decoded values are kept in the record's FieldCache, so rows of one time
// that read the same variable decode it once.
[[nodiscard]] Result<GridField> read_var(const TarqFile& file, ModelVariable variable, std::size_t t);

// read_var without the cache, for the inputs a cached base field is made from
// and read by nothing else: caching them too would hold the same data twice.
[[nodiscard]] Result<GridField> read_var_once(const TarqFile& file, ModelVariable variable, std::size_t t);

// A model variable a file may lack (the hydrometeors of simpler microphysics,
// MAPFAC_M): nothing where it cannot be read for any reason but one. A field
// stored at the wrong size is DimMismatch, as for read_var: a stand-in for it
// would be a wrong answer, not a missing one.
[[nodiscard]] Result<std::optional<GridField>> read_optional(const TarqFile& file, ModelVariable variable,
                                                             std::size_t t);

// What read_var returns, with its shape: the stored dimensions without time,
// or all of them for a variable returned whole. Any variable may be read
// this way; a model variable must fill its grid as for read_var.
struct StoredField {
    std::vector<double> values;
    std::vector<std::uint64_t> shape;
    bool whole = false;  // the variable has no time dimension
};
[[nodiscard]] Result<StoredField> read_stored(const TarqFile& file, std::string_view name, std::size_t t);

// [nz][ny][nx] unless noted.
[[nodiscard]] Result<GridField> pressure(const TarqFile& file, std::size_t t);       // P + PB, Pa
[[nodiscard]] Result<GridField> pressure_hpa(const TarqFile& file, std::size_t t);   // hPa
[[nodiscard]] Result<GridField> theta(const TarqFile& file, std::size_t t);          // T + 300, K
[[nodiscard]] Result<GridField> temperature(const TarqFile& file, std::size_t t);    // K
[[nodiscard]] Result<GridField> temperature_c(const TarqFile& file, std::size_t t);  // degC
[[nodiscard]] Result<GridField> geopotential(const TarqFile& file, std::size_t t);   // m2/s2, mass levels
[[nodiscard]] Result<GridField> height_msl(const TarqFile& file, std::size_t t);     // m
[[nodiscard]] Result<GridField> terrain(const TarqFile& file, std::size_t t);        // HGT, m, [ny][nx]
[[nodiscard]] Result<GridField> height_agl(const TarqFile& file, std::size_t t);     // m
[[nodiscard]] Result<GridField> u_mass(const TarqFile& file, std::size_t t);         // m/s
[[nodiscard]] Result<GridField> v_mass(const TarqFile& file, std::size_t t);         // m/s
[[nodiscard]] Result<GridField> w_mass(const TarqFile& file, std::size_t t);         // m/s

// A field as a vector of the caller's own, for rows that return it.
[[nodiscard]] inline Result<std::vector<double>> owned(const Result<GridField>& field) {
    if (!field) return std::unexpected(field.error());
    return field->to_vector();
}

// [ny][nx], 1 where a point belongs to an inland water body (LU_INDEX 16, 17
// or 21) smaller than area_km2, else 0.
[[nodiscard]] Result<std::vector<std::uint8_t>> lake_mask(const TarqFile& file, std::size_t t, double area_km2);

// T2 (K) and Q2 (kg/kg), [ny][nx], with the points of lakes smaller than
// lake_interp km2 filled from the surrounding land; lake_interp <= 0 (or NaN)
// returns the stored field unchanged.
[[nodiscard]] Result<GridField> t2_lake(const TarqFile& file, std::size_t t, double lake_interp);
[[nodiscard]] Result<GridField> q2_lake(const TarqFile& file, std::size_t t, double lake_interp);

}  // namespace tarq
