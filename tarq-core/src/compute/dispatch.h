#pragma once
// The core of getvar: time-index check, catalogue lookup or raw fallback,
// unit conversion and result shape.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "diag/compute_options.h"
#include "compute/units.h"
#include "compute/var_output.h"
#include "util/error.h"

namespace tarq {

struct TarqFile;

[[nodiscard]] Result<VarOutput> compute_variable(const TarqFile& file, std::string_view name,
                                                 std::optional<std::uint64_t> timeidx,
                                                 const ComputeOptions& options);

// Shape of a stored variable's result from what read_stored returns for it
// (`slab`, `whole`): a variable without a time dimension keeps its stored
// shape where the result can have it (2 to 4 dimensions); any other is
// guessed from its length alone.
[[nodiscard]] std::vector<std::size_t> raw_shape(const TarqFile& file, std::span<const std::uint64_t> slab,
                                                 bool whole, std::size_t length);

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
