#pragma once
// Version 2 B-trees: the name indexes of dense links and dense attributes.

#include <cstdint>
#include <vector>

#include "hdf5/bytes.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

// The heap-ID part of every record of the version 2 B-tree whose header
// ("BTHD") is at `address`, in walk order: each node's own records, then its
// children, depth first. All-zero IDs are dropped.
[[nodiscard]] Result<std::vector<Bytes>> collect_btree2_records(const FileReader& file,
                                                                std::uint64_t address);

}  // namespace tarq::hdf5
