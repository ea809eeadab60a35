#pragma once
// Stored elements widened to float64, honouring byte order and sign: the one
// element-type dispatch of every read.

#include <cstdint>
#include <vector>

#include "io/bytes.h"
#include "io/element_type.h"

namespace tarq {

// Converts `count` elements from element `first` of `bytes` into `out`. With
// `byte_planes`, the bytes are shuffled: byte b of element i is at
// b * (size / element size) + i, as an HDF5 shuffle leaves them.
void convert_elements_f64(ByteSpan bytes, bool byte_planes, const Datatype& datatype, std::uint64_t first,
                          std::uint64_t count, double* out);

// Whole elements widened to float64; trailing bytes that form no whole
// element are dropped.
[[nodiscard]] std::vector<double> convert_to_f64(ByteSpan bytes, const Datatype& datatype);

}  // namespace tarq
