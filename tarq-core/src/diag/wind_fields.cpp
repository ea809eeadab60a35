#include "diag/wind_fields.h"

#include "file/accessors.h"
#include "file/field_cache.h"
#include "util/grid_loops.h"

namespace tarq {

WindFields rotate_to_earth(const GridField& u, const GridField& v, const RotationFields& rotation,
                           std::size_t nxy) {
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
    const std::size_t ncol = file.nx * file.ny;
    // The reads in the order of the uncached path, so that a failure names the same field.
    TARQ_TRY(const auto u, u_mass(file, t));
    TARQ_TRY(const auto v, v_mass(file, t));
    TARQ_TRY(RotationFields rotation, rotation_fields(file, t));
    TARQ_TRY(GridField z_agl, height_agl(file, t));
    TARQ_TRY(Field winds, cached_field(file.cache, cache_key("earth_uv_", t), t, [&]() -> Result<std::vector<double>> {
        // rotate_to_earth, into one buffer: u of every point, then v.
        const std::size_t n = u.size();
        std::vector<double> uv(2 * n);
        for_each_point(n, [&](std::size_t i) {
            const std::size_t k = i % ncol;
            const met::Wind earth = met::earth_relative(u[i], v[i], rotation.sin_alpha[k], rotation.cos_alpha[k]);
            uv[i] = earth.u;
            uv[n + i] = earth.v;
        });
        return uv;
    }));
    return ExtendedColumnInputs{std::move(rotation), std::move(winds), std::move(z_agl), {}, file.nz, ncol};
}

Result<void> add_ten_metre_winds(const TarqFile& file, std::size_t t, ExtendedColumnInputs& in) {
    TARQ_TRY(const auto u10, read_var(file, "U10", t));
    TARQ_TRY(const auto v10, read_var(file, "V10", t));
    in.winds10 = rotate_to_earth(u10, v10, in.rotation, in.ncol);
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
    const std::size_t v_offset = in.winds.size() / 2;
    for (std::size_t k = 0; k < in.nz; ++k) {
        const std::size_t at = k * in.ncol + col;
        out.u[k + 1] = in.winds[at];
        out.v[k + 1] = in.winds[v_offset + at];
        out.z[k + 1] = in.z_agl[at];
    }
}

}  // namespace tarq
