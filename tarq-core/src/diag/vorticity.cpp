// Placeholder until this diagnostics family is built.
#include "compute/diagnostics.h"

namespace tarq {

Result<std::vector<double>> compute_avo(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "avo is not available yet");
}

Result<std::vector<double>> compute_pvo(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "pvo is not available yet");
}

}  // namespace tarq
