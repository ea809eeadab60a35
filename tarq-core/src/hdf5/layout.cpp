#include "hdf5/layout.h"

#include <limits>
#include <string>

namespace tarq::hdf5 {

namespace {

constexpr std::uint8_t kContiguous = 1;
constexpr std::uint8_t kChunked = 2;

std::unexpected<TarqError> malformed_chunked() { return netcdf_error("Chunked layout message malformed"); }

// Dimensionality d counts the dataset's dimensions plus the element size,
// which is stored last; only the first d - 1 sizes are chunk dimensions.
Result<ChunkedLayout> chunked_from_sizes(std::uint8_t d, const std::vector<std::uint64_t>& sizes,
                                         std::uint64_t index_address) {
    if (d < 2) return malformed_chunked();
    ChunkedLayout chunked;
    chunked.dimensionality = d;
    chunked.btree_address = index_address;
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) {
        if (sizes[i] == 0) return netcdf_error("Chunk dimension of size 0");
        if (sizes[i] > std::numeric_limits<std::uint32_t>::max()) return malformed_chunked();
        chunked.chunk_dims.push_back(static_cast<std::uint32_t>(sizes[i]));
    }
    return chunked;
}

// Version 3: dimensionality, v1 B-tree address, d sizes of 4 bytes.
Result<StorageLayout> chunked_v3(ByteSpan m) {
    if (m.size() < 3) return malformed_chunked();
    const std::uint8_t d = m[2];
    if (!fits(m.size(), 11, 4 * std::uint64_t{d})) return malformed_chunked();
    std::vector<std::uint64_t> sizes;
    for (std::size_t i = 0; i < d; ++i) sizes.push_back(le_uint_unchecked(m, 11 + 4 * i, 4));
    TARQ_TRY(ChunkedLayout chunked, chunked_from_sizes(d, sizes, le_uint_unchecked(m, 3, 8)));
    return chunked;
}

// Bytes of the indexing information between the index type and the index
// address, by chunk index type.
std::optional<std::size_t> index_info_size(std::uint8_t index_type, std::uint8_t flags) {
    switch (index_type) {
        case 1: return (flags & 0x02) ? 12 : 0;  // single chunk: filtered size and mask
        case 2: return 0;                         // implicit
        case 3: return 1;                         // fixed array
        case 4: return 5;                         // extensible array
        case 5: return 6;                         // version 2 B-tree
        default: return std::nullopt;
    }
}

// Version 4: flags, dimensionality, width of the sizes, the sizes, then the
// chunk index type, its parameters and the index address.
Result<StorageLayout> chunked_v4(ByteSpan m) {
    if (m.size() < 5) return malformed_chunked();
    const std::uint8_t flags = m[2];
    const std::uint8_t d = m[3];
    const std::size_t width = m[4];
    if (width < 1 || width > 8 || !fits(m.size(), 5, width * d + 1)) return malformed_chunked();
    std::vector<std::uint64_t> sizes;
    for (std::size_t i = 0; i < d; ++i) sizes.push_back(le_uint_unchecked(m, 5 + width * i, width));
    const std::size_t type_at = 5 + width * d;
    const auto info_size = index_info_size(m[type_at], flags);
    if (!info_size) return netcdf_error("Unsupported chunk index type " + std::to_string(m[type_at]));
    const auto address = le_uint(m, type_at + 1 + *info_size, 8);
    if (!address) return malformed_chunked();
    TARQ_TRY(ChunkedLayout chunked, chunked_from_sizes(d, sizes, *address));
    chunked.index = static_cast<ChunkIndex>(m[type_at]);
    if (chunked.index == ChunkIndex::SingleChunk && (flags & 0x02)) {
        chunked.single_chunk_filtered = true;
        chunked.single_chunk_size = le_uint_unchecked(m, type_at + 1, 8);
        chunked.single_chunk_mask = static_cast<std::uint32_t>(le_uint_unchecked(m, type_at + 9, 4));
    }
    return chunked;
}

Result<StorageLayout> contiguous(ByteSpan m, const char* too_short) {
    if (m.size() < 18) return netcdf_error(too_short);
    return ContiguousLayout{le_uint_unchecked(m, 2, 8), le_uint_unchecked(m, 10, 8)};
}

}  // namespace

Result<StorageLayout> parse_layout(ByteSpan message) {
    if (message.size() <= 1) return netcdf_error("Layout message too short");
    const std::uint8_t version = message[0];
    const std::uint8_t layout_class = message[1];
    if (version == 3 && layout_class == kContiguous) return contiguous(message, "Contiguous layout too short");
    if (version == 3 && layout_class == kChunked) return chunked_v3(message);
    if (version == 4 && layout_class == kContiguous) return contiguous(message, "Contiguous layout v4 too short");
    // Version 5 (HDF5 2.0) has version 4's fields.
    if ((version == 4 || version == 5) && layout_class == kChunked) return chunked_v4(message);
    if (version == 5 && layout_class == kContiguous) return contiguous(message, "Contiguous layout v4 too short");
    // Versions 1 and 2 and the compact and virtual classes read as no data;
    // a newer version than 5 may encode anything and is refused.
    if (version > 5) return netcdf_error("Unsupported layout version " + std::to_string(version));
    return ContiguousLayout{};
}

}  // namespace tarq::hdf5
