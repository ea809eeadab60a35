#pragma once
// What the reader knows about one dataset after parsing its object header:
// element type, dimensions, storage layout and filter pipeline.

#include <cstdint>
#include <variant>
#include <vector>

#include "io/element_type.h"

namespace tarq {

// The all-ones address: "no address" wherever an address may be undefined.
inline constexpr std::uint64_t UNDEFINED_ADDRESS = 0xFFFFFFFFFFFFFFFFull;

// Data Layout message (HDF5 format IV.A.2.i).
struct ContiguousLayout {
    std::uint64_t address = UNDEFINED_ADDRESS;
    std::uint64_t size = 0;
};

// How the chunks of a dataset are found: the version 1 B-tree of layout
// version 3, or one of the chunk indexes of layout versions 4 and 5.
enum class ChunkIndex : std::uint8_t {
    BtreeV1 = 0,
    SingleChunk = 1,
    Implicit = 2,
    FixedArray = 3,
    ExtensibleArray = 4,
    BtreeV2 = 5,
};

struct ChunkedLayout {
    std::vector<std::uint32_t> chunk_dims;  // one per dataset dimension
    std::uint64_t btree_address = UNDEFINED_ADDRESS;  // the index's address, whatever its kind
    std::uint8_t dimensionality = 0;  // offsets in each chunk key (rank + 1)
    ChunkIndex index = ChunkIndex::BtreeV1;
    // A single filtered chunk's stored size and filter mask (layout flag bit 1).
    bool single_chunk_filtered = false;
    std::uint64_t single_chunk_size = 0;
    std::uint32_t single_chunk_mask = 0;
};

using StorageLayout = std::variant<ContiguousLayout, ChunkedLayout>;

enum class FilterKind { Deflate, Shuffle, Fletcher32, Unsupported };

// One step of the Filter Pipeline message (HDF5 format IV.A.2.l), in pipeline
// order. Every step is kept, because a chunk's filter mask counts positions.
struct Filter {
    FilterKind kind = FilterKind::Unsupported;
    std::uint16_t id = 0;
    std::uint32_t param = 0;  // deflate level or shuffle element size
};

struct DatasetInfo {
    std::vector<std::uint64_t> dims;  // outermost first; empty for a scalar
    std::vector<std::uint64_t> max_dims;  // as dims when the file gives none; all ones: unlimited
    Datatype datatype;
    StorageLayout layout;
    std::vector<Filter> filters;
};

}  // namespace tarq
