// Huge and tiny fractal heap objects (HDF5 format III.G, "Fractal Heap ID
// for Huge Objects" and "for Tiny Objects").

#include <algorithm>
#include <string>

#include "hdf5/btree_v2.h"
#include "hdf5/dataset_info.h"
#include "hdf5/fractal_heap.h"

namespace tarq::hdf5 {

namespace {

// Version 2 B-tree record types of huge objects of an unfiltered heap:
// type 1 holds address, length and key.
constexpr std::uint8_t kHugeRecordSize = 24;
std::unexpected<TarqError> huge_error(const std::string& what) { return netcdf_error("Huge heap object: " + what); }

}  // namespace

Result<Bytes> huge_heap_object(const FileReader& file, const FractalHeap& heap, ByteSpan heap_id) {
    // Objects of a heap with I/O filters are stored filtered; such heaps are
    // not written for links or attributes.
    if (heap.io_filter_length > 0) return huge_error("filtered heaps are not supported");
    const ByteSpan rest = heap_id.subspan(1);
    // An ID with room for an address and a length holds them directly.
    if (rest.size() >= 16) return file.read_at(le_uint_unchecked(rest, 0, 8), le_uint_unchecked(rest, 8, 8));
    const std::uint64_t key = le_uint_unchecked(rest, 0, std::min<std::size_t>(rest.size(), 8));
    if (heap.huge_btree_address == UNDEFINED_ADDRESS) return huge_error("no huge object B-tree");
    TARQ_TRY(const std::vector<Bytes> records, collect_btree2_records(file, heap.huge_btree_address));
    for (const Bytes& record : records) {
        if (record.size() != kHugeRecordSize) return huge_error("unexpected B-tree record size");
        if (le_uint_unchecked(record, 16, 8) == key)
            return file.read_at(le_uint_unchecked(record, 0, 8), le_uint_unchecked(record, 8, 8));
    }
    return huge_error("key " + std::to_string(key) + " not found");
}

Result<Bytes> tiny_heap_object(const FractalHeap& heap, ByteSpan heap_id) {
    // IDs longer than 18 bytes spend a second byte on the length.
    const bool extended = heap.heap_id_length > 18;
    const std::size_t data_at = extended ? 2 : 1;
    if (heap_id.size() < data_at) return netcdf_error("Tiny heap ID too short");
    const std::size_t length =
        (extended ? ((std::size_t{heap_id[0]} & 0x0F) << 8 | heap_id[1]) : (heap_id[0] & 0x0F)) + 1;
    if (!fits(heap_id.size(), data_at, length)) return netcdf_error("Tiny heap object extends past its ID");
    return Bytes(heap_id.begin() + data_at, heap_id.begin() + data_at + length);
}

}  // namespace tarq::hdf5
