#pragma once
// Dataspace message (HDF5 format IV.A.2.b).

#include <cstdint>
#include <vector>

#include "hdf5/bytes.h"
#include "util/error.h"

namespace tarq::hdf5 {

// The current dimension sizes, outermost first; none for an empty message
// or a scalar.
[[nodiscard]] Result<std::vector<std::uint64_t>> parse_dataspace(ByteSpan message);

// The maximum dimension sizes when the message gives them (flag bit 0), else
// the current ones; UNDEFINED_ADDRESS (all ones) marks an unlimited dimension.
[[nodiscard]] Result<std::vector<std::uint64_t>> parse_dataspace_max(ByteSpan message);

}  // namespace tarq::hdf5
