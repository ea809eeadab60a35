#pragma once
// The open-file record: one model output file and the grid facts every
// diagnostic needs. Its grid fields never change after opening; the cache is
// its only mutable part and has its own lock.

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "file/field_cache.h"
#include "file/model_reader.h"
#include "util/error.h"

namespace tarq {

// The map projection as the root attributes describe it, read once at opening.
// MAP_PROJ is 0 and the latitudes and longitude NaN where an attribute is
// missing or not a number.
struct MapProjection {
    int map_proj = 0;
    double truelat1 = std::numeric_limits<double>::quiet_NaN();   // degrees
    double truelat2 = std::numeric_limits<double>::quiet_NaN();   // degrees
    double stand_lon = std::numeric_limits<double>::quiet_NaN();  // degrees
};

// Where a record's grid lies in its file's whole domain: the offsets of its
// first mass point and the whole domain's sizes. A record opened on a file
// covers all of it; a window (file/window.h) covers part of it.
struct DomainPlacement {
    std::uint64_t i0 = 0;  // west-east
    std::uint64_t j0 = 0;  // south-north
    std::uint64_t nx = 0;
    std::uint64_t ny = 0;
    std::uint64_t nx_stag = 0;
    std::uint64_t ny_stag = 0;
};

struct TarqFile {
    TarqFile(std::string path, std::shared_ptr<ModelReader> reader)
        : path(std::move(path)), reader(std::move(reader)) {}

    std::string path;  // exactly as the caller gave it
    std::shared_ptr<ModelReader> reader;  // never null; windows of the file share it
    std::uint64_t nx = 0;       // west-east mass points
    std::uint64_t ny = 0;       // south-north mass points
    std::uint64_t nz = 0;       // mass (half) levels
    std::uint64_t nt = 0;       // times
    std::uint64_t nx_stag = 0;  // west-east size of U
    std::uint64_t ny_stag = 0;  // south-north size of V
    std::uint64_t nz_stag = 0;  // full levels of W, PH, PHB
    double dx = 1000.0;         // m
    double dy = 1000.0;         // m
    MapProjection projection;
    DomainPlacement domain;
    mutable FieldCache cache;
};

struct GridDims {
    std::uint64_t nx = 0;
    std::uint64_t ny = 0;
    std::uint64_t nz = 0;
    std::uint64_t nt = 0;
};

// Grid sizes from the shape of T, [Time, nz, ny, nx]; for a file without T
// (2-D fields only), from its dimensions and 2-D fields (nz 0 unless the file
// has a bottom_top dimension).
[[nodiscard]] Result<GridDims> grid_dims(const ModelReader& reader);

[[nodiscard]] Result<std::unique_ptr<TarqFile>> open_tarq_file(std::string_view path);

// The file's time strings, in file order.
[[nodiscard]] Result<std::vector<std::string>> read_times(const TarqFile& file);

}  // namespace tarq
