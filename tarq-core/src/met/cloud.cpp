#include "met/cloud.h"

#include <cstddef>

namespace tarq::met {

namespace {

double dry_floor(double q) noexcept { return q > 0.0 ? q : 0.0; }

}  // namespace

double condensate(double qcloud_kgkg, double qice_kgkg) noexcept {
    return dry_floor(qcloud_kgkg) + dry_floor(qice_kgkg);
}

double cloud_top_temperature_c(std::span<const double> condensate_kgkg, std::span<const double> t_c) noexcept {
    for (std::size_t k = condensate_kgkg.size(); k-- > 0;) {
        if (condensate_kgkg[k] > kCloudThresholdKgkg) return t_c[k];
    }
    return kCloudFreeTopC;
}

double layer_cloud_cover_pct(std::span<const double> condensate_kgkg, std::span<const double> p_hpa,
                             CloudLayer layer) noexcept {
    double largest = 0.0;
    for (std::size_t k = 0; k < condensate_kgkg.size(); ++k) {
        const double p = p_hpa[k];
        if (p >= layer.lower_hpa && p <= layer.upper_hpa && condensate_kgkg[k] > largest) largest = condensate_kgkg[k];
    }
    return largest > kCloudThresholdKgkg ? kCloudyPct : kClearPct;
}

}  // namespace tarq::met
