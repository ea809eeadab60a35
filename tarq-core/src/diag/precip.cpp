// Precipitation accumulated since the start of the run: rain (convective plus
// grid-scale, with the bucket counters the model keeps its totals small with)
// and the grid-scale snow, graupel and hail.
#include <optional>
#include <vector>

#include "diag/rows.h"
#include "file/accessors.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

// A bucket counter's count times BUCKET_MM, added to total; nothing where the
// file has no such counter.
Result<void> add_buckets(const TarqFile& file, const std::optional<GridField>& counts, std::vector<double>& total) {
    if (!counts) return {};
    TARQ_TRY(const double bucket_mm, file.reader->attr_f64("BUCKET_MM"));
    const GridField& n = *counts;
    for_each_point(total.size(), [&](std::size_t i) { total[i] += n[i] * bucket_mm; });
    return {};
}

}  // namespace

Result<std::vector<double>> compute_precip_accum(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const GridField rainc, read_var(file, "RAINC", t));
    TARQ_TRY(const GridField rainnc, read_var(file, "RAINNC", t));
    TARQ_TRY(const auto buckets_c, read_optional(file, "I_RAINC", t));
    TARQ_TRY(const auto buckets_nc, read_optional(file, "I_RAINNC", t));
    std::vector<double> total = per_point(rainc.size(), [&](std::size_t i) { return rainc[i] + rainnc[i]; });
    for (const auto* counts : {&buckets_c, &buckets_nc}) {
        if (auto added = add_buckets(file, *counts, total); !added) return std::unexpected(added.error());
    }
    return total;
}

Result<std::vector<double>> compute_snow_accum(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(read_var(file, "SNOWNC", t));
}

Result<std::vector<double>> compute_graupel_accum(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(read_var(file, "GRAUPELNC", t));
}

Result<std::vector<double>> compute_hail_accum(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return owned(read_var(file, "HAILNC", t));
}

}  // namespace tarq
