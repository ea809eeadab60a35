#pragma once
// The fixed, ordered catalogue of the variables getvar computes.

#include <cstddef>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "diag/rows.h"
#include "util/error.h"

namespace tarq {

struct TarqFile;

// A row's compute function; contract in diag/rows.h.
using ComputeFn = DiagnosticFn*;

// What a row does when a request leaves an option out: a fixed value, or
// nothing fixed (the option then switches something off, or the row computes
// its own, as the Bunkers motion stands in for storm_motion).
using OptionDefault = std::variant<std::monostate, double, bool, std::string_view>;

// An option a row reads: its ComputeOptions member (and getvar keyword) and
// its default. `units` is no row's: compute_variable applies it to every row.
struct OptionSpec {
    std::string_view keyword;
    OptionDefault fallback;
};

struct VarSpec {
    std::string_view name;
    std::vector<std::string_view> aliases;
    std::string_view description;
    std::string_view units;
    ComputeFn compute;
    bool is_3d;
    // Labels of the fields of a multi-field row, in the order the compute
    // function returns them; empty for a row of one field.
    std::vector<std::string_view> fields = {};
    std::vector<OptionSpec> options = {};

    // Fields the compute function returns one after another.
    [[nodiscard]] std::size_t field_count() const noexcept { return fields.empty() ? 1 : fields.size(); }
};

// All rows in catalogue order.
[[nodiscard]] std::span<const VarSpec> variable_registry();

// The row whose name or alias equals the Unicode lower-cased `name`, or null.
[[nodiscard]] const VarSpec* lookup_variable(std::string_view name);

}  // namespace tarq
