#include "hdf5/fractal_heap.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <string>

#include "hdf5/checksum.h"
#include "hdf5/dataset_info.h"

namespace tarq::hdf5 {

namespace {

constexpr std::uint64_t kHeaderSize = 142;   // through the current row count
constexpr std::uint64_t kBlockPrefix = 13;   // signature, version, heap header address
constexpr std::uint64_t kLargestRowSize = std::numeric_limits<std::uint64_t>::max();

Result<void> check_doubling_table(const FractalHeap& heap, std::uint64_t address) {
    const bool valid = std::has_single_bit(heap.table_width) &&
                       std::has_single_bit(heap.starting_block_size) &&
                       std::has_single_bit(heap.max_direct_block_size) &&
                       heap.max_direct_block_size >= heap.starting_block_size &&
                       heap.max_heap_size >= 1 && heap.max_heap_size <= 64 &&
                       8u * heap.heap_id_length > heap.max_heap_size + 8u;
    if (!valid) return netcdf_error("Invalid fractal heap parameters at " + hex_address(address));
    return {};
}

void derive_doubling_table(FractalHeap& heap) {
    std::uint64_t size = heap.starting_block_size;
    for (unsigned row = 0; row < heap.max_heap_size; ++row) {
        if (row >= 2) size = size > kLargestRowSize / 2 ? kLargestRowSize : size * 2;
        heap.row_block_sizes.push_back(size);
    }
    while (heap.direct_rows < heap.row_block_sizes.size() &&
           heap.row_block_sizes[heap.direct_rows] <= heap.max_direct_block_size)
        ++heap.direct_rows;
    heap.offset_bits = heap.max_heap_size;
    heap.length_bits = 8u * heap.heap_id_length - heap.max_heap_size - 8u;
}

// `width` bits (at most 64) of the little-endian integer `bytes`, from bit `start`.
std::uint64_t bit_field(ByteSpan bytes, unsigned start, unsigned width) {
    std::uint64_t value = 0;
    for (unsigned bit = 0; bit < width && bit < 64; ++bit) {
        const std::uint64_t at = std::uint64_t{start} + bit;
        if (at / 8 >= bytes.size()) break;
        value |= std::uint64_t{(bytes[at / 8] >> (at % 8)) & 1u} << bit;
    }
    return value;
}

// A direct block's checksum covers the whole block with the checksum field
// itself as zeros; blocks of a filtered heap are stored compressed and are
// not checked here.
Result<void> verify_direct_block(const FileReader& file, const FractalHeap& heap, std::uint64_t block,
                                 std::uint64_t block_size) {
    if (!heap.checksummed_direct_blocks || heap.io_filter_length > 0) return {};
    const std::uint64_t field = kBlockPrefix + (heap.max_heap_size + 7u) / 8u;
    if (block_size < field + 4) return netcdf_error("Direct block at " + hex_address(block) + " is too small");
    TARQ_TRY(Bytes bytes, file.read_at(block, block_size));
    const auto stored = static_cast<std::uint32_t>(le_uint_unchecked(bytes, field, 4));
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(field), 4, std::uint8_t{0});
    if (metadata_checksum(bytes) != stored)
        return netcdf_error("Checksum mismatch in fractal heap direct block at " + hex_address(block) +
                            ": the file is corrupt");
    return {};
}

Result<Bytes> read_from_direct_block(const FileReader& file, const FractalHeap& heap, std::uint64_t block,
                                     std::uint64_t block_size, std::uint64_t offset_in_block,
                                     std::uint64_t length) {
    if (block == UNDEFINED_ADDRESS) return netcdf_error("Direct block at undefined address");
    TARQ_TRY(const Bytes signature, file.read_at(block, 4));
    if (!has_signature(signature, "FHDB"))
        return netcdf_error("Expected FHDB at " + hex_address(block) + ", got " + byte_list(signature));
    IO_CHECK(verify_direct_block(file, heap, block, block_size));
    const auto start = checked_add(block, offset_in_block);
    if (!start) return netcdf_error("failed to fill whole buffer");
    return file.read_at(*start, length);
}

// Where a heap offset falls in an indirect block of `rows` rows: the row and
// the heap offset at which that row's entry begins, relative to the block.
struct EntrySlot {
    std::uint64_t row;
    std::uint64_t column;
    std::uint64_t entry_start;
};

std::optional<EntrySlot> find_entry(const FractalHeap& heap, std::uint64_t rows, std::uint64_t relative) {
    std::uint64_t row_start = 0;
    for (std::uint64_t row = 0; row < rows; ++row) {
        const std::uint64_t block_size = heap.row_block_sizes[row];
        const auto row_span = checked_mul(block_size, heap.table_width);
        if (!row_span || relative - row_start < *row_span) {
            const std::uint64_t column = (relative - row_start) / block_size;
            if (column >= heap.table_width) return std::nullopt;
            return EntrySlot{row, column, row_start + column * block_size};
        }
        const auto next = checked_add(row_start, *row_span);
        if (!next) return std::nullopt;
        row_start = *next;
    }
    return std::nullopt;
}

// Rows of a child indirect block that spans `span` bytes of heap space:
// log2(span) - log2(starting block size * table width) + 1.
std::uint64_t child_indirect_rows(const FractalHeap& heap, std::uint64_t span) {
    const int first_row_bits = std::countr_zero(heap.starting_block_size) + std::countr_zero(heap.table_width);
    const int rows = std::bit_width(span) - 1 - first_row_bits + 1;
    return rows > 0 ? static_cast<std::uint64_t>(rows) : 0;
}

// An indirect block of `rows` rows: prefix, block offset, one entry per
// block of each row, then the checksum of all of them.
Result<void> verify_indirect_block(const FileReader& file, const FractalHeap& heap, std::uint64_t block,
                                   std::uint64_t rows) {
    const std::uint64_t direct_entry_size = heap.io_filter_length > 0 ? 20 : 8;
    const std::uint64_t direct_rows = std::min(rows, heap.direct_rows);
    const auto direct = checked_mul(direct_rows * heap.table_width, direct_entry_size);
    const auto indirect = checked_mul((rows - direct_rows) * heap.table_width, 8);
    const auto entries = direct && indirect ? checked_add(*direct, *indirect) : std::nullopt;
    const auto size = entries ? checked_add(*entries, kBlockPrefix + (heap.max_heap_size + 7u) / 8u + 4) : std::nullopt;
    if (!size) return netcdf_error("Indirect block at " + hex_address(block) + " claims too many entries");
    TARQ_TRY(const Bytes bytes, file.read_at(block, *size));
    return verify_checksum(bytes, "fractal heap indirect block", block);
}

// Finds the object at heap `offset` below the indirect block at `block`,
// descending into child indirect blocks. Each child has fewer rows than its
// parent, which bounds the descent.
Result<Bytes> read_from_indirect_block(const FileReader& file, const FractalHeap& heap,
                                       std::uint64_t block, std::uint64_t rows, std::uint64_t offset,
                                       std::uint64_t length) {
    const std::uint64_t offset_width = (heap.max_heap_size + 7u) / 8u;
    const std::uint64_t direct_entry_size = heap.io_filter_length > 0 ? 20 : 8;
    for (;;) {
        if (block == UNDEFINED_ADDRESS) return netcdf_error("Indirect block at undefined address");
        TARQ_TRY(const Bytes signature, file.read_at(block, 4));
        if (has_signature(signature, "FHDB"))
            return read_from_direct_block(file, heap, block, heap.starting_block_size, offset, length);
        if (!has_signature(signature, "FHIB"))
            return netcdf_error("Expected FHIB at " + hex_address(block) + ", got " + byte_list(signature));
        const std::string not_found =
            "Heap offset " + std::to_string(offset) + " not found in indirect block at " + hex_address(block);
        TARQ_TRY(const Bytes own, file.read_at(block + kBlockPrefix, offset_width));
        const std::uint64_t block_offset = le_uint_unchecked(own, 0, offset_width);
        rows = std::min<std::uint64_t>(rows, heap.row_block_sizes.size());
        if (offset < block_offset) return netcdf_error(not_found);
        const auto slot = find_entry(heap, rows, offset - block_offset);
        if (!slot) return netcdf_error(not_found);

        const std::uint64_t block_direct_rows = std::min(rows, heap.direct_rows);
        const bool direct = slot->row < block_direct_rows;
        std::uint64_t entry_at = kBlockPrefix + offset_width;
        if (direct) {
            entry_at += (slot->row * heap.table_width + slot->column) * direct_entry_size;
        } else {
            entry_at += block_direct_rows * heap.table_width * direct_entry_size +
                        ((slot->row - block_direct_rows) * heap.table_width + slot->column) * 8;
        }
        IO_CHECK(verify_indirect_block(file, heap, block, rows));
        TARQ_TRY(const std::uint64_t child, file.u64(block + entry_at));
        if (child == UNDEFINED_ADDRESS) return netcdf_error(not_found);
        if (direct)
            return read_from_direct_block(file, heap, child, heap.row_block_sizes[slot->row],
                                          offset - block_offset - slot->entry_start, length);
        const std::uint64_t child_rows = child_indirect_rows(heap, heap.row_block_sizes[slot->row]);
        if (child_rows == 0 || child_rows >= rows) return netcdf_error(not_found);
        block = child;
        rows = child_rows;
    }
}

}  // namespace

Result<FractalHeap> read_fractal_heap(const FileReader& file, std::uint64_t address) {
    TARQ_TRY(const Bytes header, file.read_at(address, 4));
    if (!has_signature(header, "FRHP")) return netcdf_error("Expected FRHP at " + hex_address(address));
    TARQ_TRY(const Bytes fields, file.read_at(address, kHeaderSize));
    FractalHeap heap;
    heap.heap_id_length = static_cast<std::uint16_t>(le_uint_unchecked(fields, 5, 2));
    heap.io_filter_length = static_cast<std::uint16_t>(le_uint_unchecked(fields, 7, 2));
    heap.table_width = static_cast<std::uint16_t>(le_uint_unchecked(fields, 110, 2));
    heap.starting_block_size = le_uint_unchecked(fields, 112, 8);
    heap.max_direct_block_size = le_uint_unchecked(fields, 120, 8);
    heap.max_heap_size = static_cast<std::uint16_t>(le_uint_unchecked(fields, 128, 2));
    heap.root_block_address = le_uint_unchecked(fields, 132, 8);
    heap.root_rows = static_cast<std::uint16_t>(le_uint_unchecked(fields, 140, 2));
    heap.huge_btree_address = le_uint_unchecked(fields, 22, 8);
    heap.checksummed_direct_blocks = (fields[9] & 0x02) != 0;
    // With an I/O filter the root block's filtered size, filter mask and the
    // filter pipeline come before the checksum.
    const std::uint64_t filter_info = heap.io_filter_length > 0 ? 12u + heap.io_filter_length : 0;
    TARQ_TRY(const Bytes whole, file.read_at(address, kHeaderSize + filter_info + 4));
    IO_CHECK(verify_checksum(whole, "fractal heap header", address));
    IO_CHECK(check_doubling_table(heap, address));
    derive_doubling_table(heap);
    return heap;
}

Result<Bytes> heap_object(const FileReader& file, const FractalHeap& heap, ByteSpan heap_id) {
    if (heap_id.empty()) return netcdf_error("Empty heap ID");
    const unsigned id_type = (heap_id[0] >> 4) & 3u;
    if (id_type == 1) return huge_heap_object(file, heap, heap_id);
    if (id_type == 2) return tiny_heap_object(heap, heap_id);
    if (id_type != 0) return netcdf_error("Non-managed heap ID type " + std::to_string(id_type));
    const ByteSpan fields = heap_id.subspan(1);
    const std::uint64_t offset = bit_field(fields, 0, heap.offset_bits);
    const std::uint64_t length = bit_field(fields, heap.offset_bits, heap.length_bits);
    if (length == 0) return netcdf_error("Zero-length heap ID");
    if (heap.root_rows == 0)
        return read_from_direct_block(file, heap, heap.root_block_address, heap.starting_block_size, offset, length);
    return read_from_indirect_block(file, heap, heap.root_block_address, heap.root_rows, offset, length);
}

}  // namespace tarq::hdf5
