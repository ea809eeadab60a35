// Placeholder until this diagnostics family is built.
#include "compute/diagnostics.h"

namespace tarq {

Result<std::vector<double>> compute_sbcape(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "sbcape is not available yet");
}

Result<std::vector<double>> compute_sbcin(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "sbcin is not available yet");
}

Result<std::vector<double>> compute_mlcape(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "mlcape is not available yet");
}

Result<std::vector<double>> compute_mlcin(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "mlcin is not available yet");
}

Result<std::vector<double>> compute_mucape(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "mucape is not available yet");
}

Result<std::vector<double>> compute_mucin(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "mucin is not available yet");
}

Result<std::vector<double>> compute_lcl(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "lcl is not available yet");
}

Result<std::vector<double>> compute_lfc(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "lfc is not available yet");
}

Result<std::vector<double>> compute_el(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "el is not available yet");
}

Result<std::vector<double>> compute_cape2d(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "cape2d is not available yet");
}

Result<std::vector<double>> compute_cape3d(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "cape3d is not available yet");
}

Result<std::vector<double>> compute_cape(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "cape is not available yet");
}

Result<std::vector<double>> compute_cin(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "cin is not available yet");
}

Result<std::vector<double>> compute_effective_inflow(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "effective_inflow is not available yet");
}

Result<std::vector<double>> compute_effective_cape(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "effective_cape is not available yet");
}

}  // namespace tarq
