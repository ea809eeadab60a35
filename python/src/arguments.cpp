#include "arguments.h"

#include <tuple>
#include <type_traits>
#include <utility>

#include "numpy_api.h"

namespace tarq::py {

namespace {

// --------------------------------------------------------------------------- converters
// Each takes the object and the keyword it was bound to (for its TypeError).

bool type_error(const char* keyword, const char* expected, PyObject* obj) {
    PyErr_Format(PyExc_TypeError, "getvar() argument '%s' must be %s, not %.200s", keyword, expected,
                 Py_TYPE(obj)->tp_name);
    return false;
}

bool to_text(PyObject* obj, const char* keyword, std::string& out) {
    if (!PyUnicode_Check(obj)) return type_error(keyword, "str", obj);
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(obj, &size);
    if (utf8 == nullptr) return false;
    out.assign(utf8, static_cast<std::size_t>(size));
    return true;
}

bool to_float(PyObject* obj, const char* keyword, double& out) {
    const bool convertible = PyFloat_Check(obj) || PyIndex_Check(obj) ||
                             (Py_TYPE(obj)->tp_as_number != nullptr && Py_TYPE(obj)->tp_as_number->nb_float != nullptr);
    if (!convertible) return type_error(keyword, "float", obj);
    out = PyFloat_AsDouble(obj);
    return !(out == -1.0 && PyErr_Occurred());
}

bool to_time_index(PyObject* obj, const char* keyword, std::uint64_t& out) {
    if (PyFloat_Check(obj) || !PyIndex_Check(obj)) return type_error(keyword, "int", obj);
    PyObject* index = PyNumber_Index(obj);
    if (index == nullptr) return false;
    const unsigned long long value = PyLong_AsUnsignedLongLong(index);
    Py_DECREF(index);
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    out = value;
    return true;
}

bool to_storm_motion(PyObject* obj, const char* keyword, std::pair<double, double>& out) {
    if (!PyTuple_Check(obj)) return type_error(keyword, "a tuple of 2 floats", obj);
    if (PyTuple_GET_SIZE(obj) != 2) {
        PyErr_Format(PyExc_TypeError, "getvar() argument '%s' must be a tuple of 2 floats, not a tuple of %zd items",
                     keyword, PyTuple_GET_SIZE(obj));
        return false;
    }
    return to_float(PyTuple_GET_ITEM(obj, 0), keyword, out.first) &&
           to_float(PyTuple_GET_ITEM(obj, 1), keyword, out.second);
}

bool to_bool(PyObject* obj, const char* keyword, bool& out) {
    if (PyBool_Check(obj)) {
        out = obj == Py_True;
        return true;
    }
    if (PyArray_IsScalar(obj, Bool)) {
        out = PyArrayScalar_VAL(obj, Bool) != 0;
        return true;
    }
    return type_error(keyword, "bool", obj);
}

// --------------------------------------------------------------------------- the table

struct GetvarParameter {
    const char* keyword;
    bool required;  // its member is not optional
    // Converts a given object into the parameter's member of the request.
    bool (*store)(PyObject* obj, const char* keyword, GetvarRequest& request);
};

template <class T>
struct Optional : std::false_type {
    using value_type = T;
};
template <class T>
struct Optional<std::optional<T>> : std::true_type {
    using value_type = T;
};

// The member of the request, or of its options, that `Member` points to.
template <auto Member>
decltype(auto) member_of(GetvarRequest& request) {
    if constexpr (std::is_invocable_v<decltype(Member), ComputeOptions&>) {
        return (request.options.*Member);
    } else {
        return (request.*Member);
    }
}

template <auto Member>
using MemberType = std::remove_reference_t<decltype(member_of<Member>(std::declval<GetvarRequest&>()))>;

template <auto Member, auto Convert>
bool store(PyObject* obj, const char* keyword, GetvarRequest& request) {
    typename Optional<MemberType<Member>>::value_type value{};
    if (!Convert(obj, keyword, value)) return false;
    member_of<Member>(request) = std::move(value);
    return true;
}

template <auto Member, auto Convert>
constexpr GetvarParameter parameter(const char* keyword) {
    return {keyword, !Optional<MemberType<Member>>::value, &store<Member, Convert>};
}

// Signature order: arguments are bound and converted in this order.
constexpr std::array kParameters = {
    parameter<&GetvarRequest::name, to_text>("name"),
    parameter<&GetvarRequest::timeidx, to_time_index>("timeidx"),
    parameter<&ComputeOptions::units, to_text>("units"),
    parameter<&ComputeOptions::parcel_type, to_text>("parcel_type"),
    parameter<&ComputeOptions::storm_motion, to_storm_motion>("storm_motion"),
    parameter<&ComputeOptions::top_m, to_float>("top_m"),
    parameter<&ComputeOptions::bottom_m, to_float>("bottom_m"),
    parameter<&ComputeOptions::depth_m, to_float>("depth_m"),
    parameter<&ComputeOptions::parcel_pressure, to_float>("parcel_pressure"),
    parameter<&ComputeOptions::parcel_temperature, to_float>("parcel_temperature"),
    parameter<&ComputeOptions::parcel_dewpoint, to_float>("parcel_dewpoint"),
    parameter<&ComputeOptions::bottom_p, to_float>("bottom_p"),
    parameter<&ComputeOptions::top_p, to_float>("top_p"),
    parameter<&ComputeOptions::layer_type, to_text>("layer_type"),
    parameter<&ComputeOptions::use_virtual, to_bool>("use_virtual"),
    parameter<&ComputeOptions::lake_interp, to_float>("lake_interp"),
};
static_assert(kParameters.size() == kGetvarParameterCount);

template <class... Out>
bool parse(PyObject* args, PyObject* kwargs, const std::string& format, const std::vector<const char*>& keywords,
           Out... out) {
    return PyArg_ParseTupleAndKeywords(args, kwargs, format.c_str(), const_cast<char**>(keywords.data()),
                                       out...) != 0;
}

}  // namespace

GetvarSignature::GetvarSignature(const char* leading, const char* summary) : method_(leading == nullptr) {
    std::string parameters = method_ ? "$self" : leading;
    if (!method_) {
        keywords_.push_back(leading);
        format_ += 'O';
    }
    bool optional = false;
    for (const GetvarParameter& p : kParameters) {
        if (!p.required && !optional) format_ += '|';
        optional = optional || !p.required;
        format_ += 'O';
        keywords_.push_back(p.keyword);
        parameters += std::string(", ") + p.keyword + (p.required ? "" : "=None");
    }
    keywords_.push_back(nullptr);
    format_ += ":getvar";
    doc_ = "getvar(" + parameters + ")\n--\n\n" + summary;
}

bool GetvarSignature::bind(PyObject* args, PyObject* kwargs, PyObject** leading, GetvarArguments& values) const {
    return std::apply(
        [&](auto&... value) {
            if (method_) return parse(args, kwargs, format_, keywords_, &value...);
            return parse(args, kwargs, format_, keywords_, leading, &value...);
        },
        values);
}

std::optional<GetvarRequest> convert_getvar_arguments(const GetvarArguments& values) {
    GetvarRequest request;
    for (std::size_t i = 0; i < kParameters.size(); ++i) {
        const GetvarParameter& p = kParameters[i];
        const bool given = values[i] != nullptr && values[i] != Py_None;
        if (!given && !p.required) continue;
        if (!p.store(values[i], p.keyword, request)) return std::nullopt;
    }
    return request;
}

}  // namespace tarq::py
