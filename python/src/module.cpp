// Module init of tarq._tarq: the TarqFile class, getvar and list_variables.

#define TARQ_NUMPY_IMPORT
#include "numpy_api.h"

#include <vector>

#include "catalogue.h"
#include "compute/registry.h"
#include "errors.h"
#include "levels.h"
#include "py_ref.h"
#include "reader_hooks.h"
#include "tarq_file_object.h"
#include "testing_hooks.h"
#include "to_numpy.h"

namespace tarq::py {

namespace {

const GetvarSignature g_getvar_signature("tarqfile", "Compute a diagnostic variable from a TARQ file.");

PyObject* module_getvar(PyObject*, PyObject* args, PyObject* kwargs) {
    return guard_entry([&]() -> PyObject* {
        PyObject* file = nullptr;
        GetvarArguments values{};
        if (!g_getvar_signature.bind(args, kwargs, &file, values)) return nullptr;
        if (!PyObject_TypeCheck(file, tarq_file_type())) {
            PyErr_Format(PyExc_TypeError, "getvar() argument 'tarqfile' must be TarqFile, not %.200s",
                         Py_TYPE(file)->tp_name);
            return nullptr;
        }
        return getvar_on(reinterpret_cast<TarqFileObject*>(file)->record, values);
    });
}

PyObject* str_of(std::string_view s) {
    return PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
}

PyObject* list_variables(PyObject*, PyObject*) {
    return guard_entry([]() -> PyObject* {
        const auto rows = variable_registry();
        PyRef list(PyList_New(static_cast<Py_ssize_t>(rows.size())));
        if (!list) return nullptr;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            PyObject* entry = Py_BuildValue("(NNN)", str_of(rows[i].name), str_of(rows[i].description),
                                            str_of(rows[i].units));
            if (entry == nullptr) return nullptr;
            PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), entry);
        }
        return list.release();
    });
}

std::vector<PyMethodDef> module_methods() {
    std::vector<PyMethodDef> methods = {
        {"getvar", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(module_getvar)),
         METH_VARARGS | METH_KEYWORDS, g_getvar_signature.doc()},
        {"list_variables", list_variables, METH_NOARGS, "list_variables()\n--\n\nList all supported variable names."},
    };
    for (PyMethodDef* method = levels_methods(); method->ml_name != nullptr; ++method) methods.push_back(*method);
    methods.push_back(catalogue_method());
    methods.push_back(reopen_method());
    for (PyMethodDef* hook = testing_hook_methods(); hook->ml_name != nullptr; ++hook) methods.push_back(*hook);
    for (PyMethodDef* hook = reader_hook_methods(); hook->ml_name != nullptr; ++hook) methods.push_back(*hook);
    methods.push_back({nullptr, nullptr, 0, nullptr});
    return methods;
}

std::vector<PyMethodDef> g_methods = module_methods();

PyModuleDef g_module_def = {
    PyModuleDef_HEAD_INIT,
    "_tarq",
    "Native core of tarq: opens TARQ model output files and computes meteorological diagnostics.",
    // Not -1: CPython then calls the init function again for every interpreter
    // instead of copying the module, so a sub-interpreter is refused below.
    0,
    g_methods.data(),
    nullptr, nullptr, nullptr, nullptr,
};

PyObject* g_module = nullptr;

PyObject* create_module() {
    if (PyInterpreterState_Get() != PyInterpreterState_Main()) {
        PyErr_SetString(PyExc_ImportError, "tarq._tarq cannot be imported into a sub-interpreter");
        return nullptr;
    }
    if (g_module != nullptr) {
        Py_INCREF(g_module);
        return g_module;
    }
    if (PyArray_ImportNumPyAPI() < 0) return nullptr;
    if (!ready_tarq_file_type() || !ready_slice_container_type()) return nullptr;
    PyRef module(PyModule_Create(&g_module_def));
    if (!module) return nullptr;
    Py_INCREF(tarq_file_type());
    if (PyModule_AddObject(module.get(), "TarqFile", reinterpret_cast<PyObject*>(tarq_file_type())) < 0) {
        Py_DECREF(tarq_file_type());
        return nullptr;
    }
    if (!create_exception_types(module.get())) return nullptr;
    g_module = module.get();
    Py_INCREF(g_module);  // kept for re-initialisation in this interpreter
    return module.release();
}

}  // namespace

}  // namespace tarq::py

PyMODINIT_FUNC PyInit__tarq() {
    return tarq::py::guard_entry([]() -> PyObject* { return tarq::py::create_module(); });
}
