#pragma once
// Opens a file as a model output file and asks for a fixed set of variables:
// base fields, per-point and column rows, a CAPE row and raw reads. Shared by
// the model fuzz target and the test that replays its findings.

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "compute/dispatch.h"
#include "diag/compute_options.h"
#include "file/tarq_file.h"

namespace tarq::testing {

// One request, as the Python entry point makes it: an allocation failure
// outside the reader becomes MemoryError there, so it is no finding here.
inline void request(const TarqFile& file, std::string_view name, std::uint64_t t, const ComputeOptions& options) {
    try {
        (void)compute_variable(file, name, t, options);
    } catch (const std::bad_alloc&) {
    }
}

inline void exercise_model_file(const std::string& path) {
    auto file = open_tarq_file(path);
    if (!file) return;
    (void)read_times(**file);
    const ComputeOptions plain;
    ComputeOptions lakes;
    lakes.lake_interp = 50.0;
    constexpr std::string_view kNames[] = {
        "pressure", "tc", "height_agl", "ua", "va", "wa", "terrain", "lat",  // base fields
        "rh", "td", "rh2m", "tv2m", "dp2m",                                  // per point
        "pw",                                                                // column
        "sbcape",                                                            // parcels
        "T", "U", "xlat", "Times", "XTIME",                                  // raw reads
    };
    // The last time too: its slab sits at the end of every variable.
    for (const std::uint64_t t : {std::uint64_t{0}, (*file)->nt - 1}) {
        for (const std::string_view name : kNames) request(**file, name, t, plain);
        request(**file, "t2", t, lakes);
        request(**file, "mlcape", t, lakes);
        if ((*file)->nt <= 1) break;
    }
}

}  // namespace tarq::testing
