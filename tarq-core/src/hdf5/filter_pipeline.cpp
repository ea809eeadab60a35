#include "hdf5/filter_pipeline.h"

namespace tarq::hdf5 {

namespace {

constexpr std::uint16_t kDeflate = 1;
constexpr std::uint16_t kShuffle = 2;
constexpr std::uint16_t kFletcher32 = 3;
// Ids from here on are not predefined by HDF5 and carry a name in version 2.
constexpr std::uint16_t kFirstUnreservedId = 256;

std::unexpected<TarqError> malformed() { return netcdf_error("Filter pipeline message malformed"); }

Filter make_filter(std::uint16_t id, const std::vector<std::uint32_t>& values) {
    switch (id) {
        case kDeflate: return {FilterKind::Deflate, id, values.empty() ? 6u : values[0]};
        case kShuffle: return {FilterKind::Shuffle, id, values.empty() ? 4u : values[0]};
        case kFletcher32: return {FilterKind::Fletcher32, id, 0};
        default: return {FilterKind::Unsupported, id, 0};
    }
}

}  // namespace

Result<std::vector<Filter>> parse_filter_pipeline(ByteSpan m) {
    if (m.size() < 2) return malformed();
    const std::uint8_t version = m[0];
    const std::size_t declared = m[1];
    std::size_t cursor = version == 1 ? 8 : 2;
    std::vector<Filter> filters;
    while (filters.size() < declared && fits(m.size(), cursor, 2)) {
        const auto id = static_cast<std::uint16_t>(le_uint_unchecked(m, cursor, 2));
        cursor += 2;
        std::uint64_t name_length = 0;
        if (version == 1 || id >= kFirstUnreservedId) {
            const auto length = le_uint(m, cursor, 2);
            if (!length) return malformed();
            name_length = *length;
            cursor += 2;
        }
        // Version 1 pads the name to a multiple of 8; version 2 stores it as is.
        if (version == 1) name_length = (name_length + 7) / 8 * 8;
        const auto value_count = le_uint(m, cursor + 2, 2);  // after the flags
        if (!value_count) return malformed();
        cursor += 4;
        if (!fits(m.size(), cursor, name_length)) return malformed();
        cursor += name_length;
        std::uint64_t values_size = 4 * *value_count;
        if (version == 1 && *value_count % 2 == 1) values_size += 4;
        if (!fits(m.size(), cursor, 4 * *value_count)) return malformed();
        std::vector<std::uint32_t> values;
        for (std::size_t i = 0; i < *value_count; ++i)
            values.push_back(static_cast<std::uint32_t>(le_uint_unchecked(m, cursor + 4 * i, 4)));
        cursor += values_size;
        filters.push_back(make_filter(id, values));
    }
    if (filters.size() < declared) return malformed();
    return filters;
}

}  // namespace tarq::hdf5
