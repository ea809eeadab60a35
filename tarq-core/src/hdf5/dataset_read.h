#pragma once
// Reading a dataset's raw data (contiguous or chunked) and converting its
// elements to float64.

#include <cstdint>
#include <vector>

#include "hdf5/bytes.h"
#include "hdf5/dataset_info.h"
#include "hdf5/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

// All element bytes in row-major order, each as stored. Chunks missing from
// the index leave zero bytes.
[[nodiscard]] Result<Bytes> read_dataset_bytes(const FileReader& file, const DatasetInfo& info);

// The element bytes at position `index` of the first dimension: the part of
// read_dataset_bytes that holds it, cut short where that would end. Only the
// chunks holding the slab are read.
[[nodiscard]] Result<Bytes> read_dataset_slab(const FileReader& file, const DatasetInfo& info,
                                              std::uint64_t index);

// read_dataset_bytes and read_dataset_slab converted as convert_to_f64 does,
// without holding the bytes: chunks are decoded in this thread's scratch
// buffers and converted straight into the result.
[[nodiscard]] Result<std::vector<double>> read_dataset_f64(const FileReader& file, const DatasetInfo& info);
[[nodiscard]] Result<std::vector<double>> read_dataset_slab_f64(const FileReader& file, const DatasetInfo& info,
                                                                std::uint64_t index);

// Whole elements widened to float64, honouring byte order and sign;
// trailing bytes that form no whole element are dropped.
[[nodiscard]] std::vector<double> convert_to_f64(ByteSpan bytes, const Datatype& datatype);

}  // namespace tarq::hdf5
