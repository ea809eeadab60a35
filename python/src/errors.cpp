#include "errors.h"

#include <string>

namespace tarq::py {

namespace {
PyObject* g_internal_error = nullptr;
}

PyObject* internal_error_type() noexcept { return g_internal_error; }

bool create_internal_error_type(PyObject* module) noexcept {
    if (g_internal_error == nullptr) {
        g_internal_error = PyErr_NewExceptionWithDoc(
            "tarq._tarq.InternalError",
            "An internal fault of the tarq core (a violated invariant). The interpreter and\n"
            "every TarqFile stay usable.",
            PyExc_BaseException, nullptr);
        if (g_internal_error == nullptr) return false;
    }
    Py_INCREF(g_internal_error);
    if (PyModule_AddObject(module, "InternalError", g_internal_error) < 0) {
        Py_DECREF(g_internal_error);
        return false;
    }
    return true;
}

PyObject* raise_error(PyObject* exception_type, const TarqError& error) noexcept {
    const std::string text = error.display();
    PyObject* message = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
    if (message != nullptr) {
        PyErr_SetObject(exception_type, message);
        Py_DECREF(message);
    }
    return nullptr;
}

}  // namespace tarq::py
