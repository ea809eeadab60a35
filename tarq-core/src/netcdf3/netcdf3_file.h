#pragma once
// Read-only access to a classic netCDF file (CDF-1, CDF-2 or CDF-5): its
// variables, their attributes and the global attributes, with the operations
// the HDF5 reader offers. The header is parsed once at open; data are read in
// place. Safe to use from several threads at once.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/attr_value.h"
#include "io/dimension_ids.h"
#include "io/element_type.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq {

class Netcdf3File {
public:
    [[nodiscard]] static Result<Netcdf3File> open(std::string_view path);

    // The same, for a file already open.
    [[nodiscard]] static Result<Netcdf3File> open(FileReader file);

    Netcdf3File(Netcdf3File&&) noexcept;
    Netcdf3File& operator=(Netcdf3File&&) noexcept;
    ~Netcdf3File();

    // Dimension sizes; the record dimension has the record count.
    [[nodiscard]] Result<std::vector<std::uint64_t>> shape(std::string_view name) const;

    // All element bytes in row-major order, as stored (big-endian).
    [[nodiscard]] Result<std::vector<std::uint8_t>> read_bytes(std::string_view name) const;

    [[nodiscard]] Result<std::vector<double>> read_f64(std::string_view name) const;

    // The values at position `index` of the first dimension, as
    // Hdf5File::read_f64_slab; a record variable reads only that record.
    [[nodiscard]] Result<std::vector<double>> read_f64_slab(std::string_view name, std::uint64_t index) const;
    // The box [lo[k], hi[k]) of every dimension (the record dimension first
    // for a record variable), one positioned read per row of the box.
    [[nodiscard]] Result<std::vector<double>> read_f64_box(std::string_view name, std::span<const std::uint64_t> lo,
                                                           std::span<const std::uint64_t> hi) const;

    // A global attribute as float64, with the HDF5 reader's rules and errors.
    [[nodiscard]] Result<double> attr_f64(std::string_view name) const;

    // An attribute of a variable; nothing when the variable has none of that name.
    [[nodiscard]] Result<std::optional<AttrValue>> member_attr(std::string_view variable,
                                                               std::string_view attribute) const;

    // The element type a variable is stored in.
    [[nodiscard]] Result<Datatype> datatype(std::string_view name) const;

    // The length of a named dimension (the record count for the record one).
    [[nodiscard]] std::optional<std::uint64_t> dimension_size(std::string_view name) const;

    // The ids of a variable's dimensions, every one recorded (equal ids, the
    // same dimension); nothing when there is no such variable.
    [[nodiscard]] std::optional<DimensionIds> dimension_ids(std::string_view name) const;

    // Sorted variable and global attribute names, for tests and the fuzz target.
    [[nodiscard]] std::vector<std::string> member_names() const;
    [[nodiscard]] std::vector<std::string> attribute_names() const;

private:
    struct State;
    explicit Netcdf3File(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace tarq
