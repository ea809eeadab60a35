// Convective parcel diagnostics: CAPE, CIN, LCL, LFC and EL of surface-based,
// mixed-layer, most-unstable and custom parcels, 3-D CAPE, and the effective
// inflow layer. Every grid column runs the parcel kernel of met/parcel.
#include <optional>
#include <string>
#include <string_view>

#include "diag/rows.h"
#include "diag/cape_fields.h"
#include "diag/option_defaults.h"
#include "file/accessors.h"
#include "met/parcel.h"
#include "met/thermo.h"
#include "util/constants.h"
#include "util/grid_loops.h"
#include "util/run_concurrently.h"

namespace tarq {

namespace {

using met::ColumnBuffer;
using met::Parcel;
using met::ParcelKind;
using met::ParcelScratch;
using namespace option_defaults::cape;

// One extracted column and the parcel kernel's buffers, per chunk of columns.
struct LiftScratch {
    ColumnBuffer column;
    ParcelScratch parcel;
};

// The 3-D fields grid columns are built from, for one time.
struct ColumnInputs {
    GridField p_hpa;
    GridField t_c;
    GridField qvapor;
    GridField z_agl;
    std::size_t nz = 0;
    std::size_t ncol = 0;

    [[nodiscard]] met::ColumnFields fields() const { return {p_hpa, t_c, qvapor, z_agl, nz, ncol}; }
};

Result<ColumnInputs> load_columns(const TarqFile& file, std::size_t t) {
    // The stored inputs behind these fields are decoded at the same time.
    auto [p_read, t_read, q_read, z_read] = run_concurrently(
        [&] { return pressure_hpa(file, t); }, [&] { return temperature_c(file, t); },
        [&] { return read_var(file, "QVAPOR", t); }, [&] { return height_agl(file, t); });
    if (auto error = first_error(p_read, t_read, q_read, z_read)) return std::unexpected(*error);
    return ColumnInputs{std::move(*p_read), std::move(*t_read), std::move(*q_read), std::move(*z_read), file.nz,
                        file.nx * file.ny};
}

// PSFC, T2 and Q2 of one time; T2 and Q2 lake-filled when lake_interp > 0.
struct SurfaceInputs {
    GridField psfc_pa;
    GridField t2_k;
    GridField q2;

    // (PSFC/100 hPa, T2 - 273.15 °C, dewpoint of Q2 °C) at column col.
    [[nodiscard]] Parcel parcel(std::size_t col) const noexcept {
        const double p_hpa = psfc_pa[col] / 100.0;
        return {p_hpa, t2_k[col] - kKelvinOffset, met::dewpoint_from_q(q2[col], p_hpa)};
    }
};

Result<SurfaceInputs> load_surface(const TarqFile& file, std::size_t t, double lake_interp) {
    auto [p_read, t_read, q_read] = run_concurrently([&] { return read_var(file, "PSFC", t); },
                                                     [&] { return t2_lake(file, t, lake_interp); },
                                                     [&] { return q2_lake(file, t, lake_interp); });
    if (auto error = first_error(p_read, t_read, q_read)) return std::unexpected(*error);
    return SurfaceInputs{std::move(*p_read), std::move(*t_read), std::move(*q_read)};
}

ParcelKind kind_or(const ComputeOptions& options, std::string_view fallback) {
    return met::parcel_kind(options.parcel_type ? std::string_view(*options.parcel_type) : fallback);
}

}  // namespace

Result<CapeFields> lift_cape_fields(const TarqFile& file, std::size_t t, ParcelKind kind, std::optional<double> top_m,
                                    double lake_interp) {
    TARQ_TRY(const ColumnInputs columns, load_columns(file, t));
    TARQ_TRY(const SurfaceInputs surface, load_surface(file, t, lake_interp));
    const std::size_t ncol = columns.ncol;
    CapeFields out{std::vector<double>(ncol, 0.0), std::vector<double>(ncol, 0.0), std::vector<double>(ncol, 0.0),
                   std::vector<double>(ncol, 0.0)};
    const met::ColumnFields fields = columns.fields();
    for_each_column<LiftScratch>(ncol, [&](std::size_t col, LiftScratch& s) {
        met::build_column(col, fields, s.column);
        const met::ParcelResult r = met::lift_parcel(s.column.view(), surface.parcel(col), kind,
                                                     met::kMixedLayerDepthHpa, met::kMostUnstableDepthHpa, top_m,
                                                     s.parcel);
        out.cape[col] = r.cape;
        out.cin[col] = r.cin;
        out.lcl_height[col] = r.lcl_height;
        out.lfc_height[col] = r.lfc_height;
    });
    return out;
}

namespace {

// LCL heights alone: the parcel kernel stops at the LCL.
Result<std::vector<double>> lcl_core(const TarqFile& file, std::size_t t, ParcelKind kind, double lake_interp) {
    TARQ_TRY(const ColumnInputs columns, load_columns(file, t));
    TARQ_TRY(const SurfaceInputs surface, load_surface(file, t, lake_interp));
    const std::size_t ncol = columns.ncol;
    std::vector<double> out(ncol, 0.0);
    const met::ColumnFields fields = columns.fields();
    for_each_column<LiftScratch>(ncol, [&](std::size_t col, LiftScratch& s) {
        met::build_column(col, fields, s.column);
        out[col] = met::lcl_height(s.column.view(), surface.parcel(col), kind, met::kMixedLayerDepthHpa,
                                   met::kMostUnstableDepthHpa, s.parcel);
    });
    return out;
}

Result<CapeFields> cape_core(const TarqFile& file, std::size_t t, ParcelKind kind, const ComputeOptions& options) {
    return cape_core(file, t, kind, options.top_m, options.lake_interp.value_or(0.0));
}

// A custom parcel in hPa and °C. The kernel would convert Pa or K together
// with the column, but the column here is always hPa and °C and is filtered
// against the parcel pressure first, so each value is converted on its own.
Parcel custom_parcel(const ComputeOptions& options) {
    double p = *options.parcel_pressure;
    double t = *options.parcel_temperature;
    double td = *options.parcel_dewpoint;
    if (p > kPascalThreshold) p /= 100.0;
    if (t > kKelvinThreshold) t -= kKelvinOffset;
    if (td > kKelvinThreshold) td -= kKelvinOffset;
    return {p, t, td};
}

// CAPE and CIN of one parcel lifted through the levels at or above it.
Result<CapeFields> custom_cape(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(const ColumnInputs columns, load_columns(file, t));
    const Parcel parcel = custom_parcel(options);
    const std::size_t ncol = columns.ncol;
    CapeFields out{std::vector<double>(ncol, 0.0), std::vector<double>(ncol, 0.0), {}, {}};
    const met::ColumnFields fields = columns.fields();
    struct Scratch {
        LiftScratch lift;
        ColumnBuffer kept;
    };
    for_each_column<Scratch>(ncol, [&](std::size_t col, Scratch& s) {
        const ColumnBuffer& column = s.lift.column;
        ColumnBuffer& kept = s.kept;
        met::build_column(col, fields, s.lift.column);
        kept.p_hpa.clear();
        kept.t_c.clear();
        kept.td_c.clear();
        kept.z_m.clear();
        for (std::size_t k = 0; k < column.p_hpa.size(); ++k) {
            if (!(column.p_hpa[k] <= parcel.p_hpa)) continue;
            kept.p_hpa.push_back(column.p_hpa[k]);
            kept.t_c.push_back(column.t_c[k]);
            kept.td_c.push_back(column.td_c[k]);
            kept.z_m.push_back(column.z_m[k]);
        }
        if (kept.p_hpa.size() < 2) return;
        const met::ParcelResult r = met::lift_parcel(kept.view(), parcel, ParcelKind::Surface,
                                                     met::kMixedLayerDepthHpa, met::kMostUnstableDepthHpa,
                                                     options.top_m, s.lift.parcel);
        out.cape[col] = r.cape;
        out.cin[col] = r.cin;
    });
    return out;
}

bool has_custom_parcel(const ComputeOptions& options) {
    return options.parcel_pressure && options.parcel_temperature && options.parcel_dewpoint;
}

// Start entry and column levels, bottom first, for the EL search.
struct ProfileBuffer {
    std::vector<double> p_hpa;
    std::vector<double> t_c;
    std::vector<double> td_c;

    void clear() {
        p_hpa.clear();
        t_c.clear();
        td_c.clear();
    }
    void add(double p, double t, double td) {
        p_hpa.push_back(p);
        t_c.push_back(t);
        td_c.push_back(td);
    }
    [[nodiscard]] met::Sounding view() const { return {p_hpa, t_c, td_c, {}}; }
};

// Scan results of every column, for the effective-layer rows.
struct EffectiveFields {
    std::vector<double> base_height;
    std::vector<double> top_height;
    std::vector<double> best_cape;
};

Result<EffectiveFields> effective_layer(const TarqFile& file, std::size_t t, bool with_top) {
    TARQ_TRY(const ColumnInputs columns, load_columns(file, t));
    const std::size_t ncol = columns.ncol;
    EffectiveFields out{std::vector<double>(ncol, 0.0), std::vector<double>(ncol, 0.0),
                        std::vector<double>(ncol, 0.0)};
    const met::ColumnFields fields = columns.fields();
    for_each_column<LiftScratch>(ncol, [&](std::size_t col, LiftScratch& s) {
        met::build_column(col, fields, s.column);
        const met::Sounding view = s.column.view();
        const met::EffectiveLayer layer = met::effective_layer_scan(view, s.parcel);
        if (!layer.found) return;
        out.best_cape[col] = layer.best_cape;
        out.base_height[col] = s.column.z_m[layer.base];
        if (!with_top) return;
        // The top is the equilibrium level of the layer's most buoyant parcel.
        const met::EquilibriumLevel el = met::equilibrium_level(view.from_level(layer.best_level));
        if (el.found && el.p_hpa > 0.0) out.top_height[col] = met::height_at_pressure(el.p_hpa, view.p_hpa, view.z_m);
    });
    return out;
}

}  // namespace

Result<std::vector<double>> compute_sbcape(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(auto r, cape_core(file, t, ParcelKind::Surface, options));
    return std::move(r.cape);
}

Result<std::vector<double>> compute_sbcin(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(auto r, cape_core(file, t, ParcelKind::Surface, options));
    return std::move(r.cin);
}

Result<std::vector<double>> compute_mlcape(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(auto r, cape_core(file, t, ParcelKind::MixedLayer, options));
    return std::move(r.cape);
}

Result<std::vector<double>> compute_mlcin(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(auto r, cape_core(file, t, ParcelKind::MixedLayer, options));
    return std::move(r.cin);
}

Result<std::vector<double>> compute_mucape(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(auto r, cape_core(file, t, ParcelKind::MostUnstable, options));
    return std::move(r.cape);
}

Result<std::vector<double>> compute_mucin(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(auto r, cape_core(file, t, ParcelKind::MostUnstable, options));
    return std::move(r.cin);
}

Result<std::vector<double>> compute_lcl(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    return lcl_core(file, t, kind_or(options, kDefaultParcelType), options.lake_interp.value_or(0.0));
}

Result<std::vector<double>> compute_lfc(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(auto r, cape_core(file, t, kind_or(options, kDefaultParcelType), options));
    return std::move(r.lfc_height);
}

Result<std::vector<double>> compute_cape2d(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(auto r, cape_core(file, t, kind_or(options, kCape2dParcelType), options));
    std::vector<double> out = std::move(r.cape);
    out.reserve(4 * out.size());
    for (const auto* field : {&r.cin, &r.lcl_height, &r.lfc_height}) out.insert(out.end(), field->begin(), field->end());
    return out;
}

Result<std::vector<double>> compute_cape(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    if (has_custom_parcel(options)) {
        TARQ_TRY(auto r, custom_cape(file, t, options));
        return std::move(r.cape);
    }
    TARQ_TRY(auto r, cape_core(file, t, kind_or(options, kDefaultParcelType), options));
    return std::move(r.cape);
}

Result<std::vector<double>> compute_cin(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    if (has_custom_parcel(options)) {
        TARQ_TRY(auto r, custom_cape(file, t, options));
        return std::move(r.cin);
    }
    TARQ_TRY(auto r, cape_core(file, t, kind_or(options, kDefaultParcelType), options));
    return std::move(r.cin);
}

Result<std::vector<double>> compute_el(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(const ColumnInputs columns, load_columns(file, t));
    // The raw 2-m fields: this row does not fill lakes.
    TARQ_TRY(const SurfaceInputs surface, load_surface(file, t, 0.0));
    const ParcelKind kind = kind_or(options, kDefaultParcelType);
    const std::size_t ncol = columns.ncol;
    std::vector<double> out(ncol, 0.0);
    const met::ColumnFields fields = columns.fields();
    struct Scratch {
        ColumnBuffer column;
        ProfileBuffer extended;
        ProfileBuffer el_profile;
    };
    for_each_column<Scratch>(ncol, [&](std::size_t col, Scratch& s) {
        const ColumnBuffer& column = s.column;
        met::build_column(col, fields, s.column);
        const Parcel start = surface.parcel(col);
        s.extended.clear();
        s.extended.add(start.p_hpa, start.t_c, start.td_c);
        for (std::size_t k = 0; k < column.p_hpa.size(); ++k) {
            s.extended.add(column.p_hpa[k], column.t_c[k], column.td_c[k]);
        }
        Parcel parcel = start;
        if (kind == ParcelKind::MixedLayer) parcel = met::mixed_layer_parcel(s.extended.view(), met::kMixedLayerDepthHpa);
        if (kind == ParcelKind::MostUnstable) {
            parcel = met::most_unstable_parcel(s.extended.view(), met::kMostUnstableDepthHpa);
        }
        s.el_profile.clear();
        s.el_profile.add(parcel.p_hpa, parcel.t_c, parcel.td_c);
        for (std::size_t k = 0; k < column.p_hpa.size(); ++k) {
            if (column.p_hpa[k] < parcel.p_hpa) s.el_profile.add(column.p_hpa[k], column.t_c[k], column.td_c[k]);
        }
        if (s.el_profile.p_hpa.size() < 2) return;
        const met::EquilibriumLevel el = met::equilibrium_level(s.el_profile.view());
        if (el.found && el.p_hpa > 0.0) out[col] = met::height_at_pressure(el.p_hpa, column.p_hpa, column.z_m);
    });
    return out;
}

Result<std::vector<double>> compute_cape3d(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const ColumnInputs columns, load_columns(file, t));
    const std::size_t ncol = columns.ncol;
    const std::size_t nz = columns.nz;
    std::vector<double> out(nz * ncol, 0.0);
    const met::ColumnFields fields = columns.fields();
    // The top level lifts through nothing and stays 0.
    for_each_level(nz == 0 ? 0 : nz - 1, [&](std::size_t k) {
        LiftScratch s;
        for (std::size_t col = 0; col < ncol; ++col) {
            met::build_column(col, fields, s.column);
            const met::Sounding part = s.column.view().from_level(k);
            const Parcel start{s.column.p_hpa[k], s.column.t_c[k], s.column.td_c[k]};
            out[k * ncol + col] = met::lift_parcel(part, start, ParcelKind::Surface, met::kMixedLayerDepthHpa,
                                                   met::kMostUnstableDepthHpa, std::nullopt, s.parcel)
                                      .cape;
        }
    });
    return out;
}

Result<std::vector<double>> compute_effective_inflow(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(auto r, effective_layer(file, t, true));
    std::vector<double> out = std::move(r.base_height);
    out.insert(out.end(), r.top_height.begin(), r.top_height.end());
    return out;
}

Result<std::vector<double>> compute_effective_cape(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(auto r, effective_layer(file, t, false));
    return std::move(r.best_cape);
}

}  // namespace tarq
