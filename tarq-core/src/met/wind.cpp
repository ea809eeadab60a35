#include "met/wind.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "util/constants.h"

namespace tarq::met {

namespace {

// The two interpolation forms share the same linear step.
double linear(double d0, double d1, double z0, double z1, double x) noexcept {
    return d0 + (d1 - d0) * ((x - z0) / (z1 - z0));
}

}  // namespace

Wind earth_relative(double u, double v, double sin_alpha, double cos_alpha) noexcept {
    return {u * cos_alpha - v * sin_alpha, v * cos_alpha + u * sin_alpha};
}

double wind_speed(double u, double v) noexcept { return std::sqrt(u * u + v * v); }

double wind_direction_deg(double u, double v) noexcept {
    double d = std::atan2(v, u) * (-kDegreesPerRadian) + 270.0;
    if (d < 0.0) {
        d = d + 360.0;
    } else if (d >= 360.0) {
        d = d - 360.0;
    }
    return d;
}

std::optional<double> interp_at_height(std::span<const double> data, std::span<const double> z, double x) noexcept {
    const std::size_t n = z.size();
    if (n == 0 || data.size() != n) return std::nullopt;
    if (z[0] >= x) return data[0];
    if (x >= z[n - 1]) return data[n - 1];
    for (std::size_t i = 1; i < n; ++i) {
        if (z[i] >= x) return linear(data[i - 1], data[i], z[i - 1], z[i], x);
    }
    return std::nullopt;
}

double interp_at_height(double x, std::span<const double> z, std::span<const double> data) noexcept {
    const std::size_t n = std::min(z.size(), data.size());
    if (n == 0) return std::numeric_limits<double>::quiet_NaN();
    if (z[0] >= x) return data[0];
    if (x >= z[n - 1]) return data[n - 1];
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (z[i] <= x && x <= z[i + 1]) return linear(data[i], data[i + 1], z[i], z[i + 1], x);
    }
    return data[n - 1];
}

std::optional<Wind> layer_shear(const WindColumn& c, double bottom, double top) noexcept {
    if (!c.consistent() || c.size() < 2) return std::nullopt;
    const auto u_bottom = interp_at_height(c.u, c.z, bottom);
    const auto v_bottom = interp_at_height(c.v, c.z, bottom);
    const auto u_top = interp_at_height(c.u, c.z, top);
    const auto v_top = interp_at_height(c.v, c.z, top);
    if (!u_bottom || !v_bottom || !u_top || !v_top) return std::nullopt;
    return Wind{*u_top - *u_bottom, *v_top - *v_bottom};
}

std::optional<Wind> layer_mean_wind(const WindColumn& c, double bottom, double top) noexcept {
    if (!c.consistent()) return std::nullopt;
    const std::size_t n = c.size();
    if (n == 0) return Wind{0.0, 0.0};
    double sum_u = c.u[0] + interp_at_height(c.u, c.z, top).value_or(c.u[n - 1]);
    double sum_v = c.v[0] + interp_at_height(c.v, c.z, top).value_or(c.v[n - 1]);
    double count = 2.0;
    for (std::size_t k = 1; k < n; ++k) {
        if (bottom < c.z[k] && c.z[k] < top) {
            sum_u += c.u[k];
            sum_v += c.v[k];
            count += 1.0;
        }
        if (c.z[k] >= top) break;
    }
    return Wind{sum_u / count, sum_v / count};
}

std::optional<Wind> layer_mean_wind_weighted(const WindColumn& c, double bottom, double top) noexcept {
    if (!c.consistent() || c.size() < 2) return std::nullopt;
    const auto u_bottom = interp_at_height(c.u, c.z, bottom);
    const auto v_bottom = interp_at_height(c.v, c.z, bottom);
    if (!u_bottom || !v_bottom) return std::nullopt;
    const auto u_top = interp_at_height(c.u, c.z, top);
    const auto v_top = interp_at_height(c.v, c.z, top);
    if (!u_top || !v_top) return std::nullopt;
    double su = 0.0;
    double sv = 0.0;
    double depth = 0.0;
    double za = bottom;
    double ua = *u_bottom;
    double va = *v_bottom;
    auto add = [&](double zb, double ub, double vb) {
        su += 0.5 * (ua + ub) * (zb - za);
        sv += 0.5 * (va + vb) * (zb - za);
        depth += (zb - za);
        za = zb;
        ua = ub;
        va = vb;
    };
    for (std::size_t k = 0; k < c.size(); ++k) {
        if (bottom < c.z[k] && c.z[k] < top) add(c.z[k], c.u[k], c.v[k]);
    }
    add(top, *u_top, *v_top);
    if (std::fabs(depth) < 1e-10) return Wind{*u_bottom, *v_bottom};
    return Wind{su / depth, sv / depth};
}

StormMotion bunkers_motion(const WindColumn& extended) noexcept {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const Wind mean = layer_mean_wind(extended, 0.0, kBunkersTopM).value_or(Wind{kNaN, kNaN});
    const Wind shear = layer_shear(extended, 0.0, kBunkersTopM).value_or(Wind{kNaN, kNaN});
    const double magnitude = std::sqrt(shear.u * shear.u + shear.v * shear.v);
    if (magnitude < kCalmShearMs) return {mean, mean, mean};
    const double scale = kBunkersDeviationMs / magnitude;
    const Wind deviation{scale * shear.v, scale * -shear.u};
    return {{mean.u + deviation.u, mean.v + deviation.v}, {mean.u - deviation.u, mean.v - deviation.v}, mean};
}

double bulk_shear_magnitude(std::span<double> u, std::span<double> v, std::span<double> z, double bottom,
                            double top) noexcept {
    const std::size_t n = z.size();
    if (n >= 2 && z[0] > z[n - 1]) {
        std::ranges::reverse(u);
        std::ranges::reverse(v);
        std::ranges::reverse(z);
    }
    const double u_bottom = interp_at_height(bottom, z, u);
    const double v_bottom = interp_at_height(bottom, z, v);
    const double u_top = interp_at_height(top, z, u);
    const double v_top = interp_at_height(top, z, v);
    const double du = u_top - u_bottom;
    const double dv = v_top - v_bottom;
    return std::sqrt(du * du + dv * dv);
}

}  // namespace tarq::met
