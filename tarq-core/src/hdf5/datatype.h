#pragma once
// Datatype message (HDF5 format IV.A.2.d).

#include "hdf5/bytes.h"
#include "hdf5/dataset_info.h"
#include "util/error.h"

namespace tarq::hdf5 {

// Fixed point of 1, 2, 4 or 8 bytes, IEEE float of 4 or 8 bytes, or string, with
// byte order and sign.
[[nodiscard]] Result<Datatype> parse_datatype(ByteSpan message);

}  // namespace tarq::hdf5
