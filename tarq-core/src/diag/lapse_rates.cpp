// Vertical temperature structure of each column: lapse rates over a height or
// a pressure layer, the heights of the 0 °C and 0 °C wet-bulb levels, and the
// wet-bulb potential temperature. The kernels are those of met/lapse_rate.
#include <cstddef>
#include <optional>
#include <vector>

#include "diag/rows.h"
#include "diag/lapse_rate_fields.h"
#include "diag/option_defaults.h"
#include "file/accessors.h"
#include "met/lapse_rate.h"
#include "met/thermo.h"
#include "util/constants.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

using namespace option_defaults::lapse_rate;

// Fields of a lapse-rate request; the optional ones are absent when the
// layer does not need them.
struct LapseInputs {
    GridField t_c;
    GridField z_agl;
    std::optional<GridField> qvapor;
    std::optional<GridField> p_hpa;
    std::vector<double> t2_c;  // 2-m temperature, virtual with use_virtual; empty off the screen layer
};

Result<LapseInputs> load_lapse_inputs(const TarqFile& file, std::size_t t, const LapseLayer& layer) {
    const std::size_t ncol = file.nx * file.ny;
    TARQ_TRY(GridField t_c, temperature_c(file, t));
    TARQ_TRY(GridField z_agl, height_agl(file, t));
    LapseInputs in{std::move(t_c), std::move(z_agl), std::nullopt, std::nullopt, {}};
    if (layer.use_virtual) {
        TARQ_TRY(in.qvapor, read_var(file, "QVAPOR", t));
    }
    if (layer.pressure) {
        TARQ_TRY(in.p_hpa, pressure_hpa(file, t));
    }
    if (layer.screen) {
        TARQ_TRY(const GridField t2_k, t2_lake(file, t, layer.lake_interp));
        in.t2_c = t2_k.to_vector();
        for (double& v : in.t2_c) v -= kKelvinOffset;
        if (layer.use_virtual) {
            TARQ_TRY(const GridField q2, q2_lake(file, t, layer.lake_interp));
            for (std::size_t i = 0; i < ncol; ++i) in.t2_c[i] = met::virtual_temperature_c_from_q(in.t2_c[i], q2[i]);
        }
    }
    return in;
}

// The layer a lapse-rate request names: a pressure layer when either pressure
// is given, else a height layer, which takes in the 2-m air when it starts
// below the screen level.
LapseLayer lapse_layer(const ComputeOptions& options) {
    LapseLayer layer;
    layer.pressure = options.bottom_p.has_value() || options.top_p.has_value();
    layer.screen = !layer.pressure && (!options.bottom_m || *options.bottom_m < met::kScreenLayerTopM);
    layer.bottom = layer.pressure ? options.bottom_p.value_or(kDefaultBottomHpa) : options.bottom_m.value_or(kDefaultBottomM);
    layer.top = layer.pressure ? options.top_p.value_or(kDefaultTopHpa) : options.top_m.value_or(kDefaultTopM);
    layer.use_virtual = options.use_virtual.value_or(kDefaultUseVirtual);
    layer.lake_interp = options.lake_interp.value_or(0.0);
    return layer;
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

Result<std::vector<double>> lapse_rate_field(const TarqFile& file, std::size_t t, const LapseLayer& layer) {
    TARQ_TRY(const LapseInputs in, load_lapse_inputs(file, t, layer));
    const std::size_t nz = file.nz;
    const std::size_t ncol = file.nx * file.ny;
    std::vector<double> out(ncol, 0.0);
    if (nz == 0) return out;
    for_each_column<LapseScratch>(ncol, [&](std::size_t col, LapseScratch& s) {
        gather_column(in.t_c, nz, ncol, col, s.t_c);
        gather_column(in.z_agl, nz, ncol, col, s.z);
        if (in.qvapor) {
            for (std::size_t k = 0; k < nz; ++k) {
                s.t_c[k] = met::virtual_temperature_c_from_q(s.t_c[k], (*in.qvapor)[k * ncol + col]);
            }
        }
        if (in.p_hpa) {
            gather_column(*in.p_hpa, nz, ncol, col, s.p);
            out[col] = met::pressure_layer_lapse_rate(s.p, s.t_c, s.z, layer.bottom, layer.top);
            return;
        }
        const std::optional<double> t2 = in.t2_c.empty() ? std::nullopt : std::optional(in.t2_c[col]);
        out[col] = met::height_layer_lapse_rate(s.t_c, s.z, t2, layer.bottom, layer.top);
    });
    return out;
}

Result<std::vector<double>> compute_lapse_rate(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    return lapse_rate_field(file, t, lapse_layer(options));
}

Result<std::vector<double>> compute_lapse_rate_0_3km(const TarqFile& file, std::size_t t,
                                                     const ComputeOptions& options) {
    ComputeOptions layer = options;
    layer.bottom_m = kDefaultBottomM;
    layer.top_m = kDefaultTopM;
    return lapse_rate_field(file, t, lapse_layer(layer));
}

Result<std::vector<double>> compute_lapse_rate_700_500(const TarqFile& file, std::size_t t,
                                                       const ComputeOptions& options) {
    return lapse_rate_field(file, t, lapse_rate_700_500_layer(options.use_virtual.value_or(kDefaultUseVirtual)));
}

Result<std::vector<double>> compute_freezing_level(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    const std::size_t nz = file.nz;
    const std::size_t ncol = file.nx * file.ny;
    TARQ_TRY(const GridField t_c, temperature_c(file, t));
    TARQ_TRY(const GridField z_agl, height_agl(file, t));
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
    TARQ_TRY(const GridField t_c, temperature_c(file, t));
    TARQ_TRY(const GridField z_agl, height_agl(file, t));
    TARQ_TRY(const GridField p_hpa, pressure_hpa(file, t));
    TARQ_TRY(const GridField q, read_var(file, "QVAPOR", t));
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
    TARQ_TRY(const GridField p_hpa, pressure_hpa(file, t));
    TARQ_TRY(const GridField t_c, temperature_c(file, t));
    TARQ_TRY(const GridField q, read_var(file, "QVAPOR", t));
    return per_point(need, [&](std::size_t i) {
        return met::wet_bulb_potential_temperature(p_hpa[i], t_c[i], met::dewpoint_from_q(q[i], p_hpa[i]));
    });
}

}  // namespace tarq
