#pragma once
// Finding a chunked dataset's chunks through whichever index its layout
// names: the version 1 B-tree of layout version 3, or the single-chunk,
// implicit, fixed array, extensible array and version 2 B-tree indexes of
// layout versions 4 and 5 (HDF5 format IV.A.2.i, III.H to III.J).

#include <vector>

#include "hdf5/btree_v1.h"
#include "hdf5/dataset_info.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

// Every chunk the index holds, with its element offsets (one per dimension,
// then a 0 for the element size, as in a version 1 B-tree key), address,
// stored size and filter mask. Chunks never written are either left out or
// have an undefined address.
[[nodiscard]] Result<std::vector<ChunkRecord>> collect_chunk_records(const FileReader& file, const DatasetInfo& info,
                                                                     const ChunkedLayout& layout);

}  // namespace tarq::hdf5
