#pragma once
// The grid's rotation against geographic north, as SINALPHA and COSALPHA of
// one time. Files that common tools have subset often lose both fields while
// their root attributes still describe the map projection; the rotation is
// then derived from the projection and XLONG.

#include <cstddef>
#include <optional>
#include <vector>

#include "file/tarq_file.h"
#include "util/error.h"

namespace tarq {

// Both always hold ny * nx values.
struct RotationFields {
    std::vector<double> sin_alpha;  // [ny][nx]
    std::vector<double> cos_alpha;  // [ny][nx]
};

// Cone factor of the projection: n of a Lambert conformal cone, 1 for polar
// stereographic, 0 for Mercator; no value for any other projection or where
// an attribute the projection needs is missing.
[[nodiscard]] std::optional<double> cone_factor(const MapProjection& projection) noexcept;

// SINALPHA and COSALPHA as stored, read in that order. When either cannot be
// read (but is not stored at the wrong size, which is DimMismatch) and the
// projection is supported, both are derived instead: alpha = n
// (lon - STAND_LON), the difference wrapped into [-180, 180) degrees and the
// sign flipped south of the equator; COSALPHA = cos alpha, SINALPHA = -sin
// alpha. Otherwise the read error stands.
[[nodiscard]] Result<RotationFields> rotation_fields(const TarqFile& file, std::size_t t);

}  // namespace tarq
