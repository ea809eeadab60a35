#pragma once
// The Python class TarqFile: one open model output file.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <memory>

#include "arguments.h"
#include "file/tarq_file.h"

namespace tarq::py {

struct TarqFileObject {
    PyObject_HEAD
    std::unique_ptr<TarqFile> record;
    bool initialised;  // __init__ has run once (zeroed by tp_alloc)
};

PyTypeObject* tarq_file_type() noexcept;
bool ready_tarq_file_type() noexcept;

// _tarq._reopen, which unpickles a TarqFile.
PyMethodDef reopen_method() noexcept;

// getvar on an open file: converts the bound arguments and computes the variable.
PyObject* getvar_on(const TarqFile& file, const GetvarArguments& arguments);

}  // namespace tarq::py
