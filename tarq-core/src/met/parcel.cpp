#include "met/parcel.h"

#include <cmath>
#include <limits>
#include <span>

#include "met/thermo.h"
#include "met/vector_math.h"
#include "util/constants.h"

namespace tarq::met {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Profile entries closer than this to the current layer base are skipped.
constexpr double kLayerStepHpa = 0.01;
constexpr double kMaxSubLayerHpa = 10.0;

// Virtual temperature (°C) of air at t_c whose moisture is that of td_c.
double env_virtual_temp_c(double p_hpa, double t_c, double td_c) noexcept {
    return virtual_temp_c(t_c, mixing_ratio_gkg(p_hpa, td_c));
}

// The moist adiabat a parcel follows above its LCL, with the Wobus term of
// its label evaluated once.
struct MoistAdiabat {
    double label_c;
    double wobus_label_c;

    explicit MoistAdiabat(double label) noexcept : label_c(label), wobus_label_c(wobus(label)) {}

    // Virtual temperature (°C) of saturated parcel air at p_hpa.
    [[nodiscard]] double virtual_temp_at(double p_hpa) const noexcept {
        return saturated_virtual_temp(p_hpa, moist_lift(p_hpa, label_c, wobus_label_c));
    }

    // The same, for the adiabat's temperature tp_c at p_hpa already lifted.
    [[nodiscard]] static double saturated_virtual_temp(double p_hpa, double tp_c) noexcept {
        return virtual_temp_c(tp_c, mixing_ratio_gkg(p_hpa, tp_c));
    }

    // Parcel temperatures at every pressure, lifted side by side.
    void lift(std::span<const double> p_hpa, std::vector<double>& tp_c) const noexcept {
        tp_c.resize(p_hpa.size());
        moist_lift_many(p_hpa, label_c, wobus_label_c, tp_c);
    }
};

double theta_k(double p_hpa, double t_c) noexcept {
    return std::pow(kReferencePressureHpa / p_hpa, ROCP) * (t_c + kKelvinOffset);
}

// Pressure where the linear interpolation between two buoyancies crosses 0.
double crossing_p(double p_below, double p_above, double b_below, double b_above) noexcept {
    if (b_above == b_below) return p_above;
    return p_below + (p_above - p_below) * (0.0 - b_below) / (b_above - b_below);
}

// Pressure at height z_m, linear in height within the first bracketing pair;
// the top pressure when no pair brackets it.
double pressure_at_height(double z_m, const Sounding& profile) noexcept {
    const std::size_t n = profile.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const double z0 = profile.z_m[i];
        const double z1 = profile.z_m[i + 1];
        if (!(z0 <= z_m && z_m <= z1)) continue;
        // Two levels at the same height would give 0/0.
        if (z1 == z0) return profile.p_hpa[i];
        return profile.p_hpa[i] + (profile.p_hpa[i + 1] - profile.p_hpa[i]) * (z_m - z0) / (z1 - z0);
    }
    return profile.p_hpa[n - 1];
}

// First index from `from` on whose pressure lies below pb_hpa - kLayerStepHpa, or n.
std::size_t next_level_above(const Sounding& profile, std::size_t from, double pb_hpa) noexcept {
    const std::size_t n = profile.size();
    while (from < n && !(profile.p_hpa[from] < pb_hpa - kLayerStepHpa)) ++from;
    return from;
}

// profile_at_pressure over one profile, with ln p of every entry computed
// once, side by side, instead of twice per call.
class ProfileInterpolator {
public:
    ProfileInterpolator(const Sounding& profile, std::vector<double>& ln_p) noexcept : profile_(profile) {
        ln_p.resize(profile.size());
        log_many(profile.p_hpa, ln_p);
        ln_p_ = ln_p;
        for (std::size_t i = 0; i + 1 < profile.size(); ++i)
            non_increasing_ = non_increasing_ && profile.p_hpa[i + 1] <= profile.p_hpa[i];
    }

    [[nodiscard]] ProfileValues at(double target_hpa) const noexcept {
        std::size_t from = 0;
        return at(target_hpa, std::log(target_hpa), from);
    }

    // The same for a target whose ln is given, searching from pair `from` on
    // when the profile is non-increasing and the target lies below p[from]
    // (no lower pair can bracket it then), from 0 otherwise; `from` becomes
    // the pair found.
    [[nodiscard]] ProfileValues at(double target_hpa, double ln_target, std::size_t& from) const noexcept {
        const auto& p = profile_.p_hpa;
        const auto& t = profile_.t_c;
        const auto& td = profile_.td_c;
        const std::size_t n = p.size();
        const bool resume = non_increasing_ && from + 1 < n && target_hpa < p[from];
        for (std::size_t i = resume ? from : 0; i + 1 < n; ++i) {
            if (!(p[i] >= target_hpa && target_hpa >= p[i + 1])) continue;
            from = i;
            if (p[i + 1] == p[i]) return {t[i], td[i]};
            const double a = ln_p_[i];
            const double b = ln_p_[i + 1];
            const double f = (ln_target - a) / (b - a);
            return {t[i] + (t[i + 1] - t[i]) * f, td[i] + (td[i + 1] - td[i]) * f};
        }
        return {t[n - 1], td[n - 1]};
    }

private:
    const Sounding& profile_;
    std::span<const double> ln_p_;
    bool non_increasing_ = true;
};

Sounding extended_profile(const Sounding& column, Parcel& start, ParcelScratch& scratch) noexcept {
    const std::size_t count = column.size() + 1;
    scratch.p_hpa.resize(count);
    scratch.t_c.resize(count);
    scratch.td_c.resize(count);
    scratch.z_m.resize(count);
    const double p_divisor = start.p_hpa > kPascalThreshold ? 100.0 : 1.0;
    const double t_offset = start.t_c > kKelvinThreshold ? kKelvinOffset : 0.0;
    start.p_hpa /= p_divisor;
    start.t_c -= t_offset;
    start.td_c -= t_offset;
    // std::fmin keeps the number when one side is missing.
    scratch.p_hpa[0] = start.p_hpa;
    scratch.t_c[0] = start.t_c;
    scratch.td_c[0] = std::fmin(start.t_c, start.td_c);
    scratch.z_m[0] = 0.0;
    for (std::size_t k = 0; k < column.size(); ++k) {
        const double t_c = column.t_c[k] - t_offset;
        scratch.p_hpa[k + 1] = column.p_hpa[k] / p_divisor;
        scratch.t_c[k + 1] = t_c;
        scratch.td_c[k + 1] = std::fmin(t_c, column.td_c[k] - t_offset);
        scratch.z_m[k + 1] = column.z_m[k];
    }
    return {scratch.p_hpa, scratch.t_c, scratch.td_c, scratch.z_m};
}

Parcel chosen_parcel(const Sounding& profile, ParcelKind kind, double mixed_layer_depth_hpa,
                     double most_unstable_depth_hpa) noexcept {
    if (kind == ParcelKind::MixedLayer) return mixed_layer_parcel(profile, mixed_layer_depth_hpa);
    if (kind == ParcelKind::MostUnstable) return most_unstable_parcel(profile, most_unstable_depth_hpa);
    return {profile.p_hpa[0], profile.t_c[0], profile.td_c[0]};
}

}  // namespace

Sounding Sounding::from_level(std::size_t first) const noexcept {
    return {p_hpa.subspan(first), t_c.subspan(first), td_c.subspan(first),
            z_m.empty() ? z_m : z_m.subspan(first)};
}

ParcelKind parcel_kind(std::string_view text) noexcept {
    if (text == "ml") return ParcelKind::MixedLayer;
    if (text == "mu") return ParcelKind::MostUnstable;
    return ParcelKind::Surface;
}

void build_column(std::size_t col, const ColumnFields& fields, ColumnBuffer& out) {
    out.p_hpa.resize(fields.nz);
    out.t_c.resize(fields.nz);
    out.td_c.resize(fields.nz);
    out.z_m.resize(fields.nz);
    for (std::size_t k = 0; k < fields.nz; ++k) {
        const std::size_t at = k * fields.ncol + col;
        out.p_hpa[k] = fields.p_hpa[at];
        out.t_c[k] = fields.t_c[at];
        out.td_c[k] = dewpoint_from_q(fields.qvapor_kgkg[at], fields.p_hpa[at]);
        out.z_m[k] = fields.z_agl_m[at];
    }
}

Parcel mixed_layer_parcel(const Sounding& profile, double depth_hpa) noexcept {
    const double p0 = profile.p_hpa[0];
    const double p_top = p0 - depth_hpa;
    const ProfileValues top = profile_at_pressure(p_top, profile.p_hpa, profile.t_c, profile.td_c);
    double theta_sum = theta_k(p0, profile.t_c[0]) + theta_k(p_top, top.t_c);
    double td_sum = profile.td_c[0] + top.td_c;
    double p_sum = p0 + p_top;
    double weight = 2.0;
    // Each interior entry closes one layer and opens the next, so it counts
    // twice, like the two ends of the mean of layer midpoints.
    for (std::size_t k = 1; k < profile.size() && profile.p_hpa[k] > p_top; ++k) {
        theta_sum += 2.0 * theta_k(profile.p_hpa[k], profile.t_c[k]);
        td_sum += 2.0 * profile.td_c[k];
        p_sum += 2.0 * profile.p_hpa[k];
        weight += 2.0;
    }
    const double theta_mean = theta_sum / weight;
    const double td_mean = td_sum / weight;
    const double p_mean = p_sum / weight;
    return {p0, theta_mean * std::pow(p0 / kReferencePressureHpa, ROCP) - kKelvinOffset,
            temperature_at_mixing_ratio(mixing_ratio_gkg(p_mean, td_mean), p0)};
}

Parcel most_unstable_parcel(const Sounding& profile, double depth_hpa) noexcept {
    const double p_bottom_limit = profile.p_hpa[0] - depth_hpa;
    double best = -999.0;
    std::size_t best_k = 0;
    for (std::size_t k = 0; k < profile.size() && profile.p_hpa[k] >= p_bottom_limit; ++k) {
        const double value = parcel_theta_e(profile.p_hpa[k], profile.t_c[k], profile.td_c[k]);
        if (value > best) {
            best = value;
            best_k = k;
        }
    }
    return {profile.p_hpa[best_k], profile.t_c[best_k], profile.td_c[best_k]};
}

ParcelResult lift_parcel(const Sounding& column, Parcel start, ParcelKind kind, double mixed_layer_depth_hpa,
                         double most_unstable_depth_hpa, std::optional<double> top_m,
                         ParcelScratch& scratch) noexcept {
    const Sounding profile = extended_profile(column, start, scratch);
    const std::size_t n = profile.size();
    const auto& p = profile.p_hpa;
    const auto& t = profile.t_c;
    const auto& td = profile.td_c;

    const Parcel parcel = chosen_parcel(profile, kind, mixed_layer_depth_hpa, most_unstable_depth_hpa);

    const LclPoint lcl = dry_lift(parcel.p_hpa, parcel.t_c, parcel.td_c);
    const double parcel_theta_k = theta_k(parcel.p_hpa, parcel.t_c);
    const MoistAdiabat adiabat(moist_adiabat_theta(lcl.p_hpa, lcl.t_c));
    const double lcl_height = height_at_pressure(lcl.p_hpa, p, profile.z_m);

    std::size_t first_above_lcl = 0;
    while (first_above_lcl < n && !(p[first_above_lcl] <= lcl.p_hpa)) ++first_above_lcl;
    const std::size_t k0 = first_above_lcl < n ? first_above_lcl : 0;

    // The scan reads the parcel at entries k0 - 1 (for a first crossing) to n - 1.
    const std::size_t first_lifted = k0 > 0 ? k0 - 1 : 0;
    adiabat.lift(p.subspan(first_lifted), scratch.level_tp_c);
    auto buoyancy = [&](std::size_t k) {
        return MoistAdiabat::saturated_virtual_temp(p[k], scratch.level_tp_c[k - first_lifted]) -
               env_virtual_temp_c(p[k], t[k], td[k]);
    };

    // LFC and EL of the highest positive region.
    bool positive = false;
    bool found_lfc = false;
    double lfc_p = lcl.p_hpa;
    double el_p = lcl.p_hpa;
    double b_prev = kNaN;
    bool have_prev = false;
    for (std::size_t k = k0; k < n; ++k) {
        const double b = buoyancy(k);
        const bool rising = b > 0.0;
        if (rising != positive) {
            double cross = p[k];
            if (k > 0) {
                if (!have_prev) b_prev = buoyancy(k - 1);
                cross = crossing_p(p[k - 1], p[k], b_prev, b);
            }
            if (rising) {
                lfc_p = cross;
                el_p = p[n - 1];
                found_lfc = true;
            } else {
                el_p = cross;
            }
            positive = rising;
        }
        b_prev = b;
        have_prev = true;
    }
    if (!found_lfc) return {0.0, 0.0, lcl_height, kNaN};

    // The LFC never lies below the LCL; std::fmin also maps a NaN LFC to the LCL.
    const double lfc_height = height_at_pressure(std::fmin(lcl.p_hpa, lfc_p), p, profile.z_m);

    if (top_m) {
        const double p_top = pressure_at_height(*top_m, profile);
        if (el_p <= 0.0 || p_top > el_p) el_p = p_top;
    }

    const ProfileInterpolator environment(profile, scratch.ln_p);
    double cape = 0.0;
    double cin = 0.0;

    // Below the LCL the parcel rises dry and keeps its mixing ratio.
    if (parcel.p_hpa > lcl.p_hpa) {
        const double w0_gkg = mixing_ratio_gkg(parcel.p_hpa, parcel.td_c);
        double pb = parcel.p_hpa;
        std::size_t cursor = k0;
        while (pb > lcl.p_hpa) {
            cursor = next_level_above(profile, cursor, pb);
            const double pt = cursor < n ? std::fmax(lcl.p_hpa, p[cursor]) : lcl.p_hpa;
            const double pm = (pb + pt) / 2.0;
            const ProfileValues env = environment.at(pm);
            const double tp_c = parcel_theta_k * std::pow(pm / kReferencePressureHpa, ROCP) - kKelvinOffset;
            const double d_area = kRdParcel *
                                  (virtual_temp_c(tp_c, w0_gkg) - env_virtual_temp_c(pm, env.t_c, env.td_c)) *
                                  std::log(pb / pt);
            if (d_area < 0.0) cin += d_area;
            pb = pt;
        }
    }

    // Above the LCL, saturated ascent up to the EL (or the top_m cap): the
    // sub-layers first, then the parcel at all their midpoints side by side,
    // then the areas in order.
    SubLayers& layers = scratch.sublayers;
    layers.clear();
    double pb = lcl.p_hpa;
    std::size_t cursor = first_above_lcl;
    while (pb > el_p) {
        cursor = next_level_above(profile, cursor, pb);
        const double pt = (cursor == n || p[cursor] < el_p) ? el_p : p[cursor];
        const double dp = pb - pt;
        const int sublayers = dp > kMaxSubLayerHpa ? static_cast<int>(std::floor(dp / kMaxSubLayerHpa)) + 1 : 1;
        for (int s = 0; s < sublayers; ++s) {
            const double p1 = pb - s * dp / sublayers;
            const double p2 = pb - (s + 1) * dp / sublayers;
            layers.add(p1, p2, (p1 + p2) / 2.0);
        }
        pb = pt;
    }
    adiabat.lift(layers.pm_hpa, layers.tp_c);
    const std::size_t count = layers.pm_hpa.size();
    layers.ln_pm.resize(count);
    layers.ln_ratio.resize(count);
    log_many(layers.pm_hpa, layers.ln_pm);
    for (std::size_t i = 0; i < count; ++i) layers.ln_ratio[i] = layers.p1_hpa[i] / layers.p2_hpa[i];
    log_many(layers.ln_ratio, layers.ln_ratio);
    std::size_t pair = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double pm = layers.pm_hpa[i];
        const ProfileValues env = environment.at(pm, layers.ln_pm[i], pair);
        const double d_area = kRdParcel *
                              (MoistAdiabat::saturated_virtual_temp(pm, layers.tp_c[i]) -
                               env_virtual_temp_c(pm, env.t_c, env.td_c)) *
                              layers.ln_ratio[i];
        if (d_area > 0.0) {
            cape += d_area;
        } else {
            cin += d_area;
        }
    }
    return {cape, cin, lcl_height, lfc_height};
}

double lcl_height(const Sounding& column, Parcel start, ParcelKind kind, double mixed_layer_depth_hpa,
                  double most_unstable_depth_hpa, ParcelScratch& scratch) noexcept {
    const Sounding profile = extended_profile(column, start, scratch);
    const Parcel parcel = chosen_parcel(profile, kind, mixed_layer_depth_hpa, most_unstable_depth_hpa);
    const LclPoint lcl = dry_lift(parcel.p_hpa, parcel.t_c, parcel.td_c);
    return height_at_pressure(lcl.p_hpa, profile.p_hpa, profile.z_m);
}

EquilibriumLevel equilibrium_level(const Sounding& profile) noexcept {
    const std::size_t n = profile.size();
    const auto& p = profile.p_hpa;
    const auto& t = profile.t_c;
    const auto& td = profile.td_c;
    const LclPoint lcl = dry_lift(p[0], t[0], td[0]);
    const double parcel_theta_k = theta_k(p[0], t[0]);
    const MoistAdiabat adiabat(moist_adiabat_theta(lcl.p_hpa, lcl.t_c));
    const double w0_gkg = mixing_ratio_gkg(p[0], td[0]);

    auto buoyancy = [&](std::size_t k) {
        double parcel_tv_c;
        if (lcl.p_hpa < p[k]) {
            // The dry adiabat gives kelvin; virtual_temp_c takes °C.
            const double tp_c = parcel_theta_k * std::pow(p[k] / kReferencePressureHpa, ROCP) - kKelvinOffset;
            parcel_tv_c = virtual_temp_c(tp_c, w0_gkg);
        } else {
            parcel_tv_c = adiabat.virtual_temp_at(p[k]);
        }
        return parcel_tv_c - env_virtual_temp_c(p[k], t[k], td[k]);
    };

    EquilibriumLevel result{false, kNaN, kNaN};
    std::size_t j = 0;
    while (j + 1 < n && p[j + 1] > lcl.p_hpa) ++j;
    bool seen_positive = false;
    // B(j) is only read once positive buoyancy has been seen, i.e. after the
    // first pair, so the first pair's lower buoyancy is never needed.
    double b_lower = kNaN;
    for (; j + 1 < n; ++j) {
        const double b_upper = buoyancy(j + 1);
        if (b_upper > 0.0) {
            seen_positive = true;
        } else if (seen_positive && b_lower > 0.0) {
            const double f = (0.0 - b_lower) / (b_upper - b_lower);
            result = {true, p[j] + f * (p[j + 1] - p[j]), t[j] + f * (t[j + 1] - t[j])};
        }
        b_lower = b_upper;
    }
    return result;
}

EffectiveLayer effective_layer_scan(const Sounding& column, ParcelScratch& scratch) noexcept {
    EffectiveLayer layer{false, 0, 0, 0, 0.0};
    const std::size_t nz = column.size();
    for (std::size_t i = 0; i + 1 < nz; ++i) {
        const ParcelResult r = lift_parcel(column.from_level(i), {column.p_hpa[i], column.t_c[i], column.td_c[i]},
                                           ParcelKind::Surface, kMixedLayerDepthHpa, kMostUnstableDepthHpa,
                                           std::nullopt, scratch);
        const bool qualifies = r.cape >= MIN_EFFECTIVE_CAPE && r.cin >= MIN_EFFECTIVE_CIN;
        if (!qualifies) {
            if (layer.found) break;
            continue;
        }
        if (!layer.found) {
            layer.found = true;
            layer.base = i;
        }
        layer.top = i;
        if (r.cape > layer.best_cape) {
            layer.best_cape = r.cape;
            layer.best_level = i;
        }
    }
    return layer;
}

}  // namespace tarq::met
