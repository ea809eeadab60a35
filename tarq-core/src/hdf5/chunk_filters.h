#pragma once
// Undoing a chunk's filter pipeline (deflate, shuffle, Fletcher32) into new
// byte vectors, for callers that keep the decoded bytes.

#include <cstdint>
#include <vector>

#include "hdf5/bytes.h"
#include "hdf5/dataset_info.h"
#include "util/error.h"

namespace tarq::hdf5 {

// Undoes, from the last step to the first, every filter whose bit in
// `filter_mask` is clear. No step may produce more than `max_size` bytes.
// Unsupported filters must have been rejected before.
[[nodiscard]] Result<Bytes> undo_filters(Bytes stored, const std::vector<Filter>& filters,
                                         std::uint32_t filter_mask, std::uint64_t max_size);

// Inflates a zlib (RFC 1950) stream up to its end; bytes after it are ignored.
[[nodiscard]] Result<Bytes> inflate_zlib(ByteSpan stream, std::uint64_t max_size);

// Reverses the byte shuffle of elements of `element_size` bytes.
[[nodiscard]] Bytes unshuffle(ByteSpan data, std::uint32_t element_size);

}  // namespace tarq::hdf5
