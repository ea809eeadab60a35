// Placeholder until field access is built.
#include "compute/dispatch.h"

#include <string>

#include "file/tarq_file.h"

namespace tarq {

Result<VarOutput> compute_variable(const TarqFile& file, std::string_view name,
                                   std::optional<std::uint64_t> timeidx, const ComputeOptions&) {
    const std::uint64_t t = timeidx.value_or(0);
    if (t >= file.nt) {
        return fail(ErrorKind::InvalidParam, "timeidx " + std::to_string(t) + " out of range (file has " +
                                                 std::to_string(file.nt) + " times)");
    }
    return fail(ErrorKind::UnknownVar, std::string(name) + " (not computable yet)");
}

}  // namespace tarq
