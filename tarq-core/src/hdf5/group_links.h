#pragma once
// New-style groups: Link messages in the group's object header, and dense
// link storage (a fractal heap of Link messages indexed by a version 2 B-tree).

#include <cstdint>

#include "hdf5/member_table.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

// The hard links of the group header at `address`, compact ones first, then
// dense ones. With `v2_header` the header must be a version 2 ("OHDR") one.
[[nodiscard]] Result<MemberTable> read_link_messages(const FileReader& file, std::uint64_t address,
                                                     bool v2_header);

// The hard links stored in a fractal heap and indexed by a name B-tree.
[[nodiscard]] Result<MemberTable> read_dense_links(const FileReader& file, std::uint64_t heap_address,
                                                   std::uint64_t btree_address);

}  // namespace tarq::hdf5
