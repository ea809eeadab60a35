#include "hdf5/chunk_filters.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <string>

namespace tarq::hdf5 {

namespace {

constexpr std::size_t kInflateInputBuffer = 32768;

// The Fletcher32 checksum only trails the data; it is dropped, not verified.
Bytes strip_checksum(Bytes data) {
    if (data.size() >= 4) data.resize(data.size() - 4);
    return data;
}

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

}  // namespace

Result<Bytes> inflate_zlib(ByteSpan stream, std::uint64_t max_size) {
    const auto corrupt = [] { return netcdf_error("corrupt deflate stream"); };
    Inflater inflater;
    if (!inflater.ok()) return corrupt();
    z_stream& z = inflater.stream();
    const std::uint64_t first_size = std::max<std::uint64_t>(std::uint64_t{stream.size()} * 4, 4096);
    Bytes out(static_cast<std::size_t>(std::min(max_size, first_size)));
    std::size_t consumed = 0;
    const auto input_exhausted = [&] { return z.avail_in == 0 && consumed == stream.size(); };
    for (;;) {
        if (z.avail_in == 0 && consumed < stream.size()) {
            const std::size_t take = std::min(kInflateInputBuffer, stream.size() - consumed);
            z.next_in = const_cast<Bytef*>(stream.data() + consumed);
            z.avail_in = static_cast<uInt>(take);
            consumed += take;
        }
        if (z.total_out == out.size() && out.size() >= max_size) {
            // The output is at its limit: the stream must end right here.
            std::uint8_t probe = 0;
            z.next_out = &probe;
            z.avail_out = 1;
            const int status = inflate(&z, Z_NO_FLUSH);
            if (z.avail_out == 0)
                return netcdf_error("Decoded chunk exceeds its size of " + std::to_string(max_size) + " bytes");
            if (status == Z_STREAM_END) break;
            if ((status == Z_OK || status == Z_BUF_ERROR) && !input_exhausted()) continue;
            return corrupt();
        }
        if (z.total_out == out.size())
            out.resize(static_cast<std::size_t>(std::min<std::uint64_t>(max_size, std::uint64_t{out.size()} * 2)));
        const std::size_t room = std::min<std::size_t>(out.size() - z.total_out, std::numeric_limits<uInt>::max());
        z.next_out = out.data() + z.total_out;
        z.avail_out = static_cast<uInt>(room);
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END) break;
        if (status == Z_OK) continue;
        if (status == Z_BUF_ERROR && !input_exhausted()) continue;
        return corrupt();
    }
    out.resize(z.total_out);
    return out;
}

Bytes unshuffle(ByteSpan data, std::uint32_t element_size) {
    const std::size_t length = data.size();
    if (element_size <= 1 || length == 0) return Bytes(data.begin(), data.end());
    const std::size_t s = element_size;
    const std::size_t n = length / s;
    if (n == 0) return Bytes(data.begin(), data.end());
    Bytes out(length);
    for (std::size_t b = 0; b < s; ++b) {
        const std::uint8_t* plane = data.data() + b * n;
        for (std::size_t i = 0; i < n; ++i) out[i * s + b] = plane[i];
    }
    std::copy(data.begin() + static_cast<std::ptrdiff_t>(n * s), data.end(),
              out.begin() + static_cast<std::ptrdiff_t>(n * s));
    return out;
}

Result<Bytes> undo_filters(Bytes data, const std::vector<Filter>& filters, std::uint32_t filter_mask,
                           std::uint64_t max_size) {
    for (std::size_t step = filters.size(); step > 0; --step) {
        const std::size_t i = step - 1;
        if (i < 32 && (filter_mask >> i) & 1u) continue;
        const Filter& filter = filters[i];
        switch (filter.kind) {
            case FilterKind::Deflate: {
                TARQ_TRY(data, inflate_zlib(data, max_size));
                break;
            }
            case FilterKind::Shuffle: data = unshuffle(data, filter.param); break;
            case FilterKind::Fletcher32: data = strip_checksum(std::move(data)); break;
            case FilterKind::Unsupported:
                return netcdf_error("Unsupported filter id " + std::to_string(filter.id));
        }
    }
    return data;
}

}  // namespace tarq::hdf5
