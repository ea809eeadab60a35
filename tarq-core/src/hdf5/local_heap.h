#pragma once
// Local heap (HDF5 format III.D): the name storage of an old-style group.

#include <cstdint>

#include "hdf5/bytes.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

// The heap's whole data segment; empty when it has no address or no size.
[[nodiscard]] Result<Bytes> read_local_heap_data(const FileReader& file, std::uint64_t address);

}  // namespace tarq::hdf5
