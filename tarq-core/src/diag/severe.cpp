// Severe-weather composites: the significant tornado parameter (fixed and
// effective layer), the supercell composite, the energy-helicity index, the
// significant hail parameter, the critical angle and the bulk Richardson
// number. Each driver computes its ingredients once, in a fixed order (the
// CAPE field of one parcel kind, then shear, helicity and lapse rate), from
// the field functions of the families they come from (never from their
// rows), and combines them point by point with the formulas of
// met/composite. Options an index does not use are ignored.
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "diag/rows.h"
#include "diag/cape_fields.h"
#include "diag/field_checks.h"
#include "diag/lapse_rate_fields.h"
#include "diag/option_defaults.h"
#include "diag/shear_helicity_fields.h"
#include "file/accessors.h"
#include "met/composite.h"
#include "met/parcel.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

using met::ParcelKind;

// Every composite takes the 0-6 km bulk shear, whatever layer the request names.
constexpr double kShearBottomM = 0.0;
constexpr double kShearTopM = 6000.0;
using option_defaults::severe::kEhiDefaultDepthM;
constexpr double kScpHelicityDepthM = 3000.0;
constexpr double kStpHelicityDepthM = 1000.0;
// The one layer_type text that selects the effective-layer STP (case-sensitive).
constexpr std::string_view kEffectiveLayerType = "effective";

// CAPE field of a composite: its own parcel kind, no height cap, the
// request's lake filling. Callers drop the vectors they do not use at once.
Result<CapeFields> composite_cape(const TarqFile& file, std::size_t t, ParcelKind kind,
                                  const ComputeOptions& options) {
    return cape_core(file, t, kind, std::nullopt, options.lake_interp.value_or(0.0));
}

Result<std::vector<double>> shear_0_6km(const TarqFile& file, std::size_t t) {
    return bulk_shear_field(file, t, kShearBottomM, kShearTopM);
}

// Fixed-depth helicity with each column's Bunkers right-mover, even where the
// request gives a storm motion.
Result<std::vector<double>> bunkers_srh(const TarqFile& file, std::size_t t, double depth_m) {
    return fixed_depth_srh(file, t, depth_m, std::nullopt);
}

struct Fields500Hpa {
    std::vector<double> t_c;
    std::vector<double> mr_gkg;
};

struct Column500Scratch {
    std::vector<double> p_hpa;
    std::vector<double> t_c;
    std::vector<double> q;
};

// Environmental temperature and mixing ratio at 500 hPa of every column.
Result<Fields500Hpa> fields_at_500hpa(const TarqFile& file, std::size_t t) {
    const std::size_t nz = file.nz;
    const std::size_t ncol = file.nx * file.ny;
    TARQ_TRY(const GridField p_hpa, pressure_hpa(file, t));
    TARQ_TRY(const GridField t_c, temperature_c(file, t));
    TARQ_TRY(const GridField q, read_var(file, "QVAPOR", t));
    Fields500Hpa out{std::vector<double>(ncol, 0.0), std::vector<double>(ncol, 0.0)};
    for_each_column<Column500Scratch>(ncol, [&](std::size_t col, Column500Scratch& s) {
        gather_column(p_hpa, nz, ncol, col, s.p_hpa);
        gather_column(t_c, nz, ncol, col, s.t_c);
        gather_column(q, nz, ncol, col, s.q);
        const met::Values500Hpa v = met::values_at_500hpa(s.p_hpa, s.t_c, s.q);
        out.t_c[col] = v.t_c;
        out.mr_gkg[col] = v.mr_gkg;
    });
    return out;
}

// Fixed-layer STP: surface-based CAPE and LCL, 0-1 km Bunkers helicity, 0-6 km shear.
Result<std::vector<double>> stp_fixed_field(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(CapeFields sb, composite_cape(file, t, ParcelKind::Surface, options));
    sb.cin = sb.lfc_height = {};
    TARQ_TRY(const std::vector<double> srh, bunkers_srh(file, t, kStpHelicityDepthM));
    TARQ_TRY(const std::vector<double> shear, shear_0_6km(file, t));
    return per_point(sb.cape.size(), [&](std::size_t i) {
        return met::stp_fixed_layer(sb.cape[i], sb.lcl_height[i], srh[i], shear[i]);
    });
}

// Effective-layer STP: mixed-layer CAPE, CIN and LCL, effective helicity with
// the request's storm motion, and the fixed 0-6 km shear rather than a shear
// over the effective layer.
Result<std::vector<double>> stp_effective_field(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(CapeFields ml, composite_cape(file, t, ParcelKind::MixedLayer, options));
    ml.lfc_height = {};
    TARQ_TRY(const std::vector<double> shear, shear_0_6km(file, t));
    TARQ_TRY(const std::vector<double> srh, effective_srh_field(file, t, options.storm_motion));
    return per_point(ml.cape.size(), [&](std::size_t i) {
        return met::stp_effective_layer(ml.cape[i], ml.lcl_height[i], ml.cin[i], srh[i], shear[i]);
    });
}

struct WindColumnScratch {
    std::vector<double> u;
    std::vector<double> v;
    std::vector<double> z;
};

}  // namespace

Result<std::vector<double>> compute_bri(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(CapeFields sb, composite_cape(file, t, ParcelKind::Surface, options));
    sb.cin = sb.lcl_height = sb.lfc_height = {};
    TARQ_TRY(const std::vector<double> shear, shear_0_6km(file, t));
    return per_point(sb.cape.size(), [&](std::size_t i) { return met::bulk_richardson_number(sb.cape[i], shear[i]); });
}

// Energy-helicity index over the 0 to depth_m (default 1 km) Bunkers helicity;
// a given storm_motion is not used.
Result<std::vector<double>> compute_ehi(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(const double depth_m, height_option(options.depth_m, kEhiDefaultDepthM, "depth_m"));
    TARQ_TRY(CapeFields sb, composite_cape(file, t, ParcelKind::Surface, options));
    sb.cin = sb.lcl_height = sb.lfc_height = {};
    TARQ_TRY(const std::vector<double> srh, bunkers_srh(file, t, depth_m));
    return per_point(sb.cape.size(), [&](std::size_t i) { return met::energy_helicity_index(sb.cape[i], srh[i]); });
}

// Supercell composite of the most-unstable CAPE, the 0-3 km Bunkers helicity
// and the 0-6 km shear over 40 m/s, uncapped (the original form).
Result<std::vector<double>> compute_scp(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(CapeFields mu, composite_cape(file, t, ParcelKind::MostUnstable, options));
    mu.cin = mu.lcl_height = mu.lfc_height = {};
    TARQ_TRY(const std::vector<double> srh, bunkers_srh(file, t, kScpHelicityDepthM));
    TARQ_TRY(const std::vector<double> shear, shear_0_6km(file, t));
    return per_point(mu.cape.size(),
                     [&](std::size_t i) { return met::supercell_composite(mu.cape[i], srh[i], shear[i]); });
}

Result<std::vector<double>> compute_stp_fixed(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    return stp_fixed_field(file, t, options);
}

Result<std::vector<double>> compute_stp_effective(const TarqFile& file, std::size_t t,
                                                  const ComputeOptions& options) {
    return stp_effective_field(file, t, options);
}

// layer_type "effective" selects the effective-layer form, anything else the fixed layer.
Result<std::vector<double>> compute_stp(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    if (options.layer_type && *options.layer_type == kEffectiveLayerType) return stp_effective_field(file, t, options);
    return stp_fixed_field(file, t, options);
}

// Significant hail parameter from the most-unstable CAPE, the environmental
// (not the parcel's) 500 hPa mixing ratio, the 700-500 hPa lapse rate (which
// honours use_virtual), the 500 hPa temperature and the 0-6 km shear, with no
// further scaling.
Result<std::vector<double>> compute_ship(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(CapeFields mu, composite_cape(file, t, ParcelKind::MostUnstable, options));
    mu.cin = mu.lcl_height = mu.lfc_height = {};
    TARQ_TRY(const std::vector<double> shear, shear_0_6km(file, t));
    TARQ_TRY(const std::vector<double> lapse,
             lapse_rate_field(file, t, lapse_rate_700_500_layer(options.use_virtual.value_or(false))));
    TARQ_TRY(const Fields500Hpa at500, fields_at_500hpa(file, t));
    return per_point(mu.cape.size(), [&](std::size_t i) {
        return met::significant_hail(mu.cape[i], at500.mr_gkg[i], lapse[i], at500.t_c[i], shear[i]);
    });
}

// Critical angle between the storm-relative wind at the lowest model level
// (V0 - Vs, Vs the column's own Bunkers right-mover) and the 0-500 m shear.
// The winds stay grid-relative: a rotation leaves the angle unchanged.
Result<std::vector<double>> compute_critical_angle(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    const std::size_t nz = file.nz;
    const std::size_t ncol = file.nx * file.ny;
    TARQ_TRY(const GridField u, u_mass(file, t));
    TARQ_TRY(const GridField v, v_mass(file, t));
    TARQ_TRY(const GridField z, height_agl(file, t));
    std::vector<double> out(ncol, 0.0);
    for_each_column<WindColumnScratch>(ncol, [&](std::size_t col, WindColumnScratch& s) {
        gather_column(u, nz, ncol, col, s.u);
        gather_column(v, nz, ncol, col, s.v);
        gather_column(z, nz, ncol, col, s.z);
        out[col] = met::critical_angle_deg(s.u, s.v, s.z);
    });
    return out;
}

}  // namespace tarq
