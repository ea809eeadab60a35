// The layer-wind and helicity fields of a time, kept under the options that
// made them.
#include <string>

#include "diag/shear_helicity_fields.h"
#include "file/field_cache.h"

namespace tarq {

namespace {

std::string motion_key(const StormMotionOption& storm_motion) {
    return storm_motion ? key_number(storm_motion->first) + "," + key_number(storm_motion->second)
                        : std::string("bunkers");
}

// A one-part field of the cache as a vector of the caller's own.
template <class Compute>
Result<std::vector<double>> cached_vector(const TarqFile& file, const std::string& prefix, std::size_t t,
                                          Compute&& compute) {
    TARQ_TRY(const Field field, cached_field(file.cache, cache_key(prefix, t), t, std::forward<Compute>(compute)));
    return field.to_vector();
}

}  // namespace

Result<std::vector<double>> bulk_shear_field(const TarqFile& file, std::size_t t, double bottom_m, double top_m) {
    return cached_vector(file, "bulk_shear_" + key_number(bottom_m) + "_" + key_number(top_m) + "_", t,
                         [&] { return bulk_shear_uncached(file, t, bottom_m, top_m); });
}

Result<StormMotionFields> bunkers_fields(const TarqFile& file, std::size_t t) {
    TARQ_TRY(const Field joined, cached_field(file.cache, cache_key("bunkers_", t), t, [&]() -> Result<std::vector<double>> {
        TARQ_TRY(const StormMotionFields m, bunkers_uncached(file, t));
        return join_parts({&m.right_u, &m.right_v, &m.left_u, &m.left_v, &m.mean_u, &m.mean_v});
    }));
    auto parts = split_parts(joined, 6);
    return StormMotionFields{std::move(parts[0]), std::move(parts[1]), std::move(parts[2]),
                             std::move(parts[3]), std::move(parts[4]), std::move(parts[5])};
}

Result<std::vector<double>> fixed_depth_srh(const TarqFile& file, std::size_t t, double depth_m,
                                            const StormMotionOption& storm_motion) {
    return cached_vector(file, "srh_" + key_number(depth_m) + "_" + motion_key(storm_motion) + "_", t,
                         [&] { return fixed_depth_srh_uncached(file, t, depth_m, storm_motion); });
}

Result<std::vector<double>> effective_srh_field(const TarqFile& file, std::size_t t,
                                                const StormMotionOption& storm_motion) {
    return cached_vector(file, "effective_srh_" + motion_key(storm_motion) + "_", t,
                         [&] { return effective_srh_uncached(file, t, storm_motion); });
}

}  // namespace tarq
