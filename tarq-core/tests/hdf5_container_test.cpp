// Opening files and walking object headers, on hand-made bytes.

#include <gtest/gtest.h>

#include <vector>

#include "hdf5/hdf5_file.h"
#include "hdf5/object_header.h"
#include "hdf5_test_bytes.h"

namespace tarq::testing {
namespace {

std::string open_error(const Image& image) {
    const TempFile file(image);
    const auto opened = Hdf5File::open(file.path());
    EXPECT_FALSE(opened.has_value());
    if (opened) return {};
    EXPECT_EQ(opened.error().kind, ErrorKind::NetCdf);
    return opened.error().message;
}

// Superblock version 0 or 1 with a root symbol table entry.
Image superblock_v0(std::uint8_t version, std::uint8_t offset_size, std::uint8_t length_size, std::uint64_t root,
                    std::uint32_t cache_type) {
    Image image = {0x89, 'H', 'D', 'F', 0x0D, 0x0A, 0x1A, 0x0A, version, 0, 0, 0, 0, offset_size, length_size, 0};
    const std::size_t s = version == 0 ? 0 : 4;
    put(image, 16, 4, 2);
    put(image, 18, 16, 2);
    for (std::size_t at = 24 + s; at < 64 + s; at += 8) put(image, at, at == 40 + s ? 4096 : kUndefined, 8);
    put(image, 64 + s, root, 8);
    put(image, 72 + s, cache_type, 4);
    put(image, 80 + s, 0, 16);
    return image;
}

TEST(Hdf5Open, FailureMessages) {
    struct Case {
        const char* what;
        Image image;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"shorter than the signature", {0x89, 'H', 'D'}, "failed to fill whole buffer"},
        {"8 wrong bytes", text("NOT HDF5"), "Not an HDF5 file"},
        {"v0 4-byte offsets", superblock_v0(0, 4, 8, 200, 0), "Unsupported offset_size=4 length_size=8"},
        {"v1 4-byte lengths", superblock_v0(1, 8, 4, 200, 0), "Unsupported offset_size=8 length_size=4"},
        {"v2 4-byte offsets", superblock_v2(48, 4, 8), "Unsupported offset_size=4 length_size=8"},
        {"v0 root without symbol table",
         concat({superblock_v0(0, 8, 8, 96, 0), v1_header(v1_message(0x0C, Image(8, 0)))}),
         "No symbol table message found in root group object header"},
        {"v2 root that is no OHDR", concat({superblock_v2(48), text("XXXXXXXXXXXXXXXX")}), "Expected OHDR at 0x30"},
    };
    for (const Case& c : cases) EXPECT_EQ(open_error(c.image), c.message) << c.what;
}

TEST(Hdf5Open, MissingFileCarriesTheSystemMessage) {
    const auto opened = Hdf5File::open("/nonexistent/dir/file.nc");
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().kind, ErrorKind::NetCdf);
    EXPECT_EQ(opened.error().message, "No such file or directory");
}

TEST(Hdf5Open, V0RootWithLinkMessagesInV1HeaderIsNewStyle) {
    // libhdf5 converts an old-style root to Link Info + Link messages when it
    // must hold an external link; the superblock's cached B-tree is stale.
    const Image root = v1_header(concat({v1_message(0x02, concat({fields({{0, 1}, {0, 1}}), fields({{kUndefined, 8}, {kUndefined, 8}})})),
                                         v1_message(0x06, concat({link_message("x", 500), Image(4, 0)}))}));
    Image image = concat({superblock_v0(0, 8, 8, 96, 1), root});
    put(image, 80, 0xDEAD, 8);  // stale cache: never read
    const TempFile file(image);
    const auto opened = Hdf5File::open(file.path());
    ASSERT_TRUE(opened) << opened.error().message;
    EXPECT_EQ(opened->member_names(), std::vector<std::string>{"x"});
}

struct Walked {
    std::vector<std::uint16_t> types;
    hdf5::MessageVisitor visitor() {
        return [this](std::uint16_t type, std::uint8_t, ByteSpan) -> Result<void> {
            types.push_back(type);
            return {};
        };
    }
};

Result<std::vector<std::uint16_t>> walk(const Image& image, std::uint64_t address) {
    const TempFile file(image);
    Walked walked;
    const auto status = hdf5::walk_object_header(file.reader(), address, walked.visitor());
    if (!status) return std::unexpected(status.error());
    return walked.types;
}

TEST(Hdf5ObjectHeader, V1ContinuationDeliversMessagesInFileOrder) {
    Image image = v1_header(concat({v1_message(0x20, Image(8, 1)), v1_message(0x10, fields({{200, 8}, {32, 8}})),
                                    v1_message(0x21, Image(8, 2))}));
    put_bytes(image, 200, concat({v1_message(0x30, Image(8, 3)), v1_message(0x31, Image(8, 4))}));
    const auto types = walk(image, 0);
    ASSERT_TRUE(types) << types.error().message;
    EXPECT_EQ(*types, (std::vector<std::uint16_t>{0x20, 0x30, 0x31, 0x21}));
}

TEST(Hdf5ObjectHeader, V1ZeroSizeSkippedAndOverlongLastMessageDropped) {
    Image messages = concat({v1_message(0x20, {}), v1_message(0x21, Image(8, 1))});
    Image overlong = v1_message(0x22, Image(8, 2));
    put(overlong, 2, 64, 2);  // claims 64 data bytes, the header holds 8
    Image image = v1_header(concat({messages, overlong}));
    put(image, 200, 0, 8);
    const auto types = walk(image, 0);
    ASSERT_TRUE(types) << types.error().message;
    EXPECT_EQ(*types, (std::vector<std::uint16_t>{0x21}));
}

TEST(Hdf5ObjectHeader, V1ContinuationCycleIsAnError) {
    Image image = v1_header(v1_message(0x10, fields({{100, 8}, {24, 8}})));
    put_bytes(image, 100, v1_message(0x10, fields({{100, 8}, {24, 8}})));
    const auto types = walk(image, 0);
    ASSERT_FALSE(types);
    EXPECT_EQ(types.error().message, "Object header continuation cycle at 0x64");
}

TEST(Hdf5ObjectHeader, V2ContinuationsOchkFollowedOthersSkipped) {
    const Image to_ochk = v2_message(0x10, fields({{300, 8}, {4 + 8 + 4, 8}}));
    const Image to_garbage = v2_message(0x10, fields({{400, 8}, {16, 8}}));
    Image image = ohdr(concat({v2_message(0x20, Image(2, 0)), to_garbage, to_ochk, v2_message(0x21, Image(3, 0))}));
    put_bytes(image, 300, with_checksum(concat({text("OCHK"), v2_message(0x30, Image(4, 0))})));
    put_bytes(image, 400, concat({text("JUNK"), v2_message(0x31, Image(4, 0)), fields({{0, 4}})}));
    const auto types = walk(image, 0);
    ASSERT_TRUE(types) << types.error().message;
    EXPECT_EQ(*types, (std::vector<std::uint16_t>{0x20, 0x30, 0x21}));
}

TEST(Hdf5ObjectHeader, V2FlagsMoveTheSizeFieldAndWidenMessageHeaders) {
    // Flags 0x34: times (16 bytes), phase change values (4 bytes), creation
    // order in every message header (6 bytes).
    const Image message = concat({fields({{0x20, 1}, {2, 2}, {0, 1}, {0, 2}}), Image(2, 7)});
    Image image = with_checksum(concat({text("OHDR"), fields({{2, 1}, {0x34, 1}}), Image(20, 0xEE),
                                        fields({{message.size(), 1}}), message}));
    const auto types = walk(image, 0);
    ASSERT_TRUE(types) << types.error().message;
    EXPECT_EQ(*types, (std::vector<std::uint16_t>{0x20}));
}

TEST(Hdf5ObjectHeader, V2EmptyNullMessageDoesNotEndTheWalk) {
    // libhdf5 writes such messages between the dataspace and the layout.
    const auto types = walk(ohdr(concat({v2_message(0x01, Image(4, 0)), v2_message(0, {}), v2_message(0x08, Image(4, 0))})), 0);
    ASSERT_TRUE(types) << types.error().message;
    EXPECT_EQ(*types, (std::vector<std::uint16_t>{0x01, 0x08}));
}

TEST(Hdf5ObjectHeader, VersionErrors) {
    Image v3 = ohdr(v2_message(0x20, Image(4, 0)));
    v3[4] = 3;
    EXPECT_EQ(walk(v3, 0).error().message, "OHDR signature found but unexpected version 3");
    Image image(0x40, 0);
    put(image, 0x40, 7, 1);
    put(image, 0x48, 0, 8);
    EXPECT_EQ(walk(image, 0x40).error().message, "Unsupported object header version 7 at 0x40");
    EXPECT_EQ(walk(text("OHNO0000"), 0).error().message, "Unsupported object header version 79 at 0x0");
}

}  // namespace
}  // namespace tarq::testing
