#include "hdf5/superblock.h"

#include <algorithm>
#include <string>
#include <tuple>

#include "hdf5/bytes.h"
#include "hdf5/checksum.h"
#include "hdf5/object_header.h"

namespace tarq::hdf5 {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'H', 'D', 'F', 0x0D, 0x0A, 0x1A, 0x0A};

Result<void> check_sizes(std::uint8_t offset_size, std::uint8_t length_size) {
    if (offset_size != 8 || length_size != 8)
        return netcdf_error("Unsupported offset_size=" + std::to_string(offset_size) +
                            " length_size=" + std::to_string(length_size));
    return {};
}

// A version 1 root header: libhdf5 turns an old-style root group into a
// new-style one (Link Info and Link messages) when it must hold a link a
// symbol table cannot, such as an external link, and leaves the superblock's
// cached symbol table behind, stale. The last Symbol Table message
// (HDF5 format IV.A.2.r) counts.
Result<RootGroup> root_from_v1_header(const FileReader& file, std::uint64_t header, std::uint32_t cache_type,
                                      std::uint64_t scratch_pad) {
    RootGroup root{header, false, true, UNDEFINED_ADDRESS, UNDEFINED_ADDRESS};
    bool found = false;
    bool link_info = false;
    IO_CHECK(walk_object_header(file, header, [&](std::uint16_t type, std::uint8_t, ByteSpan data) -> Result<void> {
        if (type == message_type::kLinkInfo) link_info = true;
        if (type == message_type::kSymbolTable && data.size() >= 16) {
            root.btree_address = le_uint_unchecked(data, 0, 8);
            root.heap_address = le_uint_unchecked(data, 8, 8);
            found = true;
        }
        return {};
    }));
    if (link_info) return RootGroup{header, false, false, UNDEFINED_ADDRESS, UNDEFINED_ADDRESS};
    if (cache_type == 1) {
        TARQ_TRY(const Bytes cached, file.read_at(scratch_pad, 16));
        return RootGroup{header, false, true, le_uint_unchecked(cached, 0, 8), le_uint_unchecked(cached, 8, 8)};
    }
    if (!found) return netcdf_error("No symbol table message found in root group object header");
    return root;
}

// Superblock versions 0 and 1: the root group symbol table entry
// (HDF5 format III.C) closes the superblock.
Result<RootGroup> locate_from_v0(const FileReader& file, std::uint8_t version) {
    TARQ_TRY(const std::uint8_t offset_size, file.u8(13));
    TARQ_TRY(const std::uint8_t length_size, file.u8(14));
    IO_CHECK(check_sizes(offset_size, length_size));
    const std::uint64_t s = version == 0 ? 0 : 4;
    // Base, free-space, end-of-file, driver information addresses and the
    // root entry's link name offset: unused, but they must be present.
    TARQ_TRY(std::ignore, file.read_at(24 + s, 40));
    TARQ_TRY(const std::uint64_t header, file.u64(64 + s));
    TARQ_TRY(const std::uint32_t cache_type, file.u32(72 + s));
    TARQ_TRY(const Bytes first, file.read_at(header, 4));
    if (has_signature(first, "OHDR")) return RootGroup{header, true, false, UNDEFINED_ADDRESS, UNDEFINED_ADDRESS};
    return root_from_v1_header(file, header, cache_type, 80 + s);
}

// Superblock versions 2 and 3 (and later numbers, read the same way): 48
// bytes with 8-byte addresses, the last 4 their checksum.
Result<RootGroup> locate_from_v2(const FileReader& file) {
    TARQ_TRY(const std::uint8_t offset_size, file.u8(9));
    TARQ_TRY(const std::uint8_t length_size, file.u8(10));
    IO_CHECK(check_sizes(offset_size, length_size));
    // Base, superblock extension and end-of-file addresses: unused.
    TARQ_TRY(const Bytes superblock, file.read_at(0, 48));
    IO_CHECK(verify_checksum(superblock, "superblock", 0));
    const std::uint64_t header = le_uint_unchecked(superblock, 36, 8);
    return RootGroup{header, true, false, UNDEFINED_ADDRESS, UNDEFINED_ADDRESS};
}

}  // namespace

Result<RootGroup> locate_root_group(const FileReader& file) {
    TARQ_TRY(const Bytes signature, file.read_at(0, 8));
    if (!std::equal(signature.begin(), signature.end(), std::begin(kSignature)))
        return netcdf_error("Not an HDF5 file");
    TARQ_TRY(const std::uint8_t version, file.u8(8));
    if (version <= 1) return locate_from_v0(file, version);
    return locate_from_v2(file);
}

}  // namespace tarq::hdf5
