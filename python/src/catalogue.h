#pragma once
// The catalogue's declarations for the pure-Python package: one private
// function, `_catalogue`, so that no Python table repeats what a row declares.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace tarq::py {

// The `_catalogue` entry of the module's method table.
PyMethodDef catalogue_method() noexcept;

}  // namespace tarq::py
