// Placeholder until this diagnostics family is built.
#include "compute/diagnostics.h"

namespace tarq {

Result<std::vector<double>> compute_stp(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "stp is not available yet");
}

Result<std::vector<double>> compute_stp_fixed(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "stp_fixed is not available yet");
}

Result<std::vector<double>> compute_stp_effective(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "stp_effective is not available yet");
}

Result<std::vector<double>> compute_scp(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "scp is not available yet");
}

Result<std::vector<double>> compute_ehi(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "ehi is not available yet");
}

Result<std::vector<double>> compute_critical_angle(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "critical_angle is not available yet");
}

Result<std::vector<double>> compute_ship(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "ship is not available yet");
}

Result<std::vector<double>> compute_bri(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "bri is not available yet");
}

}  // namespace tarq
