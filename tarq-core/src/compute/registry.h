#pragma once
// The fixed, ordered catalogue of the variables getvar computes.

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "diag/rows.h"
#include "diag/compute_options.h"
#include "util/error.h"

namespace tarq {

struct TarqFile;

// A row's compute function; contract in diag/rows.h.
using ComputeFn = DiagnosticFn*;

struct VarSpec {
    std::string_view name;
    std::vector<std::string_view> aliases;
    std::string_view description;
    std::string_view units;
    ComputeFn compute;
    bool is_3d;
};

// All rows in catalogue order.
[[nodiscard]] std::span<const VarSpec> variable_registry();

// The row whose name or alias equals the Unicode lower-cased `name`, or null.
[[nodiscard]] const VarSpec* lookup_variable(std::string_view name);

}  // namespace tarq
