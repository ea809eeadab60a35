#pragma once
// Errors shared by the diagnostics families.

#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "file/field.h"
#include "util/error.h"

namespace tarq {

// DimMismatch for an input field whose length is not what the grid needs: a
// short field would be read past its end, a long one at the wrong stride.
[[nodiscard]] inline std::unexpected<TarqError> wrong_length(std::string_view name, std::size_t have,
                                                             std::size_t need) {
    return fail(ErrorKind::DimMismatch, std::string(name) + " holds " + std::to_string(have) +
                                            " values where the grid needs " + std::to_string(need));
}

// The same error under its earlier name; callers compare with != need.
[[nodiscard]] inline std::unexpected<TarqError> too_short(std::string_view name, std::size_t have, std::size_t need) {
    return wrong_length(name, have, need);
}

// An input by name and length: a stored variable or a shared base field.
struct NamedField {
    NamedField(std::string_view field_name, const std::vector<double>* values) noexcept
        : name(field_name), size(values->size()) {}
    NamedField(std::string_view field_name, const Field* values) noexcept : name(field_name), size(values->size()) {}
    std::string_view name;
    std::size_t size;
};

// `need` when every input holds exactly `need` values, else the error naming
// the first that does not.
[[nodiscard]] inline Result<std::size_t> same_length(std::initializer_list<NamedField> inputs, std::size_t need) {
    for (const NamedField& input : inputs) {
        if (input.size != need) return wrong_length(input.name, input.size, need);
    }
    return need;
}

// A height option (m above ground) or its default. NaN names no height, so it
// is refused with an InvalidParam error that names the option.
[[nodiscard]] inline Result<double> height_option(const std::optional<double>& value, double fallback,
                                                  std::string_view name) {
    if (!value) return fallback;
    if (std::isnan(*value)) return fail(ErrorKind::InvalidParam, std::string(name) + " is NaN; give a height in m above ground");
    return *value;
}

}  // namespace tarq
