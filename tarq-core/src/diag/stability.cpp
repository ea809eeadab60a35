// Stability indices of each column from its temperatures at 850, 700 and 500
// hPa (lifted index, Showalter, K index, the totals) and downdraft CAPE. Every
// parcel follows the kernel's dry adiabat to its LCL and its moist adiabat
// above (met/thermo), the same curves the CAPE rows lift along.
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "diag/option_defaults.h"
#include "diag/rows.h"
#include "file/accessors.h"
#include "met/interp.h"
#include "met/parcel.h"
#include "met/thermo.h"
#include "util/constants.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double k850 = 850.0;
constexpr double k700 = 700.0;
constexpr double k500 = 500.0;

// Pressure, temperature, moisture of one time and the surface point under them.
struct StabilityInputs {
    GridField p_hpa;
    GridField t_c;
    GridField qvapor;
    GridField psfc_pa;
    GridField t2_k;
    GridField q2;
    std::size_t nz = 0;
    std::size_t ncol = 0;
};

Result<StabilityInputs> load_inputs(const TarqFile& file, std::size_t t, double lake_interp) {
    TARQ_TRY(GridField p, pressure_hpa(file, t));
    TARQ_TRY(GridField tc, temperature_c(file, t));
    TARQ_TRY(GridField q, read_var(file, "QVAPOR", t));
    TARQ_TRY(GridField psfc, read_var(file, "PSFC", t));
    TARQ_TRY(GridField t2, t2_lake(file, t, lake_interp));
    TARQ_TRY(GridField q2, q2_lake(file, t, lake_interp));
    return StabilityInputs{std::move(p), std::move(tc), std::move(q), std::move(psfc), std::move(t2), std::move(q2),
                           file.nz, file.nx * file.ny};
}

// One column with the surface point first: pressure (hPa), ln p, temperature
// and dewpoint (°C), then the model levels; reused from column to column.
struct Profile {
    std::vector<double> p_hpa;
    std::vector<double> ln_p;
    std::vector<double> t_c;
    std::vector<double> td_c;
    std::vector<double> theta_e;  // model levels only, for the downdraft source

    void build(const StabilityInputs& in, std::size_t col) {
        const std::size_t n = in.nz + 1;
        p_hpa.resize(n);
        t_c.resize(n);
        td_c.resize(n);
        ln_p.resize(n);
        theta_e.resize(in.nz);
        p_hpa[0] = in.psfc_pa[col] / 100.0;
        t_c[0] = in.t2_k[col] - kKelvinOffset;
        td_c[0] = std::fmin(t_c[0], met::dewpoint_from_q(in.q2[col], p_hpa[0]));
        for (std::size_t k = 0; k < in.nz; ++k) {
            const std::size_t i = k * in.ncol + col;
            p_hpa[k + 1] = in.p_hpa[i];
            t_c[k + 1] = in.t_c[i];
            td_c[k + 1] = std::fmin(in.t_c[i], met::dewpoint_from_q(in.qvapor[i], in.p_hpa[i]));
            theta_e[k] = met::theta_e_bolton(in.p_hpa[i], in.t_c[i], in.qvapor[i]);
        }
        for (std::size_t k = 0; k < n; ++k) ln_p[k] = std::log(p_hpa[k]);
    }

    // Temperature and dewpoint at p, linear in ln p; NaN outside the column.
    // Dewpoints are capped at the temperature, as the parcel kernel caps them.
    [[nodiscard]] met::ProfileValues at(double target_hpa) const noexcept {
        const double ln_target[1] = {std::log(target_hpa)};
        double t[1];
        double td[1];
        met::interp_column(ln_p, t_c, ln_target, false, t);
        met::interp_column(ln_p, td_c, ln_target, false, td);
        return {t[0], td[0]};
    }

    [[nodiscard]] met::Sounding sounding() const noexcept { return {p_hpa, t_c, td_c, {}}; }
};

// Temperature (°C) of a parcel lifted from (p, t, td) to target_hpa: dry to
// its LCL, then along the moist adiabat through it.
double lifted_temperature(met::Parcel parcel, double target_hpa) noexcept {
    const met::LclPoint lcl = met::dry_lift(parcel.p_hpa, parcel.t_c, parcel.td_c);
    if (lcl.p_hpa <= target_hpa) {
        const double theta = (parcel.t_c + kKelvinOffset) * std::pow(kReferencePressureHpa / parcel.p_hpa, ROCP);
        return theta * std::pow(target_hpa / kReferencePressureHpa, ROCP) - kKelvinOffset;
    }
    return met::moist_lift(target_hpa, met::moist_adiabat_theta(lcl.p_hpa, lcl.t_c));
}

// T_env - T_parcel at 500 hPa, NaN unless 500 hPa lies in the column above the parcel.
double index_at_500(const Profile& profile, met::Parcel parcel) noexcept {
    if (!(parcel.p_hpa > k500)) return kNaN;
    const double t_env = profile.at(k500).t_c;
    if (std::isnan(t_env)) return kNaN;
    return t_env - lifted_temperature(parcel, k500);
}

// A custom parcel in hPa and °C, as cape and cin read it.
met::Parcel custom_parcel(const ComputeOptions& options) {
    double p = *options.parcel_pressure;
    double t = *options.parcel_temperature;
    double td = *options.parcel_dewpoint;
    if (p > kPascalThreshold) p /= 100.0;
    if (t > kKelvinThreshold) t -= kKelvinOffset;
    if (td > kKelvinThreshold) td -= kKelvinOffset;
    return {p, t, td};
}

// The parcel parcel_type names, from the profile with the surface point first.
met::Parcel chosen_parcel(const Profile& profile, met::ParcelKind kind) noexcept {
    const met::Sounding s = profile.sounding();
    if (kind == met::ParcelKind::MixedLayer) return met::mixed_layer_parcel(s, met::kMixedLayerDepthHpa);
    if (kind == met::ParcelKind::MostUnstable) return met::most_unstable_parcel(s, met::kMostUnstableDepthHpa);
    return {profile.p_hpa[0], profile.t_c[0], profile.td_c[0]};
}

// field(profile) for every column.
template <class Fn>
Result<std::vector<double>> per_column(const TarqFile& file, std::size_t t, double lake_interp, const Fn& fn) {
    TARQ_TRY(const StabilityInputs in, load_inputs(file, t, lake_interp));
    std::vector<double> out(in.ncol, kNaN);
    for_each_column<Profile>(in.ncol, [&](std::size_t col, Profile& profile) {
        profile.build(in, col);
        out[col] = fn(profile);
    });
    return out;
}

// Temperatures and dewpoints of the mandatory levels of one column.
struct Mandatory {
    met::ProfileValues p850;
    met::ProfileValues p700;
    met::ProfileValues p500;
};

template <class Fn>
Result<std::vector<double>> mandatory_index(const TarqFile& file, std::size_t t, const Fn& fn) {
    return per_column(file, t, 0.0, [&](const Profile& profile) {
        return fn(Mandatory{profile.at(k850), profile.at(k700), profile.at(k500)});
    });
}

// Downdraft CAPE (J/kg) of one column; see compute_dcape.
double downdraft_cape(const Profile& profile) noexcept {
    const std::size_t n = profile.p_hpa.size();
    if (!(profile.p_hpa[0] >= k700) || n < 2 || !(profile.p_hpa[n - 1] <= k500)) return kNaN;
    std::optional<std::size_t> source;
    for (std::size_t k = 1; k < n; ++k) {
        const double p = profile.p_hpa[k];
        if (!(p >= k500 && p <= k700)) continue;
        if (!source || profile.theta_e[k - 1] < profile.theta_e[*source - 1]) source = k;
    }
    if (!source) return kNaN;
    const std::size_t top = *source;
    const double twb = met::wet_bulb(profile.p_hpa[top], profile.t_c[top], profile.td_c[top]);
    const double label = met::moist_adiabat_theta(profile.p_hpa[top], twb);
    double sum = 0.0;
    double diff_above = profile.t_c[top] - twb;
    for (std::size_t k = top; k-- > 0;) {
        const double diff = profile.t_c[k] - met::moist_lift(profile.p_hpa[k], label);
        sum += 0.5 * (diff + diff_above) * (profile.ln_p[k] - profile.ln_p[k + 1]);
        diff_above = diff;
    }
    return std::fmax(kRdParcel * sum, 0.0);
}

}  // namespace

Result<std::vector<double>> compute_lifted_index(const TarqFile& file, std::size_t t, const ComputeOptions& options) {
    const bool custom = options.parcel_pressure && options.parcel_temperature && options.parcel_dewpoint;
    const met::ParcelKind kind = met::parcel_kind(
        options.parcel_type ? std::string_view(*options.parcel_type) : option_defaults::cape::kDefaultParcelType);
    const std::optional<met::Parcel> fixed = custom ? std::optional(custom_parcel(options)) : std::nullopt;
    return per_column(file, t, options.lake_interp.value_or(0.0), [&](const Profile& profile) {
        return index_at_500(profile, fixed ? *fixed : chosen_parcel(profile, kind));
    });
}

Result<std::vector<double>> compute_showalter(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return per_column(file, t, 0.0, [&](const Profile& profile) {
        const met::ProfileValues at850 = profile.at(k850);
        if (std::isnan(at850.t_c)) return kNaN;
        return index_at_500(profile, {k850, at850.t_c, std::fmin(at850.t_c, at850.td_c)});
    });
}

Result<std::vector<double>> compute_k_index(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return mandatory_index(file, t, [](const Mandatory& m) {
        return (m.p850.t_c - m.p500.t_c) + m.p850.td_c - (m.p700.t_c - m.p700.td_c);
    });
}

Result<std::vector<double>> compute_total_totals(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return mandatory_index(file, t,
                           [](const Mandatory& m) { return m.p850.t_c + m.p850.td_c - 2.0 * m.p500.t_c; });
}

Result<std::vector<double>> compute_vertical_totals(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return mandatory_index(file, t, [](const Mandatory& m) { return m.p850.t_c - m.p500.t_c; });
}

Result<std::vector<double>> compute_cross_totals(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return mandatory_index(file, t, [](const Mandatory& m) { return m.p850.td_c - m.p500.t_c; });
}

// The parcel starts at the model level of least theta_e between 700 and 500
// hPa, at its wet-bulb temperature, and descends saturated to the surface;
// DCAPE = Rd * integral of (T_env - T_parcel) d ln p, by trapezoids.
Result<std::vector<double>> compute_dcape(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return per_column(file, t, 0.0, downdraft_cape);
}

}  // namespace tarq
