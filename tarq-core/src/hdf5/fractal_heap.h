#pragma once
// Fractal heaps: the object storage of dense links and dense attributes.

#include <cstdint>
#include <vector>

#include "hdf5/bytes.h"
#include "hdf5/dataset_info.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

// Fractal heap header (HDF5 format III.G), the fields object lookup needs,
// with the doubling table derived from them.
struct FractalHeap {
    std::uint16_t heap_id_length = 0;
    std::uint16_t io_filter_length = 0;
    std::uint16_t table_width = 0;
    std::uint64_t starting_block_size = 0;
    std::uint64_t max_direct_block_size = 0;
    std::uint16_t max_heap_size = 0;  // bits of a heap offset
    std::uint64_t root_block_address = 0;
    std::uint16_t root_rows = 0;  // 0: the root block is a direct block
    std::uint64_t huge_btree_address = UNDEFINED_ADDRESS;  // v2 B-tree of huge objects
    bool checksummed_direct_blocks = false;

    std::vector<std::uint64_t> row_block_sizes;  // one per row of the doubling table
    std::uint64_t direct_rows = 0;
    unsigned offset_bits = 0;
    unsigned length_bits = 0;
};

// Reads the "FRHP" header at `address`.
[[nodiscard]] Result<FractalHeap> read_fractal_heap(const FileReader& file, std::uint64_t address);

// The bytes of the object that `heap_id` names: managed (in the heap's
// blocks), huge (a block of its own) or tiny (inside the ID).
[[nodiscard]] Result<Bytes> heap_object(const FileReader& file, const FractalHeap& heap, ByteSpan heap_id);

// A huge object: its address and length are in the ID when the ID is long
// enough, else found under the ID's key in the huge-object B-tree.
[[nodiscard]] Result<Bytes> huge_heap_object(const FileReader& file, const FractalHeap& heap, ByteSpan heap_id);

// A tiny object: its bytes follow its length in the ID.
[[nodiscard]] Result<Bytes> tiny_heap_object(const FractalHeap& heap, ByteSpan heap_id);

}  // namespace tarq::hdf5
