#include "met/helicity.h"

#include <cmath>
#include <cstddef>

namespace tarq::met {

namespace {

// Twice the signed area of the storm-relative hodograph segment a -> b.
double segment_helicity(double ua, double va, double ub, double vb, Wind storm) noexcept {
    return (ub - storm.u) * (va - storm.v) - (ua - storm.u) * (vb - storm.v);
}

}  // namespace

std::optional<Helicity> helicity_integral(const WindColumn& c, double top, Wind storm) noexcept {
    if (!c.consistent() || c.size() < 2) return std::nullopt;
    Helicity h{0.0, 0.0, 0.0};
    std::size_t points = 0;
    double last_z = 0.0;
    double last_u = 0.0;
    double last_v = 0.0;
    auto add = [&](double z, double u, double v) {
        if (points > 0) {
            const double term = segment_helicity(last_u, last_v, u, v, storm);
            if (term > 0.0) {
                h.positive += term;
            } else {
                h.negative += term;
            }
        }
        ++points;
        last_z = z;
        last_u = u;
        last_v = v;
    };
    for (std::size_t k = 0; k < c.size(); ++k) {
        if (c.z[0] <= c.z[k] && c.z[k] <= top) add(c.z[k], c.u[k], c.v[k]);
    }
    if (points > 0 && last_z < top) {
        const auto u_top = interp_at_height(c.u, c.z, top);
        const auto v_top = interp_at_height(c.v, c.z, top);
        if (u_top && v_top) add(top, *u_top, *v_top);
    }
    if (points < 2) return Helicity{0.0, 0.0, 0.0};
    h.total = h.positive + h.negative;
    return h;
}

Wind srh_storm_motion(const WindColumn& extended) noexcept {
    const std::size_t n = extended.size();
    const double u_top = interp_at_height(kBunkersTopM, extended.z, extended.u);
    const double v_top = interp_at_height(kBunkersTopM, extended.z, extended.v);
    double sum_u = extended.u[0] + u_top;
    double sum_v = extended.v[0] + v_top;
    double count = 2.0;
    for (std::size_t k = 1; k < n; ++k) {
        const double z = extended.z[k];
        if (0.0 < z && z < kBunkersTopM) {
            sum_u += extended.u[k];
            sum_v += extended.v[k];
            count += 1.0;
        }
        if (z >= kBunkersTopM) break;
    }
    const Wind mean{sum_u / count, sum_v / count};
    const double su = u_top - extended.u[0];
    const double sv = v_top - extended.v[0];
    const double magnitude = std::sqrt(su * su + sv * sv);
    if (!(magnitude > kSrhCalmShearMs)) return mean;
    const double scale = kBunkersDeviationMs / magnitude;
    return {mean.u + scale * sv, mean.v + scale * -su};
}

double srh_layer_walk(const WindColumn& c, double depth, Wind storm) noexcept {
    const std::size_t n = c.size();
    if (n < 2 || !c.consistent()) return 0.0;
    const bool descending = c.z[0] > c.z[n - 1];
    auto at = [&](std::size_t j) { return descending ? n - 1 - j : j; };
    double sum = 0.0;
    for (std::size_t j = 0; j + 1 < n && c.z[at(j)] < depth; ++j) {
        const double z0 = c.z[at(j)];
        const double z1 = c.z[at(j + 1)];
        const double t = (std::isnan(z1) || depth < z1) ? depth : z1;
        if (z0 >= t) continue;
        const double u0 = c.u[at(j)];
        const double v0 = c.v[at(j)];
        double u_up = c.u[at(j + 1)];
        double v_up = c.v[at(j + 1)];
        if (!(z1 <= t)) {
            const double f = (t - z0) / (z1 - z0);
            u_up = u0 + (u_up - u0) * f;
            v_up = v0 + (v_up - v0) * f;
        }
        sum += segment_helicity(u0, v0, u_up, v_up, storm);
    }
    return sum;
}

double effective_layer_helicity(const Sounding& profile, const WindColumn& extended, std::optional<Wind> storm,
                                ParcelScratch& scratch) noexcept {
    const EffectiveLayer layer = effective_layer_scan(profile, scratch);
    if (!layer.found || !(extended.z[layer.top] > extended.z[layer.base])) return 0.0;
    const Wind motion = storm ? *storm : bunkers_motion(extended).right;
    const auto h = helicity_integral(extended.from(layer.base), extended.z[layer.top], motion);
    return h ? h->total : 0.0;
}

}  // namespace tarq::met
