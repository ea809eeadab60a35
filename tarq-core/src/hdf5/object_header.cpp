#include "hdf5/object_header.h"

#include <string>
#include <unordered_set>
#include <vector>

#include "hdf5/checksum.h"
#include "hdf5/dataset_info.h"

namespace tarq::hdf5 {

namespace {

// One block of messages being walked: the object header's first chunk or a
// continuation block. Continuations are walked through an explicit stack so
// that a long chain of blocks cannot exhaust the call stack.
struct MessageBlock {
    Bytes bytes;
    std::size_t cursor = 0;
};

// Continuation blocks already entered; a block entered twice is a cycle.
class BlockGuard {
public:
    [[nodiscard]] Result<void> enter(std::uint64_t address) {
        if (!seen_.insert(address).second)
            return netcdf_error("Object header continuation cycle at " + hex_address(address));
        return {};
    }

private:
    std::unordered_set<std::uint64_t> seen_;
};

struct Continuation {
    std::uint64_t offset;
    std::uint64_t length;
};

std::optional<Continuation> parse_continuation(ByteSpan data) {
    if (data.size() < 16) return std::nullopt;
    const Continuation c{le_uint_unchecked(data, 0, 8), le_uint_unchecked(data, 8, 8)};
    if (c.offset == UNDEFINED_ADDRESS || c.length == 0) return std::nullopt;
    return c;
}

// Version 1 object header (HDF5 format IV.A.1.a): 16-byte prefix, then
// messages with 8-byte headers (type u16, size u16, flags u8, reserved).
Result<void> walk_v1(const FileReader& file, std::uint64_t address, const MessageVisitor& visit) {
    TARQ_TRY(const std::uint32_t header_size, file.u32(address + 8));
    TARQ_TRY(Bytes first, file.read_at(address + 16, header_size));
    BlockGuard guard;
    IO_CHECK(guard.enter(address + 16));
    std::vector<MessageBlock> stack;
    stack.push_back({std::move(first), 0});
    while (!stack.empty()) {
        MessageBlock& block = stack.back();
        const std::size_t size = block.bytes.size();
        if (size - block.cursor < 8) {
            stack.pop_back();
            continue;
        }
        const ByteSpan bytes(block.bytes);
        const auto type = static_cast<std::uint16_t>(le_uint_unchecked(bytes, block.cursor, 2));
        const std::size_t length = le_uint_unchecked(bytes, block.cursor + 2, 2);
        const std::uint8_t flags = bytes[block.cursor + 4];
        const std::size_t start = block.cursor + 8;
        if (!fits(size, start, length)) {
            stack.pop_back();
            continue;
        }
        block.cursor = start + length;
        const ByteSpan data = bytes.subspan(start, length);
        if (type == message_type::kContinuation && length >= 16) {
            if (const auto next = parse_continuation(data)) {
                IO_CHECK(guard.enter(next->offset));
                TARQ_TRY(Bytes continued, file.read_at(next->offset, next->length));
                stack.push_back({std::move(continued), 0});
            }
            continue;
        }
        if (length == 0) continue;
        IO_CHECK(visit(type, flags, data));
    }
    return {};
}

// Version 2 object header (HDF5 format IV.A.1.b): "OHDR" prefix, messages
// with 4-byte headers (6 with creation order), "OCHK" continuation blocks.
Result<void> walk_v2(const FileReader& file, std::uint64_t address, const MessageVisitor& visit) {
    TARQ_TRY(const std::uint8_t flags, file.u8(address + 5));
    std::uint64_t size_field = address + 6;
    if (flags & 0x20) size_field += 16;
    if (flags & 0x10) size_field += 4;
    const std::size_t size_width = std::size_t{1} << (flags & 3);
    TARQ_TRY(const Bytes size_bytes, file.read_at(size_field, size_width));
    const std::uint64_t chunk_size = le_uint_unchecked(size_bytes, 0, size_width);
    const std::size_t header_size = (flags & 0x04) ? 6 : 4;

    // The first chunk's messages follow the prefix; the checksum of prefix and
    // messages follows them.
    const std::uint64_t prefix_size = size_field + size_width - address;
    const auto checked_size = checked_add(prefix_size + 4, chunk_size);
    if (!checked_size) return netcdf_error("Object header at " + hex_address(address) + " claims too many bytes");
    TARQ_TRY(const Bytes whole, file.read_at(address, *checked_size));
    IO_CHECK(verify_checksum(whole, "object header", address));
    Bytes first(whole.begin() + static_cast<std::ptrdiff_t>(prefix_size), whole.end() - 4);
    BlockGuard guard;
    IO_CHECK(guard.enter(size_field + size_width));
    std::vector<MessageBlock> stack;
    stack.push_back({std::move(first), 0});
    while (!stack.empty()) {
        MessageBlock& block = stack.back();
        const std::size_t size = block.bytes.size();
        if (size - block.cursor < header_size) {
            stack.pop_back();
            continue;
        }
        const ByteSpan bytes(block.bytes);
        const std::uint16_t type = bytes[block.cursor];
        const std::size_t length = le_uint_unchecked(bytes, block.cursor + 1, 2);
        const std::uint8_t flags = bytes[block.cursor + 3];
        const std::size_t start = block.cursor + header_size;
        if (!fits(size, start, length)) {
            stack.pop_back();
            continue;
        }
        block.cursor = start + length;
        // libhdf5 leaves empty null messages between real ones, so an empty
        // message does not end the block.
        if (type == 0 && length == 0) continue;
        const ByteSpan data = bytes.subspan(start, length);
        if (type != message_type::kContinuation) {
            IO_CHECK(visit(type, flags, data));
            continue;
        }
        const auto next = parse_continuation(data);
        if (!next) continue;
        TARQ_TRY(const Bytes signature, file.read_at(next->offset, 4));
        if (!has_signature(signature, "OCHK")) continue;
        IO_CHECK(guard.enter(next->offset));
        // The block's last 4 bytes are its checksum.
        if (next->length < 8) return netcdf_error("Object header continuation at " + hex_address(next->offset) + " is too short");
        TARQ_TRY(const Bytes block_bytes, file.read_at(next->offset, next->length));
        IO_CHECK(verify_checksum(block_bytes, "object header continuation block", next->offset));
        stack.push_back({Bytes(block_bytes.begin() + 4, block_bytes.end() - 4), 0});
    }
    return {};
}

}  // namespace

Result<void> walk_object_header(const FileReader& file, std::uint64_t address,
                                const MessageVisitor& visit) {
    TARQ_TRY(const std::uint8_t first, file.u8(address));
    if (first == 1) return walk_v1(file, address, visit);
    if (first == 'O') {
        TARQ_TRY(const Bytes prefix, file.read_at(address, 5));
        if (has_signature(prefix, "OHDR")) {
            if (prefix[4] != 2)
                return netcdf_error("OHDR signature found but unexpected version " +
                                    std::to_string(prefix[4]));
            return walk_v2(file, address, visit);
        }
    }
    return netcdf_error("Unsupported object header version " + std::to_string(first) + " at " +
                        hex_address(address));
}

Result<void> walk_v2_object_header(const FileReader& file, std::uint64_t address,
                                   const MessageVisitor& visit) {
    TARQ_TRY(const Bytes signature, file.read_at(address, 4));
    if (!has_signature(signature, "OHDR")) return netcdf_error("Expected OHDR at " + hex_address(address));
    return walk_v2(file, address, visit);
}

}  // namespace tarq::hdf5
