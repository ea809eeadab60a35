// Placeholder until this diagnostics family is built.
#include "compute/diagnostics.h"

namespace tarq {

Result<std::vector<double>> compute_pressure(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "pressure is not available yet");
}

Result<std::vector<double>> compute_height(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "height is not available yet");
}

Result<std::vector<double>> compute_height_agl(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "height_agl is not available yet");
}

Result<std::vector<double>> compute_geopt(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "geopt is not available yet");
}

Result<std::vector<double>> compute_terrain(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "terrain is not available yet");
}

Result<std::vector<double>> compute_ua(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "ua is not available yet");
}

Result<std::vector<double>> compute_va(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "va is not available yet");
}

Result<std::vector<double>> compute_wa(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "wa is not available yet");
}

Result<std::vector<double>> compute_lat(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "lat is not available yet");
}

Result<std::vector<double>> compute_lon(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "lon is not available yet");
}

}  // namespace tarq
