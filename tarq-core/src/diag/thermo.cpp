// Placeholder until this diagnostics family is built.
#include "compute/diagnostics.h"

namespace tarq {

Result<std::vector<double>> compute_t2(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "t2 is not available yet");
}

Result<std::vector<double>> compute_tv2m(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "tv2m is not available yet");
}

Result<std::vector<double>> compute_temp(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "temp is not available yet");
}

Result<std::vector<double>> compute_tc(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "tc is not available yet");
}

Result<std::vector<double>> compute_theta(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "theta is not available yet");
}

Result<std::vector<double>> compute_theta_e(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "theta_e is not available yet");
}

Result<std::vector<double>> compute_tv(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "tv is not available yet");
}

Result<std::vector<double>> compute_twb(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "twb is not available yet");
}

Result<std::vector<double>> compute_td(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "td is not available yet");
}

Result<std::vector<double>> compute_rh(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "rh is not available yet");
}

Result<std::vector<double>> compute_pw(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "pw is not available yet");
}

Result<std::vector<double>> compute_rh2m(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "rh2m is not available yet");
}

Result<std::vector<double>> compute_dp2m(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "dp2m is not available yet");
}

Result<std::vector<double>> compute_mixing_ratio(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "mixing_ratio is not available yet");
}

Result<std::vector<double>> compute_specific_humidity(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "specific_humidity is not available yet");
}

}  // namespace tarq
