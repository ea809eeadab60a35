#include <string>

#include "file/accessors.h"
#include "file/packing.h"
#include "file/sizes.h"
#include "hdf5/dataspace.h"

namespace tarq {

namespace {

TarqError slab_out_of_range(std::string_view name, std::size_t t, std::span<const std::uint64_t> dims) {
    return TarqError{ErrorKind::DimMismatch, "time index " + std::to_string(t) + " out of range for variable '" +
                                                 std::string(name) + "' (shape " + format_dims(dims) + ")"};
}

// Model files rewritten by common tools store the static fields (XLAT, HGT,
// LU_INDEX, ...) as [ny, nx] without a time dimension; their first dimension
// is a row, not a time.
bool is_static_grid_field(const TarqFile& file, std::span<const std::uint64_t> dims) {
    return dims.size() == 2 && dims[0] == file.ny && dims[1] == file.nx;
}

// A static [ny, nx] field, returned whole for every time index.
Result<std::vector<double>> read_static_field(const TarqFile& file, std::string_view name,
                                              std::span<const std::uint64_t> dims) {
    TARQ_TRY(auto values, file.reader->read_f64(name));
    if (values.size() != file.ny * file.nx) {
        return fail(ErrorKind::DimMismatch, "variable '" + std::string(name) + "' holds " +
                                                std::to_string(values.size()) + " values, not the " +
                                                std::to_string(file.ny * file.nx) + " of its shape " +
                                                format_dims(dims));
    }
    return values;
}

Result<std::vector<double>> read_stored(const TarqFile& file, std::string_view name, std::size_t t) {
    TARQ_TRY(const auto dims, file.reader->shape(name));
    if (dims.size() < 2) return file.reader->read_f64(name);
    if (is_static_grid_field(file, dims)) return read_static_field(file, name, dims);

    // The first dimension is time. Only the chunks of time t are read; a slab
    // beyond the stored data (t past the first dimension, or data cut short)
    // is the same error a read of the whole variable would find.
    const auto slab = hdf5::element_count(std::span(dims).subspan(1));
    if (!slab) return std::unexpected(slab_out_of_range(name, t, dims));
    if (*slab == 0) return std::vector<double>{};
    if (t >= dims[0]) return std::unexpected(slab_out_of_range(name, t, dims));
    TARQ_TRY(auto values, file.reader->read_f64_slab(name, t));
    if (values.size() < *slab) return std::unexpected(slab_out_of_range(name, t, dims));
    values.resize(*slab);
    return values;
}

}  // namespace

Result<std::vector<double>> read_var(const TarqFile& file, std::string_view name, std::size_t t) {
    TARQ_TRY(auto values, read_stored(file, name, t));
    return unpacked(*file.reader, name, std::move(values));
}

}  // namespace tarq
