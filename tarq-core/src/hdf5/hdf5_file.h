#pragma once
// Read-only access to the root group of an HDF5 file, as netCDF-4 writes it:
// its datasets (contiguous or chunked with deflate and shuffle) and its
// attributes. Safe to use from several threads at once.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hdf5/dataset_info.h"
#include "io/attr_value.h"
#include "io/dimension_ids.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq {

class Hdf5File {
public:
    // Opens the file, checks signature and superblock, and builds the root
    // group's member and attribute tables.
    [[nodiscard]] static Result<Hdf5File> open(std::string_view path);

    // The same, for a file already open.
    [[nodiscard]] static Result<Hdf5File> open(FileReader file);

    Hdf5File(Hdf5File&&) noexcept;
    Hdf5File& operator=(Hdf5File&&) noexcept;
    ~Hdf5File();

    // Parsed description of a root member, cached per name with the
    // member's chunk records once a read has walked them.
    [[nodiscard]] Result<DatasetInfo> dataset_info(std::string_view name) const;

    [[nodiscard]] Result<std::vector<std::uint64_t>> shape(std::string_view name) const;

    // The whole dataset's element bytes, row-major, each as stored.
    [[nodiscard]] Result<std::vector<std::uint8_t>> read_bytes(std::string_view name) const;

    // The whole dataset converted to float64, row-major.
    [[nodiscard]] Result<std::vector<double>> read_f64(std::string_view name) const;

    // The values at position `index` of the first dimension, converted to
    // float64: what read_f64 returns at [index * slab, (index + 1) * slab),
    // slab being the product of the other dimensions, cut short where that
    // vector would end. Reads only the chunks (or the contiguous byte range)
    // holding that slab.
    [[nodiscard]] Result<std::vector<double>> read_f64_slab(std::string_view name,
                                                            std::uint64_t index) const;

    // The box [lo[k], hi[k]) of every dimension as float64 (read_dataset_box_f64).
    [[nodiscard]] Result<std::vector<double>> read_f64_box(std::string_view name, std::span<const std::uint64_t> lo,
                                                           std::span<const std::uint64_t> hi) const;

    // The length of a one-dimensional root member, which is how netCDF-4
    // keeps a dimension of that name.
    [[nodiscard]] std::optional<std::uint64_t> dimension_size(std::string_view name) const;

    // For each dimension of a root dataset, the object header address of the
    // dimension scale attached to it (nothing where none is), as netCDF-4
    // records a variable's dimensions; nothing when the dataset has no
    // scales attached or the file records none.
    [[nodiscard]] std::optional<DimensionIds> dimension_ids(std::string_view name) const;

    // A root group attribute as float64.
    [[nodiscard]] Result<double> attr_f64(std::string_view name) const;

    // An attribute of a root member; nothing when the member has none of
    // that name. A member's attributes are read once and cached.
    [[nodiscard]] Result<std::optional<AttrValue>> member_attr(std::string_view member,
                                                               std::string_view attribute) const;

    // The element type a root dataset is stored in.
    [[nodiscard]] Result<Datatype> datatype(std::string_view name) const;

    // Sorted names of the root group's hard links and attributes, for tests
    // and the fuzz target.
    [[nodiscard]] std::vector<std::string> member_names() const;
    [[nodiscard]] std::vector<std::string> attribute_names() const;

private:
    struct State;
    explicit Hdf5File(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace tarq
