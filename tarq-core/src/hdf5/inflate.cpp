#include "hdf5/inflate.h"

#include <algorithm>
#include <limits>
#include <string>

#if TARQ_HAVE_LIBDEFLATE
#include <libdeflate.h>
#else
#include <zlib.h>
#endif

namespace tarq::hdf5 {

namespace {

// Deflate expands at most 1032:1, so a valid stream never decodes to more than
// this; the output buffer is sized by it and never grows.
constexpr std::uint64_t kMaxExpansion = 1032;

std::unexpected<TarqError> corrupt() { return netcdf_error("corrupt deflate stream"); }

std::unexpected<TarqError> too_long(std::uint64_t max_size) {
    return netcdf_error("Decoded chunk exceeds its size of " + std::to_string(max_size) + " bytes");
}

// Output room: max_size, or less where the stream cannot fill it.
std::size_t output_room(ByteSpan stream, std::uint64_t max_size) {
    const std::uint64_t bound = (std::uint64_t{stream.size()} + 1) * kMaxExpansion;
    return static_cast<std::size_t>(std::min(max_size, bound));
}

#if TARQ_HAVE_LIBDEFLATE

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const noexcept { libdeflate_free_decompressor(d); }
};

libdeflate_decompressor* thread_decompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    return decompressor.get();
}

#else

constexpr std::size_t kInflateInputBuffer = 32768;

// Owns a zlib inflate state.
class Inflater {
public:
    Inflater() { ok_ = inflateInit(&z_) == Z_OK; }
    ~Inflater() {
        if (ok_) inflateEnd(&z_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    [[nodiscard]] bool ok() const noexcept { return ok_; }
    z_stream& stream() noexcept { return z_; }

private:
    z_stream z_{};
    bool ok_ = false;
};

#endif

}  // namespace

#if TARQ_HAVE_LIBDEFLATE

const char* inflate_library() noexcept { return "libdeflate"; }

Result<std::span<const std::uint8_t>> inflate_zlib_into(ByteSpan stream, std::uint64_t max_size,
                                                        ScratchBuffer& out) {
    libdeflate_decompressor* decompressor = thread_decompressor();
    if (decompressor == nullptr) return corrupt();
    const std::size_t room = output_room(stream, max_size);
    // One byte more than allowed tells a stream that ends at the limit from one
    // that runs past it.
    const std::span<std::uint8_t> buffer = out.take(room + 1);
    std::size_t in_used = 0;
    std::size_t produced = 0;
    const libdeflate_result status = libdeflate_zlib_decompress_ex(
        decompressor, stream.data(), stream.size(), buffer.data(), room + 1, &in_used, &produced);
    if (status == LIBDEFLATE_SUCCESS) {
        if (produced > max_size) return too_long(max_size);
        return std::span<const std::uint8_t>(buffer.data(), produced);
    }
    // Out of room at max_size means the chunk is too long; below it the room
    // is a bound no valid stream exceeds.
    if (status == LIBDEFLATE_INSUFFICIENT_SPACE && room == max_size) return too_long(max_size);
    return corrupt();
}

#else

const char* inflate_library() noexcept { return "zlib"; }

Result<std::span<const std::uint8_t>> inflate_zlib_into(ByteSpan stream, std::uint64_t max_size,
                                                        ScratchBuffer& out) {
    Inflater inflater;
    if (!inflater.ok()) return corrupt();
    z_stream& z = inflater.stream();
    const std::size_t room = output_room(stream, max_size);
    const std::span<std::uint8_t> buffer = out.take(room + 1);
    std::size_t consumed = 0;
    std::size_t produced = 0;
    for (;;) {
        if (z.avail_in == 0 && consumed < stream.size()) {
            const std::size_t take = std::min(kInflateInputBuffer, stream.size() - consumed);
            z.next_in = const_cast<Bytef*>(stream.data() + consumed);
            z.avail_in = static_cast<uInt>(take);
            consumed += take;
        }
        const std::size_t left = buffer.size() - produced;
        if (left == 0) return room == max_size ? too_long(max_size) : corrupt();
        z.next_out = buffer.data() + produced;
        z.avail_out = static_cast<uInt>(std::min<std::size_t>(left, std::numeric_limits<uInt>::max()));
        const uInt before = z.avail_out;
        const int status = inflate(&z, Z_NO_FLUSH);
        produced += before - z.avail_out;
        if (status == Z_STREAM_END) break;
        if (status == Z_OK) continue;
        if (status == Z_BUF_ERROR && !(z.avail_in == 0 && consumed == stream.size())) continue;
        return corrupt();
    }
    if (produced > max_size) return too_long(max_size);
    return std::span<const std::uint8_t>(buffer.data(), produced);
}

#endif

}  // namespace tarq::hdf5
