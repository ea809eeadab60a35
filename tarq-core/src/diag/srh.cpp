// Placeholder until this diagnostics family is built.
#include "compute/diagnostics.h"

namespace tarq {

Result<std::vector<double>> compute_srh1(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "srh1 is not available yet");
}

Result<std::vector<double>> compute_srh3(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "srh3 is not available yet");
}

Result<std::vector<double>> compute_srh(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "srh is not available yet");
}

Result<std::vector<double>> compute_shear_0_1km(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "shear_0_1km is not available yet");
}

Result<std::vector<double>> compute_shear_0_6km(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "shear_0_6km is not available yet");
}

Result<std::vector<double>> compute_bunkers_rm(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "bunkers_rm is not available yet");
}

Result<std::vector<double>> compute_bunkers_lm(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "bunkers_lm is not available yet");
}

Result<std::vector<double>> compute_mean_wind_0_6km(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "mean_wind_0_6km is not available yet");
}

Result<std::vector<double>> compute_effective_srh(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "effective_srh is not available yet");
}

Result<std::vector<double>> compute_bulk_shear(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "bulk_shear is not available yet");
}

Result<std::vector<double>> compute_mean_wind(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "mean_wind is not available yet");
}

}  // namespace tarq
