#pragma once
// Opens a file as a model output file and asks for every catalogue row, the
// lake-filled 2-m and parcel rows, and raw reads. Shared by the model fuzz
// target and the test that replays its findings.

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "compute/dispatch.h"
#include "compute/registry.h"
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
    // Every catalogue row at the first time, so that no family's loader is
    // left out; one time keeps an input fast.
    for (const VarSpec& row : variable_registry()) request(**file, row.name, 0, plain);
    ComputeOptions lakes;
    lakes.lake_interp = 50.0;
    request(**file, "t2", 0, lakes);
    request(**file, "mlcape", 0, lakes);
    // Raw reads, at the last time too: its slab sits at the end of every variable.
    for (const std::uint64_t t : {std::uint64_t{0}, (*file)->nt - 1}) {
        for (const std::string_view name : {"T", "U", "Times", "XTIME"}) request(**file, name, t, plain);
        if ((*file)->nt <= 1) break;
    }
}

}  // namespace tarq::testing
