// The parcel results of a time, kept under the parcel choice that made them.
#include <string>

#include "diag/cape_fields.h"
#include "file/field_cache.h"

namespace tarq {

namespace {

// "cape_fields_<kind>_<top or none>_<lake_interp>_<t>": every input of the lift.
std::string cape_key(std::size_t t, met::ParcelKind kind, std::optional<double> top_m, double lake_interp) {
    return cache_key("cape_fields_" + std::to_string(static_cast<int>(kind)) + "_" +
                         (top_m ? key_number(*top_m) : std::string("none")) + "_" + key_number(lake_interp) + "_",
                     t);
}

}  // namespace

Result<CapeFields> cape_core(const TarqFile& file, std::size_t t, met::ParcelKind kind, std::optional<double> top_m,
                             double lake_interp) {
    TARQ_TRY(const Field joined,
             cached_field(file.cache, cape_key(t, kind, top_m, lake_interp), t, [&]() -> Result<std::vector<double>> {
                 TARQ_TRY(const CapeFields r, lift_cape_fields(file, t, kind, top_m, lake_interp));
                 return join_parts({&r.cape, &r.cin, &r.lcl_height, &r.lfc_height});
             }));
    auto parts = split_parts(joined, 4);
    return CapeFields{std::move(parts[0]), std::move(parts[1]), std::move(parts[2]), std::move(parts[3])};
}

}  // namespace tarq
