#include "arguments.h"

#include <utility>

#include "numpy_api.h"

namespace tarq::py {

namespace {

bool given(PyObject* obj) { return obj != nullptr && obj != Py_None; }

bool type_error(const char* argument, const char* expected, PyObject* obj) {
    PyErr_Format(PyExc_TypeError, "getvar() argument '%s' must be %s, not %.200s", argument, expected,
                 Py_TYPE(obj)->tp_name);
    return false;
}

bool to_text(PyObject* obj, const char* argument, std::string& out) {
    if (!PyUnicode_Check(obj)) return type_error(argument, "str", obj);
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(obj, &size);
    if (utf8 == nullptr) return false;
    out.assign(utf8, static_cast<std::size_t>(size));
    return true;
}

bool to_float(PyObject* obj, const char* argument, double& out) {
    const bool convertible = PyFloat_Check(obj) || PyIndex_Check(obj) ||
                             (Py_TYPE(obj)->tp_as_number != nullptr && Py_TYPE(obj)->tp_as_number->nb_float != nullptr);
    if (!convertible) return type_error(argument, "float", obj);
    out = PyFloat_AsDouble(obj);
    return !(out == -1.0 && PyErr_Occurred());
}

bool to_time_index(PyObject* obj, std::uint64_t& out) {
    if (PyFloat_Check(obj) || !PyIndex_Check(obj)) return type_error("timeidx", "int", obj);
    PyObject* index = PyNumber_Index(obj);
    if (index == nullptr) return false;
    const unsigned long long value = PyLong_AsUnsignedLongLong(index);
    Py_DECREF(index);
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    out = value;
    return true;
}

bool to_storm_motion(PyObject* obj, std::pair<double, double>& out) {
    if (!PyTuple_Check(obj)) return type_error("storm_motion", "a tuple of 2 floats", obj);
    if (PyTuple_GET_SIZE(obj) != 2) {
        PyErr_Format(PyExc_TypeError, "getvar() argument 'storm_motion' must be a tuple of 2 floats, not a tuple of %zd items",
                     PyTuple_GET_SIZE(obj));
        return false;
    }
    return to_float(PyTuple_GET_ITEM(obj, 0), "storm_motion", out.first) &&
           to_float(PyTuple_GET_ITEM(obj, 1), "storm_motion", out.second);
}

bool to_bool(PyObject* obj, const char* argument, bool& out) {
    if (PyBool_Check(obj)) {
        out = obj == Py_True;
        return true;
    }
    if (PyArray_IsScalar(obj, Bool)) {
        out = PyArrayScalar_VAL(obj, Bool) != 0;
        return true;
    }
    return type_error(argument, "bool", obj);
}

template <class T, class Convert>
bool convert_optional(PyObject* obj, std::optional<T>& field, Convert&& convert) {
    if (!given(obj)) return true;
    T value{};
    if (!convert(obj, value)) return false;
    field = std::move(value);
    return true;
}

auto text_of(const char* argument) {
    return [argument](PyObject* obj, std::string& out) { return to_text(obj, argument, out); };
}

auto float_of(const char* argument) {
    return [argument](PyObject* obj, double& out) { return to_float(obj, argument, out); };
}

}  // namespace

std::optional<GetvarRequest> convert_getvar_arguments(PyObject* name, const std::array<PyObject*, 15>& o) {
    GetvarRequest request;
    ComputeOptions& opt = request.options;
    // Signature order: the first failure raises and later arguments are not looked at.
    const bool ok = to_text(name, "name", request.name) &&
                    convert_optional(o[0], request.timeidx, to_time_index) &&
                    convert_optional(o[1], opt.units, text_of("units")) &&
                    convert_optional(o[2], opt.parcel_type, text_of("parcel_type")) &&
                    convert_optional(o[3], opt.storm_motion, to_storm_motion) &&
                    convert_optional(o[4], opt.top_m, float_of("top_m")) &&
                    convert_optional(o[5], opt.bottom_m, float_of("bottom_m")) &&
                    convert_optional(o[6], opt.depth_m, float_of("depth_m")) &&
                    convert_optional(o[7], opt.parcel_pressure, float_of("parcel_pressure")) &&
                    convert_optional(o[8], opt.parcel_temperature, float_of("parcel_temperature")) &&
                    convert_optional(o[9], opt.parcel_dewpoint, float_of("parcel_dewpoint")) &&
                    convert_optional(o[10], opt.bottom_p, float_of("bottom_p")) &&
                    convert_optional(o[11], opt.top_p, float_of("top_p")) &&
                    convert_optional(o[12], opt.layer_type, text_of("layer_type")) &&
                    convert_optional(o[13], opt.use_virtual,
                                     [](PyObject* obj, bool& out) { return to_bool(obj, "use_virtual", out); }) &&
                    convert_optional(o[14], opt.lake_interp, float_of("lake_interp"));
    if (!ok) return std::nullopt;
    return request;
}

}  // namespace tarq::py
