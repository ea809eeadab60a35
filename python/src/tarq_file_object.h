#pragma once
// The Python class TarqFile: one open model output file.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <memory>

#include "file/tarq_file.h"

namespace tarq::py {

struct TarqFileObject {
    PyObject_HEAD
    std::unique_ptr<TarqFile> record;
    bool initialised;  // __init__ has run once (zeroed by tp_alloc)
};

PyTypeObject* tarq_file_type() noexcept;
bool ready_tarq_file_type() noexcept;

// getvar on an open file: converts `name` and the option objects (args[0] is
// name, args[1..15] the options in signature order) and computes the variable.
PyObject* getvar_on(const TarqFile& file, PyObject* const* args);

// The 16 keyword names of the getvar method, null-terminated.
extern const char* const kGetvarKeywords[];

}  // namespace tarq::py
