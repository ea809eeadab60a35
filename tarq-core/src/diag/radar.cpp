// Simulated reflectivity: the radar reflectivity of the model's rain, snow and
// graupel at every point, and its column maximum. Files without some of the
// precipitation fields (simpler microphysics) count those species as zero.
#include <limits>
#include <optional>

#include "diag/rows.h"
#include "file/accessors.h"
#include "met/radar.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

// A precipitation mixing ratio, zero everywhere when the file lacks it
// (read_optional).
struct Species {
    std::optional<GridField> values;

    [[nodiscard]] bool read() const noexcept { return values.has_value(); }
    [[nodiscard]] double operator[](std::size_t i) const noexcept { return values ? (*values)[i] : 0.0; }
};

// The [nz][ny][nx] fields of the reflectivity, for one time.
struct RadarInputs {
    GridField t_k;
    GridField p_pa;
    GridField qvapor;
    Species rain;
    Species snow;
    Species graupel;
};

Result<RadarInputs> load_radar(const TarqFile& file, std::size_t t) {
    TARQ_TRY(GridField t_k, temperature(file, t));
    TARQ_TRY(GridField p_pa, pressure(file, t));
    TARQ_TRY(GridField qvapor, read_var(file, "QVAPOR", t));
    auto rain = read_optional(file, "QRAIN", t);
    if (!rain) return std::unexpected(std::move(rain.error()));
    auto snow = read_optional(file, "QSNOW", t);
    if (!snow) return std::unexpected(std::move(snow.error()));
    auto graupel = read_optional(file, "QGRAUP", t);
    if (!graupel) return std::unexpected(std::move(graupel.error()));
    return RadarInputs{std::move(t_k), std::move(p_pa), std::move(qvapor),
                       Species{std::move(*rain)}, Species{std::move(*snow)}, Species{std::move(*graupel)}};
}

// Reflectivity (dBZ) of every point, [nz][ny][nx].
Result<std::vector<double>> reflectivity_field(const TarqFile& file, std::size_t t) {
    TARQ_TRY(const RadarInputs in, load_radar(file, t));
    const bool snow_present = in.snow.read();
    return per_point(file.nz * file.nx * file.ny, [&](std::size_t i) {
        return met::reflectivity_point(in.t_k[i], in.p_pa[i], in.qvapor[i], in.rain[i], in.snow[i], in.graupel[i],
                                       snow_present);
    });
}

}  // namespace

Result<std::vector<double>> compute_dbz(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return reflectivity_field(file, t);
}

Result<std::vector<double>> compute_maxdbz(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto dbz, reflectivity_field(file, t));
    const std::size_t ncol = file.nx * file.ny;
    std::vector<double> out(ncol, -std::numeric_limits<double>::infinity());
    // Level by level, so the column maximum streams through dbz in order.
    for (std::size_t k = 0; k < file.nz; ++k) {
        const double* level = dbz.data() + k * ncol;
        for (std::size_t col = 0; col < ncol; ++col) {
            if (level[col] > out[col]) out[col] = level[col];
        }
    }
    return out;
}

}  // namespace tarq
