#pragma once
// Whether a stored variable has a time dimension, by the file's own
// dimension metadata: its first dimension is the dimension T (always
// [Time, nz, ny, nx]) has first.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "file/tarq_file.h"
#include "util/error.h"

namespace tarq {

// True or false where the file records the dimensions of both the variable
// and T; nothing where it does not (files without dimension scales).
[[nodiscard]] std::optional<bool> has_time_dimension(const TarqFile& file, std::string_view name);

// netCDF-4 keeps a dimension without a coordinate variable as a dataset of
// its name whose NAME attribute says so: a dimension, not a variable.
[[nodiscard]] Result<bool> is_dimension_only(const TarqFile& file, std::string_view name);

// Whether read_var returns the variable of these stored dimensions whole for
// every time index rather than one slab of its first dimension. A 1-D
// variable is whole unless the file records its dimension as time.
[[nodiscard]] bool is_stored_whole(const TarqFile& file, std::string_view name, std::span<const std::uint64_t> dims);

}  // namespace tarq
