// Placeholder until this diagnostics family is built.
#include "compute/diagnostics.h"

namespace tarq {

Result<std::vector<double>> compute_slp(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "slp is not available yet");
}

Result<std::vector<double>> compute_omega(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "omega is not available yet");
}

}  // namespace tarq
