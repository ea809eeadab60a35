#pragma once
// interp_levels: vertical interpolation of NumPy fields to fixed levels, and
// the private planning functions of the xarray layer.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace tarq::py {

// Null-terminated method table.
PyMethodDef* levels_methods() noexcept;

}  // namespace tarq::py
