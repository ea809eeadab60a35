#include "file/rotation.h"

#include <cmath>

#include "file/accessors.h"
#include "util/constants.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

// Standard parallels closer than this count as one (tangent cone).
constexpr double kTangentToleranceDeg = 1e-6;

enum MapProjectionCode { kLambertConformal = 1, kPolarStereographic = 2, kMercator = 3 };

double wrapped_longitude_deg(double d) noexcept { return d - 360.0 * std::floor((d + 180.0) / 360.0); }

Result<RotationFields> derived_rotation(const TarqFile& file, std::size_t t, double n) {
    const std::size_t npoints = file.nx * file.ny;
    if (n == 0.0) return RotationFields{std::vector<double>(npoints, 0.0), std::vector<double>(npoints, 1.0)};
    TARQ_TRY(const GridField xlong, read_var(file, "XLONG", t));
    const double sign = file.projection.truelat1 < 0.0 ? -1.0 : 1.0;
    const double stand_lon = file.projection.stand_lon;
    RotationFields out{std::vector<double>(npoints), std::vector<double>(npoints)};
    for_each_point(npoints, [&](std::size_t i) {
        const double alpha = sign * (n * wrapped_longitude_deg(xlong[i] - stand_lon) * kRadiansPerDegree);
        out.sin_alpha[i] = -std::sin(alpha);
        out.cos_alpha[i] = std::cos(alpha);
    });
    return out;
}

// The rotation derived in place of a stored field that could not be read, or
// that read error where no rotation can be derived. A stored field of the
// wrong size is refused rather than replaced: a derived rotation in its place
// would hide a broken file.
Result<RotationFields> derived_in_place_of(const TarqFile& file, std::size_t t, TarqError stored_error) {
    if (stored_error.kind == ErrorKind::DimMismatch) return std::unexpected(std::move(stored_error));
    const auto n = cone_factor(file.projection);
    if (!n) return std::unexpected(std::move(stored_error));
    auto derived = derived_rotation(file, t, *n);
    if (!derived) return std::unexpected(std::move(stored_error));
    return derived;
}

}  // namespace

std::optional<double> cone_factor(const MapProjection& projection) noexcept {
    const double lat1 = projection.truelat1;
    const double lat2 = projection.truelat2;
    const bool located = !std::isnan(lat1) && !std::isnan(projection.stand_lon);
    switch (projection.map_proj) {
        case kLambertConformal: {
            if (!located || std::isnan(lat2)) return std::nullopt;
            if (std::fabs(lat1 - lat2) <= kTangentToleranceDeg) return std::sin(std::fabs(lat1) * kRadiansPerDegree);
            const double num = std::log(std::cos(lat1 * kRadiansPerDegree)) - std::log(std::cos(lat2 * kRadiansPerDegree));
            const double den = std::log(std::tan((45.0 - std::fabs(lat1) / 2.0) * kRadiansPerDegree)) -
                               std::log(std::tan((45.0 - std::fabs(lat2) / 2.0) * kRadiansPerDegree));
            return num / den;
        }
        case kPolarStereographic:
            if (!located) return std::nullopt;
            return 1.0;
        case kMercator:
            return 0.0;
        default:
            return std::nullopt;
    }
}

Result<RotationFields> rotation_fields(const TarqFile& file, std::size_t t) {
    auto sin_alpha = read_var(file, "SINALPHA", t);
    if (!sin_alpha) return derived_in_place_of(file, t, std::move(sin_alpha.error()));
    auto cos_alpha = read_var(file, "COSALPHA", t);
    if (!cos_alpha) return derived_in_place_of(file, t, std::move(cos_alpha.error()));
    return RotationFields{sin_alpha->to_vector(), cos_alpha->to_vector()};
}

}  // namespace tarq
