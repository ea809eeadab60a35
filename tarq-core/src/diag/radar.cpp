// Placeholder until this diagnostics family is built.
#include "compute/diagnostics.h"

namespace tarq {

Result<std::vector<double>> compute_dbz(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "dbz is not available yet");
}

Result<std::vector<double>> compute_maxdbz(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "maxdbz is not available yet");
}

}  // namespace tarq
