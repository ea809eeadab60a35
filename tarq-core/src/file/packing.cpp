#include "file/packing.h"

#include <limits>

namespace tarq {

Result<std::optional<Packing>> packing_of(const ModelReader& reader, std::string_view name) {
    TARQ_TRY(const auto scale, reader.variable_attr_f64(name, "scale_factor"));
    TARQ_TRY(const auto offset, reader.variable_attr_f64(name, "add_offset"));
    if (!scale && !offset) return std::optional<Packing>{};
    TARQ_TRY(const auto fill, reader.variable_attr_f64(name, "_FillValue"));
    TARQ_TRY(const auto missing, reader.variable_attr_f64(name, "missing_value"));
    return Packing{scale.value_or(1.0), offset.value_or(0.0), fill, missing};
}

void unpack(std::span<double> values, const Packing& packing) noexcept {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    for (double& v : values) {
        if ((packing.fill_value && v == *packing.fill_value) || (packing.missing_value && v == *packing.missing_value))
            v = kNaN;
        else
            v = v * packing.scale_factor + packing.add_offset;
    }
}

Result<std::vector<double>> unpacked(const ModelReader& reader, std::string_view name, std::vector<double> values) {
    TARQ_TRY(const auto packing, packing_of(reader, name));
    if (packing) unpack(values, *packing);
    return values;
}

}  // namespace tarq
