#pragma once
// The byte helpers of the HDF5 reader: the shared ones, structure
// signatures, and the text forms its error messages use.

#include <cstdint>
#include <string>

#include "io/bytes.h"
#include "io/checked.h"
#include "io/io_error.h"

namespace tarq::hdf5 {

// "0x" followed by lower-case hex digits without leading zeros.
[[nodiscard]] std::string hex_address(std::uint64_t address);

// "[137, 72, 68, 70]": the bytes as decimal numbers.
[[nodiscard]] std::string byte_list(ByteSpan bytes);

[[nodiscard]] bool has_signature(ByteSpan bytes, const char (&signature)[5]) noexcept;

}  // namespace tarq::hdf5
