#include "hdf5/group_links.h"

#include <vector>

#include "hdf5/btree_v2.h"
#include "hdf5/bytes.h"
#include "hdf5/dataset_info.h"
#include "hdf5/fractal_heap.h"
#include "hdf5/link_message.h"
#include "hdf5/object_header.h"

namespace tarq::hdf5 {

namespace {

// Link Info message (HDF5 format IV.A.2.c): where dense links are stored.
struct LinkInfo {
    std::uint64_t heap_address = UNDEFINED_ADDRESS;
    std::uint64_t btree_address = UNDEFINED_ADDRESS;
};

void parse_link_info(ByteSpan data, LinkInfo& info) {
    if (data.size() < 2) return;
    const std::size_t heap_at = 2 + ((data[1] & 0x01) ? 8 : 0);
    if (const auto heap = le_uint(data, heap_at, 8); heap && *heap != UNDEFINED_ADDRESS)
        info.heap_address = *heap;
    if (const auto btree = le_uint(data, heap_at + 8, 8); btree && *btree != UNDEFINED_ADDRESS)
        info.btree_address = *btree;
}

}  // namespace

Result<MemberTable> read_link_messages(const FileReader& file, std::uint64_t address, bool v2_header) {
    MemberTable members;
    LinkInfo info;
    const auto walk = v2_header ? walk_v2_object_header : walk_object_header;
    IO_CHECK(walk(file, address, [&](std::uint16_t type, std::uint8_t, ByteSpan data) -> Result<void> {
        if (type == message_type::kLinkInfo) parse_link_info(data, info);
        if (type == message_type::kLink) {
            if (auto link = parse_link_message(data)) members.insert_or_assign(std::move(link->name), link->address);
        }
        return {};
    }));
    if (info.heap_address != UNDEFINED_ADDRESS && info.btree_address != UNDEFINED_ADDRESS) {
        TARQ_TRY(MemberTable dense, read_dense_links(file, info.heap_address, info.btree_address));
        for (auto& [name, target] : dense) members.insert_or_assign(name, target);
    }
    return members;
}

Result<MemberTable> read_dense_links(const FileReader& file, std::uint64_t heap_address,
                                     std::uint64_t btree_address) {
    TARQ_TRY(const FractalHeap heap, read_fractal_heap(file, heap_address));
    TARQ_TRY(const std::vector<Bytes> ids, collect_btree2_records(file, btree_address));
    MemberTable members;
    // A heap object that cannot be read fails the lookup with its reason; a
    // link of a kind not followed (soft, external) is left out as before.
    for (const Bytes& id : ids) {
        TARQ_TRY(const Bytes object, heap_object(file, heap, id));
        if (auto link = parse_link_message(object)) members.insert_or_assign(std::move(link->name), link->address);
    }
    return members;
}

}  // namespace tarq::hdf5
