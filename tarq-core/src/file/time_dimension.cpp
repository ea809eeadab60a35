#include "file/time_dimension.h"

#include "hdf5/dataset_info.h"

namespace tarq {

std::optional<bool> has_time_dimension(const TarqFile& file, std::string_view name) {
    const auto time_scales = file.reader->dimension_ids("T");
    if (!time_scales || time_scales->empty() || time_scales->front() == UNDEFINED_ADDRESS) return std::nullopt;
    const auto scales = file.reader->dimension_ids(name);
    if (!scales || scales->empty() || scales->front() == UNDEFINED_ADDRESS) return std::nullopt;
    return scales->front() == time_scales->front();
}

}  // namespace tarq
