#pragma once
// The single error type of the core: a kind and a message. Fallible functions
// return Result<T>; only the Python entry points turn errors into exceptions.

#include <expected>
#include <string>

namespace tarq {

enum class ErrorKind {
    NetCdf,
    VarNotFound,
    AttrNotFound,
    AttrType,
    DimMismatch,
    UnknownVar,
    UnitConversion,
    InvalidParam,
    Compute,
};

struct TarqError {
    ErrorKind kind;
    std::string message;

    // Prefix of the kind followed by the message, e.g. "NetCDF error: ...".
    [[nodiscard]] std::string display() const;
};

template <class T>
using Result = std::expected<T, TarqError>;

// An error value ready to return from a function whose result is Result<T>.
[[nodiscard]] inline std::unexpected<TarqError> fail(ErrorKind kind, std::string message) {
    return std::unexpected(TarqError{kind, std::move(message)});
}

}  // namespace tarq

// TARQ_TRY(var, expr): evaluate expr (a Result), return its error from the
// enclosing function, else bind its value to `var`.
// Expands to several statements: never use it as the body of an unbraced if.
#define TARQ_CONCAT_INNER(a, b) a##b
#define TARQ_CONCAT(a, b) TARQ_CONCAT_INNER(a, b)
#define TARQ_TRY(var, expr)                                                     \
    auto TARQ_CONCAT(tarq_try_, __LINE__) = (expr);                             \
    if (!TARQ_CONCAT(tarq_try_, __LINE__))                                      \
        return std::unexpected(std::move(TARQ_CONCAT(tarq_try_, __LINE__).error())); \
    var = std::move(*TARQ_CONCAT(tarq_try_, __LINE__))
