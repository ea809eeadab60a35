#include "hdf5/chunk_index.h"

#include <algorithm>
#include <bit>
#include <string>

#include "hdf5/btree_v2.h"
#include "hdf5/bytes.h"
#include "hdf5/dataspace.h"

namespace tarq::hdf5 {

namespace {

constexpr std::uint64_t kMaxChunkBytes = 0xFFFFFFFFull;

std::unexpected<TarqError> malformed(const std::string& what, std::uint64_t address) {
    return netcdf_error("Malformed " + what + " at " + hex_address(address));
}

Result<Bytes> read_block(const FileReader& file, std::uint64_t address, std::uint64_t size, const char (&signature)[5],
                         const char* what) {
    TARQ_TRY(Bytes bytes, file.read_at(address, size));
    if (!has_signature(bytes, signature))
        return netcdf_error(std::string("Expected ") + signature + " (" + what + ") at " + hex_address(address) +
                            ", got " + byte_list(ByteSpan(bytes).first(4)));
    return bytes;
}

// The grid of chunks: chunks per dimension, over the maximum sizes where
// they are fixed (the index is laid out for those) and the current ones
// where a dimension is unlimited.
struct ChunkGrid {
    std::vector<std::uint64_t> counts;
    std::vector<std::uint32_t> chunk;
    std::uint64_t total = 1;
    std::uint64_t chunk_bytes = 0;  // an unfiltered chunk

    // Element offsets of the chunk at row-major position `index`, then 0.
    [[nodiscard]] std::vector<std::uint64_t> offsets_of(std::uint64_t index) const {
        std::vector<std::uint64_t> offsets(counts.size() + 1, 0);
        for (std::size_t k = counts.size(); k > 0; --k) {
            offsets[k - 1] = index % counts[k - 1] * chunk[k - 1];
            index /= counts[k - 1];
        }
        return offsets;
    }
};

Result<ChunkGrid> chunk_grid(const DatasetInfo& info, const ChunkedLayout& layout) {
    ChunkGrid grid;
    grid.chunk = layout.chunk_dims;
    std::optional<std::uint64_t> total = 1;
    for (std::size_t k = 0; k < info.dims.size(); ++k) {
        const bool fixed_max = k < info.max_dims.size() && info.max_dims[k] != UNDEFINED_ADDRESS;
        const std::uint64_t extent = fixed_max ? std::max(info.max_dims[k], info.dims[k]) : info.dims[k];
        const std::uint64_t count = extent / layout.chunk_dims[k] + (extent % layout.chunk_dims[k] != 0);
        grid.counts.push_back(std::max<std::uint64_t>(count, 1));
        total = total ? checked_mul(*total, grid.counts.back()) : std::nullopt;
    }
    std::uint64_t bytes = element_size(info.datatype.type);
    for (const std::uint32_t c : layout.chunk_dims) bytes = checked_mul(bytes, c).value_or(kMaxChunkBytes + 1);
    if (!total || bytes > kMaxChunkBytes) return netcdf_error("Chunk grid too large");
    grid.total = *total;
    grid.chunk_bytes = bytes;
    return grid;
}

// One element of a fixed or extensible array: the chunk address, then for
// filtered chunks (client 1) its stored size, of the width the element
// leaves for it, and its filter mask.
Result<ChunkRecord> chunk_element(ByteSpan element, bool filtered, const ChunkGrid& grid, std::uint64_t index,
                                  std::uint64_t at) {
    ChunkRecord record;
    record.offsets = grid.offsets_of(index);
    record.address = le_uint_unchecked(element, 0, 8);
    if (!filtered) {
        record.size = static_cast<std::uint32_t>(grid.chunk_bytes);
        return record;
    }
    const std::size_t width = element.size() - 12;
    const std::uint64_t size = le_uint_unchecked(element, 8, width);
    if (size > kMaxChunkBytes) return malformed("chunk index element", at);
    record.size = static_cast<std::uint32_t>(size);
    record.filter_mask = static_cast<std::uint32_t>(le_uint_unchecked(element, 8 + width, 4));
    return record;
}

Result<void> check_element_size(std::uint8_t client, std::uint64_t element_size, std::uint64_t address) {
    const bool valid = client == 0 ? element_size == 8 : (client == 1 && element_size > 12 && element_size <= 20);
    if (!valid) return malformed("chunk index header", address);
    return {};
}

// Appends the chunks of `count` elements held in `bytes`, from `first` on.
Result<void> append_elements(ByteSpan bytes, std::uint64_t count, std::uint64_t element_size, bool filtered,
                             const ChunkGrid& grid, std::uint64_t first, std::uint64_t at,
                             std::vector<ChunkRecord>& out) {
    for (std::uint64_t i = 0; i < count && first + i < grid.total; ++i) {
        TARQ_TRY(ChunkRecord record,
                 chunk_element(bytes.subspan(i * element_size, element_size), filtered, grid, first + i, at));
        if (record.address != UNDEFINED_ADDRESS) out.push_back(std::move(record));
    }
    return {};
}

// Fixed array (HDF5 format III.I): header "FAHD", one data block "FADB",
// split into pages of 2^page_bits elements when it holds more.
Result<std::vector<ChunkRecord>> fixed_array(const FileReader& file, std::uint64_t address, const ChunkGrid& grid) {
    TARQ_TRY(const Bytes header, read_block(file, address, 28, "FAHD", "fixed array header"));
    const std::uint8_t client = header[5];
    const std::uint64_t element_size = header[6];
    const unsigned page_bits = header[7];
    const std::uint64_t count = le_uint_unchecked(header, 8, 8);
    const std::uint64_t block = le_uint_unchecked(header, 16, 8);
    IO_CHECK(check_element_size(client, element_size, address));
    std::vector<ChunkRecord> records;
    if (block == UNDEFINED_ADDRESS || count == 0) return records;
    const auto all = checked_mul(count, element_size);
    if (page_bits == 0 || page_bits > 32 || !all || *all > file.size()) return malformed("fixed array header", address);
    constexpr std::uint64_t kPrefix = 14;  // signature, version, client, header address
    TARQ_TRY(const Bytes prefix, read_block(file, block, kPrefix, "FADB", "fixed array data block"));
    const std::uint64_t page_elements = std::uint64_t{1} << page_bits;
    if (count <= page_elements) {
        TARQ_TRY(const Bytes elements, file.read_at(block + kPrefix, *all));
        IO_CHECK(append_elements(elements, count, element_size, client == 1, grid, 0, block, records));
        return records;
    }
    // Paged: a bitmap of initialised pages (first page in the high bit), the
    // block's checksum, then each page's elements and checksum.
    const std::uint64_t pages = (count + page_elements - 1) / page_elements;
    TARQ_TRY(const Bytes bitmap, file.read_at(block + kPrefix, (pages + 7) / 8));
    std::uint64_t page_at = block + kPrefix + bitmap.size() + 4;
    for (std::uint64_t p = 0; p < pages; ++p) {
        const std::uint64_t n = std::min(page_elements, count - p * page_elements);
        if (bitmap[p / 8] & (0x80u >> (p % 8))) {
            TARQ_TRY(const Bytes elements, file.read_at(page_at, n * element_size));
            IO_CHECK(append_elements(elements, n, element_size, client == 1, grid, p * page_elements, page_at, records));
        }
        page_at += n * element_size + 4;
    }
    return records;
}

// Extensible array (HDF5 format III.H): header "EAHD"; an index block "EAIB"
// holding the first elements, the addresses of the first data blocks and
// those of the super blocks "EASB", which hold the addresses of the rest.
// Super block u has 2^(u/2) data blocks of 2^((u+1)/2) * (data block
// minimum) elements each.
class ExtensibleArray {
public:
    ExtensibleArray(const FileReader& file, const ChunkGrid& grid) : file_(file), grid_(grid) {}

    Result<std::vector<ChunkRecord>> collect(std::uint64_t address) {
        TARQ_TRY(const Bytes header, read_block(file_, address, 72, "EAHD", "extensible array header"));
        client_ = header[5];
        element_size_ = header[6];
        const unsigned max_bits = header[7];
        const std::uint64_t index_elements = header[8];
        min_elements_ = header[9];
        const std::uint64_t min_pointers = header[10];
        page_bits_ = header[11];
        limit_ = std::min(le_uint_unchecked(header, 44, 8), grid_.total);
        const std::uint64_t index_block = le_uint_unchecked(header, 60, 8);
        IO_CHECK(check_element_size(client_, element_size_, address));
        if (max_bits == 0 || max_bits > 64 || !std::has_single_bit(min_elements_) ||
            !std::has_single_bit(min_pointers) || std::bit_width(min_elements_) - 1 > max_bits)
            return malformed("extensible array header", address);
        if (index_block == UNDEFINED_ADDRESS || limit_ == 0) return std::move(records_);
        offset_width_ = (max_bits + 7) / 8;
        const auto super_blocks = static_cast<unsigned>(1 + max_bits - (std::bit_width(min_elements_) - 1));
        const auto direct_super_blocks = static_cast<unsigned>(2 * (std::bit_width(min_pointers) - 1));
        const std::uint64_t direct_blocks = 2 * (min_pointers - 1);
        const std::uint64_t indirect = super_blocks > direct_super_blocks ? super_blocks - direct_super_blocks : 0;

        const std::uint64_t size = 14 + index_elements * element_size_ + 8 * (direct_blocks + indirect);
        TARQ_TRY(const Bytes block, read_block(file_, index_block, size, "EAIB", "extensible array index block"));
        const ByteSpan bytes(block);
        IO_CHECK(append(bytes.subspan(14, index_elements * element_size_), index_elements, index_block));
        const std::size_t blocks_at = 14 + index_elements * element_size_;
        std::uint64_t next_block = 0;  // of the direct data block addresses
        for (unsigned u = 0; u < super_blocks && next_ < limit_; ++u) {
            const std::uint64_t count = std::uint64_t{1} << (u / 2);
            const std::uint64_t elements = (std::uint64_t{1} << ((u + 1) / 2)) * min_elements_;
            if (u < direct_super_blocks) {
                for (std::uint64_t b = 0; b < count && next_ < limit_; ++b, ++next_block) {
                    if (next_block >= direct_blocks) return malformed("extensible array index block", index_block);
                    IO_CHECK(data_block(le_uint_unchecked(bytes, blocks_at + 8 * next_block, 8), elements));
                }
                continue;
            }
            const std::uint64_t super = le_uint_unchecked(bytes, blocks_at + 8 * (direct_blocks + u - direct_super_blocks), 8);
            IO_CHECK(super_block(super, count, elements));
        }
        return std::move(records_);
    }

private:
    // Elements of blocks never written are skipped, their indices counted.
    Result<void> append(ByteSpan bytes, std::uint64_t count, std::uint64_t at) {
        const std::uint64_t n = std::min(count, limit_ - std::min(limit_, next_));
        IO_CHECK(append_elements(bytes, n, element_size_, client_ == 1, grid_, next_, at, records_));
        next_ += count;
        return {};
    }

    Result<void> data_block(std::uint64_t address, std::uint64_t elements) {
        if (address == UNDEFINED_ADDRESS) {
            next_ += elements;
            return {};
        }
        if (page_bits_ < 64 && elements > (std::uint64_t{1} << page_bits_))
            return netcdf_error("Unsupported paged extensible array data block at " + hex_address(address));
        const auto size = checked_mul(elements, element_size_);
        if (!size || *size > file_.size()) return malformed("extensible array data block", address);
        const std::uint64_t prefix = 14 + offset_width_;
        TARQ_TRY(const Bytes block, read_block(file_, address, prefix + *size, "EADB", "extensible array data block"));
        return append(ByteSpan(block).subspan(prefix), elements, address);
    }

    Result<void> super_block(std::uint64_t address, std::uint64_t blocks, std::uint64_t elements) {
        if (address == UNDEFINED_ADDRESS) {
            const auto skipped = checked_mul(blocks, elements);
            next_ = skipped ? checked_add(next_, *skipped).value_or(limit_) : limit_;
            return {};
        }
        if (page_bits_ < 64 && elements > (std::uint64_t{1} << page_bits_))
            return netcdf_error("Unsupported paged extensible array data block in " + hex_address(address));
        const std::uint64_t prefix = 14 + offset_width_;
        if (blocks > file_.size() / 8) return malformed("extensible array super block", address);
        TARQ_TRY(const Bytes block, read_block(file_, address, prefix + 8 * blocks, "EASB", "extensible array super block"));
        for (std::uint64_t b = 0; b < blocks && next_ < limit_; ++b)
            IO_CHECK(data_block(le_uint_unchecked(block, prefix + 8 * b, 8), elements));
        return {};
    }

    const FileReader& file_;
    const ChunkGrid& grid_;
    std::vector<ChunkRecord> records_;
    std::uint8_t client_ = 0;
    std::uint64_t element_size_ = 8;
    std::uint64_t min_elements_ = 1;
    unsigned page_bits_ = 0;
    unsigned offset_width_ = 1;
    std::uint64_t limit_ = 0;  // elements that can hold chunks
    std::uint64_t next_ = 0;   // index of the next element
};

// Version 2 B-tree of chunk records (types 10 and 11): address, for type 11
// the stored size and filter mask, then the chunk's scaled offsets.
Result<std::vector<ChunkRecord>> btree_v2_chunks(const FileReader& file, std::uint64_t address,
                                                 const ChunkGrid& grid, bool filtered) {
    TARQ_TRY(const Bytes header, read_block(file, address, 16, "BTHD", "B-tree v2 header"));
    const std::uint8_t type = header[5];
    const std::uint64_t record_size = le_uint_unchecked(header, 10, 2);
    const std::uint64_t rank = grid.counts.size();
    const std::uint64_t fixed = 8 + 8 * rank + (type == 11 ? 4 : 0);
    const bool sized = type == 11 ? record_size > fixed && record_size - fixed <= 8 : record_size == fixed;
    if ((type != 10 && type != 11) || (type == 11) != filtered || !sized)
        return malformed("chunk B-tree v2 header", address);
    const std::uint64_t size_width = type == 11 ? record_size - fixed : 0;
    TARQ_TRY(const std::vector<Bytes> raw, collect_btree2_records(file, address));
    std::vector<ChunkRecord> records;
    for (const Bytes& r : raw) {
        if (r.size() != record_size) return malformed("chunk B-tree v2 record", address);
        ChunkRecord record;
        record.address = le_uint_unchecked(r, 0, 8);
        record.size = static_cast<std::uint32_t>(grid.chunk_bytes);
        std::size_t at = 8;
        if (type == 11) {
            const std::uint64_t size = le_uint_unchecked(r, 8, size_width);
            if (size > kMaxChunkBytes) return malformed("chunk B-tree v2 record", address);
            record.size = static_cast<std::uint32_t>(size);
            record.filter_mask = static_cast<std::uint32_t>(le_uint_unchecked(r, 8 + size_width, 4));
            at += size_width + 4;
        }
        for (std::uint64_t k = 0; k < rank; ++k) {
            const auto offset = checked_mul(le_uint_unchecked(r, at + 8 * k, 8), grid.chunk[k]);
            if (!offset) return malformed("chunk B-tree v2 record", address);
            record.offsets.push_back(*offset);
        }
        record.offsets.push_back(0);
        if (record.address != UNDEFINED_ADDRESS) records.push_back(std::move(record));
    }
    return records;
}

}  // namespace

Result<std::vector<ChunkRecord>> collect_chunk_records(const FileReader& file, const DatasetInfo& info,
                                                       const ChunkedLayout& layout) {
    if (layout.index == ChunkIndex::BtreeV1) return collect_chunks(file, layout.btree_address, layout.dimensionality);
    TARQ_TRY(const ChunkGrid grid, chunk_grid(info, layout));
    const std::uint64_t address = layout.btree_address;
    const bool filtered = !info.filters.empty();
    switch (layout.index) {
        case ChunkIndex::SingleChunk: {
            ChunkRecord record{grid.offsets_of(0), address, static_cast<std::uint32_t>(grid.chunk_bytes), 0};
            if (layout.single_chunk_filtered) {
                if (layout.single_chunk_size > kMaxChunkBytes) return netcdf_error("Single chunk too large");
                record.size = static_cast<std::uint32_t>(layout.single_chunk_size);
                record.filter_mask = layout.single_chunk_mask;
            }
            return std::vector<ChunkRecord>{record};
        }
        case ChunkIndex::Implicit: {
            // Unfiltered chunks of full size, one after another in grid order.
            const auto span = checked_mul(grid.total, grid.chunk_bytes);
            const auto end = span ? checked_add(address, *span) : std::nullopt;
            if (!end || *end > file.size()) return netcdf_error("failed to fill whole buffer");
            std::vector<ChunkRecord> records;
            for (std::uint64_t i = 0; i < grid.total; ++i)
                records.push_back({grid.offsets_of(i), address + i * grid.chunk_bytes,
                                   static_cast<std::uint32_t>(grid.chunk_bytes), 0});
            return records;
        }
        case ChunkIndex::FixedArray: return fixed_array(file, address, grid);
        case ChunkIndex::ExtensibleArray: {
            // The array's index runs slowest along the unlimited dimension,
            // which netCDF puts first; elsewhere it would be reordered.
            for (std::size_t k = 1; k < info.max_dims.size(); ++k)
                if (info.max_dims[k] == UNDEFINED_ADDRESS)
                    return netcdf_error("Unsupported extensible array over unlimited dimension " + std::to_string(k));
            return ExtensibleArray(file, grid).collect(address);
        }
        case ChunkIndex::BtreeV2: return btree_v2_chunks(file, address, grid, filtered);
        case ChunkIndex::BtreeV1: break;
    }
    return netcdf_error("Unsupported chunk index");
}

}  // namespace tarq::hdf5
