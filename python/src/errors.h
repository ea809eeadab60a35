#pragma once
// How core failures become Python exceptions.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <exception>
#include <new>

#include "util/error.h"

namespace tarq::py {

// The exception classes of tarq._tarq: InternalError, a BaseException for
// violated invariants of the core, and one class per TarqError kind under
// TarqError. The kinds that describe the file itself derive from FileError,
// both OSError (as opening raises them) and RuntimeError (as getvar and
// times do); the others are RuntimeErrors. Created once by the module init.
PyObject* internal_error_type() noexcept;
bool create_exception_types(PyObject* module);

// Raises the class of the error's kind with its display text; returns null.
// Opening only reads the file, so its errors are OSErrors too.
PyObject* raise_error(const TarqError& error) noexcept;

// Raises `exception_type` with the error's display text; returns null.
PyObject* raise_error(PyObject* exception_type, const TarqError& error) noexcept;

// Runs one entry point body. A C++ exception escaping from the core is an
// internal fault: it is raised as InternalError (MemoryError for bad_alloc)
// instead of terminating the interpreter.
template <class Body>
auto guard_entry(Body&& body) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        // Reads name their variable in a TarqError of their own; this is what
        // is left: memory for the computation itself.
        PyErr_SetString(PyExc_MemoryError, "not enough memory to compute the result for this file's grid");
    } catch (const std::exception& fault) {
        PyErr_SetString(internal_error_type(), fault.what());
    } catch (...) {
        PyErr_SetString(internal_error_type(), "unknown internal fault");
    }
    return {};
}

}  // namespace tarq::py
