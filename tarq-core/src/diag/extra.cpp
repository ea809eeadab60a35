// Vertical temperature structure of each column: lapse rates over a height or
// a pressure layer, the heights of the 0 °C and 0 °C wet-bulb levels, and the
// wet-bulb potential temperature. The kernels are those of met/lapse_rate.
#include <cstddef>
#include <optional>
#include <vector>

#include "compute/diagnostics.h"
#include "diag/field_checks.h"
#include "file/accessors.h"
#include "met/constants.h"
#include "met/lapse_rate.h"
#include "met/thermo.h"
#include "util/thread_pool.h"

namespace tarq {

namespace {

constexpr double kDefaultBottomM = 0.0;
constexpr double kDefaultTopM = 3000.0;
constexpr double kDefaultBottomHpa = 700.0;
constexpr double kDefaultTopHpa = 500.0;

// Fields of a lapse-rate request; the optional ones are empty when the
// request's layer and options do not need them.
struct LapseInputs {
    std::vector<double> t_c;
    std::vector<double> z_agl;
    std::vector<double> qvapor;
    std::vector<double> p_hpa;
    std::vector<double> t2_c;  // 2-m temperature, virtual with use_virtual
    bool pressure_mode = false;
    bool use_virtual = false;
};

Result<LapseInputs> load_lapse_inputs(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    LapseInputs in;
    in.pressure_mode = options.bottom_p.has_value() || options.top_p.has_value();
    in.use_virtual = options.use_virtual.value_or(false);
    const bool screen = !in.pressure_mode && (!options.bottom_m || *options.bottom_m < met::kScreenLayerTopM);
    const std::size_t ncol = file.nx * file.ny;
    const std::size_t need = file.nz * ncol;
    TARQ_TRY(in.t_c, temperature_c(file, t));
    TARQ_TRY(in.z_agl, height_agl(file, t));
    if (in.t_c.size() < need) return too_short("temperature", in.t_c.size(), need);
    if (in.z_agl.size() < need) return too_short("height_agl", in.z_agl.size(), need);
    if (in.use_virtual) {
        TARQ_TRY(in.qvapor, read_var(file, "QVAPOR", t));
        if (in.qvapor.size() < need) return too_short("QVAPOR", in.qvapor.size(), need);
    }
    if (in.pressure_mode) {
        TARQ_TRY(in.p_hpa, pressure_hpa(file, t));
        if (in.p_hpa.size() < need) return too_short("pressure", in.p_hpa.size(), need);
    }
    if (screen) {
        const double lake_interp = options.lake_interp.value_or(0.0);
        TARQ_TRY(in.t2_c, t2_lake(file, t, lake_interp));
        if (in.t2_c.size() < ncol) return too_short("T2", in.t2_c.size(), ncol);
        for (double& v : in.t2_c) v -= met::kKelvinOffset;
        if (in.use_virtual) {
            TARQ_TRY(const std::vector<double> q2, q2_lake(file, t, lake_interp));
            if (q2.size() < ncol) return too_short("Q2", q2.size(), ncol);
            for (std::size_t i = 0; i < ncol; ++i) in.t2_c[i] = met::virtual_temperature_c_from_q(in.t2_c[i], q2[i]);
        }
    }
    return in;
}

// Copies column col of a [nz][ny][nx] field into out, bottom first.
void copy_column(const std::vector<double>& field, std::size_t col, std::size_t nz, std::size_t ncol,
                 std::vector<double>& out) {
    out.resize(nz);
    for (std::size_t k = 0; k < nz; ++k) out[k] = field[k * ncol + col];
}

}  // namespace

Result<std::vector<double>> compute_lapse_rate(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(const LapseInputs in, load_lapse_inputs(file, t, options));
    const std::size_t nz = file.nz;
    const std::size_t ncol = file.nx * file.ny;
    std::vector<double> out(ncol, 0.0);
    if (nz == 0) return out;
    const double bottom_m = options.bottom_m.value_or(kDefaultBottomM);
    const double top_m = options.top_m.value_or(kDefaultTopM);
    const double bottom_hpa = options.bottom_p.value_or(kDefaultBottomHpa);
    const double top_hpa = options.top_p.value_or(kDefaultTopHpa);
    parallel_for(0, ncol, [&](std::size_t lo, std::size_t hi) {
        std::vector<double> t_c;
        std::vector<double> z;
        std::vector<double> p;
        for (std::size_t col = lo; col < hi; ++col) {
            copy_column(in.t_c, col, nz, ncol, t_c);
            copy_column(in.z_agl, col, nz, ncol, z);
            if (in.use_virtual) {
                for (std::size_t k = 0; k < nz; ++k) {
                    t_c[k] = met::virtual_temperature_c_from_q(t_c[k], in.qvapor[k * ncol + col]);
                }
            }
            if (in.pressure_mode) {
                copy_column(in.p_hpa, col, nz, ncol, p);
                out[col] = met::pressure_layer_lapse_rate(p, t_c, z, bottom_hpa, top_hpa);
            } else {
                const std::optional<double> t2 = in.t2_c.empty() ? std::nullopt : std::optional(in.t2_c[col]);
                out[col] = met::height_layer_lapse_rate(t_c, z, t2, bottom_m, top_m);
            }
        }
    });
    return out;
}

Result<std::vector<double>> compute_lapse_rate_0_3km(const TarqFile& file, std::size_t t,
                                                     const ComputeOptions& options) {
    ComputeOptions layer = options;
    layer.bottom_m = kDefaultBottomM;
    layer.top_m = kDefaultTopM;
    return compute_lapse_rate(file, t, layer);
}

Result<std::vector<double>> compute_lapse_rate_700_500(const TarqFile& file, std::size_t t,
                                                       const ComputeOptions& options) {
    ComputeOptions layer = options;
    layer.bottom_p = kDefaultBottomHpa;
    layer.top_p = kDefaultTopHpa;
    return compute_lapse_rate(file, t, layer);
}

Result<std::vector<double>> compute_freezing_level(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    const std::size_t nz = file.nz;
    const std::size_t ncol = file.nx * file.ny;
    TARQ_TRY(const std::vector<double> t_c, temperature_c(file, t));
    TARQ_TRY(const std::vector<double> z_agl, height_agl(file, t));
    if (t_c.size() < nz * ncol) return too_short("temperature", t_c.size(), nz * ncol);
    if (z_agl.size() < nz * ncol) return too_short("height_agl", z_agl.size(), nz * ncol);
    std::vector<double> out(ncol, 0.0);
    parallel_for(0, ncol, [&](std::size_t lo, std::size_t hi) {
        std::vector<double> tc;
        std::vector<double> z;
        for (std::size_t col = lo; col < hi; ++col) {
            copy_column(t_c, col, nz, ncol, tc);
            copy_column(z_agl, col, nz, ncol, z);
            out[col] = met::zero_crossing_height(tc, z);
        }
    });
    return out;
}

Result<std::vector<double>> compute_wet_bulb_0(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    const std::size_t nz = file.nz;
    const std::size_t ncol = file.nx * file.ny;
    const std::size_t need = nz * ncol;
    TARQ_TRY(const std::vector<double> t_c, temperature_c(file, t));
    TARQ_TRY(const std::vector<double> z_agl, height_agl(file, t));
    TARQ_TRY(const std::vector<double> p_hpa, pressure_hpa(file, t));
    TARQ_TRY(const std::vector<double> q, read_var(file, "QVAPOR", t));
    if (t_c.size() < need) return too_short("temperature", t_c.size(), need);
    if (z_agl.size() < need) return too_short("height_agl", z_agl.size(), need);
    if (p_hpa.size() < need) return too_short("pressure", p_hpa.size(), need);
    if (q.size() < need) return too_short("QVAPOR", q.size(), need);
    std::vector<double> out(ncol, 0.0);
    parallel_for(0, ncol, [&](std::size_t lo, std::size_t hi) {
        std::vector<double> tw;
        std::vector<double> z;
        for (std::size_t col = lo; col < hi; ++col) {
            tw.resize(nz);
            for (std::size_t k = 0; k < nz; ++k) {
                const std::size_t i = k * ncol + col;
                tw[k] = met::wet_bulb(p_hpa[i], t_c[i], met::dewpoint_from_q(q[i], p_hpa[i]));
            }
            copy_column(z_agl, col, nz, ncol, z);
            out[col] = met::zero_crossing_height(tw, z);
        }
    });
    return out;
}

Result<std::vector<double>> compute_theta_w(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    const std::size_t need = file.nz * file.nx * file.ny;
    TARQ_TRY(const std::vector<double> p_hpa, pressure_hpa(file, t));
    TARQ_TRY(const std::vector<double> t_c, temperature_c(file, t));
    TARQ_TRY(const std::vector<double> q, read_var(file, "QVAPOR", t));
    if (p_hpa.size() < need) return too_short("pressure", p_hpa.size(), need);
    if (t_c.size() < need) return too_short("temperature", t_c.size(), need);
    if (q.size() < need) return too_short("QVAPOR", q.size(), need);
    std::vector<double> out(need);
    parallel_for(0, need, [&](std::size_t lo, std::size_t hi) {
        for (std::size_t i = lo; i < hi; ++i) {
            out[i] = met::wet_bulb_potential_temperature(p_hpa[i], t_c[i], met::dewpoint_from_q(q[i], p_hpa[i]));
        }
    });
    return out;
}

Result<std::vector<double>> compute_fosberg(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "fosberg is not available yet");
}

Result<std::vector<double>> compute_haines(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "haines is not available yet");
}

Result<std::vector<double>> compute_hdw(const TarqFile&, std::size_t, const ComputeOptions&) {
    return fail(ErrorKind::Compute, "hdw is not available yet");
}

}  // namespace tarq
