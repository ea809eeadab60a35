#include "to_numpy.h"

#include <memory>
#include <utility>
#include <vector>

#include "numpy_api.h"
#include "py_ref.h"

namespace tarq::py {

namespace {

// Owner of a result buffer while a NumPy array views it.
struct PySliceContainer {
    PyObject_HEAD
    std::vector<double> data;
};

void slice_container_dealloc(PyObject* self) {
    std::destroy_at(&reinterpret_cast<PySliceContainer*>(self)->data);
    Py_TYPE(self)->tp_free(self);
}

PyTypeObject g_slice_container_type = [] {
    PyTypeObject type{};
    Py_SET_REFCNT(reinterpret_cast<PyObject*>(&type), 1);  // what PyVarObject_HEAD_INIT sets
    type.tp_name = "tarq._tarq.PySliceContainer";
    type.tp_basicsize = sizeof(PySliceContainer);
    type.tp_dealloc = slice_container_dealloc;
    type.tp_flags = Py_TPFLAGS_DEFAULT;
    type.tp_doc = "Owner of the buffer of an array returned by getvar.";
    return type;
}();

PyObject* new_slice_container(std::vector<double>&& data) {
    PyObject* self = g_slice_container_type.tp_alloc(&g_slice_container_type, 0);
    if (self == nullptr) return nullptr;
    std::construct_at(&reinterpret_cast<PySliceContainer*>(self)->data, std::move(data));
    return self;
}

}  // namespace

bool ready_slice_container_type() noexcept { return PyType_Ready(&g_slice_container_type) == 0; }

PyObject* to_numpy(VarOutput&& output) {
    std::vector<npy_intp> dims;
    const std::size_t n = output.shape.size();
    if (n >= 2 && n <= 4) {
        std::size_t product = 1;
        bool overflow = false;
        for (std::size_t d : output.shape) {
            // A grid with a zero size may give another size that no array can have.
            if (d > static_cast<std::size_t>(NPY_MAX_INTP)) {
                PyErr_Format(PyExc_RuntimeError, "incompatible shapes: dimension %zu is beyond the array size limit", d);
                return nullptr;
            }
            overflow = overflow || __builtin_mul_overflow(product, d, &product);
            dims.push_back(static_cast<npy_intp>(d));
        }
        if (overflow || product != output.data.size()) {
            PyErr_Format(PyExc_RuntimeError, "incompatible shapes: shape holds %zu values, data has %zu",
                         product, output.data.size());
            return nullptr;
        }
    } else {
        dims.push_back(static_cast<npy_intp>(output.data.size()));
    }
    // An empty vector may have no buffer, and NumPy would then allocate its own.
    if (output.data.capacity() == 0) output.data.reserve(1);
    double* buffer = output.data.data();

    PyRef owner(new_slice_container(std::move(output.data)));
    if (!owner) return nullptr;
    PyRef array(PyArray_SimpleNewFromData(static_cast<int>(dims.size()), dims.data(), NPY_FLOAT64, buffer));
    if (!array) return nullptr;
    // SetBaseObject steals the owner reference, even on failure.
    if (PyArray_SetBaseObject(reinterpret_cast<PyArrayObject*>(array.get()), owner.release()) < 0) return nullptr;
    return array.release();
}

}  // namespace tarq::py
