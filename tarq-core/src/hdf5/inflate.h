#pragma once
// Inflate of the HDF5 deflate filter: zlib (RFC 1950) streams, with
// libdeflate where the build found it and zlib otherwise. Both give the same
// bytes and the same errors.

#include <cstdint>
#include <span>

#include "hdf5/bytes.h"
#include "hdf5/chunk_scratch.h"
#include "util/error.h"

namespace tarq::hdf5 {

// Inflates the zlib stream at the start of `stream` (bytes after its end are
// ignored) into `out` and returns the decoded bytes, a prefix of `out`'s
// buffer. More than max_size decoded bytes fail the call.
[[nodiscard]] Result<std::span<const std::uint8_t>> inflate_zlib_into(ByteSpan stream, std::uint64_t max_size,
                                                                      ScratchBuffer& out);

// "libdeflate" or "zlib": the library this build inflates with.
[[nodiscard]] const char* inflate_library() noexcept;

}  // namespace tarq::hdf5
