#pragma once
// Staggered model fields to mass points: the mean of the two neighbouring
// staggered values, (a + b) * 0.5. Levels are computed in parallel.

#include <cstdint>
#include <span>
#include <vector>

namespace tarq {

// Each takes the staggered vector and its three sizes, staggered size included,
// and requires at least nz * ny * nx values of the staggered grid (a shorter
// input is an internal fault; callers check it). A staggered size of 0 gives
// an empty result.

// [nz][ny][nx_stag] -> [nz][ny][nx_stag - 1]
[[nodiscard]] std::vector<double> destagger_x(std::span<const double> u, std::uint64_t nz, std::uint64_t ny,
                                              std::uint64_t nx_stag);
// [nz][ny_stag][nx] -> [nz][ny_stag - 1][nx]
[[nodiscard]] std::vector<double> destagger_y(std::span<const double> v, std::uint64_t nz, std::uint64_t ny_stag,
                                              std::uint64_t nx);
// [nz_stag][ny][nx] -> [nz_stag - 1][ny][nx]
[[nodiscard]] std::vector<double> destagger_z(std::span<const double> w, std::uint64_t nz_stag, std::uint64_t ny,
                                              std::uint64_t nx);

}  // namespace tarq
