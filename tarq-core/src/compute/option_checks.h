#pragma once
// Options no diagnostic can honour, refused before any computation: a
// non-finite number, and a custom parcel outside the physical range.
// Finite values keep the meaning each diagnostic gives them.

#include "diag/compute_options.h"
#include "util/error.h"

namespace tarq {

// InvalidParam naming the first option that cannot be honoured.
[[nodiscard]] Result<void> check_options(const ComputeOptions& options);

}  // namespace tarq
