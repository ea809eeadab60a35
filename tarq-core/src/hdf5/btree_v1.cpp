#include "hdf5/btree_v1.h"

#include <string>
#include <unordered_set>

#include "hdf5/bytes.h"
#include "hdf5/dataset_info.h"

namespace tarq::hdf5 {

namespace {

constexpr std::uint64_t kNodeHeaderSize = 24;  // "TREE", type, level, entries, two siblings

struct Node {
    std::uint64_t address;
    int expected_level;  // -1 for the root
};

struct NodeView {
    std::uint8_t level;
    std::uint16_t entries;
};

// Reads and checks a node's header. Levels must fall by one per step down, and
// no node may be visited twice, so a corrupt tree cannot loop.
Result<NodeView> read_node_header(const FileReader& file, const Node& node, std::uint8_t node_type,
                                  std::unordered_set<std::uint64_t>& seen) {
    TARQ_TRY(const Bytes header, file.read_at(node.address, 8));
    if (!has_signature(header, "TREE"))
        return netcdf_error("Expected TREE at " + hex_address(node.address) + ", got " +
                            byte_list(ByteSpan(header).first(4)));
    if (header[4] != node_type) {
        const std::string kind = node_type == 0 ? "0 (group)" : "1 (raw data chunks)";
        return netcdf_error("Expected B-tree v1 node_type=" + kind + ", got " + std::to_string(header[4]));
    }
    const NodeView view{header[5], static_cast<std::uint16_t>(le_uint_unchecked(header, 6, 2))};
    if (node.expected_level >= 0 && view.level != node.expected_level)
        return netcdf_error("B-tree v1 node at " + hex_address(node.address) + " has level " +
                            std::to_string(view.level) + ", expected " +
                            std::to_string(node.expected_level));
    if (!seen.insert(node.address).second)
        return netcdf_error("B-tree v1 cycle at " + hex_address(node.address));
    return view;
}

}  // namespace

Result<std::vector<std::uint64_t>> collect_group_nodes(const FileReader& file, std::uint64_t address) {
    std::vector<std::uint64_t> symbol_nodes;
    std::unordered_set<std::uint64_t> seen;
    std::vector<Node> stack{{address, -1}};
    while (!stack.empty()) {
        const Node node = stack.back();
        stack.pop_back();
        TARQ_TRY(const NodeView view, read_node_header(file, node, 0, seen));
        // Keys (8 bytes) and children alternate after the header; child i is
        // at 32 + 16 i.
        TARQ_TRY(const Bytes entries, file.read_at(node.address + kNodeHeaderSize, 16 * std::uint64_t{view.entries}));
        std::vector<std::uint64_t> children;
        for (std::size_t i = 0; i < view.entries; ++i) {
            const std::uint64_t child = le_uint_unchecked(entries, 8 + 16 * i, 8);
            if (child != UNDEFINED_ADDRESS) children.push_back(child);
        }
        if (view.level == 0) {
            symbol_nodes.insert(symbol_nodes.end(), children.begin(), children.end());
            continue;
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, view.level - 1});
    }
    return symbol_nodes;
}

Result<std::vector<ChunkRecord>> collect_chunks(const FileReader& file, std::uint64_t address,
                                                std::uint8_t dimensionality) {
    const std::uint64_t key_size = 8 + 8 * std::uint64_t{dimensionality};
    const std::uint64_t entry_size = key_size + 8;
    std::vector<ChunkRecord> records;
    std::unordered_set<std::uint64_t> seen;
    std::vector<Node> stack{{address, -1}};
    while (!stack.empty()) {
        const Node node = stack.back();
        stack.pop_back();
        TARQ_TRY(const NodeView view, read_node_header(file, node, 1, seen));
        TARQ_TRY(const Bytes entries,
                 file.read_at(node.address + kNodeHeaderSize, entry_size * view.entries));
        if (view.level > 0) {
            for (std::size_t i = view.entries; i > 0; --i)
                stack.push_back({le_uint_unchecked(entries, (i - 1) * entry_size + key_size, 8),
                                 view.level - 1});
            continue;
        }
        for (std::size_t i = 0; i < view.entries; ++i) {
            const std::size_t at = i * entry_size;
            ChunkRecord record;
            record.size = static_cast<std::uint32_t>(le_uint_unchecked(entries, at, 4));
            record.filter_mask = static_cast<std::uint32_t>(le_uint_unchecked(entries, at + 4, 4));
            for (std::size_t k = 0; k < dimensionality; ++k)
                record.offsets.push_back(le_uint_unchecked(entries, at + 8 + 8 * k, 8));
            record.address = le_uint_unchecked(entries, at + key_size, 8);
            records.push_back(std::move(record));
        }
    }
    return records;
}

}  // namespace tarq::hdf5
