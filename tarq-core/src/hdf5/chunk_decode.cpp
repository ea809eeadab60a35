#include "hdf5/chunk_decode.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "hdf5/inflate.h"

namespace tarq::hdf5 {

namespace {

bool undone(std::uint32_t filter_mask, std::size_t step) noexcept {
    return !(step < 32 && ((filter_mask >> step) & 1u));
}

template <std::size_t S>
void unshuffle_fixed(const std::uint8_t* in, std::size_t n, std::uint8_t* out) noexcept {
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t b = 0; b < S; ++b) out[i * S + b] = in[b * n + i];
}

}  // namespace

ChunkScratch& thread_chunk_scratch() {
    thread_local ChunkScratch scratch;
    return scratch;
}

void unshuffle_into(ByteSpan data, std::uint32_t element_size, std::span<std::uint8_t> out) noexcept {
    const std::size_t length = data.size();
    const std::size_t s = element_size;
    const std::size_t n = s > 1 ? length / s : 0;
    if (n == 0) {
        if (length > 0) std::memcpy(out.data(), data.data(), length);
        return;
    }
    switch (s) {
        case 2: unshuffle_fixed<2>(data.data(), n, out.data()); break;
        case 4: unshuffle_fixed<4>(data.data(), n, out.data()); break;
        case 8: unshuffle_fixed<8>(data.data(), n, out.data()); break;
        default:
            for (std::size_t b = 0; b < s; ++b) {
                const std::uint8_t* plane = data.data() + b * n;
                for (std::size_t i = 0; i < n; ++i) out[i * s + b] = plane[i];
            }
    }
    std::memcpy(out.data() + n * s, data.data() + n * s, length - n * s);
}

Result<DecodedChunk> decode_chunk(ByteSpan stored, const std::vector<Filter>& filters, std::uint32_t filter_mask,
                                  std::uint64_t max_size, std::uint32_t keep_shuffle, ChunkScratch& scratch) {
    // The step undone last; a shuffle there may be left to the caller.
    std::size_t last = filters.size();
    for (std::size_t i = 0; i < filters.size(); ++i) {
        if (undone(filter_mask, i)) {
            last = i;
            break;
        }
    }
    DecodedChunk chunk{stored, 1};
    bool in_a = false;  // which stage buffer holds chunk.bytes
    for (std::size_t step = filters.size(); step > 0; --step) {
        const std::size_t i = step - 1;
        if (!undone(filter_mask, i)) continue;
        const Filter& filter = filters[i];
        ScratchBuffer& next = in_a ? scratch.stage_b : scratch.stage_a;
        switch (filter.kind) {
            case FilterKind::Deflate: {
                TARQ_TRY(chunk.bytes, inflate_zlib_into(chunk.bytes, max_size, next));
                in_a = !in_a;
                break;
            }
            case FilterKind::Shuffle: {
                if (filter.param <= 1 || chunk.bytes.empty()) break;
                if (i == last && filter.param == keep_shuffle) {
                    chunk.shuffle = filter.param;
                    break;
                }
                const std::span<std::uint8_t> out = next.take(chunk.bytes.size());
                unshuffle_into(chunk.bytes, filter.param, out);
                chunk.bytes = out;
                in_a = !in_a;
                break;
            }
            // The Fletcher32 checksum only trails the data; it is dropped, not verified.
            case FilterKind::Fletcher32:
                if (chunk.bytes.size() >= 4) chunk.bytes = chunk.bytes.first(chunk.bytes.size() - 4);
                break;
            case FilterKind::Unsupported:
                return netcdf_error("Unsupported filter id " + std::to_string(filter.id));
        }
    }
    return chunk;
}

}  // namespace tarq::hdf5
