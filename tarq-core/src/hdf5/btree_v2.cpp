#include "hdf5/btree_v2.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <string>
#include <unordered_set>

#include "hdf5/checksum.h"
#include "hdf5/dataset_info.h"

namespace tarq::hdf5 {

namespace {

// Signature, version, type and checksum of every node.
constexpr std::uint64_t kNodePrefix = 10;
constexpr std::uint64_t kRecordsStart = 6;

// Version 2 B-tree header (HDF5 format III.A.2).
struct Btree2Header {
    std::uint8_t type = 0;
    std::uint32_t node_size = 0;
    std::uint16_t record_size = 0;
    std::uint16_t depth = 0;
    std::uint64_t root_address = UNDEFINED_ADDRESS;
    std::uint16_t root_records = 0;
    std::uint64_t total_records = 0;
};

// Bytes that hold any count up to `max_count`, as libhdf5 sizes them.
unsigned count_field_size(std::uint64_t max_count) {
    const int log2 = max_count == 0 ? 0 : std::bit_width(max_count) - 1;
    return static_cast<unsigned>(log2 / 8 + 1);
}

// Widths of the fields of an internal node's child pointers. The child's
// record count is sized for the most records a leaf can hold; below depth 1
// each pointer also carries the child's total record count, sized for the most
// records a subtree of the child's depth can hold.
struct PointerLayout {
    unsigned count_size = 1;                // per pointer: records in the child
    std::vector<unsigned> total_size;       // by node depth: subtree total field
};

PointerLayout pointer_layout(const Btree2Header& header) {
    constexpr std::uint64_t kSaturated = std::numeric_limits<std::uint64_t>::max();
    PointerLayout layout;
    const std::uint64_t leaf_max = (header.node_size - kNodePrefix) / header.record_size;
    layout.count_size = count_field_size(leaf_max);
    layout.total_size.assign(header.depth + 1u, 0);
    std::uint64_t cumulative = leaf_max;  // most records under a node of the depth below
    unsigned cumulative_size = count_field_size(cumulative);
    for (unsigned depth = 1; depth <= header.depth; ++depth) {
        const unsigned total = depth > 1 ? cumulative_size : 0;
        layout.total_size[depth] = total;
        const std::uint64_t pointer = 8u + layout.count_size + total;
        const std::uint64_t space = header.node_size > kNodePrefix + pointer ? header.node_size - kNodePrefix - pointer : 0;
        const std::uint64_t node_max = space / (header.record_size + pointer);
        const auto grown = checked_mul(node_max + 1, cumulative);
        const auto next = grown ? checked_add(*grown, node_max) : std::nullopt;
        cumulative = next.value_or(kSaturated);
        cumulative_size = count_field_size(cumulative);
    }
    return layout;
}

Result<Btree2Header> read_header(const FileReader& file, std::uint64_t address) {
    TARQ_TRY(const Bytes signature, file.read_at(address, 4));
    if (!has_signature(signature, "BTHD")) return netcdf_error("Expected BTHD at " + hex_address(address));
    TARQ_TRY(const Bytes fields, file.read_at(address, 38));
    IO_CHECK(verify_checksum(fields, "B-tree v2 header", address));
    Btree2Header header;
    header.type = fields[5];
    header.node_size = static_cast<std::uint32_t>(le_uint_unchecked(fields, 6, 4));
    header.record_size = static_cast<std::uint16_t>(le_uint_unchecked(fields, 10, 2));
    header.depth = static_cast<std::uint16_t>(le_uint_unchecked(fields, 12, 2));
    header.root_address = le_uint_unchecked(fields, 16, 8);
    header.root_records = static_cast<std::uint16_t>(le_uint_unchecked(fields, 24, 2));
    header.total_records = le_uint_unchecked(fields, 26, 8);
    // A tree deeper than 64 levels would hold more than 2^64 records.
    if (header.record_size == 0 || header.node_size <= kNodePrefix || header.depth > 64)
        return netcdf_error("Invalid B-tree v2 parameters at " + hex_address(address));
    return header;
}

// The heap-ID part of a record, by tree type.
ByteSpan heap_id_part(std::uint8_t type, ByteSpan record) {
    const std::size_t r = record.size();
    switch (type) {
        case 5: return record.subspan(std::min<std::size_t>(4, r));
        case 6: return record.subspan(std::min<std::size_t>(8, r));
        case 8: return record.first(r > 9 ? r - 9 : 0);
        case 9: return record.first(r > 5 ? r - 5 : 0);
        default: return record;
    }
}

struct PendingNode {
    std::uint64_t address;
    unsigned depth;
    std::uint64_t records;
};

}  // namespace

Result<std::vector<Bytes>> collect_btree2_records(const FileReader& file, std::uint64_t address) {
    TARQ_TRY(const Btree2Header header, read_header(file, address));
    std::vector<Bytes> ids;
    if (header.root_address == UNDEFINED_ADDRESS || header.total_records == 0) return ids;
    const PointerLayout layout = pointer_layout(header);
    const std::uint64_t r = header.record_size;

    std::unordered_set<std::uint64_t> seen;
    std::vector<PendingNode> stack{{header.root_address, header.depth, header.root_records}};
    while (!stack.empty()) {
        const PendingNode node = stack.back();
        stack.pop_back();
        if (!seen.insert(node.address).second)
            return netcdf_error("B-tree v2 cycle at " + hex_address(node.address));
        TARQ_TRY(const Bytes bytes, file.read_at(node.address, header.node_size));
        const bool internal = node.depth > 0;
        if (internal && !has_signature(bytes, "BTIN"))
            return netcdf_error("Expected BTIN at " + hex_address(node.address) + ", got " +
                                byte_list(ByteSpan(bytes).first(4)));
        if (!internal && !has_signature(bytes, "BTLF"))
            return netcdf_error("Expected BTLF at " + hex_address(node.address));

        const std::uint64_t pointer_size =
            internal ? 8u + layout.count_size + layout.total_size[node.depth] : 0;
        const std::uint64_t pointers = internal ? node.records + 1 : 0;
        // The node's checksum follows its records and child pointers.
        const auto record_bytes = checked_mul(node.records, r);
        const auto pointer_bytes = checked_mul(pointers, pointer_size);
        const auto counted = record_bytes && pointer_bytes ? checked_add(*record_bytes, *pointer_bytes) : std::nullopt;
        const std::uint64_t used = counted ? kRecordsStart + *counted : ~std::uint64_t{0};
        if (!counted || *counted > bytes.size() || used + 4 > bytes.size())
            return netcdf_error("B-tree v2 node at " + hex_address(node.address) +
                                " claims more records than it holds");
        IO_CHECK(verify_checksum(ByteSpan(bytes).first(used + 4), internal ? "B-tree v2 internal node"
                                                                              : "B-tree v2 leaf node",
                                   node.address));
        for (std::uint64_t i = 0; i < node.records; ++i) {
            const ByteSpan id = heap_id_part(header.type, ByteSpan(bytes).subspan(kRecordsStart + i * r, r));
            if (std::any_of(id.begin(), id.end(), [](std::uint8_t b) { return b != 0; }))
                ids.emplace_back(id.begin(), id.end());
        }
        // Children are pushed last first so that they are walked in order.
        for (std::uint64_t i = pointers; i > 0; --i) {
            const std::uint64_t at = kRecordsStart + node.records * r + (i - 1) * pointer_size;
            const std::uint64_t child = le_uint_unchecked(bytes, at, 8);
            const std::uint64_t child_records = le_uint_unchecked(bytes, at + 8, layout.count_size);
            if (child != UNDEFINED_ADDRESS) stack.push_back({child, node.depth - 1, child_records});
        }
    }
    return ids;
}

}  // namespace tarq::hdf5
