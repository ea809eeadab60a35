#pragma once
// Version 1 B-trees (HDF5 format III.A.1): node type 0 indexes a group's
// symbol table nodes, node type 1 a dataset's raw data chunks.

#include <cstdint>
#include <vector>

#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

// Addresses of the symbol table nodes, depth first in child order.
[[nodiscard]] Result<std::vector<std::uint64_t>> collect_group_nodes(const FileReader& file,
                                                                    std::uint64_t address);

// One leaf entry of a chunk B-tree.
struct ChunkRecord {
    std::vector<std::uint64_t> offsets;  // `dimensionality` element offsets
    std::uint64_t address = 0;
    std::uint32_t size = 0;         // stored (filtered) bytes
    std::uint32_t filter_mask = 0;  // bit i set: pipeline step i was not applied
};

// The chunk records in walk order; `dimensionality` is the layout's (rank + 1).
[[nodiscard]] Result<std::vector<ChunkRecord>> collect_chunks(const FileReader& file,
                                                              std::uint64_t address,
                                                              std::uint8_t dimensionality);

}  // namespace tarq::hdf5
