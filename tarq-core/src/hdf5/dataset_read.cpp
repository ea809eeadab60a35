#include "hdf5/dataset_read.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "hdf5/chunk_index.h"
#include "hdf5/chunk_filters.h"
#include "hdf5/dataspace.h"

namespace tarq::hdf5 {

namespace {

// Deflate expands at most about 1032:1, so decoded data far beyond that
// multiple of the file's size can only come from a corrupt size; the floor
// keeps small files with sparse chunked datasets readable.
constexpr std::uint64_t kMaxExpansion = 1032;
constexpr std::uint64_t kDecodedFloorBytes = std::uint64_t{16} << 20;
// HDF5 limits a chunk to less than 4 GiB.
constexpr std::uint64_t kMaxChunkBytes = 0xFFFFFFFFull;

std::uint64_t decoded_limit(const FileReader& file) {
    return std::max(kDecodedFloorBytes, checked_mul(file.size(), kMaxExpansion).value_or(~std::uint64_t{0}));
}

Result<std::uint64_t> checked_bytes(const FileReader& file, std::optional<std::uint64_t> elements,
                                    std::uint64_t element_bytes) {
    const auto bytes = elements ? checked_mul(*elements, element_bytes) : std::nullopt;
    if (!bytes) return netcdf_error("Dataset size overflows");
    if (*bytes > decoded_limit(file))
        return netcdf_error("Dataset claims " + std::to_string(*bytes) + " bytes, more than a file of " +
                            std::to_string(file.size()) + " bytes can hold");
    return *bytes;
}

// Which part of the first dimension is read: [begin, end).
struct Selection {
    std::uint64_t begin;
    std::uint64_t end;
};

// Copies a decoded chunk's elements that lie inside the dataset and the
// selection into `out`, whose first dimension is the selection. Runs along
// the last dimension are copied whole; elements past the end of a short
// decoded chunk are left as they are.
void place_chunk(ByteSpan decoded, const std::vector<std::uint64_t>& origin, const std::vector<std::uint32_t>& chunk,
                 const std::vector<std::uint64_t>& dims, Selection selection, std::uint64_t e, Bytes& out) {
    const std::size_t rank = dims.size();
    std::vector<std::uint64_t> lo(rank, 0), hi(rank, 0);
    for (std::size_t k = 0; k < rank; ++k) {
        if (origin[k] >= dims[k]) return;
        hi[k] = std::min<std::uint64_t>(chunk[k], dims[k] - origin[k]);
    }
    if (origin[0] + hi[0] <= selection.begin || origin[0] >= selection.end) return;
    lo[0] = selection.begin > origin[0] ? selection.begin - origin[0] : 0;
    hi[0] = std::min(hi[0], selection.end - origin[0]);

    const std::uint64_t run_bytes = (hi[rank - 1] - lo[rank - 1]) * e;
    std::vector<std::uint64_t> local = lo;
    for (;;) {
        std::uint64_t in_index = 0, out_index = 0;
        for (std::size_t k = 0; k < rank; ++k) {
            in_index = in_index * chunk[k] + local[k];
            const std::uint64_t global = origin[k] + local[k] - (k == 0 ? selection.begin : 0);
            out_index = out_index * (k == 0 ? selection.end - selection.begin : dims[k]) + global;
        }
        const std::uint64_t in_at = in_index * e;
        // Chunk elements come in increasing order: once past the decoded
        // bytes, nothing more of this chunk can be placed.
        if (in_at >= decoded.size()) return;
        const std::uint64_t count = std::min<std::uint64_t>(run_bytes, decoded.size() - in_at);
        std::memcpy(out.data() + out_index * e, decoded.data() + in_at, count);

        std::size_t k = rank - 1;
        for (;;) {
            if (k == 0) return;
            --k;
            if (++local[k] < hi[k]) break;
            local[k] = lo[k];
        }
    }
}

Result<Bytes> read_chunked(const FileReader& file, const DatasetInfo& info, const ChunkedLayout& layout,
                           Selection selection, std::optional<std::uint64_t> out_elements) {
    for (const Filter& filter : info.filters)
        if (filter.kind == FilterKind::Unsupported)
            return netcdf_error("Unsupported filter id " + std::to_string(filter.id));
    if (layout.btree_address == UNDEFINED_ADDRESS) return Bytes{};
    const std::uint64_t e = element_size(info.datatype.type);
    TARQ_TRY(const std::uint64_t out_bytes, checked_bytes(file, out_elements, e));

    std::optional<std::uint64_t> chunk_elements = 1;
    for (const std::uint32_t c : layout.chunk_dims)
        chunk_elements = chunk_elements ? checked_mul(*chunk_elements, c) : std::nullopt;
    TARQ_TRY(const std::uint64_t chunk_bytes, checked_bytes(file, chunk_elements, e));
    if (chunk_bytes > kMaxChunkBytes)
        return netcdf_error("Chunk of " + std::to_string(chunk_bytes) + " bytes is larger than HDF5 allows");
    const auto fletchers = static_cast<std::uint64_t>(std::count_if(
        info.filters.begin(), info.filters.end(), [](const Filter& f) { return f.kind == FilterKind::Fletcher32; }));
    const std::uint64_t max_decoded = chunk_bytes + 4 * fletchers;

    TARQ_TRY(const std::vector<ChunkRecord> records, collect_chunk_records(file, info, layout));
    Bytes out(static_cast<std::size_t>(out_bytes), 0);
    const std::size_t rank = info.dims.size();
    for (const ChunkRecord& record : records) {
        if (record.address == UNDEFINED_ADDRESS) continue;
        const std::vector<std::uint64_t> origin(record.offsets.begin(), record.offsets.begin() + rank);
        const std::uint64_t first = origin[0];
        if (first >= selection.end || (first < selection.begin && selection.begin - first >= layout.chunk_dims[0]))
            continue;
        TARQ_TRY(Bytes stored, file.read_at(record.address, record.size));
        TARQ_TRY(const Bytes decoded, undo_filters(std::move(stored), info.filters, record.filter_mask, max_decoded));
        place_chunk(decoded, origin, layout.chunk_dims, info.dims, selection, e, out);
    }
    return out;
}

Result<Bytes> read_contiguous(const FileReader& file, const ContiguousLayout& layout, std::uint64_t begin,
                              std::uint64_t end) {
    if (layout.address == UNDEFINED_ADDRESS || layout.size == 0) return Bytes{};
    end = std::min(end, layout.size);
    if (begin >= end) return Bytes{};
    const auto at = checked_add(layout.address, begin);
    if (!at) return netcdf_error("failed to fill whole buffer");
    return file.read_at(*at, end - begin);
}

template <class T>
T load(const std::uint8_t* p, bool big_endian) {
    using U = std::conditional_t<
        sizeof(T) == 8, std::uint64_t,
        std::conditional_t<sizeof(T) == 4, std::uint32_t,
                           std::conditional_t<sizeof(T) == 2, std::uint16_t, std::uint8_t>>>;
    U bits = 0;
    std::memcpy(&bits, p, sizeof(U));
    if ((std::endian::native == std::endian::big) != big_endian) bits = std::byteswap(bits);
    return std::bit_cast<T>(bits);
}

}  // namespace

Result<Bytes> read_dataset_bytes(const FileReader& file, const DatasetInfo& info) {
    if (const auto* contiguous = std::get_if<ContiguousLayout>(&info.layout))
        return read_contiguous(file, *contiguous, 0, contiguous->size);
    const auto& chunked = std::get<ChunkedLayout>(info.layout);
    // A chunked dataset has at least one dimension.
    return read_chunked(file, info, chunked, {0, info.dims[0]}, element_count(info.dims));
}

Result<Bytes> read_dataset_slab(const FileReader& file, const DatasetInfo& info, std::uint64_t index) {
    const std::uint64_t e = element_size(info.datatype.type);
    const auto slab = element_count(std::span(info.dims).subspan(info.dims.empty() ? 0 : 1));
    if (const auto* contiguous = std::get_if<ContiguousLayout>(&info.layout)) {
        const auto slab_bytes = slab ? checked_mul(*slab, e) : std::nullopt;
        if (!slab_bytes) return netcdf_error("Dataset size overflows");
        // A slab that starts past 2^64 bytes lies past any stored data.
        const auto begin_bytes = checked_mul(*slab_bytes, index);
        if (!begin_bytes) return Bytes{};
        // Only whole elements count, as in read_f64.
        const std::uint64_t whole = contiguous->size / e * e;
        const std::uint64_t end = checked_add(*begin_bytes, *slab_bytes).value_or(~std::uint64_t{0});
        return read_contiguous(file, {contiguous->address, whole}, *begin_bytes, end);
    }
    const std::uint64_t first_dim = info.dims.empty() ? 1 : info.dims[0];
    if (index >= first_dim) return Bytes{};
    return read_chunked(file, info, std::get<ChunkedLayout>(info.layout), {index, index + 1}, slab);
}

std::vector<double> convert_to_f64(ByteSpan bytes, const Datatype& datatype) {
    const std::uint64_t e = element_size(datatype.type);
    const std::size_t n = bytes.size() / e;
    std::vector<double> values(n);
    const std::uint8_t* p = bytes.data();
    const bool be = datatype.big_endian;
    switch (datatype.type) {
        case ElementType::F64:
            for (std::size_t i = 0; i < n; ++i) values[i] = load<double>(p + 8 * i, be);
            break;
        case ElementType::F32:
            for (std::size_t i = 0; i < n; ++i) values[i] = load<float>(p + 4 * i, be);
            break;
        case ElementType::I16:
            if (datatype.is_signed)
                for (std::size_t i = 0; i < n; ++i) values[i] = load<std::int16_t>(p + 2 * i, be);
            else
                for (std::size_t i = 0; i < n; ++i) values[i] = load<std::uint16_t>(p + 2 * i, be);
            break;
        case ElementType::I64:
            // Magnitudes above 2^53 round to the nearest float64, as NumPy does.
            if (datatype.is_signed)
                for (std::size_t i = 0; i < n; ++i) values[i] = static_cast<double>(load<std::int64_t>(p + 8 * i, be));
            else
                for (std::size_t i = 0; i < n; ++i) values[i] = static_cast<double>(load<std::uint64_t>(p + 8 * i, be));
            break;
        case ElementType::I32:
            if (datatype.is_signed)
                for (std::size_t i = 0; i < n; ++i) values[i] = load<std::int32_t>(p + 4 * i, be);
            else
                for (std::size_t i = 0; i < n; ++i) values[i] = load<std::uint32_t>(p + 4 * i, be);
            break;
        case ElementType::Byte:
            if (datatype.is_signed)
                for (std::size_t i = 0; i < n; ++i) values[i] = static_cast<std::int8_t>(p[i]);
            else
                for (std::size_t i = 0; i < n; ++i) values[i] = p[i];
            break;
    }
    return values;
}

}  // namespace tarq::hdf5
