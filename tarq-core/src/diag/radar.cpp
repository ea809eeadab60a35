// Simulated reflectivity: the radar reflectivity of the model's rain, snow and
// graupel at every point, and its column maximum. Files without some of the
// precipitation fields (simpler microphysics) count those species as zero.
#include <limits>
#include <string_view>

#include "diag/rows.h"
#include "diag/field_checks.h"
#include "file/accessors.h"
#include "met/radar.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

// A precipitation mixing ratio, zero everywhere when the file cannot give it.
struct Species {
    std::vector<double> values;  // empty when not read
    bool read = false;

    [[nodiscard]] double operator[](std::size_t i) const noexcept { return read ? values[i] : 0.0; }
};

// The [nz][ny][nx] fields of the reflectivity, for one time.
struct RadarInputs {
    Field t_k;
    Field p_pa;
    std::vector<double> qvapor;
    Species rain;
    Species snow;
    Species graupel;
};

// Any failure to read the field (absent or otherwise) leaves the species zero,
// except a stored field of the wrong size: zeros in its place would be a wrong
// answer, not a missing one.
Result<Species> load_species(const TarqFile& file, std::string_view name, std::size_t t, std::size_t need) {
    Species s;
    auto field = read_var(file, name, t);
    if (!field && field.error().kind == ErrorKind::DimMismatch) return std::unexpected(field.error());
    if (!field) return s;
    if (field->size() != need) return wrong_length(name, field->size(), need);
    s.values = std::move(*field);
    s.read = true;
    return s;
}

Result<RadarInputs> load_radar(const TarqFile& file, std::size_t t) {
    RadarInputs in;
    const std::size_t need = file.nz * file.nx * file.ny;
    TARQ_TRY(in.t_k, temperature(file, t));
    TARQ_TRY(in.p_pa, pressure(file, t));
    TARQ_TRY(in.qvapor, read_var(file, "QVAPOR", t));
    if (in.t_k.size() != need) return wrong_length("temperature", in.t_k.size(), need);
    if (in.p_pa.size() != need) return wrong_length("pressure", in.p_pa.size(), need);
    if (in.qvapor.size() != need) return wrong_length("QVAPOR", in.qvapor.size(), need);
    TARQ_TRY(in.rain, load_species(file, "QRAIN", t, need));
    TARQ_TRY(in.snow, load_species(file, "QSNOW", t, need));
    TARQ_TRY(in.graupel, load_species(file, "QGRAUP", t, need));
    return in;
}

}  // namespace

Result<std::vector<double>> compute_dbz(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const RadarInputs in, load_radar(file, t));
    const bool snow_present = in.snow.read;
    return per_point(file.nz * file.nx * file.ny, [&](std::size_t i) {
        return met::reflectivity_point(in.t_k[i], in.p_pa[i], in.qvapor[i], in.rain[i], in.snow[i], in.graupel[i],
                                       snow_present);
    });
}

Result<std::vector<double>> compute_maxdbz(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(const auto dbz, compute_dbz(file, t, options));
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
