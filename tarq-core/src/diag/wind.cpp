// Placeholder until this diagnostics family is built.
#include "compute/diagnostics.h"

namespace tarq {

Result<std::vector<double>> compute_wspd(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "wspd is not available yet");
}

Result<std::vector<double>> compute_wdir(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "wdir is not available yet");
}

Result<std::vector<double>> compute_uvmet(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "uvmet is not available yet");
}

Result<std::vector<double>> compute_uvmet10(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "uvmet10 is not available yet");
}

Result<std::vector<double>> compute_wspd10(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "wspd10 is not available yet");
}

Result<std::vector<double>> compute_wdir10(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "wdir10 is not available yet");
}

}  // namespace tarq
