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
    // Shared with any computation under way, which keeps the file it started
    // on open when another thread reopens this object meanwhile.
    std::shared_ptr<TarqFile> record;
    bool initialised;  // __init__ has run once (zeroed by tp_alloc)
};

PyTypeObject* tarq_file_type() noexcept;
bool ready_tarq_file_type() noexcept;

// _tarq._reopen, which unpickles a TarqFile.
PyMethodDef reopen_method() noexcept;

// getvar on an open file: converts the bound arguments and computes the
// variable with the interpreter lock released.
PyObject* getvar_on(std::shared_ptr<const TarqFile> file, const GetvarArguments& arguments);

}  // namespace tarq::py
