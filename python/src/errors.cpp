#include "errors.h"

#include <array>
#include <cstddef>
#include <string>

#include "py_ref.h"

namespace tarq::py {

namespace {

// The family a kind's class derives from.
enum class Family { File, Request };

struct KindClass {
    ErrorKind kind;
    const char* name;  // in tarq._tarq
    Family family;
    const char* doc;
};

// One row per ErrorKind, in the enumeration's order.
constexpr std::array kKindClasses = {
    KindClass{ErrorKind::NetCdf, "NetCDFError", Family::File,
              "The file's HDF5 or netCDF structure cannot be read: a bad signature, an unsupported\n"
              "version, a corrupt structure or a failed decompression."},
    KindClass{ErrorKind::VarNotFound, "VariableNotFoundError", Family::File,
              "A variable that is needed is not stored in the file."},
    KindClass{ErrorKind::AttrNotFound, "AttributeNotFoundError", Family::File,
              "A global attribute that is needed is not in the file."},
    KindClass{ErrorKind::AttrType, "AttributeTypeError", Family::File,
              "A global attribute is not numeric where a number is needed."},
    KindClass{ErrorKind::DimMismatch, "DimensionMismatchError", Family::File,
              "A stored variable's shape or size does not fit."},
    KindClass{ErrorKind::UnknownVar, "UnknownVariableError", Family::Request,
              "The name is neither in the catalogue nor stored in the file."},
    KindClass{ErrorKind::UnitConversion, "UnitConversionError", Family::Request,
              "The unit cannot be parsed, or the result cannot be converted to it."},
    KindClass{ErrorKind::InvalidParam, "InvalidParameterError", Family::Request,
              "An argument is outside its range, such as a time index beyond the file."},
    KindClass{ErrorKind::Compute, "ComputationError", Family::Request,
              "A diagnostic cannot produce its result."},
};

constexpr bool in_kind_order() {
    for (std::size_t i = 0; i < kKindClasses.size(); ++i) {
        if (static_cast<std::size_t>(kKindClasses[i].kind) != i) return false;
    }
    return kKindClasses.size() == static_cast<std::size_t>(ErrorKind::Compute) + 1;
}
static_assert(in_kind_order(), "one class per ErrorKind, indexed by the kind");

PyObject* g_internal_error = nullptr;
PyObject* g_tarq_error = nullptr;
PyObject* g_file_error = nullptr;
std::array<PyObject*, kKindClasses.size()> g_kind_errors{};

// Creates tarq._tarq.<name> into `slot` unless it exists, and adds it to the module.
bool add_exception(PyObject* module, PyObject*& slot, const char* name, const char* doc, PyObject* bases) {
    if (slot == nullptr) {
        const std::string qualified = std::string("tarq._tarq.") + name;
        slot = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases, nullptr);
        if (slot == nullptr) return false;
    }
    Py_INCREF(slot);
    if (PyModule_AddObject(module, name, slot) < 0) {
        Py_DECREF(slot);
        return false;
    }
    return true;
}

}  // namespace

PyObject* internal_error_type() noexcept { return g_internal_error; }

bool create_exception_types(PyObject* module) {
    if (!add_exception(module, g_internal_error, "InternalError",
                       "An internal fault of the tarq core (a violated invariant). The interpreter and\n"
                       "every TarqFile stay usable.",
                       PyExc_BaseException) ||
        !add_exception(module, g_tarq_error, "TarqError",
                       "An error tarq reports about a file or a request; its text is the kind's prefix\n"
                       "and the message. Each kind has a subclass.",
                       PyExc_Exception)) {
        return false;
    }
    // Opening raises OSError and getvar RuntimeError; the file's own errors
    // come from both, so they are both.
    PyRef file_bases(Py_BuildValue("(OOO)", g_tarq_error, PyExc_OSError, PyExc_RuntimeError));
    PyRef request_bases(Py_BuildValue("(OO)", g_tarq_error, PyExc_RuntimeError));
    if (!file_bases || !request_bases) return false;
    if (!add_exception(module, g_file_error, "FileError",
                       "The file cannot be read as a model output file, or lacks what is asked of it:\n"
                       "an OSError when opening, a RuntimeError from getvar and times.",
                       file_bases.get())) {
        return false;
    }
    for (std::size_t i = 0; i < kKindClasses.size(); ++i) {
        const KindClass& row = kKindClasses[i];
        PyObject* bases = row.family == Family::File ? g_file_error : request_bases.get();
        if (!add_exception(module, g_kind_errors[i], row.name, row.doc, bases)) return false;
    }
    return true;
}

PyObject* raise_error(const TarqError& error) noexcept {
    return raise_error(g_kind_errors[static_cast<std::size_t>(error.kind)], error);
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
