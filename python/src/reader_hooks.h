#pragma once
// Private functions that expose the file readers (HDF5 and classic netCDF)
// to the test suite
// (underscore names, not part of the public surface).

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace tarq::py {

// Null-terminated method table.
PyMethodDef* reader_hook_methods() noexcept;

}  // namespace tarq::py
