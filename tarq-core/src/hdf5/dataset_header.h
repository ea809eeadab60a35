#pragma once
// A dataset's description from the messages of its object header.

#include <cstdint>

#include "hdf5/dataset_info.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

// Walks the object header at `address` for its Dataspace, Datatype, Data
// Layout and Filter Pipeline messages (the last of each type counts) and
// checks that they fit together.
[[nodiscard]] Result<DatasetInfo> parse_dataset_header(const FileReader& file, std::uint64_t address);

}  // namespace tarq::hdf5
