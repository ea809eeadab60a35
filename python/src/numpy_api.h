#pragma once
// NumPy's C API shared by every translation unit of the module; module.cpp
// defines TARQ_NUMPY_IMPORT and calls import_array().

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#define PY_ARRAY_UNIQUE_SYMBOL tarq_numpy_api
#ifndef TARQ_NUMPY_IMPORT
#define NO_IMPORT_ARRAY
#endif
#include <numpy/arrayobject.h>
#include <numpy/arrayscalars.h>
