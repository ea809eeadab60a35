#pragma once
// A byte buffer reused from read to read. It grows only, is never
// zero-filled, and its contents are undefined until written, so a read
// touches only the memory it writes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace tarq {

class ScratchBuffer {
public:
    // At least `size` bytes; earlier contents are not kept when it grows.
    [[nodiscard]] std::span<std::uint8_t> take(std::size_t size) {
        if (size > capacity_) {
            data_.reset();
            data_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
            capacity_ = size;
        }
        return {data_.get(), size};
    }

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t capacity_ = 0;
};

}  // namespace tarq
