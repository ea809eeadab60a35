#pragma once
// Link message (HDF5 format IV.A.2.g).

#include <cstdint>
#include <string>

#include "hdf5/bytes.h"
#include "util/error.h"

namespace tarq::hdf5 {

struct HardLink {
    std::string name;
    std::uint64_t address = 0;
};

// The name and target of a hard link; soft, external and user-defined links
// are errors ("Only hard links supported").
[[nodiscard]] Result<HardLink> parse_link_message(ByteSpan message);

}  // namespace tarq::hdf5
