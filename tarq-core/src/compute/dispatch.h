#pragma once
// The core of getvar: time-index check, then the resolved name computed as
// its row declares, or read from the file, in the requested unit and shape.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "diag/compute_options.h"
#include "compute/var_output.h"
#include "util/error.h"

namespace tarq {

struct TarqFile;

// A row whose compute function returns another number of values than its
// declared shape holds is an internal fault (std::logic_error).
[[nodiscard]] Result<VarOutput> compute_variable(const TarqFile& file, std::string_view name,
                                                 std::optional<std::uint64_t> timeidx,
                                                 const ComputeOptions& options);

// Shape of a stored variable's result from what read_stored returns for it
// (`slab`, `whole`): a variable without a time dimension keeps its stored
// shape where the result can have it (2 to 4 dimensions); any other is
// guessed from its length alone.
[[nodiscard]] std::vector<std::size_t> raw_shape(const TarqFile& file, std::span<const std::uint64_t> slab,
                                                 bool whole, std::size_t length);

}  // namespace tarq
