#pragma once
// The parcel results of every grid column for one parcel kind: what the CAPE
// diagnostics and the severe-weather composites share.

#include <cstddef>
#include <optional>
#include <vector>

#include "file/tarq_file.h"
#include "met/parcel.h"
#include "util/error.h"

namespace tarq {

// The four [ny][nx] results of the parcel kernel.
struct CapeFields {
    std::vector<double> cape;
    std::vector<double> cin;
    std::vector<double> lcl_height;
    std::vector<double> lfc_height;
};

// Lifts the parcel of the given kind, started from the 2-m air (T2 and Q2
// lake-filled when lake_interp > 0), in every column, up to top_m when given.
// The four fields are kept in the record's FieldCache under every one of
// these choices, so the CAPE rows and the composites of one time lift once.
[[nodiscard]] Result<CapeFields> cape_core(const TarqFile& file, std::size_t t, met::ParcelKind kind,
                                           std::optional<double> top_m, double lake_interp);

// cape_core without the cache.
[[nodiscard]] Result<CapeFields> lift_cape_fields(const TarqFile& file, std::size_t t, met::ParcelKind kind,
                                                  std::optional<double> top_m, double lake_interp);

}  // namespace tarq
