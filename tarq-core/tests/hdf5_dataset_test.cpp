// Dataset descriptions, raw reads (contiguous and chunked), filters and the
// conversion to float64, on hand-made bytes.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "hdf5/chunk_filters.h"
#include "hdf5/datatype.h"
#include "hdf5/filter_pipeline.h"
#include "hdf5/hdf5_file.h"
#include "hdf5/layout.h"
#include "hdf5_test_bytes.h"
#include "io/convert.h"

namespace tarq::testing {
namespace {

constexpr std::uint64_t kDataset = 400;  // where each test's dataset header goes

Image dataset_header(std::initializer_list<std::pair<std::uint8_t, Image>> messages) {
    Image body;
    for (const auto& [type, data] : messages) body = concat({body, v2_message(type, data)});
    return ohdr(body);
}

// Filter pipeline version 2 of (id, client values) steps.
Image pipeline(std::initializer_list<std::pair<std::uint16_t, std::vector<std::uint32_t>>> filters) {
    Image out = fields({{2, 1}, {filters.size(), 1}});
    for (const auto& [id, values] : filters) {
        out = concat({out, fields({{id, 2}})});
        if (id >= 256) out = concat({out, fields({{4, 2}})});
        out = concat({out, fields({{0, 2}, {values.size(), 2}})});
        if (id >= 256) out = concat({out, text("lzf"), Image{0}});
        for (const std::uint32_t v : values) out = concat({out, fields({{v, 4}})});
    }
    return out;
}

struct ChunkEntry {
    std::vector<std::uint64_t> offsets;  // rank + 1 values
    std::uint64_t address;
    std::uint32_t size;
    std::uint32_t mask = 0;
};

Image chunk_node(std::uint8_t level, const std::vector<ChunkEntry>& entries, std::size_t dimensionality,
                 std::uint8_t type = 1) {
    Image node = concat({text("TREE"), fields({{type, 1}, {level, 1}, {entries.size(), 2}, {kUndefined, 8}, {kUndefined, 8}})});
    for (const ChunkEntry& e : entries) {
        node = concat({node, fields({{e.size, 4}, {e.mask, 4}})});
        for (const std::uint64_t o : e.offsets) node = concat({node, fields({{o, 8}})});
        node = concat({node, fields({{e.address, 8}})});
    }
    return concat({node, Image(8 + 8 * dimensionality, 0)});
}

Image f32_bytes(std::initializer_list<float> values) {
    Image out;
    for (const float v : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        put(out, out.size(), bits, 4);
    }
    return out;
}

Image deflate(const Image& data) {
    uLongf size = compressBound(data.size());
    Image out(size);
    compress2(out.data(), &size, data.data(), data.size(), 6);
    out.resize(size);
    return out;
}

Image shuffle(const Image& data, std::size_t s) {
    Image out(data.size());
    const std::size_t n = data.size() / s;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t b = 0; b < s; ++b) out[b * n + i] = data[i * s + b];
    return out;
}

// A file whose root has one member "v" with the given header, plus blobs.
Image one_dataset(const Image& header, std::initializer_list<Blob> blobs) {
    Image image = file_with_links({{"v", kDataset}}, {});
    put_bytes(image, kDataset, header);
    for (const Blob& blob : blobs) put_bytes(image, blob.at, blob.bytes);
    return image;
}

std::string read_error(const Image& image) {
    const TempFile file(image);
    auto h5 = Hdf5File::open(file.path());
    if (!h5) return "open failed: " + h5.error().message;
    const auto values = h5->read_f64("v");
    if (values) return "no error";
    EXPECT_EQ(values.error().kind, ErrorKind::NetCdf);
    return values.error().message;
}

const Image kSpace = dataspace({2, 3});
const Image kF4 = float_type(4);

TEST(Hdf5Dataset, DescriptionFailures) {
    struct Case {
        const char* what;
        Image header;
        std::string message;
    };
    const Image contiguous = contiguous_layout(kUndefined, 0);
    const std::vector<Case> cases = {
        {"no datatype", dataset_header({{1, kSpace}, {8, contiguous}}), "No datatype message in dataset object header"},
        {"no layout", dataset_header({{1, kSpace}, {3, kF4}}), "No layout message in dataset object header"},
        {"neither", dataset_header({{1, kSpace}}), "No datatype message in dataset object header"},
        {"datatype of 7 bytes", dataset_header({{3, Image(7, 0x11)}, {8, contiguous}}), "Datatype message too short"},
        {"3-byte integer", dataset_header({{3, int_type(3, true)}, {8, contiguous}}), "Unsupported integer size 3"},
        {"16-byte integer", dataset_header({{3, int_type(16, true)}, {8, contiguous}}), "Unsupported integer size 16"},
        {"2-byte float", dataset_header({{3, float_type(2)}, {8, contiguous}}), "Unsupported float size 2"},
        {"VAX float", dataset_header({{3, float_type(4, 0x41)}, {8, contiguous}}), "Unsupported float byte order (VAX)"},
        {"compound", dataset_header({{3, fields({{0x16, 1}, {0, 3}, {8, 4}})}, {8, contiguous}}),
         "Unsupported datatype class 6"},
        {"layout of 1 byte", dataset_header({{3, kF4}, {8, Image{3}}}), "Layout message too short"},
        {"contiguous v3 of 17 bytes", dataset_header({{3, kF4}, {8, Image(contiguous.begin(), contiguous.end() - 1)}}),
         "Contiguous layout too short"},
        {"contiguous v4 of 17 bytes", dataset_header({{3, kF4}, {8, concat({Image{4, 1}, Image(15, 0)})}}),
         "Contiguous layout v4 too short"},
        {"layout version 6", dataset_header({{3, kF4}, {8, concat({Image{6, 2}, Image(30, 0)})}}),
         "Unsupported layout version 6"},
        {"chunked layout cut short", dataset_header({{3, kF4}, {8, Image{3, 2, 3, 0, 0}}}), "Chunked layout message malformed"},
        {"chunk dimension 0", dataset_header({{1, kSpace}, {3, kF4}, {8, chunked_layout(kUndefined, {0, 3}, 4)}}),
         "Chunk dimension of size 0"},
        {"chunk rank below dataset rank", dataset_header({{1, kSpace}, {3, kF4}, {8, chunked_layout(kUndefined, {3}, 4)}}),
         "Chunked layout has 1 chunk dimensions for a dataset of rank 2"},
        {"dataspace of 2 bytes", dataset_header({{1, Image{1, 1}}, {3, kF4}, {8, contiguous}}), "Dataspace message too short"},
        {"dataspace rank past its end", dataset_header({{1, concat({Image{2, 3, 0, 1}, Image(16, 0)})}, {3, kF4}, {8, contiguous}}),
         "Dataspace message too short"},
        {"pipeline cut in a filter", dataset_header({{3, kF4}, {8, contiguous}, {11, Image{2, 1, 1, 0, 0}}}),
         "Filter pipeline message malformed"},
    };
    for (const Case& c : cases) {
        const TempFile file(one_dataset(c.header, {}));
        const auto h5 = Hdf5File::open(file.path());
        ASSERT_TRUE(h5) << c.what;
        const auto info = h5->dataset_info("v");
        ASSERT_FALSE(info) << c.what;
        EXPECT_EQ(info.error().kind, ErrorKind::NetCdf) << c.what;
        EXPECT_EQ(info.error().message, c.message) << c.what;
    }
}

TEST(Hdf5Dataset, UnknownNameIsVarNotFound) {
    const TempFile file(one_dataset(dataset_header({{3, kF4}, {8, contiguous_layout(kUndefined, 0)}}), {}));
    const auto h5 = Hdf5File::open(file.path());
    const auto values = h5->read_f64("QVAPOR");
    ASSERT_FALSE(values);
    EXPECT_EQ(values.error().kind, ErrorKind::VarNotFound);
    EXPECT_EQ(values.error().message, "QVAPOR");
}

TEST(Hdf5Dataset, ContiguousSizeComesFromTheLayout) {
    // Dimensions say 6 values; the layout holds 5 and a half: 5 whole values.
    const Image data = concat({f32_bytes({1, 2, 3, 4, 5}), Image{0xAA, 0xBB}});
    const TempFile file(one_dataset(dataset_header({{1, kSpace}, {3, kF4}, {8, contiguous_layout(900, data.size())}}),
                                    {{900, data}}));
    const auto h5 = Hdf5File::open(file.path());
    EXPECT_EQ(*h5->read_f64("v"), (std::vector<double>{1, 2, 3, 4, 5}));
    EXPECT_EQ(h5->read_bytes("v")->size(), data.size());
    EXPECT_EQ(*h5->read_f64_slab("v", 1), (std::vector<double>{4, 5}));
    EXPECT_TRUE(h5->read_f64_slab("v", 2)->empty());
    EXPECT_EQ(*h5->shape("v"), (std::vector<std::uint64_t>{2, 3}));
}

TEST(Hdf5Dataset, LayoutsWithoutDataReadEmpty) {
    const std::vector<Image> layouts = {
        contiguous_layout(kUndefined, 24), contiguous_layout(900, 0),
        fields({{3, 1}, {0, 1}, {24, 2}}),   // compact
        fields({{1, 1}, {1, 1}, {0, 6}}),    // layout version 1
        chunked_layout(kUndefined, {1, 3}, 4),
    };
    for (const Image& layout : layouts) {
        const TempFile file(one_dataset(dataset_header({{1, kSpace}, {3, kF4}, {8, layout}}), {}));
        const auto h5 = Hdf5File::open(file.path());
        const auto values = h5->read_f64("v");
        ASSERT_TRUE(values) << values.error().message;
        EXPECT_TRUE(values->empty());
    }
}

// [5, 7] float32 in chunks of [2, 3]: chunk (0, 0) plain, (2, 6) at the
// corner edge shuffled and deflated, (4, 3) deflated only; the others absent.
Image chunked_file(std::uint32_t corner_mask, const Image& corner_chunk) {
    const Image space = dataspace({5, 7});
    const Image header = dataset_header({{1, space}, {3, kF4}, {8, chunked_layout(2000, {2, 3}, 4)},
                                         {11, pipeline({{2, {4}}, {1, {6}}})}});
    const Image plain = f32_bytes({1, 2, 3, 4, 5, 6});
    const Image edge = deflate(f32_bytes({70, 71, 72, 80, 81, 82}));
    return one_dataset(header, {
        {2000, chunk_node(0, {{{0, 0, 0}, 3000, static_cast<std::uint32_t>(plain.size()), 0b11},
                              {{2, 6, 0}, 3100, static_cast<std::uint32_t>(corner_chunk.size()), corner_mask},
                              {{4, 3, 0}, 3300, static_cast<std::uint32_t>(edge.size()), 0b01}}, 3)},
        {3000, plain}, {3100, corner_chunk}, {3300, edge}});
}

std::vector<double> expected_grid() {
    std::vector<double> v(35, 0.0);
    const double plain[2][3] = {{1, 2, 3}, {4, 5, 6}};
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 3; ++i) v[j * 7 + i] = plain[j][i];
    v[2 * 7 + 6] = 10;  // corner chunk: only its first column is inside
    v[3 * 7 + 6] = 13;
    v[4 * 7 + 3] = 70;  // bottom edge chunk: only its first row is inside
    v[4 * 7 + 4] = 71;
    v[4 * 7 + 5] = 72;
    return v;
}

TEST(Hdf5Dataset, ChunkedAssemblyEdgesMissingChunksAndFilterMasks) {
    const Image corner = f32_bytes({10, 11, 12, 13, 14, 15});
    for (const std::uint32_t mask : {0u, 0b01u, 0b10u, 0b11u}) {
        // Each mask bit skips that pipeline step (0 shuffle, 1 deflate).
        Image stored = corner;
        if (!(mask & 0b01)) stored = shuffle(stored, 4);
        if (!(mask & 0b10)) stored = deflate(stored);
        const TempFile file(chunked_file(mask, stored));
        const auto h5 = Hdf5File::open(file.path());
        const auto values = h5->read_f64("v");
        ASSERT_TRUE(values) << values.error().message;
        const std::vector<double> grid = expected_grid();
        EXPECT_EQ(*values, grid) << "mask " << mask;
        for (std::uint64_t row = 0; row < 5; ++row) {
            const std::vector<double> want(grid.begin() + row * 7, grid.begin() + row * 7 + 7);
            EXPECT_EQ(*h5->read_f64_slab("v", row), want) << "row " << row;
        }
        EXPECT_TRUE(h5->read_f64_slab("v", 5)->empty());
    }
}

TEST(Hdf5Dataset, ConcurrentReadsAgree) {
    // Several threads share one file: cold description cache, positioned
    // reads interleaving, whole and slab reads at once.
    const TempFile file(chunked_file(0b11, f32_bytes({10, 11, 12, 13, 14, 15})));
    const auto h5 = Hdf5File::open(file.path());
    ASSERT_TRUE(h5);
    const std::vector<double> grid = expected_grid();
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                if (h5->read_f64("v").value_or(std::vector<double>{}) != grid) ++mismatches[t];
                const auto row = h5->read_f64_slab("v", (t + round) % 5);
                if (!row || row->size() != 7) ++mismatches[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(Hdf5Dataset, ChunkIndexIsWalkedOnceForEveryRead) {
    // Once a read has walked the chunk B-tree, later reads use the records it
    // kept: breaking the node's signature on disk afterwards does not reach
    // them, while a fresh open of the file sees it.
    const TempFile file(chunked_file(0b11, f32_bytes({10, 11, 12, 13, 14, 15})));
    const auto h5 = Hdf5File::open(file.path());
    ASSERT_TRUE(h5);
    const std::vector<double> grid = expected_grid();
    ASSERT_EQ(h5->read_f64_slab("v", 4).value_or(std::vector<double>{}),
              std::vector<double>(grid.begin() + 28, grid.end()));
    std::fstream(file.path(), std::ios::binary | std::ios::in | std::ios::out).seekp(2000).write("XXXX", 4);
    EXPECT_EQ(h5->read_f64("v").value_or(std::vector<double>{}), grid);
    const auto reopened = Hdf5File::open(file.path());
    ASSERT_TRUE(reopened);
    const auto broken = reopened->read_f64("v");
    ASSERT_FALSE(broken);
    EXPECT_EQ(broken.error().message, "Expected TREE at 0x7d0, got [88, 88, 88, 88]");
}

// Layout version 4, chunked, with 4-byte sizes and the chunk index `type`
// (parameters zero) at `address`.
Image chunked_layout_v4(std::uint64_t address, std::initializer_list<std::uint32_t> chunk, std::uint32_t element,
                        std::uint8_t type) {
    Image m{4, 2, 0, static_cast<std::uint8_t>(chunk.size() + 1), 4};
    for (const std::uint32_t c : chunk) put(m, m.size(), c, 4);
    put(m, m.size(), element, 4);
    m.push_back(type);
    const std::size_t parameters = type == 3 ? 1 : type == 4 ? 5 : type == 5 ? 6 : 0;
    m.resize(m.size() + parameters, 0);
    put(m, m.size(), address, 8);
    return m;
}

// Chunk indexes of layout version 4 that are not what their layout says.
TEST(Hdf5Dataset, ChunkIndexFailures) {
    const auto with_index = [](std::uint8_t type, const Image& index) {
        const Image header = dataset_header({{1, dataspace({4})}, {3, kF4}, {8, chunked_layout_v4(2000, {2}, 4, type)}});
        return index.empty() ? one_dataset(header, {}) : one_dataset(header, {{2000, index}});
    };
    const Image fahd_bad_size = concat({text("FAHD"), fields({{0, 1}, {0, 1}, {9, 1}, {10, 1}, {2, 8}, {3000, 8}, {0, 4}})});
    const Image fahd_huge = concat({text("FAHD"), fields({{0, 1}, {0, 1}, {8, 1}, {10, 1}, {1ull << 40, 8}, {3000, 8}, {0, 4}})});
    struct Case {
        const char* what;
        Image image;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"fixed array signature", with_index(3, Image(40, 0)),
         "Expected FAHD (fixed array header) at 0x7d0, got [0, 0, 0, 0]"},
        {"fixed array element size", with_index(3, fahd_bad_size), "Malformed chunk index header at 0x7d0"},
        {"fixed array larger than the file", with_index(3, fahd_huge), "Malformed fixed array header at 0x7d0"},
        {"extensible array signature", with_index(4, Image(80, 0)),
         "Expected EAHD (extensible array header) at 0x7d0, got [0, 0, 0, 0]"},
        {"version 2 B-tree signature", with_index(5, Image(40, 0)),
         "Expected BTHD (B-tree v2 header) at 0x7d0, got [0, 0, 0, 0]"},
        {"implicit chunks past the end of the file", with_index(2, Image{}), "failed to fill whole buffer"},
    };
    for (const Case& c : cases) EXPECT_EQ(read_error(c.image), c.message) << c.what;
}

TEST(Hdf5Dataset, ChunkReadFailures) {
    const Image space = dataspace({4});
    const auto chunked = [&](const Image& extra_pipeline) {
        return extra_pipeline.empty()
                   ? dataset_header({{1, space}, {3, kF4}, {8, chunked_layout(2000, {4}, 4)}})
                   : dataset_header({{1, space}, {3, kF4}, {8, chunked_layout(2000, {4}, 4)}, {11, extra_pipeline}});
    };
    const Image deflate_only = pipeline({{1, {6}}});
    struct Case {
        const char* what;
        Image image;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"B-tree signature", one_dataset(chunked({}), {{2000, text("XREE")}, {2100, Image(60, 0)}}),
         "Expected TREE at 0x7d0, got [88, 82, 69, 69]"},
        {"B-tree of groups", one_dataset(chunked({}), {{2000, chunk_node(0, {}, 2, 0)}}),
         "Expected B-tree v1 node_type=1 (raw data chunks), got 0"},
        {"corrupt stream", one_dataset(chunked(deflate_only), {{2000, chunk_node(0, {{{0, 0}, 3000, 8}}, 2)}, {3000, text("garbage!")}}),
         "corrupt deflate stream"},
        {"truncated stream",
         one_dataset(chunked(deflate_only), {{2000, chunk_node(0, {{{0, 0}, 3000, 6}}, 2)}, {3000, deflate(f32_bytes({1, 2, 3, 4}))}}),
         "corrupt deflate stream"},
        {"stream longer than the chunk",
         one_dataset(chunked(deflate_only), {{2000, chunk_node(0, {{{0, 0}, 3000, static_cast<std::uint32_t>(deflate(Image(64, 1)).size())}}, 2)},
                                             {3000, deflate(Image(64, 1))}}),
         "Decoded chunk exceeds its size of 16 bytes"},
        {"chunk past the end of the file", one_dataset(chunked({}), {{2000, chunk_node(0, {{{0, 0}, 3000, 4000000}}, 2)}}),
         "failed to fill whole buffer"},
        {"LZF", one_dataset(chunked(pipeline({{2, {4}}, {32000, {0, 2, 16}}})), {{2000, chunk_node(0, {}, 2)}}),
         "Unsupported filter id 32000"},
        {"szip", one_dataset(chunked(pipeline({{4, {}}})), {}), "Unsupported filter id 4"},
        {"size overflow",
         one_dataset(dataset_header({{1, dataspace({1ull << 62, 1ull << 62})}, {3, kF4}, {8, chunked_layout(2000, {1, 1}, 4)}}),
                     {{2000, chunk_node(0, {}, 3)}}),
         "Dataset size overflows"},
        {"claims more than the file can hold",
         one_dataset(dataset_header({{1, dataspace({1ull << 40})}, {3, kF4}, {8, chunked_layout(2000, {1024}, 4)}}),
                     {{2000, chunk_node(0, {}, 2)}}),
         "Dataset claims 4398046511104 bytes, more than a file of 2048 bytes can hold"},
        {"shared B-tree child",
         one_dataset(chunked({}), {{2000, chunk_node(1, {{{0, 0}, 2500, 0}, {{0, 0}, 2500, 0}}, 2)},
                                   {2500, chunk_node(0, {}, 2)}}),
         "B-tree v1 cycle at 0x9c4"},
        {"child of the wrong level",
         one_dataset(chunked({}), {{2000, chunk_node(2, {{{0, 0}, 2500, 0}}, 2)}, {2500, chunk_node(0, {}, 2)}}),
         "B-tree v1 node at 0x9c4 has level 0, expected 1"},
    };
    for (const Case& c : cases) EXPECT_EQ(read_error(c.image), c.message) << c.what;
}

TEST(Hdf5Dataset, FletcherChecksumIsDroppedAtItsPipelineStep) {
    // Shuffle then Fletcher32 without compression: the 4 checksum bytes must
    // go before unshuffling, or every element comes out scrambled.
    const Image values = f32_bytes({1.5f, -2.0f, 3.25f, 1e6f});
    const Image stored = concat({shuffle(values, 4), fields({{0xDEADBEEF, 4}})});
    const auto decoded = hdf5::undo_filters(stored, {{FilterKind::Shuffle, 2, 4}, {FilterKind::Fletcher32, 3, 0}}, 0, 20);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, values);
}

TEST(Hdf5Dataset, ConversionHonoursByteOrderAndSign) {
    const auto convert = [](const Image& bytes, ElementType type, bool big_endian, bool is_signed) {
        return convert_to_f64(bytes, Datatype{type, big_endian, is_signed});
    };
    EXPECT_EQ(convert(Image{0xFF, 0x80, 0x01}, ElementType::Byte, false, true), (std::vector<double>{-1, -128, 1}));
    EXPECT_EQ(convert(Image{0xFF, 0x80, 0x01}, ElementType::Byte, false, false), (std::vector<double>{255, 128, 1}));
    EXPECT_EQ(convert(Image{0xFF, 0xFF, 0xFF, 0xFF}, ElementType::I32, false, true), (std::vector<double>{-1}));
    EXPECT_EQ(convert(Image{0xFF, 0xFF, 0xFF, 0xFF}, ElementType::I32, false, false), (std::vector<double>{4294967295.0}));
    EXPECT_EQ(convert(Image{0xFF, 0xFF, 0xFF, 0xFB}, ElementType::I32, true, true), (std::vector<double>{-5}));
    EXPECT_EQ(convert(Image{0xFE, 0xFF, 0x80, 0x00}, ElementType::I16, false, true), (std::vector<double>{-2, 128}));
    EXPECT_EQ(convert(Image{0xFE, 0xFF, 0x80, 0x00}, ElementType::I16, true, false), (std::vector<double>{65279, 32768}));
    EXPECT_EQ(convert(Image{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}, ElementType::I64, true, true),
              (std::vector<double>{-2}));
    EXPECT_EQ(convert(Image(8, 0xFF), ElementType::I64, false, false), (std::vector<double>{18446744073709551616.0}));
    EXPECT_EQ(convert(Image{0x45, 0x3B, 0x80, 0x00, 0x7F}, ElementType::F32, true, false), (std::vector<double>{3000.0}));
    EXPECT_EQ(convert(fields({{0x4000000000000000ull, 8}}), ElementType::F64, false, false), (std::vector<double>{2.0}));
    EXPECT_EQ(convert(Image{0x40, 0, 0, 0, 0, 0, 0, 0}, ElementType::F64, true, false), (std::vector<double>{2.0}));
    const auto nan = convert(Image{0, 0, 0xC0, 0x7F}, ElementType::F32, false, false);
    EXPECT_TRUE(std::isnan(nan[0]));
}

TEST(Hdf5Dataset, DatatypeFlags) {
    const auto string_type = hdf5::parse_datatype(fields({{0x13, 1}, {0, 3}, {19, 4}}));
    EXPECT_EQ(string_type->type, ElementType::Byte);
    EXPECT_FALSE(string_type->is_signed);
    const auto be = hdf5::parse_datatype(int_type(4, true, true));
    EXPECT_TRUE(be->big_endian && be->is_signed);
    EXPECT_EQ(be->type, ElementType::I32);
}

TEST(Hdf5Dataset, PipelineKeepsEveryStepInOrder) {
    // Version 1: names padded to 8, odd client value counts padded.
    const Image v1 = concat({fields({{1, 1}, {3, 1}, {0, 6}}),
                             fields({{2, 2}, {0, 2}, {0, 2}, {1, 2}, {4, 4}, {0, 4}}),
                             fields({{1, 2}, {8, 2}, {0, 2}, {1, 2}}), text("deflate"), Image{0}, fields({{9, 4}, {0, 4}}),
                             fields({{3, 2}, {0, 2}, {0, 2}, {0, 2}})});
    const auto filters = hdf5::parse_filter_pipeline(v1);
    ASSERT_TRUE(filters) << filters.error().message;
    ASSERT_EQ(filters->size(), 3u);
    EXPECT_EQ((*filters)[0].kind, FilterKind::Shuffle);
    EXPECT_EQ((*filters)[0].param, 4u);
    EXPECT_EQ((*filters)[1].kind, FilterKind::Deflate);
    EXPECT_EQ((*filters)[1].param, 9u);
    EXPECT_EQ((*filters)[2].kind, FilterKind::Fletcher32);
    // Version 2 stores a plugin's name unpadded.
    const auto v2 = hdf5::parse_filter_pipeline(pipeline({{32000, {1, 2, 3}}, {1, {}}}));
    ASSERT_TRUE(v2) << v2.error().message;
    EXPECT_EQ((*v2)[0].kind, FilterKind::Unsupported);
    EXPECT_EQ((*v2)[0].id, 32000);
    EXPECT_EQ((*v2)[1].kind, FilterKind::Deflate);
    EXPECT_EQ((*v2)[1].param, 6u);
}

}  // namespace
}  // namespace tarq::testing
