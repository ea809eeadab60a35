#pragma once
// Hand-made HDF5 bytes for the reader's tests: a growable little-endian image
// written to a temporary file, and builders of the few structures the tests
// combine (superblock, object headers, messages).

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "hdf5/checksum.h"
#include "io/file_reader.h"

namespace tarq::testing {

using Image = std::vector<std::uint8_t>;

inline void put(Image& image, std::size_t at, std::uint64_t value, std::size_t width) {
    if (image.size() < at + width) image.resize(at + width, 0);
    for (std::size_t i = 0; i < width; ++i) image[at + i] = i < 8 ? static_cast<std::uint8_t>(value >> (8 * i)) : 0;
}

inline void put_bytes(Image& image, std::size_t at, const Image& bytes) {
    if (image.size() < at + bytes.size()) image.resize(at + bytes.size(), 0);
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
}

inline void put_text(Image& image, std::size_t at, std::string_view text) {
    put_bytes(image, at, Image(text.begin(), text.end()));
}

// Appends little-endian fields of the given widths.
inline Image fields(std::initializer_list<std::pair<std::uint64_t, std::size_t>> values) {
    Image out;
    for (const auto& [value, width] : values) put(out, out.size(), value, width);
    return out;
}

inline Image concat(std::initializer_list<Image> parts) {
    Image out;
    for (const Image& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline Image text(std::string_view s) { return Image(s.begin(), s.end()); }

// A temporary file holding `image`, removed with the object.
class TempFile {
public:
    explicit TempFile(const Image& image) {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarq_h5_XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        ::close(fd);
        path_ = pattern;
        std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                     static_cast<std::streamsize>(image.size()));
    }
    ~TempFile() { std::filesystem::remove(path_); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] FileReader reader() const { return std::move(*FileReader::open(path_)); }

private:
    std::string path_;
};

inline constexpr std::uint64_t kUndefined = 0xFFFFFFFFFFFFFFFFull;

// `body` followed by its metadata checksum, as the newer structures end.
inline Image with_checksum(const Image& body) {
    return concat({body, fields({{hdf5::metadata_checksum(body), 4}})});
}

// Superblock version 2 whose root object header is at `root`.
inline Image superblock_v2(std::uint64_t root, std::uint8_t offset_size = 8, std::uint8_t length_size = 8) {
    Image image = {0x89, 'H', 'D', 'F', 0x0D, 0x0A, 0x1A, 0x0A, 2, offset_size, length_size, 0};
    put(image, 12, 0, 8);
    put(image, 20, kUndefined, 8);
    put(image, 28, 4096, 8);
    put(image, 36, root, 8);
    return with_checksum(image);
}

// One message of a version 2 object header (4-byte message header).
inline Image v2_message(std::uint8_t type, const Image& data) {
    return concat({fields({{type, 1}, {data.size(), 2}, {0, 1}}), data});
}

// One message of a version 1 object header (8-byte message header).
inline Image v1_message(std::uint16_t type, const Image& data) {
    return concat({fields({{type, 2}, {data.size(), 2}, {0, 1}, {0, 3}}), data});
}

// A version 2 object header with 1-byte chunk size holding `messages`, and
// its checksum.
inline Image ohdr(const Image& messages, std::uint8_t flags = 0) {
    return with_checksum(concat({text("OHDR"), fields({{2, 1}, {flags, 1}, {messages.size(), 1}}), messages}));
}

// A version 1 object header holding `messages`.
inline Image v1_header(const Image& messages) {
    return concat({fields({{1, 1}, {0, 1}, {0, 2}, {1, 4}, {messages.size(), 4}, {0, 4}}), messages});
}

// Datatype messages: IEEE little-endian float, fixed point, string.
inline Image float_type(std::uint32_t size, std::uint8_t bits = 0) {
    return fields({{0x11, 1}, {bits, 1}, {0, 2}, {size, 4}, {0, 4}});
}
inline Image int_type(std::uint32_t size, bool is_signed, bool big_endian = false) {
    return fields({{0x10, 1}, {(is_signed ? 0x08u : 0u) | (big_endian ? 1u : 0u), 1}, {0, 2}, {size, 4}, {0, 4}});
}

// Dataspace version 1 with the given current sizes.
inline Image dataspace(std::initializer_list<std::uint64_t> dims) {
    Image out = fields({{1, 1}, {dims.size(), 1}, {0, 1}, {0, 5}});
    for (const std::uint64_t d : dims) put(out, out.size(), d, 8);
    return out;
}

inline Image contiguous_layout(std::uint64_t address, std::uint64_t size) {
    return fields({{3, 1}, {1, 1}, {address, 8}, {size, 8}});
}

// Version 3 chunked layout: dims then the element size.
inline Image chunked_layout(std::uint64_t btree, std::initializer_list<std::uint32_t> chunk, std::uint32_t element) {
    Image out = fields({{3, 1}, {2, 1}, {chunk.size() + 1, 1}, {btree, 8}});
    for (const std::uint32_t c : chunk) put(out, out.size(), c, 4);
    put(out, out.size(), element, 4);
    return out;
}

// A hard Link message naming `name` -> `address`.
inline Image link_message(std::string_view name, std::uint64_t address) {
    return concat({fields({{1, 1}, {0, 1}, {name.size(), 1}}), text(name), fields({{address, 8}})});
}

// A file: superblock 2, root "OHDR" at 48 with hard links, then `blobs` laid
// at their offsets (each a dataset header or data).
struct Blob {
    std::uint64_t at;
    Image bytes;
};
inline Image file_with_links(std::initializer_list<std::pair<std::string_view, std::uint64_t>> links,
                             std::initializer_list<Blob> blobs, const Image& root_extra = {}) {
    Image messages = root_extra;
    for (const auto& [name, address] : links) {
        const Image m = v2_message(6, link_message(name, address));
        messages.insert(messages.end(), m.begin(), m.end());
    }
    Image image = superblock_v2(48);
    put_bytes(image, 48, ohdr(messages));
    for (const Blob& blob : blobs) put_bytes(image, blob.at, blob.bytes);
    return image;
}

}  // namespace tarq::testing
