#pragma once
// The open-file record: one model output file and the grid facts every
// diagnostic needs.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "util/error.h"

namespace tarq {

struct TarqFile {
    std::string path;  // exactly as the caller gave it
    std::uint64_t nx = 0;
    std::uint64_t ny = 0;
    std::uint64_t nz = 0;
    std::uint64_t nt = 0;
    std::uint64_t nx_stag = 0;
    std::uint64_t ny_stag = 0;
    std::uint64_t nz_stag = 0;
    double dx = 1000.0;
    double dy = 1000.0;
};

[[nodiscard]] Result<std::unique_ptr<TarqFile>> open_tarq_file(std::string_view path);

// The file's time strings, in file order.
[[nodiscard]] Result<std::vector<std::string>> read_times(const TarqFile& file);

}  // namespace tarq
