#pragma once

// The readers open files by path; an anonymous memory file keeps the disk out.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Replaces the contents of this process's memory file with the input and
// returns the file's path, or nothing when the write fails.
inline std::optional<std::string> write_memory_file(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("tarq_fuzz", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0) return std::nullopt;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) return std::nullopt;
        written += static_cast<std::size_t>(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}
