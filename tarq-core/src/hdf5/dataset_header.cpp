#include "hdf5/dataset_header.h"

#include <optional>
#include <string>

#include "hdf5/bytes.h"
#include "hdf5/dataspace.h"
#include "hdf5/datatype.h"
#include "hdf5/filter_pipeline.h"
#include "hdf5/layout.h"
#include "hdf5/object_header.h"

namespace tarq::hdf5 {

namespace {

// A chunked layout must give one chunk size per dataset dimension.
Result<void> check_chunking(const DatasetInfo& info) {
    const auto* chunked = std::get_if<ChunkedLayout>(&info.layout);
    if (chunked == nullptr || chunked->chunk_dims.size() == info.dims.size()) return {};
    return netcdf_error("Chunked layout has " + std::to_string(chunked->chunk_dims.size()) +
                        " chunk dimensions for a dataset of rank " + std::to_string(info.dims.size()));
}

}  // namespace

Result<DatasetInfo> parse_dataset_header(const FileReader& file, std::uint64_t address) {
    DatasetInfo info;
    std::optional<Datatype> datatype;
    std::optional<StorageLayout> layout;
    IO_CHECK(walk_object_header(file, address, [&](std::uint16_t type, std::uint8_t flags, ByteSpan data) -> Result<void> {
        switch (type) {
            case message_type::kDataspace: {
                TARQ_TRY(info.dims, parse_dataspace(data));
                TARQ_TRY(info.max_dims, parse_dataspace_max(data));
                break;
            }
            case message_type::kDatatype: {
                // The body of a shared message only points at the real datatype.
                if (flags & kMessageShared) return netcdf_error("Unsupported committed (shared) datatype");
                TARQ_TRY(datatype, parse_datatype(data));
                break;
            }
            case message_type::kLayout: {
                TARQ_TRY(layout, parse_layout(data));
                break;
            }
            case message_type::kFilterPipeline: {
                TARQ_TRY(info.filters, parse_filter_pipeline(data));
                break;
            }
            default: break;
        }
        return {};
    }));
    if (!datatype) return netcdf_error("No datatype message in dataset object header");
    if (!layout) return netcdf_error("No layout message in dataset object header");
    info.datatype = *datatype;
    info.layout = std::move(*layout);
    IO_CHECK(check_chunking(info));
    return info;
}

}  // namespace tarq::hdf5
