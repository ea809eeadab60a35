#include "testing_hooks.h"

#include <stdexcept>

#include "errors.h"
#include "hdf5/inflate.h"
#include "util/thread_pool.h"

namespace tarq::py {

namespace {

// Throws from inside a pool worker, so a test can see an internal fault cross
// the pool and the entry-point guard.
PyObject* fault_probe(PyObject*, PyObject*) {
    return guard_entry([]() -> PyObject* {
        parallel_for(0, 64, [](std::size_t lo, std::size_t hi) {
            for (std::size_t i = lo; i < hi; ++i) {
                if (i == 41) throw std::logic_error("fault probe: invariant violated at index 41");
            }
        });
        Py_RETURN_NONE;
    });
}

// Sets the number of workers of the process-wide pool (0: one per logical CPU).
PyObject* set_workers(PyObject*, PyObject* arg) {
    return guard_entry([&]() -> PyObject* {
        const Py_ssize_t n = PyLong_AsSsize_t(arg);
        if (n == -1 && PyErr_Occurred()) return nullptr;
        if (n < 0) {
            PyErr_SetString(PyExc_ValueError, "_set_workers() needs a count >= 0");
            return nullptr;
        }
        set_worker_count(static_cast<std::size_t>(n));
        Py_RETURN_NONE;
    });
}

// Number of workers a parallel loop uses now.
PyObject* workers(PyObject*, PyObject*) {
    return guard_entry([]() -> PyObject* { return PyLong_FromSize_t(pool().workers()); });
}

// "libdeflate" or "zlib": the library the reader inflates with.
PyObject* inflate_library(PyObject*, PyObject*) { return PyUnicode_FromString(hdf5::inflate_library()); }

PyMethodDef g_methods[] = {
    {"_fault_probe", fault_probe, METH_NOARGS, "Raise an internal fault from a pool worker (testing)."},
    {"_set_workers", set_workers, METH_O, "Set the worker count of the pool; 0 restores the default (testing)."},
    {"_workers", workers, METH_NOARGS, "Worker count of the pool (testing)."},
    {"_inflate_library", inflate_library, METH_NOARGS, "Library the reader inflates with (testing)."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyMethodDef* testing_hook_methods() noexcept { return g_methods; }

}  // namespace tarq::py
