#include "file/packing.h"

#include <cmath>
#include <limits>
#include <string>

namespace tarq {

namespace {

std::unexpected<TarqError> bad_scaling(std::string_view variable, std::string_view attribute,
                                       const std::string& what) {
    return fail(ErrorKind::AttrType, "attribute '" + std::string(attribute) + "' of variable '" +
                                         std::string(variable) + "' " + what + ", not one number");
}

// scale_factor or add_offset: one number, or absent.
Result<std::optional<double>> scaling(const ModelReader& reader, std::string_view name, std::string_view attribute) {
    TARQ_TRY(const auto value, reader.variable_attr(name, attribute));
    if (!value) return std::optional<double>();
    if (value->numbers.empty()) return bad_scaling(name, attribute, "is text");
    if (value->numbers.size() != 1)
        return bad_scaling(name, attribute, "holds " + std::to_string(value->numbers.size()) + " values");
    return std::optional(value->numbers.front());
}

// The numbers of an attribute; none when absent or text.
Result<std::vector<double>> numbers(const ModelReader& reader, std::string_view name, std::string_view attribute) {
    TARQ_TRY(const auto value, reader.variable_attr(name, attribute));
    if (!value) return std::vector<double>{};
    return value->numbers;
}

bool is_true(const std::optional<AttrValue>& value) {
    const auto* text = value ? std::get_if<std::string>(&value->value) : nullptr;
    return text && value->numbers.empty() && (*text == "true" || *text == "True");
}

// Whether the stored type holds x exactly, as netCDF4-python's safe cast
// checks before it lets an attribute mask.
bool holds_exactly(const Datatype& type, double x) {
    if (!std::isfinite(x)) return type.type == ElementType::F64 || type.type == ElementType::F32;
    switch (type.type) {
        case ElementType::F64: return true;
        case ElementType::F32:
            return std::fabs(x) <= std::numeric_limits<float>::max() &&
                   static_cast<double>(static_cast<float>(x)) == x;
        case ElementType::Byte:
        case ElementType::I16:
        case ElementType::I32:
        case ElementType::I64: {
            if (std::trunc(x) != x) return false;
            const double span = std::ldexp(1.0, static_cast<int>(8 * element_size(type.type)));
            return type.is_signed ? (x >= -span / 2 && x < span / 2) : (x >= 0 && x < span);
        }
    }
    return false;
}

// The fill netCDF writes where no value was written, for a variable
// without _FillValue.
std::optional<double> default_fill(const Datatype& type) {
    if (type.text) return std::nullopt;
    switch (type.type) {
        case ElementType::F32: return static_cast<double>(9.9692099683868690e+36f);
        case ElementType::F64: return 9.9692099683868690e+36;
        case ElementType::Byte: return type.is_signed ? -127.0 : 255.0;
        case ElementType::I16: return type.is_signed ? -32767.0 : 65535.0;
        case ElementType::I32: return type.is_signed ? -2147483647.0 : 4294967295.0;
        case ElementType::I64: return type.is_signed ? -9223372036854775806.0 : 18446744073709551614.0;
    }
    return std::nullopt;
}

bool is_integer(const Datatype& type) { return type.type != ElementType::F32 && type.type != ElementType::F64; }

}  // namespace

Result<Packing> packing_of(const ModelReader& reader, std::string_view name) {
    Packing packing;
    TARQ_TRY(const auto scale, scaling(reader, name, "scale_factor"));
    TARQ_TRY(const auto offset, scaling(reader, name, "add_offset"));
    packing.scaled = scale || offset;
    packing.scale_factor = scale.value_or(1.0);
    packing.add_offset = offset.value_or(0.0);

    TARQ_TRY(const Datatype type, reader.datatype(name));
    if (type.text) return packing;
    TARQ_TRY(const auto unsigned_flag, reader.variable_attr(name, "_Unsigned"));
    if (is_integer(type) && type.is_signed && is_true(unsigned_flag))
        packing.unsigned_span = std::ldexp(1.0, static_cast<int>(8 * element_size(type.type)));
    // Attributes are compared with the values as read, unsigned where the
    // variable is; they must fit the stored type.
    const auto as_read = [&](double x) -> std::optional<double> {
        if (!holds_exactly(type, x)) return std::nullopt;
        return packing.unsigned_span && x < 0 ? x + *packing.unsigned_span : x;
    };

    TARQ_TRY(const auto missing, numbers(reader, name, "missing_value"));
    for (const double m : missing)
        if (const auto v = as_read(m)) packing.no_data.push_back(*v);
    TARQ_TRY(const auto fill, numbers(reader, name, "_FillValue"));
    if (!fill.empty()) {
        if (const auto v = as_read(fill.front())) packing.no_data.push_back(*v);
    } else if (const auto v = default_fill(type); v && !packing.unsigned_span) {
        packing.no_data.push_back(*v);
    }
    TARQ_TRY(const auto range, numbers(reader, name, "valid_range"));
    if (range.size() == 2) {
        packing.valid_min = as_read(range[0]);
        packing.valid_max = as_read(range[1]);
    } else {
        TARQ_TRY(const auto low, numbers(reader, name, "valid_min"));
        TARQ_TRY(const auto high, numbers(reader, name, "valid_max"));
        if (!low.empty()) packing.valid_min = as_read(low.front());
        if (!high.empty()) packing.valid_max = as_read(high.front());
    }
    return packing;
}

void unpack(std::span<double> values, const Packing& packing) noexcept {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    for (double& v : values) {
        if (packing.unsigned_span && v < 0) v += *packing.unsigned_span;
        bool no_data = (packing.valid_min && v < *packing.valid_min) || (packing.valid_max && v > *packing.valid_max);
        for (const double m : packing.no_data) no_data = no_data || v == m;
        if (no_data)
            v = kNaN;
        else if (packing.scaled)
            v = v * packing.scale_factor + packing.add_offset;
    }
}

Result<std::vector<double>> unpacked(const ModelReader& reader, std::string_view name, std::vector<double> values) {
    TARQ_TRY(const Packing packing, packing_of(reader, name));
    unpack(values, packing);
    return values;
}

}  // namespace tarq
