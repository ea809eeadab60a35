#pragma once
// Dimension scales (the HDF5 Dimension Scale API's layout): netCDF-4 stores
// every dimension as a dataset marked as a scale, whose REFERENCE_LIST
// attribute names each dataset and dimension it is attached to. This is how
// a netCDF-4 file records which of its dimensions each variable has.

#include <cstdint>
#include <vector>

#include "hdf5/bytes.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

// One entry of a REFERENCE_LIST: a dataset (its object header address) and
// the index of its dimension the scale is attached to.
struct ScaleAttachment {
    std::uint64_t dataset = 0;
    std::uint32_t dimension = 0;
};

// The entries of the REFERENCE_LIST attribute in the object header at
// `header`: empty when the object has none, or when it is stored in a form
// this reader does not decode (then the file is read as one without scales).
[[nodiscard]] Result<std::vector<ScaleAttachment>> scale_attachments(const FileReader& file, std::uint64_t header);

}  // namespace tarq::hdf5
