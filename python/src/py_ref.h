#pragma once
// Owner of one strong reference to a Python object.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace tarq::py {

class PyRef {
public:
    PyRef() = default;
    // Takes over a new reference (may be null after a failed call).
    explicit PyRef(PyObject* owned) noexcept : obj_(owned) {}
    ~PyRef() { Py_XDECREF(obj_); }
    PyRef(const PyRef&) = delete;
    PyRef& operator=(const PyRef&) = delete;
    PyRef(PyRef&& other) noexcept : obj_(std::exchange(other.obj_, nullptr)) {}
    PyRef& operator=(PyRef&& other) noexcept {
        if (this != &other) {
            Py_XDECREF(obj_);
            obj_ = std::exchange(other.obj_, nullptr);
        }
        return *this;
    }

    [[nodiscard]] PyObject* get() const noexcept { return obj_; }
    [[nodiscard]] explicit operator bool() const noexcept { return obj_ != nullptr; }
    // Gives the reference to the caller.
    [[nodiscard]] PyObject* release() noexcept { return std::exchange(obj_, nullptr); }

private:
    PyObject* obj_ = nullptr;
};

}  // namespace tarq::py
