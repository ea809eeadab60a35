#include "hdf5/local_heap.h"

#include "hdf5/dataset_info.h"

namespace tarq::hdf5 {

Result<Bytes> read_local_heap_data(const FileReader& file, std::uint64_t address) {
    TARQ_TRY(const Bytes signature, file.read_at(address, 4));
    if (!has_signature(signature, "HEAP"))
        return netcdf_error("Expected HEAP at " + hex_address(address) + ", got " + byte_list(signature));
    TARQ_TRY(const Bytes fields, file.read_at(address + 4, 28));
    const std::uint64_t size = le_uint_unchecked(fields, 4, 8);
    const std::uint64_t data_address = le_uint_unchecked(fields, 20, 8);
    if (data_address == UNDEFINED_ADDRESS || size == 0) return Bytes{};
    return file.read_at(data_address, size);
}

}  // namespace tarq::hdf5
