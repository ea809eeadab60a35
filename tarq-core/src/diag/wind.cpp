// Plain wind diagnostics: speed from the grid-relative components, direction
// and earth-relative components after rotation to earth coordinates, on the
// model levels and for the 10-m wind.
#include <algorithm>
#include <span>

#include "diag/rows.h"
#include "diag/wind_fields.h"
#include "file/accessors.h"
#include "met/wind.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

std::vector<double> speeds(std::span<const double> u, std::span<const double> v) {
    return per_point(std::min(u.size(), v.size()), [&](std::size_t i) { return met::wind_speed(u[i], v[i]); });
}

std::vector<double> directions(const WindFields& earth) {
    return per_point(earth.u.size(), [&](std::size_t i) { return met::wind_direction_deg(earth.u[i], earth.v[i]); });
}

// u values of every point, then v.
std::vector<double> stacked(WindFields earth) {
    std::vector<double> out = std::move(earth.u);
    out.insert(out.end(), earth.v.begin(), earth.v.end());
    return out;
}

Result<WindFields> earth_winds_3d(const TarqFile& file, std::size_t t) {
    TARQ_TRY(const auto u, u_mass(file, t));
    TARQ_TRY(const auto v, v_mass(file, t));
    TARQ_TRY(const auto rotation, rotation_fields(file, t));
    return rotate_to_earth(u, v, rotation, file.nx * file.ny);
}

Result<WindFields> earth_winds_10m(const TarqFile& file, std::size_t t) {
    TARQ_TRY(const auto u, read_var(file, "U10", t));
    TARQ_TRY(const auto v, read_var(file, "V10", t));
    TARQ_TRY(const auto rotation, rotation_fields(file, t));
    return rotate_to_earth(u, v, rotation, file.nx * file.ny);
}

}  // namespace

Result<std::vector<double>> compute_wspd(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto u, u_mass(file, t));
    TARQ_TRY(const auto v, v_mass(file, t));
    return speeds(u, v);
}

Result<std::vector<double>> compute_wdir(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto earth, earth_winds_3d(file, t));
    return directions(earth);
}

Result<std::vector<double>> compute_uvmet(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(auto earth, earth_winds_3d(file, t));
    return stacked(std::move(earth));
}

Result<std::vector<double>> compute_wspd10(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto u, read_var(file, "U10", t));
    TARQ_TRY(const auto v, read_var(file, "V10", t));
    return speeds(u, v);
}

Result<std::vector<double>> compute_wdir10(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto earth, earth_winds_10m(file, t));
    return directions(earth);
}

Result<std::vector<double>> compute_uvmet10(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(auto earth, earth_winds_10m(file, t));
    return stacked(std::move(earth));
}

}  // namespace tarq
