#pragma once
// Whether a stored variable has a time dimension, by the file's own
// dimension metadata: its first dimension is the dimension T (always
// [Time, nz, ny, nx]) has first.

#include <optional>
#include <string_view>

#include "file/tarq_file.h"

namespace tarq {

// True or false where the file records the dimensions of both the variable
// and T; nothing where it does not (files without dimension scales).
[[nodiscard]] std::optional<bool> has_time_dimension(const TarqFile& file, std::string_view name);

}  // namespace tarq
