#pragma once
// The reader behind an open model file, whichever format it is in: an HDF5
// (netCDF-4) file or a classic netCDF file, chosen by the file's first bytes.
// Stored values come back as stored; unpacking is read_var's.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/attr_value.h"
#include "io/dimension_ids.h"
#include "io/element_type.h"
#include "util/error.h"

namespace tarq {

// A rectangle of the last two dimensions of a stored variable: the rows and
// columns of a horizontal field that a window of the grid covers. A staggered
// dimension (one point longer than the mass points) keeps its extra point.
struct HorizontalCrop {
    std::uint64_t row0 = 0;
    std::uint64_t rows = 0;
    std::uint64_t col0 = 0;
    std::uint64_t cols = 0;
};

class ModelReader {
public:
    virtual ~ModelReader() = default;

    [[nodiscard]] virtual Result<std::vector<std::uint64_t>> shape(std::string_view name) const = 0;
    [[nodiscard]] virtual Result<std::vector<std::uint8_t>> read_bytes(std::string_view name) const = 0;
    [[nodiscard]] virtual Result<std::vector<double>> read_f64(std::string_view name) const = 0;
    // The values at `index` of the first dimension (see Hdf5File::read_f64_slab).
    [[nodiscard]] virtual Result<std::vector<double>> read_f64_slab(std::string_view name,
                                                                    std::uint64_t index) const = 0;
    // What read_f64_slab(name, *index) returns (read_f64(name) without an
    // index) on the rectangle `crop` of the last two dimensions only. The
    // readers read only the stored bytes the rectangle needs.
    [[nodiscard]] virtual Result<std::vector<double>> read_f64_rect(std::string_view name,
                                                                    std::optional<std::uint64_t> index,
                                                                    const HorizontalCrop& crop) const = 0;
    // A global attribute as float64.
    [[nodiscard]] virtual Result<double> attr_f64(std::string_view name) const = 0;
    // An attribute of a variable, if it has one of that name.
    [[nodiscard]] virtual Result<std::optional<AttrValue>> variable_attr(std::string_view variable,
                                                                         std::string_view attribute) const = 0;
    // The element type a variable is stored in.
    [[nodiscard]] virtual Result<Datatype> datatype(std::string_view name) const = 0;
    // The length of a named dimension; netCDF-4 keeps each dimension as a
    // one-dimensional member of that name.
    [[nodiscard]] virtual std::optional<std::uint64_t> dimension_size(std::string_view name) const = 0;
    // For each dimension of a variable, an identifier of the dimension it
    // uses, where the file records that (netCDF-4 dimension scales, classic
    // netCDF dimension ids); nothing where it records none for the variable.
    [[nodiscard]] virtual std::optional<DimensionIds> dimension_ids(std::string_view name) const = 0;

    // Sorted names of the stored variables and global attributes, for tests
    // and the fuzz target.
    [[nodiscard]] virtual std::vector<std::string> member_names() const = 0;
    [[nodiscard]] virtual std::vector<std::string> attribute_names() const = 0;
};

// Opens `path` with the reader its first bytes call for: "CDF" opens a
// classic netCDF file, anything else the HDF5 reader (and its errors).
[[nodiscard]] Result<std::unique_ptr<ModelReader>> open_model_reader(std::string_view path);

}  // namespace tarq
