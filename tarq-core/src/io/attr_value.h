#pragma once
// The value of one attribute (global or of a variable) as both readers keep it.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "util/error.h"

namespace tarq {

// `value`, for global attributes: F64, F32 and I32 hold the first element of
// a numeric attribute; every other datatype (strings, 1-byte, 2-byte and
// 8-byte integers, unsupported types) is kept as text.
struct AttrValue {
    std::variant<double, float, std::int32_t, std::string> value;
    // Every element of a numeric attribute of any type and size as float64,
    // for the packing and masking attributes of variables; empty for text.
    std::vector<double> numbers;
};

// A global attribute as float64: F64, F32 and I32 widen exactly; text is
// AttrType "'{name}' is not numeric".
[[nodiscard]] inline Result<double> attr_value_f64(const std::string& name, const AttrValue& attribute) {
    const auto& value = attribute.value;
    if (const auto* d = std::get_if<double>(&value)) return *d;
    if (const auto* f = std::get_if<float>(&value)) return static_cast<double>(*f);
    if (const auto* i = std::get_if<std::int32_t>(&value)) return static_cast<double>(*i);
    return fail(ErrorKind::AttrType, "'" + name + "' is not numeric");
}

}  // namespace tarq
