#pragma once
// Positioned reads of exactly the requested bytes from a file opened
// read-only. Reads from several threads never share a file position.

#include <cstdint>
#include <span>
#include <string_view>

#include "io/bytes.h"
#include "io/scratch_buffer.h"
#include "util/error.h"

namespace tarq {

class FileReader {
public:
    [[nodiscard]] static Result<FileReader> open(std::string_view path);

    FileReader(FileReader&& other) noexcept;
    FileReader& operator=(FileReader&& other) noexcept;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    ~FileReader();

    // Exactly `count` bytes at absolute `offset`. A request that runs past the
    // end of the file fails before anything is allocated, so a size claimed
    // by a corrupt structure cannot exhaust memory.
    [[nodiscard]] Result<Bytes> read_at(std::uint64_t offset, std::uint64_t count) const;

    // The same bytes, read into `buffer` (reused, not zero-filled); valid
    // until the buffer is used again.
    [[nodiscard]] Result<ByteSpan> read_into(std::uint64_t offset, std::uint64_t count, ScratchBuffer& buffer) const;

    [[nodiscard]] Result<std::uint8_t> u8(std::uint64_t offset) const;
    [[nodiscard]] Result<std::uint16_t> u16(std::uint64_t offset) const;
    [[nodiscard]] Result<std::uint32_t> u32(std::uint64_t offset) const;
    [[nodiscard]] Result<std::uint64_t> u64(std::uint64_t offset) const;

    [[nodiscard]] std::uint64_t size() const noexcept { return size_; }

private:
    [[nodiscard]] Result<void> fill(std::uint64_t offset, std::span<std::uint8_t> out) const;
    FileReader(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_ = -1;
    std::uint64_t size_;
};

}  // namespace tarq
