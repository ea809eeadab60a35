#include "hdf5/chunk_filters.h"

#include "hdf5/chunk_decode.h"
#include "hdf5/inflate.h"

namespace tarq::hdf5 {

Result<Bytes> inflate_zlib(ByteSpan stream, std::uint64_t max_size) {
    ScratchBuffer out;
    TARQ_TRY(const ByteSpan decoded, inflate_zlib_into(stream, max_size, out));
    return Bytes(decoded.begin(), decoded.end());
}

Bytes unshuffle(ByteSpan data, std::uint32_t element_size) {
    Bytes out(data.size());
    unshuffle_into(data, element_size, out);
    return out;
}

Result<Bytes> undo_filters(Bytes data, const std::vector<Filter>& filters, std::uint32_t filter_mask,
                           std::uint64_t max_size) {
    TARQ_TRY(const DecodedChunk decoded,
             decode_chunk(data, filters, filter_mask, max_size, 0, thread_chunk_scratch()));
    return Bytes(decoded.bytes.begin(), decoded.bytes.end());
}

}  // namespace tarq::hdf5
