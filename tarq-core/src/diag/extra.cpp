// Placeholder until this diagnostics family is built.
#include "compute/diagnostics.h"

namespace tarq {

Result<std::vector<double>> compute_lapse_rate_700_500(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "lapse_rate_700_500 is not available yet");
}

Result<std::vector<double>> compute_lapse_rate_0_3km(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "lapse_rate_0_3km is not available yet");
}

Result<std::vector<double>> compute_freezing_level(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "freezing_level is not available yet");
}

Result<std::vector<double>> compute_wet_bulb_0(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "wet_bulb_0 is not available yet");
}

Result<std::vector<double>> compute_theta_w(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "theta_w is not available yet");
}

Result<std::vector<double>> compute_lapse_rate(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "lapse_rate is not available yet");
}

}  // namespace tarq
