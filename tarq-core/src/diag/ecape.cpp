// Entraining CAPE by the analytic formula of Peters, Chavas, Su, Morrison and
// Coffer (2023, J. Atmos. Sci. 80, 1543: "An analytic formula for entraining
// CAPE in mid-latitude storm environments"), read as the `ecape` package
// (0.1.1) reads it where the two differ:
//  - the 0-1 km storm-relative wind is the mean of the storm-relative speeds
//    at the points from the ground to 1 km, not the speed of the mean wind;
//  - the EL height in psi is above sea level, at the last level below the EL,
//    and the LFC the last level below it;
//  - psi = k^2 alpha^2 pi^2 L / (4 Pr sigma^2 H), with the 4 and sigma = 1.6;
//  - the mean moist static energy is the running mean over the levels, not
//    over height.
// CAPE, LFC and EL are the parcel kernel's, the storm motion the Bunkers
// right-mover of the srh rows unless storm_motion is given.
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diag/option_defaults.h"
#include "diag/cape_fields.h"
#include "diag/rows.h"
#include "diag/shear_helicity_fields.h"
#include "diag/wind_fields.h"
#include "file/accessors.h"
#include "met/thermo.h"
#include "util/constants.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

// The constants the ecape package takes from MetPy.
constexpr double kCpEcape = 1004.6662184201462;  // J kg-1 K-1
constexpr double kLvEcape = 2.50084e6;           // J kg-1
constexpr double kGEcape = 9.80665;              // m s-2
constexpr double kEpsilonEcape = 0.6219569100577033;
// The entrainment parameters of psi.
constexpr double kSigma = 1.6;
constexpr double kAlpha = 0.8;
constexpr double kMixingLengthM = 120.0;
constexpr double kPrandtl = 1.0 / 3.0;
constexpr double kKarmanSquared = 0.18;
constexpr double kInflowTopM = 1000.0;

// The environment of one column, surface point first: heights above sea
// level, moist static energy and its saturated value, temperature.
struct EcapeScratch {
    ExtendedColumn winds;
    std::vector<double> z_msl;
    std::vector<double> t_k;
    std::vector<double> mse_bar;
    std::vector<double> mse_star;
};

double moist_static_energy(double z_m, double t_k, double q) noexcept {
    return kCpEcape * t_k + kGEcape * z_m + kLvEcape * q;
}

// Eq. 55 with psi of eq. 52; 0 where it is negative or the storm-relative
// wind is calm (the limit as the wind vanishes).
double ecape_formula(double cape, double ncape, double sr_wind, double el_z_msl) noexcept {
    if (!(sr_wind > 0.0) || !(el_z_msl > 0.0)) return 0.0;
    const double psi = kKarmanSquared * kAlpha * kAlpha * std::numbers::pi * std::numbers::pi * kMixingLengthM /
                       (4.0 * kPrandtl * kSigma * kSigma * el_z_msl);
    const double v2 = sr_wind * sr_wind;
    const double a = v2 / 2.0;
    const double b = (-1.0 - psi - (2.0 * psi / v2) * ncape) / (4.0 * psi / v2);
    const double c = std::sqrt(std::pow(1.0 + psi + (2.0 * psi / v2) * ncape, 2) +
                               8.0 * (psi / v2) * (cape - psi * ncape)) /
                     (4.0 * psi / v2);
    const double ecape = a + b + c;
    return ecape >= 0.0 ? ecape : 0.0;
}

}  // namespace

Result<std::vector<double>> compute_ecape(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    ComputeOptions parcel = options;
    if (!parcel.parcel_type) parcel.parcel_type = std::string(option_defaults::ecape::kDefaultParcelType);
    const met::ParcelKind kind = met::parcel_kind(*parcel.parcel_type);
    TARQ_TRY(const CapeFields lifted, cape_core(file, t, kind, std::nullopt, 0.0));
    TARQ_TRY(const std::vector<double> el_agl, compute_el(file, t, parcel));
    TARQ_TRY(const ExtendedColumnInputs winds, load_extended_columns(file, t));
    TARQ_TRY(const GridField z_msl, height_msl(file, t));
    TARQ_TRY(const GridField terrain_m, terrain(file, t));
    TARQ_TRY(const GridField t_k, temperature(file, t));
    TARQ_TRY(const GridField p_pa, pressure(file, t));
    TARQ_TRY(const GridField qvapor, read_var(file, "QVAPOR", t));
    TARQ_TRY(const GridField psfc, read_var(file, "PSFC", t));
    TARQ_TRY(const GridField t2, read_var(file, "T2", t));
    TARQ_TRY(const GridField q2, read_var(file, "Q2", t));
    std::optional<StormMotionFields> bunkers;
    if (!options.storm_motion) {
        TARQ_TRY(bunkers, bunkers_fields(file, t));
    }
    const std::size_t nz = file.nz;
    const std::size_t ncol = file.nx * file.ny;
    std::vector<double> out(ncol, 0.0);
    for_each_column<EcapeScratch>(ncol, [&](std::size_t col, EcapeScratch& s) {
        const double cape = lifted.cape[col];
        const double lfc = lifted.lfc_height[col];
        const double el = el_agl[col];
        if (!(cape > 0.0) || std::isnan(lfc) || !(el > lfc)) return;
        // The environment: the surface point under the model levels.
        const std::size_t n = nz + 1;
        s.z_msl.resize(n);
        s.t_k.resize(n);
        s.mse_bar.resize(n);
        s.mse_star.resize(n);
        double mse_sum = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t at = (k == 0 ? 0 : k - 1) * ncol + col;
            const double z = k == 0 ? terrain_m[col] : z_msl[at];
            const double tk = k == 0 ? t2[col] : t_k[at];
            const double w = k == 0 ? q2[col] : qvapor[at];
            const double p_hpa = (k == 0 ? psfc[col] : p_pa[at]) / 100.0;
            const double e = met::vapor_pressure_exp(tk - kKelvinOffset);
            mse_sum += moist_static_energy(z, tk, w / (1.0 + w));
            s.z_msl[k] = z;
            s.t_k[k] = tk;
            s.mse_bar[k] = mse_sum / static_cast<double>(k + 1);
            s.mse_star[k] = moist_static_energy(z, tk, kEpsilonEcape * e / (p_hpa - e));
        }
        // The last levels below the LFC and below the EL.
        std::size_t lfc_idx = 0;
        std::size_t el_idx = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const double z_agl = s.z_msl[k] - terrain_m[col];
            if (z_agl < lfc) lfc_idx = k;
            if (z_agl < el) el_idx = k;
        }
        double ncape = 0.0;
        for (std::size_t k = lfc_idx; k < el_idx; ++k) {
            const double lower = -(kGEcape / (kCpEcape * s.t_k[k])) * (s.mse_bar[k] - s.mse_star[k]);
            const double upper = -(kGEcape / (kCpEcape * s.t_k[k + 1])) * (s.mse_bar[k + 1] - s.mse_star[k + 1]);
            ncape += (0.5 * lower + 0.5 * upper) * (s.z_msl[k + 1] - s.z_msl[k]);
        }
        const double storm_u = options.storm_motion ? options.storm_motion->first : bunkers->right_u[col];
        const double storm_v = options.storm_motion ? options.storm_motion->second : bunkers->right_v[col];
        build_extended_column(col, winds, s.winds);
        double speed_sum = 0.0;
        std::size_t count = 0;
        for (std::size_t k = 0; k < s.winds.z.size(); ++k) {
            if (!(s.winds.z[k] >= 0.0 && s.winds.z[k] <= kInflowTopM)) continue;
            speed_sum += std::hypot(s.winds.u[k] - storm_u, s.winds.v[k] - storm_v);
            ++count;
        }
        const double sr_wind = count > 0 ? speed_sum / static_cast<double>(count) : 0.0;
        out[col] = ecape_formula(cape, ncape, sr_wind, s.z_msl[el_idx]);
    });
    return out;
}

}  // namespace tarq
