#pragma once
// The superblock and the location of the root group.

#include <cstdint>

#include "hdf5/dataset_info.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

// Where the root group's members are found: through Link messages and dense
// link storage (the root header has a Link Info message, or is a version 2
// header), or through a symbol table (version 1 B-tree + local heap).
struct RootGroup {
    std::uint64_t header_address = UNDEFINED_ADDRESS;
    bool v2_header = false;
    bool symbol_table = false;
    std::uint64_t btree_address = UNDEFINED_ADDRESS;
    std::uint64_t heap_address = UNDEFINED_ADDRESS;
};

// Checks the signature at offset 0, reads the superblock (HDF5 format II.A,
// versions 0 to 3) and locates the root group.
[[nodiscard]] Result<RootGroup> locate_root_group(const FileReader& file);

}  // namespace tarq::hdf5
