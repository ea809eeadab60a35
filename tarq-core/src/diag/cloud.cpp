// Placeholder until this diagnostics family is built.
#include "compute/diagnostics.h"

namespace tarq {

Result<std::vector<double>> compute_ctt(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "ctt is not available yet");
}

Result<std::vector<double>> compute_cloudfrac(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "cloudfrac is not available yet");
}

}  // namespace tarq
