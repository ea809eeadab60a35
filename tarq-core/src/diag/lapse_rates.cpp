// Vertical temperature structure of each column: lapse rates over a height or
// a pressure layer, the heights of the 0 °C and 0 °C wet-bulb levels, and the
// wet-bulb potential temperature. The kernels are those of met/lapse_rate.
#include <cstddef>
#include <optional>
#include <vector>

#include "diag/rows.h"
#include "diag/field_checks.h"
#include "diag/option_defaults.h"
#include "file/accessors.h"
#include "met/lapse_rate.h"
#include "met/thermo.h"
#include "util/constants.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

using namespace option_defaults::lapse_rate;

// Fields of a lapse-rate request; the optional ones are empty when the
// request's layer and options do not need them.
struct LapseInputs {
    Field t_c;
    Field z_agl;
    std::vector<double> qvapor;
    Field p_hpa;
    std::vector<double> t2_c;  // 2-m temperature, virtual with use_virtual
    bool pressure_mode = false;
    bool use_virtual = false;
};

Result<LapseInputs> load_lapse_inputs(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    LapseInputs in;
    in.pressure_mode = options.bottom_p.has_value() || options.top_p.has_value();
    in.use_virtual = options.use_virtual.value_or(kDefaultUseVirtual);
    const bool screen = !in.pressure_mode && (!options.bottom_m || *options.bottom_m < met::kScreenLayerTopM);
    const std::size_t ncol = file.nx * file.ny;
    const std::size_t need = file.nz * ncol;
    TARQ_TRY(in.t_c, temperature_c(file, t));
    TARQ_TRY(in.z_agl, height_agl(file, t));
    if (in.t_c.size() != need) return wrong_length("temperature", in.t_c.size(), need);
    if (in.z_agl.size() != need) return wrong_length("height_agl", in.z_agl.size(), need);
    if (in.use_virtual) {
        TARQ_TRY(in.qvapor, read_var(file, "QVAPOR", t));
        if (in.qvapor.size() != need) return wrong_length("QVAPOR", in.qvapor.size(), need);
    }
    if (in.pressure_mode) {
        TARQ_TRY(in.p_hpa, pressure_hpa(file, t));
        if (in.p_hpa.size() != need) return wrong_length("pressure", in.p_hpa.size(), need);
    }
    if (screen) {
        const double lake_interp = options.lake_interp.value_or(0.0);
        TARQ_TRY(in.t2_c, t2_lake(file, t, lake_interp));
        if (in.t2_c.size() != ncol) return wrong_length("T2", in.t2_c.size(), ncol);
        for (double& v : in.t2_c) v -= kKelvinOffset;
        if (in.use_virtual) {
            TARQ_TRY(const std::vector<double> q2, q2_lake(file, t, lake_interp));
            if (q2.size() != ncol) return wrong_length("Q2", q2.size(), ncol);
            for (std::size_t i = 0; i < ncol; ++i) in.t2_c[i] = met::virtual_temperature_c_from_q(in.t2_c[i], q2[i]);
        }
    }
    return in;
}

// Columns of one chunk of the lapse-rate loop.
struct LapseScratch {
    std::vector<double> t_c;
    std::vector<double> z;
    std::vector<double> p;
};

// Columns of one chunk of the crossing loops.
struct CrossingScratch {
    std::vector<double> values_c;
    std::vector<double> z;
};

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
    for_each_column<LapseScratch>(ncol, [&](std::size_t col, LapseScratch& s) {
        gather_column(in.t_c, nz, ncol, col, s.t_c);
        gather_column(in.z_agl, nz, ncol, col, s.z);
        if (in.use_virtual) {
            for (std::size_t k = 0; k < nz; ++k) {
                s.t_c[k] = met::virtual_temperature_c_from_q(s.t_c[k], in.qvapor[k * ncol + col]);
            }
        }
        if (in.pressure_mode) {
            gather_column(in.p_hpa, nz, ncol, col, s.p);
            out[col] = met::pressure_layer_lapse_rate(s.p, s.t_c, s.z, bottom_hpa, top_hpa);
            return;
        }
        const std::optional<double> t2 = in.t2_c.empty() ? std::nullopt : std::optional(in.t2_c[col]);
        out[col] = met::height_layer_lapse_rate(s.t_c, s.z, t2, bottom_m, top_m);
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
    TARQ_TRY(const Field t_c, temperature_c(file, t));
    TARQ_TRY(const Field z_agl, height_agl(file, t));
    if (t_c.size() != nz * ncol) return wrong_length("temperature", t_c.size(), nz * ncol);
    if (z_agl.size() != nz * ncol) return wrong_length("height_agl", z_agl.size(), nz * ncol);
    std::vector<double> out(ncol, 0.0);
    for_each_column<CrossingScratch>(ncol, [&](std::size_t col, CrossingScratch& s) {
        gather_column(t_c, nz, ncol, col, s.values_c);
        gather_column(z_agl, nz, ncol, col, s.z);
        out[col] = met::zero_crossing_height(s.values_c, s.z);
    });
    return out;
}

Result<std::vector<double>> compute_wet_bulb_0(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    const std::size_t nz = file.nz;
    const std::size_t ncol = file.nx * file.ny;
    const std::size_t need = nz * ncol;
    TARQ_TRY(const Field t_c, temperature_c(file, t));
    TARQ_TRY(const Field z_agl, height_agl(file, t));
    TARQ_TRY(const Field p_hpa, pressure_hpa(file, t));
    TARQ_TRY(const std::vector<double> q, read_var(file, "QVAPOR", t));
    if (t_c.size() != need) return wrong_length("temperature", t_c.size(), need);
    if (z_agl.size() != need) return wrong_length("height_agl", z_agl.size(), need);
    if (p_hpa.size() != need) return wrong_length("pressure", p_hpa.size(), need);
    if (q.size() != need) return wrong_length("QVAPOR", q.size(), need);
    std::vector<double> out(ncol, 0.0);
    for_each_column<CrossingScratch>(ncol, [&](std::size_t col, CrossingScratch& s) {
        s.values_c.resize(nz);
        for (std::size_t k = 0; k < nz; ++k) {
            const std::size_t i = k * ncol + col;
            s.values_c[k] = met::wet_bulb(p_hpa[i], t_c[i], met::dewpoint_from_q(q[i], p_hpa[i]));
        }
        gather_column(z_agl, nz, ncol, col, s.z);
        out[col] = met::zero_crossing_height(s.values_c, s.z);
    });
    return out;
}

Result<std::vector<double>> compute_theta_w(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    const std::size_t need = file.nz * file.nx * file.ny;
    TARQ_TRY(const Field p_hpa, pressure_hpa(file, t));
    TARQ_TRY(const Field t_c, temperature_c(file, t));
    TARQ_TRY(const std::vector<double> q, read_var(file, "QVAPOR", t));
    if (p_hpa.size() != need) return wrong_length("pressure", p_hpa.size(), need);
    if (t_c.size() != need) return wrong_length("temperature", t_c.size(), need);
    if (q.size() != need) return wrong_length("QVAPOR", q.size(), need);
    return per_point(need, [&](std::size_t i) {
        return met::wet_bulb_potential_temperature(p_hpa[i], t_c[i], met::dewpoint_from_q(q[i], p_hpa[i]));
    });
}

}  // namespace tarq
