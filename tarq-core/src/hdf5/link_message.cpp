#include "hdf5/link_message.h"

namespace tarq::hdf5 {

Result<HardLink> parse_link_message(ByteSpan message) {
    if (message.size() <= 2) return netcdf_error("Link message too short");
    const std::uint8_t flags = message[1];
    std::size_t cursor = 2;
    std::uint8_t link_type = 0;
    if (flags & 0x08) link_type = message[cursor++];
    if (flags & 0x04) cursor += 8;  // creation order
    if (flags & 0x10) cursor += 1;  // character set
    const std::size_t length_width = std::size_t{1} << (flags & 3);
    const auto name_length = le_uint(message, cursor, length_width);
    cursor += length_width;
    if (!name_length || !fits(message.size(), cursor, *name_length))
        return netcdf_error("Link name extends past data");
    HardLink link;
    link.name = utf8_lossy(message.subspan(cursor, *name_length));
    cursor += *name_length;
    if (link_type != 0) return netcdf_error("Only hard links supported");
    const auto address = le_uint(message, cursor, 8);
    if (!address) return netcdf_error("Hard link address missing");
    link.address = *address;
    return link;
}

}  // namespace tarq::hdf5
