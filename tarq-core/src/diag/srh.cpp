// Layer winds, storm motion and storm-relative helicity: bulk shear, mean
// winds and the Bunkers motion over the extended columns (10-m wind under the
// model levels), and helicity over a fixed depth or the effective inflow layer.
#include <limits>

#include "diag/rows.h"
#include "diag/field_checks.h"
#include "diag/option_defaults.h"
#include "diag/shear_helicity_fields.h"
#include "diag/wind_fields.h"
#include "file/accessors.h"
#include "met/helicity.h"
#include "met/parcel.h"
#include "met/thermo.h"
#include "met/wind.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
using namespace option_defaults::layer_wind;
constexpr double kShear1kmTopM = 1000.0;
constexpr double kSrh1DepthM = 1000.0;
constexpr double kSrh3DepthM = 3000.0;

// Two ny*nx fields, u first.
std::vector<double> stacked(std::vector<double> u, const std::vector<double>& v) {
    u.insert(u.end(), v.begin(), v.end());
    return u;
}

met::Wind as_wind(const std::pair<double, double>& motion) { return {motion.first, motion.second}; }

// Model-level columns of the bulk shear, reversed in place where needed.
struct ShearScratch {
    std::vector<double> u;
    std::vector<double> v;
    std::vector<double> z;
};

// Profile of the effective-layer search: point 0 has level 0's thermodynamics
// with the 10-m wind at 10 m, points 1..nz the model levels.
struct EffectiveScratch {
    ExtendedColumn winds;
    std::vector<double> p_hpa;
    std::vector<double> t_c;
    std::vector<double> td_c;
    met::ParcelScratch parcel;
};

}  // namespace

Result<std::vector<double>> bulk_shear_uncached(const TarqFile& file, std::size_t t, double bottom_m,
                                                double top_m) {
    TARQ_TRY(const auto u, u_mass(file, t));
    TARQ_TRY(const auto v, v_mass(file, t));
    TARQ_TRY(const auto z, height_agl(file, t));
    const std::size_t nz = file.nz;
    const std::size_t ncol = file.nx * file.ny;
    std::vector<double> out(ncol, 0.0);
    for_each_column<ShearScratch>(ncol, [&](std::size_t col, ShearScratch& s) {
        gather_column(u, nz, ncol, col, s.u);
        gather_column(v, nz, ncol, col, s.v);
        gather_column(z, nz, ncol, col, s.z);
        out[col] = met::bulk_shear_magnitude(s.u, s.v, s.z, bottom_m, top_m);
    });
    return out;
}

Result<StormMotionFields> bunkers_uncached(const TarqFile& file, std::size_t t) {
    TARQ_TRY(const ExtendedColumnInputs in, load_extended_columns(file, t));
    const std::size_t ncol = in.ncol;
    StormMotionFields out;
    for (auto* field : {&out.right_u, &out.right_v, &out.left_u, &out.left_v, &out.mean_u, &out.mean_v}) {
        field->assign(ncol, 0.0);
    }
    for_each_column<ExtendedColumn>(ncol, [&](std::size_t col, ExtendedColumn& column) {
        build_extended_column(col, in, column);
        const met::StormMotion m = met::bunkers_motion(column.view());
        out.right_u[col] = m.right.u;
        out.right_v[col] = m.right.v;
        out.left_u[col] = m.left.u;
        out.left_v[col] = m.left.v;
        out.mean_u[col] = m.mean.u;
        out.mean_v[col] = m.mean.v;
    });
    return out;
}

Result<std::vector<double>> fixed_depth_srh_uncached(const TarqFile& file, std::size_t t, double depth_m,
                                                     const StormMotionOption& storm_motion) {
    TARQ_TRY(const ExtendedColumnInputs in, load_extended_columns(file, t));
    std::vector<double> out(in.ncol, 0.0);
    for_each_column<ExtendedColumn>(in.ncol, [&](std::size_t col, ExtendedColumn& column) {
        build_extended_column(col, in, column);
        const met::WindColumn c = column.view();
        if (storm_motion) {
            const auto h = met::helicity_integral(c, depth_m, as_wind(*storm_motion));
            out[col] = h ? h->total : 0.0;
        } else {
            out[col] = met::srh_layer_walk(c, depth_m, met::srh_storm_motion(c));
        }
    });
    return out;
}

Result<std::vector<double>> effective_srh_uncached(const TarqFile& file, std::size_t t,
                                                   const StormMotionOption& storm_motion) {
    TARQ_TRY(ExtendedColumnInputs in, load_model_level_winds(file, t));
    TARQ_TRY(const auto p_hpa, pressure_hpa(file, t));
    TARQ_TRY(const auto t_c, temperature_c(file, t));
    TARQ_TRY(const auto qvapor, read_var(file, "QVAPOR", t));
    if (auto added = add_ten_metre_winds(file, t, in); !added) return std::unexpected(added.error());
    const std::size_t nz = in.nz;
    const std::size_t ncol = in.ncol;
    std::vector<double> out(ncol, 0.0);
    if (nz == 0) return out;
    const std::optional<met::Wind> storm =
        storm_motion ? std::optional<met::Wind>(as_wind(*storm_motion)) : std::nullopt;
    // Each column lifts up to nz parcels: this loop is where the time goes.
    for_each_column<EffectiveScratch>(ncol, [&](std::size_t col, EffectiveScratch& s) {
        build_extended_column(col, in, s.winds);
        s.p_hpa.resize(nz + 1);
        s.t_c.resize(nz + 1);
        s.td_c.resize(nz + 1);
        for (std::size_t k = 0; k < nz; ++k) {
            const std::size_t at = k * ncol + col;
            s.p_hpa[k + 1] = p_hpa[at];
            s.t_c[k + 1] = t_c[at];
            s.td_c[k + 1] = met::dewpoint_from_q(qvapor[at], p_hpa[at]);
        }
        s.p_hpa[0] = s.p_hpa[1];
        s.t_c[0] = s.t_c[1];
        s.td_c[0] = s.td_c[1];
        const met::Sounding profile{s.p_hpa, s.t_c, s.td_c, s.winds.z};
        out[col] = met::effective_layer_helicity(profile, s.winds.view(), storm, s.parcel);
    });
    return out;
}

Result<std::vector<double>> compute_bulk_shear(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(const double bottom, height_option(options.bottom_m, kDefaultBottomM, "bottom_m"));
    TARQ_TRY(const double top, height_option(options.top_m, kDefaultTopM, "top_m"));
    return bulk_shear_field(file, t, bottom, top);
}

Result<std::vector<double>> compute_shear_0_1km(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return bulk_shear_field(file, t, kDefaultBottomM, kShear1kmTopM);
}

Result<std::vector<double>> compute_shear_0_6km(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return bulk_shear_field(file, t, kDefaultBottomM, kDefaultTopM);
}

Result<std::vector<double>> compute_mean_wind(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(const double bottom, height_option(options.bottom_m, kDefaultBottomM, "bottom_m"));
    TARQ_TRY(const double top, height_option(options.top_m, kDefaultTopM, "top_m"));
    TARQ_TRY(const ExtendedColumnInputs in, load_extended_columns(file, t));
    std::vector<double> mean_u(in.ncol, 0.0);
    std::vector<double> mean_v(in.ncol, 0.0);
    for_each_column<ExtendedColumn>(in.ncol, [&](std::size_t col, ExtendedColumn& column) {
        build_extended_column(col, in, column);
        const met::Wind mean = met::layer_mean_wind_weighted(column.view(), bottom, top).value_or(met::Wind{kNaN, kNaN});
        mean_u[col] = mean.u;
        mean_v[col] = mean.v;
    });
    return stacked(std::move(mean_u), mean_v);
}

Result<std::vector<double>> compute_bunkers_rm(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(auto m, bunkers_fields(file, t));
    return stacked(std::move(m.right_u), m.right_v);
}

Result<std::vector<double>> compute_bunkers_lm(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(auto m, bunkers_fields(file, t));
    return stacked(std::move(m.left_u), m.left_v);
}

Result<std::vector<double>> compute_mean_wind_0_6km(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(auto m, bunkers_fields(file, t));
    return stacked(std::move(m.mean_u), m.mean_v);
}

Result<std::vector<double>> compute_srh(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    TARQ_TRY(const double depth, height_option(options.depth_m, kDefaultSrhDepthM, "depth_m"));
    return fixed_depth_srh(file, t, depth, options.storm_motion);
}

Result<std::vector<double>> compute_srh1(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    return fixed_depth_srh(file, t, kSrh1DepthM, options.storm_motion);
}

Result<std::vector<double>> compute_srh3(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    return fixed_depth_srh(file, t, kSrh3DepthM, options.storm_motion);
}

Result<std::vector<double>> compute_effective_srh(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    return effective_srh_field(file, t, options.storm_motion);
}

}  // namespace tarq
