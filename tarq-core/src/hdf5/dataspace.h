#pragma once
// Dataspace message (HDF5 format IV.A.2.b).

#include <cstdint>
#include <optional>
#include <span>
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

// Product of the sizes (1 for a scalar, 0 when any size is 0), or nothing on
// overflow. Sizes come from the file and are untrusted.
[[nodiscard]] std::optional<std::uint64_t> element_count(std::span<const std::uint64_t> dims) noexcept;

}  // namespace tarq::hdf5
