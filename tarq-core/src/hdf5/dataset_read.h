#pragma once
// Reading a dataset's raw data (contiguous or chunked) and converting its
// elements to float64.

#include <cstdint>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

#include "hdf5/btree_v1.h"
#include "hdf5/bytes.h"
#include "hdf5/dataset_info.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

// A dataset's parsed description with, once a read has needed them, its
// chunk records: the first read walks the chunk index, every later one (from
// any thread) uses the records it kept. Read-only once built.
class Dataset {
public:
    explicit Dataset(DatasetInfo info) : info_(std::move(info)) {}

    [[nodiscard]] const DatasetInfo& info() const noexcept { return info_; }

    // collect_chunk_records of this chunked dataset, walked once.
    [[nodiscard]] Result<std::span<const ChunkRecord>> chunk_records(const FileReader& file) const;

private:
    DatasetInfo info_;
    mutable std::once_flag records_once_;
    mutable Result<std::vector<ChunkRecord>> records_;
};

// All element bytes in row-major order, each as stored. Chunks missing from
// the index leave zero bytes.
[[nodiscard]] Result<Bytes> read_dataset_bytes(const FileReader& file, const Dataset& dataset);

// The element bytes at position `index` of the first dimension: the part of
// read_dataset_bytes that holds it, cut short where that would end. Only the
// chunks holding the slab are read.
[[nodiscard]] Result<Bytes> read_dataset_slab(const FileReader& file, const Dataset& dataset,
                                              std::uint64_t index);

// read_dataset_bytes and read_dataset_slab converted as convert_to_f64 does,
// without holding the bytes: chunks are decoded in this thread's scratch
// buffers and converted straight into the result.
[[nodiscard]] Result<std::vector<double>> read_dataset_f64(const FileReader& file, const Dataset& dataset);
[[nodiscard]] Result<std::vector<double>> read_dataset_slab_f64(const FileReader& file, const Dataset& dataset,
                                                                std::uint64_t index);

// The box [lo[k], hi[k]) of every dimension as float64, row-major over the
// box: contiguous data by one positioned read per row of the box (adjacent
// rows merged), chunked data from the chunks that overlap the box only.
// Nothing for a box beyond the dimensions or the stored data.
[[nodiscard]] Result<std::vector<double>> read_dataset_box_f64(const FileReader& file, const Dataset& dataset,
                                                               std::span<const std::uint64_t> lo,
                                                               std::span<const std::uint64_t> hi);

}  // namespace tarq::hdf5
