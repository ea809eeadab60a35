#pragma once
// How a reader tells which dimension each dimension of a variable is, in
// terms neither file format imposes on the other.

#include <cstdint>
#include <optional>
#include <vector>

namespace tarq {

// For each dimension of a variable, an identifier of the dimension it uses
// (equal identifiers, the same dimension); nothing for a dimension the file
// does not identify.
using DimensionIds = std::vector<std::optional<std::uint64_t>>;

}  // namespace tarq
