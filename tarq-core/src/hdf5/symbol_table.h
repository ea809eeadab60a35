#pragma once
// Old-style groups: a version 1 B-tree of symbol table nodes ("SNOD",
// HDF5 format III.B) whose entries name their links in a local heap.

#include <cstdint>

#include "hdf5/member_table.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

[[nodiscard]] Result<MemberTable> read_symbol_table_group(const FileReader& file,
                                                          std::uint64_t btree_address,
                                                          std::uint64_t heap_address);

}  // namespace tarq::hdf5
