// Placeholder until this diagnostics family is built.
#include "compute/diagnostics.h"

namespace tarq {

Result<std::vector<double>> compute_uhel(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "uhel is not available yet");
}

}  // namespace tarq
