#pragma once
// The checksum HDF5 stores with its newer metadata structures (superblock
// versions 2 and 3, version 2 object headers and their continuation blocks,
// version 2 B-tree nodes, fractal heap headers and blocks): Bob Jenkins'
// lookup3 hash, "hashlittle" with initial value 0 (HDF5 format II.B).

#include <cstdint>
#include <string_view>

#include "hdf5/bytes.h"
#include "util/error.h"

namespace tarq::hdf5 {

// lookup3 hashlittle of `bytes` with initial value 0.
[[nodiscard]] std::uint32_t metadata_checksum(ByteSpan bytes) noexcept;

// Checks a structure whose last 4 bytes are the little-endian checksum of all
// the bytes before them. A mismatch is a NetCdf error naming the structure
// and its address: the file is corrupt.
[[nodiscard]] Result<void> verify_checksum(ByteSpan structure_with_checksum, std::string_view what,
                                           std::uint64_t address);

}  // namespace tarq::hdf5
