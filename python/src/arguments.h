#pragma once
// getvar's parameters. One table in arguments.cpp gives each parameter's
// keyword, its converter and the request member it fills; both getvar entry
// points bind, convert and document their arguments from it.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "diag/compute_options.h"

namespace tarq::py {

struct GetvarRequest {
    std::string name;
    std::optional<std::uint64_t> timeidx;
    ComputeOptions options;
};

// name, timeidx and the 14 options.
inline constexpr std::size_t kGetvarParameterCount = 16;

// The objects bound to getvar's parameters, in signature order; null where
// an argument was left out.
using GetvarArguments = std::array<PyObject*, kGetvarParameterCount>;

// The signature of one getvar entry point: getvar's parameters, after one
// required parameter of the entry point's own (the module function's
// tarqfile) or after self.
class GetvarSignature {
public:
    // `leading` is the keyword of that parameter, or null for the method.
    GetvarSignature(const char* leading, const char* summary);

    // Binds a call's arguments: `leading` receives the entry point's own
    // parameter (pass null for the method). Binding errors are the
    // interpreter's TypeErrors naming getvar.
    bool bind(PyObject* args, PyObject* kwargs, PyObject** leading, GetvarArguments& values) const;

    // "getvar(<parameters>)\n--\n\n<summary>": the text signature and docstring.
    [[nodiscard]] const char* doc() const noexcept { return doc_.c_str(); }

private:
    bool method_;
    std::vector<const char*> keywords_;  // null-terminated, as the binder takes them
    std::string format_;
    std::string doc_;
};

// Converts the bound objects in signature order into the core's request.
// None is the same as left out; the first failure sets a Python exception
// and returns nullopt, and later arguments are not looked at.
std::optional<GetvarRequest> convert_getvar_arguments(const GetvarArguments& values);

}  // namespace tarq::py
