// The base-field rows: thin wrappers over the field accessors, reading no option.
#include "diag/rows.h"
#include "file/accessors.h"

namespace tarq {

Result<std::vector<double>> compute_pressure(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(pressure(file, t));
}

Result<std::vector<double>> compute_height(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(height_msl(file, t));
}

Result<std::vector<double>> compute_height_agl(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(height_agl(file, t));
}

Result<std::vector<double>> compute_geopt(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(geopotential(file, t));
}

Result<std::vector<double>> compute_terrain(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(terrain(file, t));
}

Result<std::vector<double>> compute_ua(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(u_mass(file, t));
}

Result<std::vector<double>> compute_va(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(v_mass(file, t));
}

Result<std::vector<double>> compute_wa(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(w_mass(file, t));
}

Result<std::vector<double>> compute_lat(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(read_var(file, "XLAT", t));
}

Result<std::vector<double>> compute_lon(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(read_var(file, "XLONG", t));
}

}  // namespace tarq
