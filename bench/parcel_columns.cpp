// The column loop of the parcel benchmark, compiled once per kernel:
// -DLIFT_COLUMNS=lift_columns_current against this tree (which has the
// LCL-only kernel, -DTARQ_LCL_KERNEL), and -DLIFT_COLUMNS=lift_columns_baseline
// -Dtarq=tarq_baseline against the baseline revision's sources.
#include <optional>
#include <span>

#include "met/parcel.h"
#include "parcel_columns.h"

void LIFT_COLUMNS(const BenchColumns& c, BenchCase which, double* cape, double* cin, double* lcl, double* lfc) {
    using namespace tarq::met;
    const ParcelKind kind = which == kMixedLayerCape                         ? ParcelKind::MixedLayer
                            : which == kMostUnstableCape || which == kCape2d ? ParcelKind::MostUnstable
                                                                             : ParcelKind::Surface;
    ParcelScratch scratch;
    for (std::size_t col = 0; col < c.ncol; ++col) {
        const std::size_t at = col * c.nz;
        const Sounding column{std::span(c.p_hpa + at, c.nz), std::span(c.t_c + at, c.nz),
                              std::span(c.td_c + at, c.nz), std::span(c.z_m + at, c.nz)};
        const Parcel start{c.sfc_p_hpa[col], c.sfc_t_c[col], c.sfc_td_c[col]};
        if (which == kEffectiveLayer) {
            const EffectiveLayer layer = effective_layer_scan(column, scratch);
            cape[col] = layer.best_cape;
            cin[col] = layer.found ? static_cast<double>(layer.base) : -1.0;
            lcl[col] = static_cast<double>(layer.top);
            lfc[col] = static_cast<double>(layer.best_level);
            continue;
        }
#ifdef TARQ_LCL_KERNEL
        if (which == kLclOnly) {
            lcl[col] = lcl_height(column, start, kind, kMixedLayerDepthHpa, kMostUnstableDepthHpa, scratch);
            continue;
        }
#endif
        const ParcelResult r =
            lift_parcel(column, start, kind, kMixedLayerDepthHpa, kMostUnstableDepthHpa, std::nullopt, scratch);
        lcl[col] = r.lcl_height;
        if (which == kLclOnly) continue;
        cape[col] = r.cape;
        cin[col] = r.cin;
        lfc[col] = r.lfc_height;
    }
}
