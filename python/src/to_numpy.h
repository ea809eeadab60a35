#pragma once
// Hands a computed result to NumPy without copying its data.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "compute/var_output.h"

namespace tarq::py {

bool ready_slice_container_type() noexcept;

// A new float64 array over output.data, whose base is the owner of that buffer.
// RuntimeError when the shape does not fit the data length.
PyObject* to_numpy(VarOutput&& output);

}  // namespace tarq::py
