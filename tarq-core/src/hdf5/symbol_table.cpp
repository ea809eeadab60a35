#include "hdf5/symbol_table.h"

#include <algorithm>

#include "hdf5/btree_v1.h"
#include "hdf5/bytes.h"
#include "hdf5/dataset_info.h"
#include "hdf5/local_heap.h"

namespace tarq::hdf5 {

namespace {

constexpr std::uint64_t kEntrySize = 40;  // symbol table entry (HDF5 format III.C)

// The NUL-terminated name at `offset` in the heap's data segment; empty when
// the offset lies outside it.
std::string heap_name(const Bytes& heap, std::uint64_t offset) {
    if (offset >= heap.size()) return {};
    const auto begin = heap.begin() + static_cast<std::ptrdiff_t>(offset);
    const auto end = std::find(begin, heap.end(), std::uint8_t{0});
    return utf8_lossy(ByteSpan(&*begin, static_cast<std::size_t>(end - begin)));
}

Result<void> read_symbol_node(const FileReader& file, std::uint64_t address, const Bytes& heap,
                              MemberTable& members) {
    TARQ_TRY(const Bytes signature, file.read_at(address, 4));
    if (!has_signature(signature, "SNOD"))
        return netcdf_error("Expected SNOD at " + hex_address(address) + ", got " + byte_list(signature));
    TARQ_TRY(const std::uint16_t symbols, file.u16(address + 6));
    TARQ_TRY(const Bytes entries, file.read_at(address + 8, kEntrySize * symbols));
    for (std::size_t j = 0; j < symbols; ++j) {
        const std::uint64_t name_offset = le_uint_unchecked(entries, kEntrySize * j, 8);
        const std::uint64_t header = le_uint_unchecked(entries, kEntrySize * j + 8, 8);
        if (header == UNDEFINED_ADDRESS) continue;
        std::string name = heap_name(heap, name_offset);
        if (!name.empty()) members.insert_or_assign(std::move(name), header);
    }
    return {};
}

}  // namespace

Result<MemberTable> read_symbol_table_group(const FileReader& file, std::uint64_t btree_address,
                                            std::uint64_t heap_address) {
    TARQ_TRY(const Bytes heap, read_local_heap_data(file, heap_address));
    TARQ_TRY(const std::vector<std::uint64_t> nodes, collect_group_nodes(file, btree_address));
    MemberTable members;
    for (const std::uint64_t node : nodes) IO_CHECK(read_symbol_node(file, node, heap, members));
    return members;
}

}  // namespace tarq::hdf5
