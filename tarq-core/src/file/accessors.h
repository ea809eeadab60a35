#pragma once
// Fields of one time index, as every diagnostic reads them. read_var returns a
// stored variable; the base fields below it are computed once per time index
// and kept in the record's FieldCache, and every call shares the cached,
// immutable values (a Field) instead of copying them.
// The time index t must already be below file.nt.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "file/field.h"
#include "file/tarq_file.h"
#include "util/error.h"

namespace tarq {

// One time slab of a stored variable as float64: the stored dimensions without
// the first. A variable without a time dimension is returned whole for every
// t: one the file's dimension metadata records so, or where the file records
// none, one of fewer than 2 dimensions or stored as exactly [ny, nx] (files
// rewritten without a time dimension). A packed variable (scale_factor,
// add_offset) is unpacked. A model variable (T2, QVAPOR, U, ...) must hold
// exactly one time of its grid, else DimMismatch.
[[nodiscard]] Result<std::vector<double>> read_var(const TarqFile& file, std::string_view name, std::size_t t);

// What read_var returns, with its shape: the stored dimensions without time,
// or all of them for a variable returned whole.
struct StoredField {
    std::vector<double> values;
    std::vector<std::uint64_t> shape;
    bool whole = false;  // the variable has no time dimension
};
[[nodiscard]] Result<StoredField> read_stored(const TarqFile& file, std::string_view name, std::size_t t);

// [nz][ny][nx] unless noted.
[[nodiscard]] Result<Field> pressure(const TarqFile& file, std::size_t t);       // P + PB, Pa
[[nodiscard]] Result<Field> pressure_hpa(const TarqFile& file, std::size_t t);   // hPa
[[nodiscard]] Result<Field> theta(const TarqFile& file, std::size_t t);          // T + 300, K
[[nodiscard]] Result<Field> temperature(const TarqFile& file, std::size_t t);    // K
[[nodiscard]] Result<Field> temperature_c(const TarqFile& file, std::size_t t);  // degC
[[nodiscard]] Result<Field> geopotential(const TarqFile& file, std::size_t t);   // m2/s2, mass levels
[[nodiscard]] Result<Field> height_msl(const TarqFile& file, std::size_t t);     // m
[[nodiscard]] Result<Field> terrain(const TarqFile& file, std::size_t t);        // HGT, m, [ny][nx]
[[nodiscard]] Result<Field> height_agl(const TarqFile& file, std::size_t t);     // m
[[nodiscard]] Result<Field> u_mass(const TarqFile& file, std::size_t t);         // m/s
[[nodiscard]] Result<Field> v_mass(const TarqFile& file, std::size_t t);         // m/s
[[nodiscard]] Result<Field> w_mass(const TarqFile& file, std::size_t t);         // m/s

// A cached field as a vector of the caller's own, for rows that return it.
[[nodiscard]] inline Result<std::vector<double>> owned(const Result<Field>& field) {
    if (!field) return std::unexpected(field.error());
    return field->to_vector();
}

// [ny][nx], 1 where a point belongs to an inland water body (LU_INDEX 16, 17
// or 21) smaller than area_km2, else 0.
[[nodiscard]] Result<std::vector<std::uint8_t>> lake_mask(const TarqFile& file, std::size_t t, double area_km2);

// T2 (K) and Q2 (kg/kg), [ny][nx], with the points of lakes smaller than
// lake_interp km2 filled from the surrounding land; lake_interp <= 0 (or NaN)
// returns the stored field unchanged.
[[nodiscard]] Result<std::vector<double>> t2_lake(const TarqFile& file, std::size_t t, double lake_interp);
[[nodiscard]] Result<std::vector<double>> q2_lake(const TarqFile& file, std::size_t t, double lake_interp);

}  // namespace tarq
