#pragma once
// The interface between the parcel benchmark's driver and its two builds of
// the column loop: one against the kernel of this tree, one against the
// kernel of a baseline revision (compiled into another namespace).

#include <cstddef>

struct BenchColumns {
    std::size_t nz;
    std::size_t ncol;
    // [ncol][nz], bottom first.
    const double* p_hpa;
    const double* t_c;
    const double* td_c;
    const double* z_m;
    // [ncol] surface start parcels.
    const double* sfc_p_hpa;
    const double* sfc_t_c;
    const double* sfc_td_c;
};

// kCape2d is the most-unstable lift of cape2d; kEffectiveLayer scans every
// level's parcel (cape = the layer's largest CAPE, cin = its base level,
// lcl = its top level, lfc = its best level).
enum BenchCase { kSurfaceCape, kMixedLayerCape, kMostUnstableCape, kLclOnly, kCape2d, kEffectiveLayer };

// Lifts every column on the calling thread; cin and lfc may be null for kLclOnly.
void lift_columns_current(const BenchColumns& columns, BenchCase which, double* cape, double* cin, double* lcl,
                          double* lfc);
void lift_columns_baseline(const BenchColumns& columns, BenchCase which, double* cape, double* cin, double* lcl,
                           double* lfc);
