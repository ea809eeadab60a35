#pragma once
// Private functions of the module for tests and benchmarks (underscore names,
// not part of the public surface).

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace tarq::py {

// Null-terminated method table.
PyMethodDef* testing_hook_methods() noexcept;

}  // namespace tarq::py
