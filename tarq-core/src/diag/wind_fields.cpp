#include "diag/wind_fields.h"

#include "diag/field_checks.h"
#include "file/accessors.h"
#include "util/grid_loops.h"

namespace tarq {

Result<WindFields> rotate_to_earth(std::span<const double> u, std::span<const double> v,
                                   const RotationFields& rotation, std::size_t nxy) {
    if (v.size() != u.size()) return wrong_length("v wind", v.size(), u.size());
    if (!u.empty()) {
        if (rotation.sin_alpha.size() != nxy) return wrong_length("SINALPHA", rotation.sin_alpha.size(), nxy);
        if (rotation.cos_alpha.size() != nxy) return wrong_length("COSALPHA", rotation.cos_alpha.size(), nxy);
    }
    WindFields out{std::vector<double>(u.size()), std::vector<double>(u.size())};
    for_each_point(u.size(), [&](std::size_t i) {
        const std::size_t k = i % nxy;
        const met::Wind earth = met::earth_relative(u[i], v[i], rotation.sin_alpha[k], rotation.cos_alpha[k]);
        out.u[i] = earth.u;
        out.v[i] = earth.v;
    });
    return out;
}

Result<ExtendedColumnInputs> load_model_level_winds(const TarqFile& file, std::size_t t) {
    ExtendedColumnInputs in;
    in.nz = file.nz;
    in.ncol = file.nx * file.ny;
    const std::size_t need = in.nz * in.ncol;
    TARQ_TRY(const auto u, u_mass(file, t));
    TARQ_TRY(const auto v, v_mass(file, t));
    TARQ_TRY(in.rotation, rotation_fields(file, t));
    TARQ_TRY(in.z_agl, height_agl(file, t));
    if (u.size() != need) return wrong_length("u_mass", u.size(), need);
    if (in.z_agl.size() != need) return wrong_length("height_agl", in.z_agl.size(), need);
    TARQ_TRY(in.winds, rotate_to_earth(u, v, in.rotation, in.ncol));
    return in;
}

Result<void> add_ten_metre_winds(const TarqFile& file, std::size_t t, ExtendedColumnInputs& in) {
    TARQ_TRY(const auto u10, read_var(file, "U10", t));
    TARQ_TRY(const auto v10, read_var(file, "V10", t));
    if (u10.size() != in.ncol) return wrong_length("U10", u10.size(), in.ncol);
    if (v10.size() != in.ncol) return wrong_length("V10", v10.size(), in.ncol);
    const std::span<const double> u(u10.data(), in.ncol);
    const std::span<const double> v(v10.data(), in.ncol);
    TARQ_TRY(in.winds10, rotate_to_earth(u, v, in.rotation, in.ncol));
    return {};
}

Result<ExtendedColumnInputs> load_extended_columns(const TarqFile& file, std::size_t t) {
    TARQ_TRY(ExtendedColumnInputs in, load_model_level_winds(file, t));
    if (auto added = add_ten_metre_winds(file, t, in); !added) return std::unexpected(added.error());
    return in;
}

void build_extended_column(std::size_t col, const ExtendedColumnInputs& in, ExtendedColumn& out) {
    const std::size_t n = in.nz + 1;
    out.u.resize(n);
    out.v.resize(n);
    out.z.resize(n);
    out.u[0] = in.winds10.u[col];
    out.v[0] = in.winds10.v[col];
    out.z[0] = kTenMetreHeightM;
    for (std::size_t k = 0; k < in.nz; ++k) {
        const std::size_t at = k * in.ncol + col;
        out.u[k + 1] = in.winds.u[at];
        out.v[k + 1] = in.winds.v[at];
        out.z[k + 1] = in.z_agl[at];
    }
}

}  // namespace tarq
