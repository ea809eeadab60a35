#pragma once
// What a getvar name names, decided before anything is read: a catalogue row
// (by name or alias), or else a variable stored in the file, with the unit
// request checked against that row's or variable's unit. compute_variable
// and describe_variable both start here.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compute/registry.h"
#include "compute/units.h"
#include "util/error.h"

namespace tarq {

struct TarqFile;

// How the values reach the requested unit.
struct UnitPlan {
    std::string units;                                // units text of the result
    std::optional<std::pair<Unit, Unit>> conversion;  // none: the values are in it already
};

struct ResolvedRequest {
    const VarSpec* row = nullptr;  // null: a variable stored in the file
    std::string_view name;         // as the caller spelled it
    std::string description;       // as the result carries it
    // The unit check, made here once. Callers report its failure only when the
    // variable itself is found and, for getvar, computed: a missing variable or
    // a failing computation is the error reported first.
    Result<UnitPlan> units;
};

[[nodiscard]] ResolvedRequest resolve_request(std::string_view name, const std::optional<std::string>& units);

// The names a stored variable is looked for under, in order: as the caller
// spelled it, then upper-cased.
[[nodiscard]] std::pair<std::string, std::string> stored_spellings(std::string_view name);

// UnknownVar for a name that is no row and no variable the file holds.
[[nodiscard]] std::unexpected<TarqError> unknown_variable(std::string_view name);

// One field of a row's result: [nz, ny, nx] for a 3-D row, else [ny, nx].
[[nodiscard]] std::vector<std::size_t> row_grid(const TarqFile& file, const VarSpec& row);

// A row's whole result: its grid, with the field count in front for a
// multi-field row.
[[nodiscard]] std::vector<std::size_t> row_shape(const TarqFile& file, const VarSpec& row);

// Unit string of a well-known stored variable, by its upper-case name.
[[nodiscard]] std::optional<std::string_view> guess_raw_units(std::string_view upper_name);

// The conversion that gives a stored variable in the requested unit: none when
// the request is the variable's own unit string as written, else the pair of
// units to convert between. A variable of no known unit, a unit string that
// does not parse, or a pair without a formula is refused (UnitConversion),
// naming the variable as the caller spelled it.
[[nodiscard]] Result<std::optional<std::pair<Unit, Unit>>> raw_unit_conversion(
    std::string_view name, std::optional<std::string_view> known, std::string_view requested);

}  // namespace tarq
