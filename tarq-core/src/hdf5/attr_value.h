#pragma once
// The value of one root group attribute as the attribute table keeps it.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace tarq {

// F64, F32 and I32 hold the first element of a numeric attribute; every other
// datatype (strings, 1-byte integers, unsupported types) is kept as text.
struct AttrValue {
    std::variant<double, float, std::int32_t, std::string> value;
    // The first element of any floating-point or 2-, 4- or 8-byte integer
    // attribute as float64, for the packing attributes of variables
    // (scale_factor, add_offset, _FillValue, missing_value).
    std::optional<double> number;
};

}  // namespace tarq
