#pragma once
// Conversion of getvar's Python arguments into the core's request.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "diag/compute_options.h"

namespace tarq::py {

struct GetvarRequest {
    std::string name;
    std::optional<std::uint64_t> timeidx;
    ComputeOptions options;
};

// `name` and the 15 option objects after it, in signature order (timeidx,
// units, ..., lake_interp), each null or None when not given. Converts them
// in signature order; the first failure sets a Python exception and returns
// nullopt.
std::optional<GetvarRequest> convert_getvar_arguments(PyObject* name, const std::array<PyObject*, 15>& options);

}  // namespace tarq::py
