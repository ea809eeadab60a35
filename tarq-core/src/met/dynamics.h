#pragma once
// Horizontal derivatives, vorticity, potential vorticity and the
// updraft-helicity column integral.
// A level is [ny][nx] row-major; spacings in m, winds m/s, vorticity s-1,
// heights m above ground. Pure and noexcept; the caller owns every output.

#include <cstddef>
#include <span>

namespace tarq::met {

// Coriolis parameter (s-1) at a latitude in degrees.
[[nodiscard]] double coriolis_parameter(double lat_deg) noexcept;

// d/dx of one level: one-sided differences at the first and last point of a
// row, centred inside, with the reciprocals of dx and 2 dx formed once; 0
// everywhere when nx = 1. f and out hold ny*nx values.
void ddx_level(std::span<const double> f, std::size_t ny, std::size_t nx, double dx, std::span<double> out) noexcept;

// d/dy of one level, the same stencils across rows; 0 everywhere when ny = 1.
void ddy_level(std::span<const double> f, std::size_t ny, std::size_t nx, double dy, std::span<double> out) noexcept;

// Relative vorticity dv/dx - du/dy of one level from ddx_level and ddy_level;
// dudy is the caller's scratch of ny*nx values.
void relative_vorticity_level(std::span<const double> u, std::span<const double> v, std::size_t ny, std::size_t nx,
                              double dx, double dy, std::span<double> dudy, std::span<double> out) noexcept;

// Absolute vorticity f + zeta (s-1) of one level: relative_vorticity_level
// plus the Coriolis parameter of each point's latitude (lat_deg, ny*nx
// values); dudy and zeta are the caller's scratch of ny*nx values.
void absolute_vorticity_level(std::span<const double> u, std::span<const double> v, std::span<const double> lat_deg,
                              std::size_t ny, std::size_t nx, double dx, double dy, std::span<double> dudy,
                              std::span<double> zeta, std::span<double> out) noexcept;

// Ertel potential vorticity (PVU) of level k of nz, in place of its absolute
// vorticity eta (s-1): -g eta dtheta/dp, the isobaric form of Hoskins et al.
// (1985), with dtheta/dp one-sided at the lowest and highest level and centred
// between. theta_k (K) and p_pa (Pa) hold nz levels of eta_to_pvu.size() points.
void potential_vorticity_pvu_level(std::span<const double> theta_k, std::span<const double> p_pa, std::size_t nz,
                                   std::size_t k, std::span<double> eta_to_pvu) noexcept;

// Relative vorticity of one level with every difference divided by the map
// factor m of its point: (v[i+1] - v[i-1]) / ((2 dx) m) inside, one-sided at
// the edges, a derivative along an axis of one point taken as 0.
void map_vorticity_level(std::span<const double> u, std::span<const double> v, std::span<const double> map_factor,
                         std::size_t ny, std::size_t nx, double dx, double dy, std::span<double> out) noexcept;

// Integral of f over the part of [bottom, top] that a column covers, by the
// trapezoid rule on the level pairs clipped to the layer, where the layer-mean
// w is positive; 0 otherwise. w, f and z hold the column's levels.
[[nodiscard]] double updraft_helicity_column(std::span<const double> w, std::span<const double> f,
                                             std::span<const double> z, double bottom, double top) noexcept;

}  // namespace tarq::met
