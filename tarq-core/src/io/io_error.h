#pragma once
// The error both readers report a file they cannot read with, and the check
// macro their parsers propagate it by.

#include <string>
#include <utility>

#include "util/error.h"

namespace tarq {

[[nodiscard]] inline std::unexpected<TarqError> netcdf_error(std::string message) {
    return fail(ErrorKind::NetCdf, std::move(message));
}

}  // namespace tarq

// IO_CHECK(expr): evaluate expr (a Result<void>) and return its error from
// the enclosing function. Expands to several statements: never use it as the
// body of an unbraced if.
#define IO_CHECK(expr)                                                          \
    if (auto TARQ_CONCAT(io_check_, __LINE__) = (expr); !TARQ_CONCAT(io_check_, __LINE__)) \
        return std::unexpected(std::move(TARQ_CONCAT(io_check_, __LINE__).error()))
