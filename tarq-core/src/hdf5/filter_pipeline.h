#pragma once
// Filter Pipeline message (HDF5 format IV.A.2.l).

#include <vector>

#include "hdf5/bytes.h"
#include "hdf5/dataset_info.h"
#include "util/error.h"

namespace tarq::hdf5 {

// Every filter of the pipeline, in order; filters the reader cannot undo are
// kept as Unsupported so that reads fail instead of returning encoded bytes.
[[nodiscard]] Result<std::vector<Filter>> parse_filter_pipeline(ByteSpan message);

}  // namespace tarq::hdf5
