#pragma once
// The core of getvar: time-index check, catalogue lookup or raw fallback,
// unit conversion and result shape.

#include <cstdint>
#include <optional>
#include <string_view>

#include "compute/options.h"
#include "compute/var_output.h"
#include "util/error.h"

namespace tarq {

struct TarqFile;

[[nodiscard]] Result<VarOutput> compute_variable(const TarqFile& file, std::string_view name,
                                                 std::optional<std::uint64_t> timeidx,
                                                 const ComputeOptions& options);

// Unit string of a well-known stored variable, by its upper-case name.
[[nodiscard]] std::optional<std::string_view> guess_raw_units(std::string_view upper_name);

}  // namespace tarq
