#include "catalogue.h"

#include <cstddef>
#include <span>
#include <string_view>
#include <type_traits>
#include <variant>

#include "compute/registry.h"
#include "errors.h"
#include "py_ref.h"

namespace tarq::py {

namespace {

PyObject* str_of(std::string_view s) {
    return PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
}

PyObject* tuple_of(std::span<const std::string_view> texts) {
    PyRef tuple(PyTuple_New(static_cast<Py_ssize_t>(texts.size())));
    if (!tuple) return nullptr;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        PyObject* text = str_of(texts[i]);
        if (text == nullptr) return nullptr;
        PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), text);
    }
    return tuple.release();
}

// None where the row has no fixed default.
PyObject* default_of(const OptionDefault& fallback) {
    return std::visit(
        [](const auto& value) -> PyObject* {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                Py_RETURN_NONE;
            } else if constexpr (std::is_same_v<T, double>) {
                return PyFloat_FromDouble(value);
            } else if constexpr (std::is_same_v<T, bool>) {
                return PyBool_FromLong(value ? 1 : 0);
            } else {
                return str_of(value);
            }
        },
        fallback);
}

PyObject* options_of(std::span<const OptionSpec> options) {
    PyRef dict(PyDict_New());
    if (!dict) return nullptr;
    for (const OptionSpec& option : options) {
        PyRef key(str_of(option.keyword));
        PyRef value(default_of(option.fallback));
        if (!key || !value || PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) return nullptr;
    }
    return dict.release();
}

PyObject* row_of(const VarSpec& row) {
    return Py_BuildValue("{s:N,s:N,s:N,s:N,s:O,s:N,s:N}", "name", str_of(row.name), "aliases", tuple_of(row.aliases),
                         "description", str_of(row.description), "units", str_of(row.units), "is_3d",
                         row.is_3d ? Py_True : Py_False, "fields", tuple_of(row.fields), "options",
                         options_of(row.options));
}

PyObject* catalogue(PyObject*, PyObject*) {
    return guard_entry([]() -> PyObject* {
        const auto rows = variable_registry();
        PyRef tuple(PyTuple_New(static_cast<Py_ssize_t>(rows.size())));
        if (!tuple) return nullptr;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            PyObject* entry = row_of(rows[i]);
            if (entry == nullptr) return nullptr;
            PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), entry);
        }
        return tuple.release();
    });
}

}  // namespace

PyMethodDef catalogue_method() noexcept {
    return {"_catalogue", catalogue, METH_NOARGS,
            "_catalogue()\n--\n\nEvery catalogue row in order, as a dict: name, aliases, description, units, is_3d, "
            "fields (the labels of a multi-field row's fields, in order; empty for one field) and options (each "
            "option the row reads, by keyword, with its default, None where it has none fixed)."};
}

}  // namespace tarq::py
