#pragma once
// Opens a file with the HDF5 reader, or the classic netCDF reader, and reads
// everything it offers: every member whole and by first-dimension slab, and
// every attribute. Shared by the fuzz target and the test that replays its
// findings. Nothing is skipped for its size: the fuzz target bounds memory per
// allocation instead (bounded_memory.h), and a read that does not fit must
// fail with an error.

#include <string>

#include "hdf5/hdf5_file.h"
#include "netcdf3/netcdf3_file.h"

namespace tarq::testing {

inline void exercise_hdf5_file(const std::string& path) {
    auto file = Hdf5File::open(path);
    if (!file) return;
    for (const std::string& name : file->member_names()) {
        const auto info = file->dataset_info(name);
        if (!info) continue;
        (void)file->shape(name);
        (void)file->read_bytes(name);
        (void)file->read_f64(name);
        (void)file->read_f64_slab(name, 0);
        (void)file->read_f64_slab(name, 1);
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
            (void)file->member_attr(name, attribute);
        (void)file->datatype(name);
    }
    for (const std::string& name : file->attribute_names()) (void)file->attr_f64(name);
    for (const char* dimension : {"Time", "south_north", "west_east"}) (void)file->dimension_size(dimension);
}

}  // namespace tarq::testing
