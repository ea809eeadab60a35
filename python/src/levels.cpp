#include "levels.h"

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "compute/describe.h"
#include "diag/levels.h"
#include "errors.h"
#include "numpy_api.h"
#include "py_ref.h"
#include "tarq_file_object.h"
#include "to_numpy.h"

namespace tarq::py {

namespace {

// `obj` as a C-contiguous float64 array (a new reference; a copy only when
// needed), or null with ValueError when its dimension count is outside the range.
PyArrayObject* float64_array(PyObject* obj, const char* argument, int min_ndim, int max_ndim, const char* layout) {
    PyObject* array = PyArray_FROMANY(obj, NPY_FLOAT64, 0, 0, NPY_ARRAY_IN_ARRAY);
    if (array == nullptr) return nullptr;
    const int ndim = PyArray_NDIM(reinterpret_cast<PyArrayObject*>(array));
    if (ndim < min_ndim || (max_ndim > 0 && ndim > max_ndim)) {
        PyErr_Format(PyExc_ValueError, "interp_levels() argument '%s' must be %s, not %d-D", argument, layout, ndim);
        Py_DECREF(array);
        return nullptr;
    }
    return reinterpret_cast<PyArrayObject*>(array);
}

std::span<const double> values_of(PyArrayObject* array) {
    return {static_cast<const double*>(PyArray_DATA(array)), static_cast<std::size_t>(PyArray_SIZE(array))};
}

PyObject* shape_text(PyArrayObject* array) {
    PyRef shape(PyObject_GetAttrString(reinterpret_cast<PyObject*>(array), "shape"));
    if (!shape) return nullptr;
    return PyObject_Str(shape.get());
}

bool same_dims(const npy_intp* a, const npy_intp* b, int n) {
    for (int i = 0; i < n; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

PyObject* interp_levels(PyObject*, PyObject* args, PyObject* kwargs) {
    return guard_entry([&]() -> PyObject* {
        static const char* keywords[] = {"field", "vertical", "levels", "log_p", "extrapolate", nullptr};
        PyObject* field_obj = nullptr;
        PyObject* vertical_obj = nullptr;
        PyObject* levels_obj = nullptr;
        int log_p = 0;
        int extrapolate = 0;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOO|$pp:interp_levels", const_cast<char**>(keywords),
                                         &field_obj, &vertical_obj, &levels_obj, &log_p, &extrapolate)) {
            return nullptr;
        }
        PyRef field_ref(reinterpret_cast<PyObject*>(
            float64_array(field_obj, "field", 3, 0, "[..., nz, ny, nx] (at least 3-D)")));
        if (!field_ref) return nullptr;
        PyRef vertical_ref(reinterpret_cast<PyObject*>(
            float64_array(vertical_obj, "vertical", 3, 0, "[nz, ny, nx] or the shape of field")));
        if (!vertical_ref) return nullptr;
        PyRef levels_ref(reinterpret_cast<PyObject*>(float64_array(levels_obj, "levels", 1, 1, "1-D")));
        if (!levels_ref) return nullptr;
        auto* field = reinterpret_cast<PyArrayObject*>(field_ref.get());
        auto* vertical = reinterpret_cast<PyArrayObject*>(vertical_ref.get());
        auto* levels = reinterpret_cast<PyArrayObject*>(levels_ref.get());

        const int ndim = PyArray_NDIM(field);
        const npy_intp* dims = PyArray_DIMS(field);
        const npy_intp* grid = dims + (ndim - 3);
        const int vdim = PyArray_NDIM(vertical);
        const bool fits = (vdim == 3 && same_dims(PyArray_DIMS(vertical), grid, 3)) ||
                          (vdim == ndim && same_dims(PyArray_DIMS(vertical), dims, ndim));
        if (!fits) {
            PyRef have(shape_text(vertical));
            PyRef need(shape_text(field));
            if (!have || !need) return nullptr;
            PyErr_Format(PyExc_ValueError,
                         "interp_levels() argument 'vertical' has shape %U, which is neither the last three "
                         "dimensions of field %U nor its whole shape",
                         have.get(), need.get());
            return nullptr;
        }

        LevelsRequest request;
        request.field = values_of(field);
        request.vertical = values_of(vertical);
        request.levels = values_of(levels);
        request.nz = static_cast<std::size_t>(grid[0]);
        request.ncol = static_cast<std::size_t>(grid[1]) * static_cast<std::size_t>(grid[2]);
        request.log_coordinate = log_p != 0;
        request.extrapolate = extrapolate != 0;
        auto result = interp_to_levels(request);
        if (!result) return raise_error(PyExc_ValueError, result.error());

        std::vector<npy_intp> out_dims(dims, dims + (ndim - 3));
        out_dims.push_back(PyArray_SIZE(levels));
        out_dims.push_back(grid[1]);
        out_dims.push_back(grid[2]);
        PyRef flat(to_numpy(VarOutput{std::move(*result), {}, {}, {}}));
        if (!flat) return nullptr;
        PyArray_Dims shape{out_dims.data(), static_cast<int>(out_dims.size())};
        return PyArray_Newshape(reinterpret_cast<PyArrayObject*>(flat.get()), &shape, NPY_CORDER);
    });
}

const TarqFile* record_argument(PyObject* obj, const char* function) {
    if (!PyObject_TypeCheck(obj, tarq_file_type())) {
        PyErr_Format(PyExc_TypeError, "%s() argument 'tarqfile' must be TarqFile, not %.200s", function,
                     Py_TYPE(obj)->tp_name);
        return nullptr;
    }
    return reinterpret_cast<TarqFileObject*>(obj)->record.get();
}

PyObject* utf8(std::string_view s) {
    return PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "replace");
}

// (name, description, units, is_raw, shape) of what getvar would return,
// raising getvar's error for an unknown name or a refused unit.
PyObject* describe(PyObject*, PyObject* args) {
    return guard_entry([&]() -> PyObject* {
        PyObject* file_obj = nullptr;
        const char* name = nullptr;
        const char* units = nullptr;
        if (!PyArg_ParseTuple(args, "Os|z:_describe_variable", &file_obj, &name, &units)) return nullptr;
        const TarqFile* file = record_argument(file_obj, "_describe_variable");
        if (file == nullptr) return nullptr;
        std::optional<std::string> wanted;
        if (units != nullptr) wanted = units;
        auto info = describe_variable(*file, name, wanted);
        if (!info) return raise_error(info.error());
        PyRef shape(PyTuple_New(static_cast<Py_ssize_t>(info->shape.size())));
        if (!shape) return nullptr;
        for (std::size_t i = 0; i < info->shape.size(); ++i) {
            PyObject* size = PyLong_FromSize_t(info->shape[i]);
            if (size == nullptr) return nullptr;
            PyTuple_SET_ITEM(shape.get(), static_cast<Py_ssize_t>(i), size);
        }
        return Py_BuildValue("(NNNOO)", utf8(info->name), utf8(info->description), utf8(info->units),
                             info->is_raw ? Py_True : Py_False, shape.get());
    });
}

// The file's numeric global attributes as {name: float}.
PyObject* numeric_attributes(PyObject*, PyObject* file_obj) {
    return guard_entry([&]() -> PyObject* {
        const TarqFile* file = record_argument(file_obj, "_numeric_attributes");
        if (file == nullptr) return nullptr;
        PyRef dict(PyDict_New());
        if (!dict) return nullptr;
        for (const std::string& name : file->reader->attribute_names()) {
            auto value = file->reader->attr_f64(name);
            if (!value) continue;
            PyRef key(utf8(name));
            PyRef number(PyFloat_FromDouble(*value));
            if (!key || !number || PyDict_SetItem(dict.get(), key.get(), number.get()) < 0) return nullptr;
        }
        return dict.release();
    });
}

PyMethodDef g_methods[] = {
    {"interp_levels", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(interp_levels)),
     METH_VARARGS | METH_KEYWORDS,
     "interp_levels(field, vertical, levels, *, log_p=False, extrapolate=False)\n--\n\n"
     "Interpolate a field to fixed vertical levels.\n\n"
     "field is [..., nz, ny, nx] with level 0 lowest; vertical is its vertical\n"
     "coordinate, [nz, ny, nx] or the shape of field, running either way in each\n"
     "column; levels is 1-D, in the unit of vertical. The result is\n"
     "[..., len(levels), ny, nx] float64. Interpolation is linear in the coordinate,\n"
     "or in its natural logarithm with log_p=True (for pressure). In each column the\n"
     "levels are scanned from the lowest: a level equal to the target gives its\n"
     "value, else the first pair bracketing it is interpolated. A target outside the\n"
     "column is NaN; with extrapolate=True it takes the value of the nearer end of\n"
     "the column (below ground, the lowest level's value). Runs over the columns in\n"
     "parallel."},
    {"_describe_variable", describe, METH_VARARGS,
     "_describe_variable(tarqfile, name, units=None): (name, description, units, is_raw, shape) of what "
     "getvar returns, computing nothing."},
    {"_numeric_attributes", numeric_attributes, METH_O,
     "_numeric_attributes(tarqfile): the file's numeric global attributes as floats."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyMethodDef* levels_methods() noexcept { return g_methods; }

}  // namespace tarq::py
