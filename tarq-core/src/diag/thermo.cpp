// Thermodynamic diagnostics: temperatures, moisture conversions and
// precipitable water, per grid point from the model's T, P and QVAPOR, and at
// 2 m from T2, Q2 and PSFC (optionally lake-filled).
#include <algorithm>
#include <cmath>
#include <string>

#include "diag/rows.h"
#include "file/accessors.h"
#include "met/thermo.h"
#include "util/constants.h"
#include "util/grid_loops.h"
#include "util/run_concurrently.h"

namespace tarq {

namespace {

std::size_t volume(const TarqFile& file) { return file.nz * file.ny * file.nx; }
std::size_t plane(const TarqFile& file) { return file.ny * file.nx; }

double lake_interp(const ComputeOptions& options) { return options.lake_interp.value_or(0.0); }

Result<GridField> qvapor(const TarqFile& file, std::size_t t) { return read_var(file, "QVAPOR", t); }

// A base field and QVAPOR of one time, read at the same time.
template <class Accessor>
Result<std::pair<GridField, GridField>> with_qvapor(const TarqFile& file, std::size_t t, Accessor accessor) {
    auto [field_read, q_read] = run_concurrently([&] { return accessor(file, t); }, [&] { return qvapor(file, t); });
    if (auto error = first_error(field_read, q_read)) return std::unexpected(*error);
    return std::pair{std::move(*field_read), std::move(*q_read)};
}

// Pressure (hPa), temperature (°C) and QVAPOR of one time, read at the same time.
struct MoistInputs {
    GridField p_hpa;
    GridField t_c;
    GridField q;
};

Result<MoistInputs> moist_inputs(const TarqFile& file, std::size_t t) {
    auto [p_read, t_read, q_read] = run_concurrently([&] { return pressure_hpa(file, t); },
                                                     [&] { return temperature_c(file, t); },
                                                     [&] { return qvapor(file, t); });
    if (auto error = first_error(p_read, t_read, q_read)) return std::unexpected(*error);
    return MoistInputs{std::move(*p_read), std::move(*t_read), std::move(*q_read)};
}

}  // namespace

Result<std::vector<double>> compute_temp(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(temperature(file, t));
}

Result<std::vector<double>> compute_tc(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(temperature_c(file, t));
}

Result<std::vector<double>> compute_theta(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(theta(file, t));
}

Result<std::vector<double>> compute_tv(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto inputs, with_qvapor(file, t, temperature));
    const auto& [t_k, q] = inputs;
    const std::size_t n = volume(file);
    return per_point(n, [&](std::size_t i) { return met::virtual_temperature_k(t_k[i], q[i]); });
}

Result<std::vector<double>> compute_td(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto inputs, with_qvapor(file, t, pressure_hpa));
    const auto& [p_hpa, q] = inputs;
    const std::size_t n = volume(file);
    return per_point(n, [&](std::size_t i) { return met::dewpoint_from_q(q[i], p_hpa[i]); });
}

Result<std::vector<double>> compute_rh(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto inputs, moist_inputs(file, t));
    const auto& [p_hpa, t_c, q] = inputs;
    const std::size_t n = volume(file);
    return per_point(n,
                     [&](std::size_t i) { return met::relative_humidity_from_q(p_hpa[i], t_c[i], q[i]); });
}

Result<std::vector<double>> compute_twb(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto inputs, moist_inputs(file, t));
    const auto& [p_hpa, t_c, q] = inputs;
    const std::size_t n = volume(file);
    return per_point(n, [&](std::size_t i) {
        const double td_c = met::dewpoint_from_q(q[i], p_hpa[i]);
        return met::wet_bulb(p_hpa[i], t_c[i], td_c) + kKelvinOffset;
    });
}

Result<std::vector<double>> compute_theta_e(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto inputs, moist_inputs(file, t));
    const auto& [p_hpa, t_c, q] = inputs;
    const std::size_t n = volume(file);
    return per_point(n,
                     [&](std::size_t i) { return met::theta_e_bolton(p_hpa[i], t_c[i], q[i]); });
}

Result<std::vector<double>> compute_mixing_ratio(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(qvapor(file, t));
}

Result<std::vector<double>> compute_specific_humidity(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto q, qvapor(file, t));
    return per_point(q.size(), [&](std::size_t i) { return q[i] / (q[i] + 1.0); });
}

Result<std::vector<double>> compute_pw(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto inputs, with_qvapor(file, t, pressure));
    const auto& [p_pa, q] = inputs;
    const std::size_t ncol = file.nx * file.ny;
    const std::size_t nz = file.nz;
    std::vector<double> out(ncol, 0.0);
    if (nz < 2) return out;
    // One column per point of the 2-D output.
    for_each_point(ncol, [&](std::size_t col) {
        auto at = [&](std::size_t k) { return k * ncol + col; };
        // Integrate bottom-up whichever way the column is stored.
        const bool top_down = p_pa[at(nz - 1)] > p_pa[at(0)];
        auto level = [&](std::size_t k) { return at(top_down ? nz - 1 - k : k); };
        auto moisture = [&](std::size_t k) {
            const double qk = q[level(k)];
            return qk > 0.0 ? qk : 0.0;
        };
        double sum = 0.0;
        for (std::size_t k = 0; k + 1 < nz; ++k) {
            sum += 0.5 * (moisture(k) + moisture(k + 1)) * std::fabs(p_pa[level(k)] - p_pa[level(k + 1)]);
        }
        out[col] = sum / kGravityPw;
    });
    return out;
}

Result<std::vector<double>> compute_t2(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    return owned(t2_lake(file, t, lake_interp(options)));
}

Result<std::vector<double>> compute_tv2m(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(const auto t2_k, t2_lake(file, t, lake_interp(options)));
    TARQ_TRY(const auto q2, q2_lake(file, t, lake_interp(options)));
    const std::size_t n = plane(file);
    std::vector<double> out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = met::virtual_temperature_k(t2_k[i], q2[i]);
    return out;
}

Result<std::vector<double>> compute_rh2m(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(const auto t2_k, t2_lake(file, t, lake_interp(options)));
    TARQ_TRY(const auto q2, q2_lake(file, t, lake_interp(options)));
    TARQ_TRY(const auto psfc_pa, read_var(file, "PSFC", t));
    const std::size_t n = plane(file);
    return per_point(n, [&](std::size_t i) {
        return met::relative_humidity_from_q(psfc_pa[i] / 100.0, t2_k[i] - kKelvinOffset, q2[i]);
    });
}

Result<std::vector<double>> compute_dp2m(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(const auto q2, q2_lake(file, t, lake_interp(options)));
    TARQ_TRY(const auto psfc_pa, read_var(file, "PSFC", t));
    const std::size_t n = plane(file);
    return per_point(n,
                     [&](std::size_t i) { return met::dewpoint_from_q(q2[i], psfc_pa[i] / 100.0); });
}

}  // namespace tarq
