#include "hdf5/dataset_read.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "hdf5/chunk_decode.h"
#include "hdf5/chunk_index.h"
#include "hdf5/chunk_scratch.h"
#include "io/checked.h"
#include "io/convert.h"
#include "util/huge_pages.h"

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

// Calls run(in_element, out_element, count) for every run along the last
// dimension of a chunk's elements that lie inside the dataset and the
// selection, in increasing order of in_element; `out` indexes an array whose
// first dimension is the selection. A run returning false ends the walk.
template <class Run>
void for_each_run(const std::vector<std::uint64_t>& origin, const std::vector<std::uint32_t>& chunk,
                  const std::vector<std::uint64_t>& dims, Selection selection, Run&& run) {
    const std::size_t rank = dims.size();
    std::vector<std::uint64_t> lo(rank, 0), hi(rank, 0);
    for (std::size_t k = 0; k < rank; ++k) {
        if (origin[k] >= dims[k]) return;
        hi[k] = std::min<std::uint64_t>(chunk[k], dims[k] - origin[k]);
    }
    if (origin[0] + hi[0] <= selection.begin || origin[0] >= selection.end) return;
    lo[0] = selection.begin > origin[0] ? selection.begin - origin[0] : 0;
    hi[0] = std::min(hi[0], selection.end - origin[0]);

    const std::uint64_t run_elements = hi[rank - 1] - lo[rank - 1];
    std::vector<std::uint64_t> local = lo;
    for (;;) {
        std::uint64_t in_index = 0, out_index = 0;
        for (std::size_t k = 0; k < rank; ++k) {
            in_index = in_index * chunk[k] + local[k];
            const std::uint64_t global = origin[k] + local[k] - (k == 0 ? selection.begin : 0);
            out_index = out_index * (k == 0 ? selection.end - selection.begin : dims[k]) + global;
        }
        if (!run(in_index, out_index, run_elements)) return;

        std::size_t k = rank - 1;
        for (;;) {
            if (k == 0) return;
            --k;
            if (++local[k] < hi[k]) break;
            local[k] = lo[k];
        }
    }
}

// Copies a decoded chunk's elements into `out`; elements past the end of a
// short decoded chunk are left as they are.
void place_chunk(ByteSpan decoded, const std::vector<std::uint64_t>& origin, const std::vector<std::uint32_t>& chunk,
                 const std::vector<std::uint64_t>& dims, Selection selection, std::uint64_t e, Bytes& out) {
    for_each_run(origin, chunk, dims, selection, [&](std::uint64_t in, std::uint64_t at, std::uint64_t count) {
        const std::uint64_t in_at = in * e;
        // Chunk elements come in increasing order: once past the decoded
        // bytes, nothing more of this chunk can be placed.
        if (in_at >= decoded.size()) return false;
        std::memcpy(out.data() + at * e, decoded.data() + in_at, std::min<std::uint64_t>(count * e, decoded.size() - in_at));
        return true;
    });
}

// Reads and decodes every chunk of the selection, in index order, and hands
// each to place(decoded, origin). `keep_shuffle` is the element size of a
// final shuffle that place undoes itself (0: none).
template <class Wanted, class Place>
Result<void> read_chunks_where(const FileReader& file, const Dataset& dataset, const ChunkedLayout& layout,
                               std::uint32_t keep_shuffle, Wanted&& wanted, Place&& place);

template <class Place>
Result<void> read_chunks(const FileReader& file, const Dataset& dataset, const ChunkedLayout& layout,
                         Selection selection, std::uint32_t keep_shuffle, Place&& place) {
    const auto in_selection = [&](const std::vector<std::uint64_t>& origin) {
        const std::uint64_t first = origin[0];
        return !(first >= selection.end ||
                 (first < selection.begin && selection.begin - first >= layout.chunk_dims[0]));
    };
    return read_chunks_where(file, dataset, layout, keep_shuffle, in_selection, std::forward<Place>(place));
}

// Reads and decodes the chunks whose origin `wanted` accepts, in index order,
// and hands each to place(decoded, origin).
template <class Wanted, class Place>
Result<void> read_chunks_where(const FileReader& file, const Dataset& dataset, const ChunkedLayout& layout,
                               std::uint32_t keep_shuffle, Wanted&& wanted, Place&& place) {
    const DatasetInfo& info = dataset.info();
    const std::uint64_t e = element_size(info.datatype.type);
    std::optional<std::uint64_t> chunk_elements = 1;
    for (const std::uint32_t c : layout.chunk_dims)
        chunk_elements = chunk_elements ? checked_mul(*chunk_elements, c) : std::nullopt;
    TARQ_TRY(const std::uint64_t chunk_bytes, checked_bytes(file, chunk_elements, e));
    if (chunk_bytes > kMaxChunkBytes)
        return netcdf_error("Chunk of " + std::to_string(chunk_bytes) + " bytes is larger than HDF5 allows");
    const auto fletchers = static_cast<std::uint64_t>(std::count_if(
        info.filters.begin(), info.filters.end(), [](const Filter& f) { return f.kind == FilterKind::Fletcher32; }));
    const std::uint64_t max_decoded = chunk_bytes + 4 * fletchers;

    TARQ_TRY(const std::span<const ChunkRecord> records, dataset.chunk_records(file));
    ChunkScratch& scratch = thread_chunk_scratch();
    const std::size_t rank = info.dims.size();
    for (const ChunkRecord& record : records) {
        if (record.address == UNDEFINED_ADDRESS) continue;
        const std::vector<std::uint64_t> origin(record.offsets.begin(), record.offsets.begin() + rank);
        if (!wanted(origin)) continue;
        TARQ_TRY(const ByteSpan stored, file.read_into(record.address, record.size, scratch.stored));
        TARQ_TRY(const DecodedChunk decoded,
                 decode_chunk(stored, info.filters, record.filter_mask, max_decoded, keep_shuffle, scratch));
        place(decoded, origin);
    }
    return {};
}

Result<void> check_filters(const DatasetInfo& info) {
    for (const Filter& filter : info.filters)
        if (filter.kind == FilterKind::Unsupported)
            return netcdf_error("Unsupported filter id " + std::to_string(filter.id));
    return {};
}

Result<Bytes> read_chunked(const FileReader& file, const Dataset& dataset, const ChunkedLayout& layout,
                           Selection selection, std::optional<std::uint64_t> out_elements) {
    const DatasetInfo& info = dataset.info();
    IO_CHECK(check_filters(info));
    if (layout.btree_address == UNDEFINED_ADDRESS) return Bytes{};
    const std::uint64_t e = element_size(info.datatype.type);
    TARQ_TRY(const std::uint64_t out_bytes, checked_bytes(file, out_elements, e));
    Bytes out(static_cast<std::size_t>(out_bytes), 0);
    IO_CHECK(read_chunks(file, dataset, layout, selection, 0, [&](const DecodedChunk& decoded, const auto& origin) {
        place_chunk(decoded.bytes, origin, layout.chunk_dims, info.dims, selection, e, out);
    }));
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

// The selection of a chunked dataset as float64: each chunk is inflated into
// this thread's scratch, then unshuffled and converted straight into the
// result in one pass. Elements no chunk holds stay 0.
Result<std::vector<double>> read_chunked_f64(const FileReader& file, const Dataset& dataset,
                                             const ChunkedLayout& layout, Selection selection,
                                             std::optional<std::uint64_t> out_elements) {
    const DatasetInfo& info = dataset.info();
    IO_CHECK(check_filters(info));
    if (layout.btree_address == UNDEFINED_ADDRESS) return std::vector<double>{};
    const std::uint64_t e = element_size(info.datatype.type);
    TARQ_TRY(const std::uint64_t out_bytes, checked_bytes(file, out_elements, e));
    std::vector<double> out = zeroed_field(static_cast<std::size_t>(out_bytes / e));
    const auto keep_shuffle = static_cast<std::uint32_t>(e);
    IO_CHECK(read_chunks(file, dataset, layout, selection, keep_shuffle, [&](const DecodedChunk& decoded, const auto& origin) {
        const std::uint64_t available = decoded.bytes.size() / e;
        for_each_run(origin, layout.chunk_dims, info.dims, selection,
                     [&](std::uint64_t in, std::uint64_t at, std::uint64_t count) {
                         // A short chunk places only the whole elements it holds.
                         if (in >= available) return false;
                         convert_elements_f64(decoded.bytes, decoded.shuffle != 1, info.datatype, in, std::min(count, available - in), out.data() + at);
                         return true;
                     });
    }));
    return out;
}

// Bytes [begin, end) of a contiguous dataset as float64 (whole elements only).
Result<std::vector<double>> read_contiguous_f64(const FileReader& file, const ContiguousLayout& layout,
                                                std::uint64_t begin, std::uint64_t end, const Datatype& datatype) {
    if (layout.address == UNDEFINED_ADDRESS || layout.size == 0) return std::vector<double>{};
    end = std::min(end, layout.size);
    if (begin >= end) return std::vector<double>{};
    const auto at = checked_add(layout.address, begin);
    if (!at) return netcdf_error("failed to fill whole buffer");
    TARQ_TRY(const ByteSpan bytes, file.read_into(*at, end - begin, thread_chunk_scratch().stored));
    const std::uint64_t e = element_size(datatype.type);
    std::vector<double> out = zeroed_field(static_cast<std::size_t>(bytes.size() / e));
    convert_elements_f64(bytes, false, datatype, 0, out.size(), out.data());
    return out;
}

// The element count of box [lo, hi), or nothing past 2^64.
std::optional<std::uint64_t> box_elements(std::span<const std::uint64_t> lo, std::span<const std::uint64_t> hi) {
    std::optional<std::uint64_t> n = 1;
    for (std::size_t k = 0; k < lo.size(); ++k) n = n ? checked_mul(*n, hi[k] - lo[k]) : std::nullopt;
    return n;
}

// The box of a chunked dataset: only the chunks that overlap it are read, and
// only their elements inside it converted.
Result<std::vector<double>> read_chunked_box_f64(const FileReader& file, const Dataset& dataset,
                                                 const ChunkedLayout& layout, std::span<const std::uint64_t> lo,
                                                 std::span<const std::uint64_t> hi) {
    const DatasetInfo& info = dataset.info();
    IO_CHECK(check_filters(info));
    const std::size_t rank = info.dims.size();
    const std::uint64_t e = element_size(info.datatype.type);
    TARQ_TRY(const std::uint64_t out_bytes, checked_bytes(file, box_elements(lo, hi), e));
    std::vector<double> out = zeroed_field(static_cast<std::size_t>(out_bytes / e));
    if (layout.btree_address == UNDEFINED_ADDRESS) return out;
    const auto overlaps = [&](const std::vector<std::uint64_t>& origin) {
        for (std::size_t k = 0; k < rank; ++k)
            if (origin[k] >= hi[k] || origin[k] + layout.chunk_dims[k] <= lo[k]) return false;
        return true;
    };
    const auto keep_shuffle = static_cast<std::uint32_t>(e);
    IO_CHECK(read_chunks_where(file, dataset, layout, keep_shuffle, overlaps,
                               [&](const DecodedChunk& decoded, const std::vector<std::uint64_t>& origin) {
        const std::uint64_t available = decoded.bytes.size() / e;
        // The part of the chunk inside the box, in chunk coordinates.
        std::vector<std::uint64_t> first(rank), last(rank);
        for (std::size_t k = 0; k < rank; ++k) {
            first[k] = std::max(lo[k], origin[k]) - origin[k];
            last[k] = std::min({hi[k], origin[k] + layout.chunk_dims[k], info.dims[k]}) - origin[k];
            if (first[k] >= last[k]) return;
        }
        std::vector<std::uint64_t> local = first;
        const std::uint64_t count = last[rank - 1] - first[rank - 1];
        for (;;) {
            std::uint64_t in = 0, at = 0;
            for (std::size_t k = 0; k < rank; ++k) {
                in = in * layout.chunk_dims[k] + local[k];
                at = at * (hi[k] - lo[k]) + (origin[k] + local[k] - lo[k]);
            }
            if (in >= available) return;
            convert_elements_f64(decoded.bytes, decoded.shuffle != 1, info.datatype, in,
                                 std::min(count, available - in), out.data() + at);
            std::size_t k = rank - 1;
            for (;;) {
                if (k == 0) return;
                --k;
                if (++local[k] < last[k]) break;
                local[k] = first[k];
            }
        }
    }));
    return out;
}

// The box of a contiguous dataset: one positioned read per run along the
// last dimension, runs that follow each other in the file merged into one.
// Nothing where the stored data ends inside the box.
Result<std::vector<double>> read_contiguous_box_f64(const FileReader& file, const DatasetInfo& info,
                                                    const ContiguousLayout& layout,
                                                    std::span<const std::uint64_t> lo,
                                                    std::span<const std::uint64_t> hi) {
    const std::size_t rank = info.dims.size();
    const std::uint64_t e = element_size(info.datatype.type);
    TARQ_TRY(const std::uint64_t out_bytes, checked_bytes(file, box_elements(lo, hi), e));
    std::vector<double> out = zeroed_field(static_cast<std::size_t>(out_bytes / e));
    if (out.empty()) return out;
    if (layout.address == UNDEFINED_ADDRESS) return std::vector<double>{};
    struct Run {
        std::uint64_t element;  // first element in the file
        std::uint64_t count;
    };
    std::vector<Run> runs;
    const std::uint64_t count = hi[rank - 1] - lo[rank - 1];
    std::vector<std::uint64_t> index(lo.begin(), lo.end());
    for (;;) {
        std::uint64_t element = 0;
        for (std::size_t k = 0; k < rank; ++k) element = element * info.dims[k] + index[k];
        if (!runs.empty() && runs.back().element + runs.back().count == element) {
            runs.back().count += count;
        } else {
            runs.push_back({element, count});
        }
        std::size_t k = rank - 1;
        bool done = true;
        while (k > 0) {
            --k;
            if (++index[k] < hi[k]) {
                done = false;
                break;
            }
            index[k] = lo[k];
        }
        if (done) break;
    }
    std::uint64_t at = 0;
    ChunkScratch& scratch = thread_chunk_scratch();
    for (const Run& run : runs) {
        const std::uint64_t begin = run.element * e;
        const std::uint64_t bytes = run.count * e;
        if (begin + bytes > layout.size / e * e) return std::vector<double>{};
        const auto address = checked_add(layout.address, begin);
        if (!address) return netcdf_error("failed to fill whole buffer");
        TARQ_TRY(const ByteSpan stored, file.read_into(*address, bytes, scratch.stored));
        convert_elements_f64(stored, false, info.datatype, 0, run.count, out.data() + at);
        at += run.count;
    }
    return out;
}

}  // namespace

Result<std::vector<double>> read_dataset_box_f64(const FileReader& file, const Dataset& dataset,
                                                 std::span<const std::uint64_t> lo,
                                                 std::span<const std::uint64_t> hi) {
    const DatasetInfo& info = dataset.info();
    if (info.dims.empty() || lo.size() != info.dims.size() || hi.size() != info.dims.size())
        return netcdf_error("selection of " + std::to_string(lo.size()) + " dimensions for a dataset of " +
                            std::to_string(info.dims.size()));
    for (std::size_t k = 0; k < lo.size(); ++k)
        if (!(lo[k] < hi[k] && hi[k] <= info.dims[k])) return std::vector<double>{};
    if (const auto* contiguous = std::get_if<ContiguousLayout>(&info.layout))
        return read_contiguous_box_f64(file, info, *contiguous, lo, hi);
    return read_chunked_box_f64(file, dataset, std::get<ChunkedLayout>(info.layout), lo, hi);
}

Result<std::span<const ChunkRecord>> Dataset::chunk_records(const FileReader& file) const {
    std::call_once(records_once_, [&] {
        records_ = collect_chunk_records(file, info_, std::get<ChunkedLayout>(info_.layout));
    });
    if (!records_) return std::unexpected(records_.error());
    return std::span<const ChunkRecord>(*records_);
}

Result<Bytes> read_dataset_bytes(const FileReader& file, const Dataset& dataset) {
    const DatasetInfo& info = dataset.info();
    if (const auto* contiguous = std::get_if<ContiguousLayout>(&info.layout))
        return read_contiguous(file, *contiguous, 0, contiguous->size);
    const auto& chunked = std::get<ChunkedLayout>(info.layout);
    // A chunked dataset has at least one dimension.
    return read_chunked(file, dataset, chunked, {0, info.dims[0]}, element_count(info.dims));
}

Result<Bytes> read_dataset_slab(const FileReader& file, const Dataset& dataset, std::uint64_t index) {
    const DatasetInfo& info = dataset.info();
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
    return read_chunked(file, dataset, std::get<ChunkedLayout>(info.layout), {index, index + 1}, slab);
}

Result<std::vector<double>> read_dataset_f64(const FileReader& file, const Dataset& dataset) {
    const DatasetInfo& info = dataset.info();
    if (const auto* contiguous = std::get_if<ContiguousLayout>(&info.layout))
        return read_contiguous_f64(file, *contiguous, 0, contiguous->size, info.datatype);
    return read_chunked_f64(file, dataset, std::get<ChunkedLayout>(info.layout), {0, info.dims[0]},
                            element_count(info.dims));
}

Result<std::vector<double>> read_dataset_slab_f64(const FileReader& file, const Dataset& dataset,
                                                  std::uint64_t index) {
    const DatasetInfo& info = dataset.info();
    const std::uint64_t e = element_size(info.datatype.type);
    const auto slab = element_count(std::span(info.dims).subspan(info.dims.empty() ? 0 : 1));
    if (const auto* contiguous = std::get_if<ContiguousLayout>(&info.layout)) {
        const auto slab_bytes = slab ? checked_mul(*slab, e) : std::nullopt;
        if (!slab_bytes) return netcdf_error("Dataset size overflows");
        const auto begin_bytes = checked_mul(*slab_bytes, index);
        if (!begin_bytes) return std::vector<double>{};
        const std::uint64_t whole = contiguous->size / e * e;
        const std::uint64_t end = checked_add(*begin_bytes, *slab_bytes).value_or(~std::uint64_t{0});
        return read_contiguous_f64(file, {contiguous->address, whole}, *begin_bytes, end, info.datatype);
    }
    const std::uint64_t first_dim = info.dims.empty() ? 1 : info.dims[0];
    if (index >= first_dim) return std::vector<double>{};
    return read_chunked_f64(file, dataset, std::get<ChunkedLayout>(info.layout), {index, index + 1}, slab);
}

}  // namespace tarq::hdf5
