#pragma once
// Packed variables, as the netCDF conventions define them: a variable with a
// scale_factor or an add_offset attribute stores v and means
// v * scale_factor + add_offset. Values equal to its _FillValue or
// missing_value mean no data. Unpacked variables are left exactly as stored.

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
    std::optional<double> fill_value;
    std::optional<double> missing_value;
};

// The packing of a stored variable, or nothing when it is not packed.
[[nodiscard]] Result<std::optional<Packing>> packing_of(const ModelReader& reader, std::string_view name);

// Stored values to their meaning in place: fill and missing values become
// NaN, every other value v becomes v * scale_factor + add_offset.
void unpack(std::span<double> values, const Packing& packing) noexcept;

// read_var's last step: `values` of variable `name` unpacked when it is packed.
[[nodiscard]] Result<std::vector<double>> unpacked(const ModelReader& reader, std::string_view name,
                                                   std::vector<double> values);

}  // namespace tarq
