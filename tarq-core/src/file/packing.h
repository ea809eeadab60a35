#pragma once
// Packed and masked variables, as the netCDF conventions define them and
// netCDF4-python applies them:
// - `_Unsigned = "true"` on a signed integer variable reads its integers as
//   unsigned (classic files have no unsigned 1-, 2- or 4-byte types);
// - a stored value equal to `_FillValue` (or, without one, to the netCDF
//   default fill of the variable's type) or to any `missing_value`, or below
//   `valid_min` / above `valid_max` (both given by a two-element
//   `valid_range` where there is one) means no data: NaN;
// - a masking attribute that the variable's type cannot hold exactly is
//   ignored, as netCDF4-python ignores it;
// - a variable with a `scale_factor` or an `add_offset` stores v and means
//   v * scale_factor + add_offset; either must be one number, else reading
//   the variable fails naming it and the attribute.
// Variables with none of these attributes and no default-fill cells are left
// exactly as stored.

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "file/model_reader.h"
#include "util/error.h"

namespace tarq {

struct Packing {
    double scale_factor = 1.0;
    double add_offset = 0.0;
    bool scaled = false;
    // 2^bits where signed integers are read as unsigned.
    std::optional<double> unsigned_span;
    std::vector<double> no_data;  // the fill value and the missing values
    std::optional<double> valid_min;
    std::optional<double> valid_max;
};

// How the stored values of variable `name` are turned into their meaning.
[[nodiscard]] Result<Packing> packing_of(const ModelReader& reader, std::string_view name);

// Stored values to their meaning in place: values the packing marks as no
// data become NaN, every other value v becomes v * scale_factor + add_offset.
void unpack(std::span<double> values, const Packing& packing) noexcept;

// read_var's last step: `values` of variable `name` unpacked and masked.
[[nodiscard]] Result<std::vector<double>> unpacked(const ModelReader& reader, std::string_view name,
                                                   std::vector<double> values);

}  // namespace tarq
