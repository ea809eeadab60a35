#include "hdf5/dataspace.h"

namespace tarq::hdf5 {

Result<std::vector<std::uint64_t>> parse_dataspace(ByteSpan message) {
    if (message.empty()) return std::vector<std::uint64_t>{};
    // Version 1 pads its prefix to 8 bytes; later versions carry the
    // dataspace type in byte 3 instead.
    const std::size_t sizes_at = message[0] == 1 ? 8 : 4;
    if (message.size() < sizes_at) return netcdf_error("Dataspace message too short");
    const std::size_t rank = message[1];
    if (!fits(message.size(), sizes_at, 8 * rank)) return netcdf_error("Dataspace message too short");
    std::vector<std::uint64_t> dims(rank);
    for (std::size_t i = 0; i < rank; ++i) dims[i] = le_uint_unchecked(message, sizes_at + 8 * i, 8);
    return dims;
}

Result<std::vector<std::uint64_t>> parse_dataspace_max(ByteSpan message) {
    TARQ_TRY(std::vector<std::uint64_t> dims, parse_dataspace(message));
    if (dims.empty() || message.size() < 3 || !(message[2] & 0x01)) return dims;
    const std::size_t max_at = (message[0] == 1 ? 8 : 4) + 8 * dims.size();
    if (!fits(message.size(), max_at, 8 * dims.size())) return netcdf_error("Dataspace message too short");
    for (std::size_t i = 0; i < dims.size(); ++i) dims[i] = le_uint_unchecked(message, max_at + 8 * i, 8);
    return dims;
}

}  // namespace tarq::hdf5
