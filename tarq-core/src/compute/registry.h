#pragma once
// The fixed, ordered catalogue of the variables getvar computes.

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "compute/options.h"
#include "util/error.h"

namespace tarq {

struct TarqFile;

// Contract of every compute function: t is already checked (t < nt). It returns
// one field of the row's grid (ny*nx or nz*ny*nx values), or several such
// fields one after another for a multi-output variable.
using ComputeFn = Result<std::vector<double>> (*)(const TarqFile& file, std::size_t t,
                                                  const ComputeOptions& options);

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
