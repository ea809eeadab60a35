#include "reader_hooks.h"

#include <string>
#include <utility>
#include <vector>

#include "errors.h"
#include "file/model_reader.h"
#include "py_ref.h"
#include "to_numpy.h"

namespace tarq::py {

namespace {

// Every call opens the file afresh, so each test sees the open path too.
// Reader failures are raised as RuntimeError with their display text.
template <class Call>
PyObject* with_file(PyObject* args, const char* format, Call&& call) {
    return guard_entry([&]() -> PyObject* {
        const char* path = nullptr;
        const char* name = nullptr;
        unsigned long long index = 0;
        if (!PyArg_ParseTuple(args, format, &path, &name, &index)) return nullptr;
        auto file = open_model_reader(path);
        if (!file) return raise_error(PyExc_RuntimeError, file.error());
        return call(**file, std::string(name == nullptr ? "" : name), index);
    });
}

PyObject* f64_array(std::vector<double>&& values) {
    return to_numpy(VarOutput{std::move(values), {}, {}, {}});
}

PyObject* read(PyObject*, PyObject* args) {
    return with_file(args, "ss:_h5_read", [](const ModelReader& file, const std::string& name, auto) -> PyObject* {
        auto values = file.read_f64(name);
        if (!values) return raise_error(PyExc_RuntimeError, values.error());
        return f64_array(std::move(*values));
    });
}

PyObject* read_slab(PyObject*, PyObject* args) {
    return with_file(args, "ssK:_h5_read_slab", [](const ModelReader& file, const std::string& name,
                                                   unsigned long long index) -> PyObject* {
        auto values = file.read_f64_slab(name, index);
        if (!values) return raise_error(PyExc_RuntimeError, values.error());
        return f64_array(std::move(*values));
    });
}

PyObject* read_bytes(PyObject*, PyObject* args) {
    return with_file(args, "ss:_h5_read_bytes", [](const ModelReader& file, const std::string& name, auto) -> PyObject* {
        auto bytes = file.read_bytes(name);
        if (!bytes) return raise_error(PyExc_RuntimeError, bytes.error());
        return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(bytes->data()),
                                         static_cast<Py_ssize_t>(bytes->size()));
    });
}

PyObject* shape(PyObject*, PyObject* args) {
    return with_file(args, "ss:_h5_shape", [](const ModelReader& file, const std::string& name, auto) -> PyObject* {
        auto dims = file.shape(name);
        if (!dims) return raise_error(PyExc_RuntimeError, dims.error());
        PyRef tuple(PyTuple_New(static_cast<Py_ssize_t>(dims->size())));
        if (!tuple) return nullptr;
        for (std::size_t i = 0; i < dims->size(); ++i) {
            PyObject* size = PyLong_FromUnsignedLongLong((*dims)[i]);
            if (size == nullptr) return nullptr;
            PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), size);
        }
        return tuple.release();
    });
}

PyObject* attr(PyObject*, PyObject* args) {
    return with_file(args, "ss:_h5_attr", [](const ModelReader& file, const std::string& name, auto) -> PyObject* {
        auto value = file.attr_f64(name);
        if (!value) return raise_error(PyExc_RuntimeError, value.error());
        return PyFloat_FromDouble(*value);
    });
}

PyObject* string_list(const std::vector<std::string>& names) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(names.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < names.size(); ++i) {
        PyObject* text = PyUnicode_DecodeUTF8(names[i].data(), static_cast<Py_ssize_t>(names[i].size()), "replace");
        if (text == nullptr) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), text);
    }
    return list.release();
}

// (member names, attribute names) of the root group, sorted.
PyObject* names(PyObject*, PyObject* args) {
    return guard_entry([&]() -> PyObject* {
        const char* path = nullptr;
        if (!PyArg_ParseTuple(args, "s:_h5_names", &path)) return nullptr;
        auto file = open_model_reader(path);
        if (!file) return raise_error(PyExc_RuntimeError, file.error());
        PyRef members(string_list((*file)->member_names()));
        if (!members) return nullptr;
        PyRef attributes(string_list((*file)->attribute_names()));
        if (!attributes) return nullptr;
        return PyTuple_Pack(2, members.get(), attributes.get());
    });
}

PyMethodDef g_methods[] = {
    {"_h5_read", read, METH_VARARGS, "_h5_read(path, name): a root dataset as a float64 array (testing)."},
    {"_h5_read_slab", read_slab, METH_VARARGS,
     "_h5_read_slab(path, name, index): one index of the first dimension as float64 (testing)."},
    {"_h5_read_bytes", read_bytes, METH_VARARGS, "_h5_read_bytes(path, name): a root dataset's raw bytes (testing)."},
    {"_h5_shape", shape, METH_VARARGS, "_h5_shape(path, name): a root dataset's dimensions (testing)."},
    {"_h5_attr", attr, METH_VARARGS, "_h5_attr(path, name): a root attribute as float (testing)."},
    {"_h5_names", names, METH_VARARGS, "_h5_names(path): root member and attribute names (testing)."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyMethodDef* reader_hook_methods() noexcept { return g_methods; }

}  // namespace tarq::py
