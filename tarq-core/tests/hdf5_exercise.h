#pragma once
// Opens a file with the HDF5 reader, or the classic netCDF reader, and reads
// everything it offers: every member whole and by first-dimension slab, and
// every attribute. Shared by the fuzz target and the test that replays its
// findings.

#include <cstdint>
#include <string>
#include <variant>

#include "hdf5/hdf5_file.h"
#include "netcdf3/netcdf3_file.h"

namespace tarq::testing {

// A chunked dataset may legitimately decode to about 1000 times the file's
// size (all-zero chunks deflate that well), and its float64 copy is 8 times
// larger again. Reads whose float64 result would pass this budget are left
// out, so that the fuzzer's memory limit only catches unbounded allocations.
inline constexpr std::uint64_t kReadBudgetBytes = std::uint64_t{256} << 20;

template <class Sizes>
bool fits_budget(const Sizes& sizes, std::size_t skip) {
    std::uint64_t bytes = 8;
    for (std::size_t i = skip; i < sizes.size(); ++i) {
        if (sizes[i] == 0) return true;
        if (__builtin_mul_overflow(bytes, sizes[i], &bytes)) return true;  // refused before any allocation
    }
    return bytes <= kReadBudgetBytes || bytes > (std::uint64_t{1} << 50);
}

// The result and each chunk's decode buffer must fit the budget.
inline bool within_budget(const DatasetInfo& info, std::size_t skip_dims) {
    const auto* chunked = std::get_if<ChunkedLayout>(&info.layout);
    if (chunked == nullptr) return true;  // contiguous reads are bounded by the file
    return fits_budget(info.dims, skip_dims) && fits_budget(chunked->chunk_dims, 0);
}

inline void exercise_hdf5_file(const std::string& path) {
    auto file = Hdf5File::open(path);
    if (!file) return;
    for (const std::string& name : file->member_names()) {
        const auto info = file->dataset_info(name);
        if (!info) continue;
        (void)file->shape(name);
        if (within_budget(*info, 0)) {
            (void)file->read_bytes(name);
            (void)file->read_f64(name);
        }
        if (within_budget(*info, 1)) {
            (void)file->read_f64_slab(name, 0);
            (void)file->read_f64_slab(name, 1);
        }
    }
    for (const std::string& name : file->attribute_names()) (void)file->attr_f64(name);
}

// Classic files read in place, so every read is bounded by the file's size.
inline void exercise_netcdf3_file(const std::string& path) {
    auto file = Netcdf3File::open(path);
    if (!file) return;
    for (const std::string& name : file->member_names()) {
        (void)file->shape(name);
        (void)file->read_bytes(name);
        (void)file->read_f64(name);
        (void)file->read_f64_slab(name, 0);
        (void)file->read_f64_slab(name, 1);
        for (const char* attribute : {"scale_factor", "add_offset", "_FillValue"})
            (void)file->member_attr_f64(name, attribute);
    }
    for (const std::string& name : file->attribute_names()) (void)file->attr_f64(name);
    for (const char* dimension : {"Time", "south_north", "west_east"}) (void)file->dimension_size(dimension);
}

}  // namespace tarq::testing
