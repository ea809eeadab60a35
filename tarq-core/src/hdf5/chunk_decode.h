#pragma once
// Undoing a chunk's filter pipeline in reused per-thread buffers. A final
// shuffle may be left undone, for the caller to undo while it converts the
// elements, so that the decoded chunk is not copied once more.

#include <cstdint>
#include <span>
#include <vector>

#include "hdf5/bytes.h"
#include "hdf5/chunk_scratch.h"
#include "hdf5/dataset_info.h"
#include "util/error.h"

namespace tarq::hdf5 {

struct DecodedChunk {
    ByteSpan bytes;
    // Element size of a shuffle still to undo: byte b of element i is at
    // b * (size / shuffle) + i for i < size / shuffle; 1 when none is left.
    std::uint32_t shuffle = 1;
};

// Undoes, from the last step to the first, every filter whose bit in
// `filter_mask` is clear; no step may produce more than max_size bytes. When
// `keep_shuffle` is the element size and the first filter to undo last is a
// shuffle of that size, it is left in the result. The result lives in
// `stored` or in `scratch` until the next call. Unsupported filters must have
// been rejected before.
[[nodiscard]] Result<DecodedChunk> decode_chunk(ByteSpan stored, const std::vector<Filter>& filters,
                                                std::uint32_t filter_mask, std::uint64_t max_size,
                                                std::uint32_t keep_shuffle, ChunkScratch& scratch);

// Reverses the byte shuffle of elements of `element_size` bytes into `out`
// (data.size() bytes).
void unshuffle_into(ByteSpan data, std::uint32_t element_size, std::span<std::uint8_t> out) noexcept;

}  // namespace tarq::hdf5
