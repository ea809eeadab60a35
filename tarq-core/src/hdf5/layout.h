#pragma once
// Data Layout message (HDF5 format IV.A.2.i).

#include "hdf5/bytes.h"
#include "hdf5/dataset_info.h"
#include "util/error.h"

namespace tarq::hdf5 {

// Contiguous or chunked storage. Compact storage, virtual datasets and the
// layout versions 1 and 2 give a contiguous layout without data; versions
// after 4 are refused.
[[nodiscard]] Result<StorageLayout> parse_layout(ByteSpan message);

}  // namespace tarq::hdf5
