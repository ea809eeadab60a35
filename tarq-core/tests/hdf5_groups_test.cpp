// Old-style and new-style groups, Link messages, fractal heaps and version 2
// B-trees, on hand-made bytes.

#include <gtest/gtest.h>

#include <vector>

#include "hdf5/btree_v2.h"
#include "hdf5/fractal_heap.h"
#include "hdf5/hdf5_file.h"
#include "hdf5/link_message.h"
#include "hdf5/symbol_table.h"
#include "hdf5_test_bytes.h"

namespace tarq::testing {
namespace {

// --- Old-style groups -------------------------------------------------------

Image local_heap(std::uint64_t data_address, const Image& data) {
    return concat({text("HEAP"), fields({{0, 4}, {data.size(), 8}, {kUndefined, 8}, {data_address, 8}})});
}

Image group_node(std::uint8_t type, std::uint8_t level, std::initializer_list<std::uint64_t> children) {
    Image node = concat({text("TREE"), fields({{type, 1}, {level, 1}, {children.size(), 2}, {kUndefined, 8}, {kUndefined, 8}})});
    for (const std::uint64_t child : children) node = concat({node, fields({{0, 8}, {child, 8}})});
    return concat({node, fields({{0, 8}})});
}

Image symbol_node(std::initializer_list<std::pair<std::uint64_t, std::uint64_t>> entries) {
    Image node = concat({text("SNOD"), fields({{1, 1}, {0, 1}, {entries.size(), 2}})});
    for (const auto& [name_offset, header] : entries)
        node = concat({node, fields({{name_offset, 8}, {header, 8}, {0, 4}, {0, 4}}), Image(16, 0)});
    return node;
}

Result<hdf5::MemberTable> symbol_group(const Image& image, std::uint64_t btree, std::uint64_t heap) {
    const TempFile file(image);
    return hdf5::read_symbol_table_group(file.reader(), btree, heap);
}

TEST(Hdf5SymbolTable, NamesFromTheLocalHeap) {
    // Heap data: "" at 0, "alpha" at 1, "tail" at 7 without its NUL.
    const Image names = concat({Image{0}, text("alpha"), Image{0}, text("tail")});
    Image image(1024, 0);
    put_bytes(image, 0, local_heap(64, names));
    put_bytes(image, 64, names);
    put_bytes(image, 100, group_node(0, 0, {300, 500}));
    put_bytes(image, 300, symbol_node({{1, 1000}, {7, 1008}, {0, 1016}}));
    put_bytes(image, 500, symbol_node({{11, 1024}, {1, kUndefined}, {1, 1032}}));
    const auto members = symbol_group(image, 100, 0);
    ASSERT_TRUE(members) << members.error().message;
    // Empty name and a name offset past the segment are dropped; the later
    // "alpha" wins; an undefined address is dropped.
    EXPECT_EQ(*members, (hdf5::MemberTable{{"alpha", 1032}, {"tail", 1008}}));
}

TEST(Hdf5SymbolTable, StructureErrors) {
    Image good_heap(200, 0);
    put_bytes(good_heap, 0, local_heap(kUndefined, {}));
    struct Case {
        const char* what;
        Image image;
        std::string message;
    };
    Image bad_heap = good_heap;
    put_text(bad_heap, 0, "HEAX");
    Image bad_tree = good_heap;
    put_bytes(bad_tree, 100, text("TRE!"));
    Image wrong_type = good_heap;
    put_bytes(wrong_type, 100, group_node(1, 0, {}));
    Image bad_snod = good_heap;
    put_bytes(bad_snod, 100, group_node(0, 0, {160}));
    put_bytes(bad_snod, 160, text("SNOX0000"));
    const std::vector<Case> cases = {
        {"heap", bad_heap, "Expected HEAP at 0x0, got [72, 69, 65, 88]"},
        {"tree", bad_tree, "Expected TREE at 0x64, got [84, 82, 69, 33]"},
        {"node type", wrong_type, "Expected B-tree v1 node_type=0 (group), got 1"},
        {"snod", bad_snod, "Expected SNOD at 0xa0, got [83, 78, 79, 88]"},
    };
    for (const Case& c : cases) {
        const auto members = symbol_group(c.image, 100, 0);
        ASSERT_FALSE(members) << c.what;
        EXPECT_EQ(members.error().message, c.message) << c.what;
    }
}

TEST(Hdf5SymbolTable, SharedChildIsRejectedNotWalkedTwice) {
    Image image(600, 0);
    put_bytes(image, 0, local_heap(kUndefined, {}));
    put_bytes(image, 100, group_node(0, 1, {300, 300}));
    put_bytes(image, 300, group_node(0, 0, {}));
    EXPECT_EQ(symbol_group(image, 100, 0).error().message, "B-tree v1 cycle at 0x12c");
}

// --- Link messages ----------------------------------------------------------

TEST(Hdf5LinkMessage, HardLinkAndFailures) {
    const auto hard = hdf5::parse_link_message(link_message("T", 0x1234));
    ASSERT_TRUE(hard);
    EXPECT_EQ(hard->name, "T");
    EXPECT_EQ(hard->address, 0x1234u);
    // Creation order (bit 2), charset (bit 4) and a 2-byte name length.
    const Image wide = concat({fields({{1, 1}, {0x15, 1}, {7, 8}, {0, 1}, {2, 2}}), text("QV"), fields({{99, 8}})});
    EXPECT_EQ(hdf5::parse_link_message(wide)->name, "QV");

    struct Case {
        Image message;
        const char* error;
    };
    const std::vector<Case> cases = {
        {{1, 0}, "Link message too short"},
        {concat({fields({{1, 1}, {0, 1}, {9, 1}}), text("abc")}), "Link name extends past data"},
        {concat({fields({{1, 1}, {0, 1}, {1, 1}}), text("a"), Image(7, 0)}), "Hard link address missing"},
        {concat({fields({{1, 1}, {0x08, 1}, {1, 1}, {1, 1}}), text("s"), fields({{4, 2}}), text("/abc")}),
         "Only hard links supported"},
        {concat({fields({{1, 1}, {0x08, 1}, {64, 1}, {1, 1}}), text("e"), Image(12, 1)}), "Only hard links supported"},
    };
    for (const Case& c : cases) EXPECT_EQ(hdf5::parse_link_message(c.message).error().message, c.error);
}

TEST(Hdf5Groups, CompactLinksOnlyAndLaterNameWins) {
    const Image link_info = concat({fields({{0, 1}, {0, 1}}), fields({{kUndefined, 8}, {kUndefined, 8}})});
    const Image soft = concat({fields({{1, 1}, {0x08, 1}, {1, 1}, {4, 1}}), text("soft"), fields({{2, 2}}), text("/T")});
    const Image image = file_with_links({{"T", 500}, {"U", 600}, {"T", 700}}, {},
                                        concat({v2_message(2, link_info), v2_message(6, soft)}));
    const TempFile file(image);
    const auto opened = Hdf5File::open(file.path());
    ASSERT_TRUE(opened) << opened.error().message;
    EXPECT_EQ(opened->member_names(), (std::vector<std::string>{"T", "U"}));
    // "T" points at 700 now: reading it walks that (empty) address.
    EXPECT_EQ(opened->shape("T").error().message, "failed to fill whole buffer");
}

// --- Fractal heap -------------------------------------------------------------

// Heap with 7-byte IDs (32 offset bits, 16 length bits), the given doubling
// table and root.
Image heap_header(std::uint16_t width, std::uint64_t start, std::uint64_t max_direct, std::uint64_t root,
                  std::uint16_t rows) {
    Image h = concat({text("FRHP"), fields({{0, 1}, {7, 2}, {0, 2}, {0, 1}, {4096, 4}})});
    put(h, 22, kUndefined, 8);  // no huge objects
    put(h, 110, width, 2);
    put(h, 112, start, 8);
    put(h, 120, max_direct, 8);
    put(h, 128, 32, 2);
    put(h, 130, 0, 2);
    put(h, 132, root, 8);
    put(h, 140, rows, 2);
    h.resize(142);
    return with_checksum(h);
}

Image managed_id(std::uint32_t offset, std::uint16_t length) {
    return fields({{0, 1}, {offset, 4}, {length, 2}});
}

Result<Bytes> fetch(const Image& image, const Image& id) {
    const TempFile file(image);
    const auto reader = file.reader();
    TARQ_TRY(const hdf5::FractalHeap heap, hdf5::read_fractal_heap(reader, 0));
    return hdf5::heap_object(reader, heap, id);
}

Image indirect_block(std::uint32_t block_offset, std::initializer_list<std::uint64_t> entries) {
    Image block = concat({text("FHIB"), fields({{0, 1}, {0, 8}, {block_offset, 4}})});
    for (const std::uint64_t e : entries) block = concat({block, fields({{e, 8}})});
    return with_checksum(block);
}

TEST(Hdf5FractalHeap, RootDirectBlock) {
    Image image = heap_header(4, 512, 65536, 1000, 0);
    put_bytes(image, 1000, concat({text("FHDB"), Image(16, 0), text("hello")}));
    const auto object = fetch(image, managed_id(20, 5));
    ASSERT_TRUE(object) << object.error().message;
    EXPECT_EQ(*object, text("hello"));
}

TEST(Hdf5FractalHeap, ChildIndirectBlockByDoublingTable) {
    // Width 2, blocks of 512, direct blocks up to 1024: rows 0-2 are direct
    // (512, 512, 1024), row 3 holds indirect blocks spanning 2048 bytes, each
    // with 2 rows of 512-byte direct blocks. Heap offset 4096 + 512 + 100 lies
    // in row 3, entry 0 -> child row 0, entry 1.
    Image image = heap_header(2, 512, 1024, 1000, 4);
    put_bytes(image, 1000, indirect_block(0, {kUndefined, kUndefined, kUndefined, kUndefined, kUndefined, kUndefined,
                                              2000, kUndefined}));
    put_bytes(image, 2000, indirect_block(4096, {kUndefined, 3000, kUndefined, kUndefined}));
    put_bytes(image, 3000, concat({text("FHDB"), Image(96, 0), text("deep object")}));
    const auto object = fetch(image, managed_id(4096 + 512 + 100, 11));
    ASSERT_TRUE(object) << object.error().message;
    EXPECT_EQ(*object, text("deep object"));
    EXPECT_EQ(fetch(image, managed_id(4096 + 1024, 4)).error().message,
              "Heap offset 5120 not found in indirect block at 0x7d0");
    EXPECT_EQ(fetch(image, managed_id(9000, 4)).error().message, "Heap offset 9000 not found in indirect block at 0x3e8");
}

TEST(Hdf5FractalHeap, ObjectErrors) {
    Image direct = heap_header(4, 512, 65536, 1000, 0);
    put_bytes(direct, 1000, text("FHDX"));
    Image undefined_direct = heap_header(4, 512, 65536, kUndefined, 0);
    Image undefined_indirect = heap_header(4, 512, 65536, kUndefined, 2);
    Image bad_indirect = heap_header(4, 512, 65536, 1000, 2);
    put_bytes(bad_indirect, 1000, text("FHIX"));
    Image bad_child = heap_header(4, 512, 65536, 1000, 2);
    put_bytes(bad_child, 1000, indirect_block(0, {1500, kUndefined, kUndefined, kUndefined, kUndefined, kUndefined,
                                                  kUndefined, kUndefined}));
    put_bytes(bad_child, 1500, text("NOPE"));
    struct Case {
        const Image& image;
        Image id;
        const char* error;
    };
    const std::vector<Case> cases = {
        {direct, {}, "Empty heap ID"},
        {direct, fields({{0x30, 1}, {0, 6}}), "Non-managed heap ID type 3"},
        {direct, fields({{0x10, 1}, {0, 6}}), "Huge heap object: no huge object B-tree"},
        {direct, fields({{0x27, 1}, {0, 6}}), "Tiny heap object extends past its ID"},
        {direct, managed_id(10, 0), "Zero-length heap ID"},
        {direct, managed_id(10, 2), "Expected FHDB at 0x3e8, got [70, 72, 68, 88]"},
        {undefined_direct, managed_id(10, 2), "Direct block at undefined address"},
        {undefined_indirect, managed_id(10, 2), "Indirect block at undefined address"},
        {bad_indirect, managed_id(10, 2), "Expected FHIB at 0x3e8, got [70, 72, 73, 88]"},
        {bad_child, managed_id(10, 2), "Expected FHDB at 0x5dc, got [78, 79, 80, 69]"},
    };
    for (const Case& c : cases) EXPECT_EQ(fetch(c.image, c.id).error().message, c.error);
}

TEST(Hdf5FractalHeap, TinyObjectsLiveInTheirId) {
    const Image heap = heap_header(4, 512, 65536, 1000, 0);
    const auto object = fetch(heap, concat({Image{0x23}, text("abcd"), Image{0, 0}}));
    ASSERT_TRUE(object) << object.error().message;
    EXPECT_EQ(*object, text("abcd"));
}

TEST(Hdf5FractalHeap, HeaderErrors) {
    EXPECT_EQ(fetch(concat({text("FRHQ"), Image(200, 0)}), managed_id(0, 1)).error().message, "Expected FRHP at 0x0");
    EXPECT_EQ(fetch(heap_header(3, 512, 65536, 1000, 0), managed_id(0, 1)).error().message,
              "Invalid fractal heap parameters at 0x0");
}

// --- Version 2 B-tree ---------------------------------------------------------

Image bthd(std::uint8_t type, std::uint32_t node_size, std::uint16_t record_size, std::uint16_t depth,
           std::uint64_t root, std::uint16_t root_records, std::uint64_t total) {
    return with_checksum(concat({text("BTHD"), fields({{0, 1}, {type, 1}, {node_size, 4}, {record_size, 2},
                                                        {depth, 2}, {100, 1}, {40, 1}, {root, 8},
                                                        {root_records, 2}, {total, 8}})}));
}

// A node: its records and child pointers, their checksum, then `padding`
// bytes up to the node size.
Image node(std::string_view signature, std::uint8_t type, const Image& content, std::size_t padding = 0) {
    return concat({with_checksum(concat({text(signature), fields({{0, 1}, {type, 1}}), content})), Image(padding, 0)});
}

// Type 5 records: 4-byte hash, then a 7-byte heap ID whose offset is `tag`.
Image name_record(std::uint8_t tag) { return concat({fields({{0xABCD, 4}}), managed_id(tag, 1)}); }

Result<std::vector<Bytes>> records(const Image& image) {
    const TempFile file(image);
    return hdf5::collect_btree2_records(file.reader(), 0);
}

TEST(Hdf5Btree2, InternalNodeRecordsThenChildren) {
    // Node size 512, records of 11 bytes: 45 per leaf, so 1-byte child counts.
    Image image = bthd(5, 512, 11, 1, 100, 1, 3);
    put_bytes(image, 100, node("BTIN", 5, concat({name_record(2), fields({{700, 8}, {1, 1}}), fields({{1300, 8}, {1, 1}})})));
    put_bytes(image, 700, node("BTLF", 5, name_record(1)));
    put_bytes(image, 1300, node("BTLF", 5, name_record(3), 600));
    const auto ids = records(image);
    ASSERT_TRUE(ids) << ids.error().message;
    ASSERT_EQ(ids->size(), 3u);
    EXPECT_EQ((*ids)[0], managed_id(2, 1));
    EXPECT_EQ((*ids)[1], managed_id(1, 1));
    EXPECT_EQ((*ids)[2], managed_id(3, 1));
}

TEST(Hdf5Btree2, WideNodesUseTwoByteChildCounts) {
    // (4096 - 10) / 11 = 371 records per leaf: child counts take 2 bytes.
    Image image = bthd(5, 4096, 11, 1, 100, 0, 1);
    put_bytes(image, 100, node("BTIN", 5, fields({{5000, 8}, {1, 2}})));
    put_bytes(image, 5000, node("BTLF", 5, name_record(9), 4096));
    const auto ids = records(image);
    ASSERT_TRUE(ids) << ids.error().message;
    EXPECT_EQ(*ids, std::vector<Bytes>{managed_id(9, 1)});
}

TEST(Hdf5Btree2, TotalCountFieldsWidenWithSubtreeCapacity) {
    // Node size 512, 11-byte records: a subtree of depth 3 can hold 608,349
    // records, so a depth-4 node's pointers carry 3-byte totals (depths 2 and 3
    // use 2 bytes, depth 1 none). Root: one record, an undefined first child,
    // then a chain down to a leaf through the second pointer.
    const auto internal = [](std::initializer_list<Image> parts) { return node("BTIN", 5, concat(parts), 512); };
    Image image = bthd(5, 512, 11, 4, 100, 1, 2);
    put_bytes(image, 100, internal({name_record(1), fields({{kUndefined, 8}, {0, 1}, {0, 3}}),
                                    fields({{1000, 8}, {0, 1}, {1, 3}})}));
    put_bytes(image, 1000, internal({fields({{2000, 8}, {0, 1}, {1, 2}})}));
    put_bytes(image, 2000, internal({fields({{3000, 8}, {0, 1}, {1, 2}})}));
    put_bytes(image, 3000, internal({fields({{4000, 8}, {1, 1}})}));
    put_bytes(image, 4000, node("BTLF", 5, name_record(2), 512));
    const auto ids = records(image);
    ASSERT_TRUE(ids) << ids.error().message;
    EXPECT_EQ(*ids, (std::vector<Bytes>{managed_id(1, 1), managed_id(2, 1)}));
}

TEST(Hdf5Btree2, EmptyTreeAndZeroIds) {
    EXPECT_TRUE(records(bthd(5, 512, 11, 0, 0xBAD, 0, 0))->empty());  // root never read
    Image image = bthd(8, 512, 17, 0, 100, 2, 2);
    // Attribute name records: heap ID (8), flags, creation order, hash.
    put_bytes(image, 100, node("BTLF", 8, concat({Image(17, 0), fields({{0, 1}, {5, 4}, {1, 3}, {0, 1}, {0, 4}, {0x77, 4}})}),
                               512));
    const auto ids = records(image);
    ASSERT_TRUE(ids) << ids.error().message;
    EXPECT_EQ(*ids, std::vector<Bytes>{fields({{0, 1}, {5, 4}, {1, 3}})});
}

TEST(Hdf5Btree2, StructureErrors) {
    Image bad_internal = bthd(5, 512, 11, 1, 100, 0, 1);
    put_bytes(bad_internal, 100, concat({text("BTLF"), Image(600, 0)}));
    Image bad_leaf = bthd(5, 512, 11, 0, 100, 1, 1);
    put_bytes(bad_leaf, 100, concat({text("BTIN"), Image(600, 0)}));
    Image cycle = bthd(5, 512, 11, 2, 100, 0, 1);
    put_bytes(cycle, 100, node("BTIN", 5, fields({{700, 8}, {0, 1}, {0, 2}}), 600));
    put_bytes(cycle, 700, node("BTIN", 5, fields({{700, 8}, {0, 1}}), 600));
    Image overfull = bthd(5, 512, 11, 0, 100, 200, 200);
    put_bytes(overfull, 100, concat({text("BTLF"), Image(600, 0)}));
    struct Case {
        Image image;
        const char* error;
    };
    const std::vector<Case> cases = {
        {concat({text("BTHX"), Image(40, 0)}), "Expected BTHD at 0x0"},
        {bad_internal, "Expected BTIN at 0x64, got [66, 84, 76, 70]"},
        {bad_leaf, "Expected BTLF at 0x64"},
        {cycle, "B-tree v2 cycle at 0x2bc"},
        {overfull, "B-tree v2 node at 0x64 claims more records than it holds"},
    };
    for (const Case& c : cases) EXPECT_EQ(records(c.image).error().message, c.error);
}

}  // namespace
}  // namespace tarq::testing
