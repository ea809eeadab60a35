// The metadata checksum (Jenkins' lookup3) and its verification.

#include <gtest/gtest.h>

#include <string_view>

#include "hdf5/checksum.h"
#include "hdf5_test_bytes.h"

namespace tarq::testing {
namespace {

ByteSpan bytes_of(std::string_view s) { return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}; }

TEST(Hdf5Checksum, Lookup3ReferenceValues) {
    // From lookup3.c's own driver: hashlittle with initial value 0.
    EXPECT_EQ(hdf5::metadata_checksum({}), 0xdeadbeefu);
    EXPECT_EQ(hdf5::metadata_checksum(bytes_of("Four score and seven years ago")), 0x17770551u);
    // Every tail length (0 to 12 bytes past a 12-byte block) takes its own branch.
    const std::string_view text = "abcdefghijklmnopqrstuvwxyz";
    for (std::size_t n = 12; n <= 24; ++n) {
        const Image body(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_TRUE(hdf5::verify_checksum(with_checksum(body), "block", 0)) << n;
    }
}

TEST(Hdf5Checksum, EveryFlippedBitIsRefusedWithTheStructureNamed) {
    const Image good = with_checksum(text("OHDR and some messages"));
    for (std::size_t bit = 0; bit < 8 * good.size(); ++bit) {
        Image bad = good;
        bad[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        const auto checked = hdf5::verify_checksum(bad, "object header", 0x1234);
        ASSERT_FALSE(checked) << bit;
        EXPECT_EQ(checked.error().message, "Checksum mismatch in object header at 0x1234: the file is corrupt");
    }
    EXPECT_EQ(hdf5::verify_checksum(Image(3, 0), "superblock", 0).error().message,
              "superblock at 0x0 is too short for its checksum");
}

}  // namespace
}  // namespace tarq::testing
