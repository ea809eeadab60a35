#include "io/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "io/io_error.h"

namespace tarq {

namespace {

constexpr char kShortRead[] = "failed to fill whole buffer";

std::unexpected<TarqError> system_error(int error_number) {
    return netcdf_error(std::strerror(error_number));
}

}  // namespace

Result<FileReader> FileReader::open(std::string_view path) {
    // The system call would stop at a NUL and open another file than the one named.
    if (path.find('\0') != std::string_view::npos) return netcdf_error("path contains a NUL character");
    const std::string path_text(path);
    // Non-blocking, so that opening a FIFO without a writer returns at once;
    // regular files ignore the flag.
    const int fd = ::open(path_text.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return system_error(errno);
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error_number = errno;
        ::close(fd);
        return system_error(error_number);
    }
    if (S_ISDIR(status.st_mode)) {
        ::close(fd);
        return system_error(EISDIR);
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        return netcdf_error("Not a regular file (a FIFO, socket or device cannot be read by position)");
    }
    return FileReader(fd, static_cast<std::uint64_t>(status.st_size));
}

FileReader::FileReader(FileReader&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

FileReader& FileReader::operator=(FileReader&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
    }
    return *this;
}

FileReader::~FileReader() {
    if (fd_ >= 0) ::close(fd_);
}

// pread carries its own position, so concurrent reads need no lock.
Result<void> FileReader::fill(std::uint64_t offset, std::span<std::uint8_t> out) const {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return system_error(errno);
        }
        if (got == 0) return netcdf_error(kShortRead);
        done += static_cast<std::size_t>(got);
    }
    return {};
}

Result<Bytes> FileReader::read_at(std::uint64_t offset, std::uint64_t count) const {
    if (!fits(size_, offset, count)) return netcdf_error(kShortRead);
    Bytes buffer(static_cast<std::size_t>(count));
    IO_CHECK(fill(offset, buffer));
    return buffer;
}

Result<ByteSpan> FileReader::read_into(std::uint64_t offset, std::uint64_t count, ScratchBuffer& buffer) const {
    if (!fits(size_, offset, count)) return netcdf_error(kShortRead);
    const std::span<std::uint8_t> out = buffer.take(static_cast<std::size_t>(count));
    IO_CHECK(fill(offset, out));
    return ByteSpan(out);
}

namespace {

template <class T>
Result<T> read_le(const FileReader& file, std::uint64_t offset) {
    TARQ_TRY(const Bytes bytes, file.read_at(offset, sizeof(T)));
    return static_cast<T>(le_uint_unchecked(bytes, 0, sizeof(T)));
}

}  // namespace

Result<std::uint8_t> FileReader::u8(std::uint64_t offset) const { return read_le<std::uint8_t>(*this, offset); }
Result<std::uint16_t> FileReader::u16(std::uint64_t offset) const { return read_le<std::uint16_t>(*this, offset); }
Result<std::uint32_t> FileReader::u32(std::uint64_t offset) const { return read_le<std::uint32_t>(*this, offset); }
Result<std::uint64_t> FileReader::u64(std::uint64_t offset) const { return read_le<std::uint64_t>(*this, offset); }

}  // namespace tarq
