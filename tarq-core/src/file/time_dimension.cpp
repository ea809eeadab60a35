#include "file/time_dimension.h"

#include <string>

namespace tarq {

namespace {

// Model files rewritten by common tools store the static fields (XLAT, HGT,
// LU_INDEX, ...) as [ny, nx] without a time dimension; their first dimension
// is a row, not a time. The rule for files that do not say; stored shapes
// are the whole domain's, also in a window.
bool is_static_grid_field(const TarqFile& file, std::span<const std::uint64_t> dims) {
    return dims.size() == 2 && dims[0] == file.domain.ny && dims[1] == file.domain.nx;
}

}  // namespace

std::optional<bool> has_time_dimension(const TarqFile& file, std::string_view name) {
    // T's first dimension is time; a surface-only file has Times instead.
    auto time_ids = file.reader->dimension_ids("T");
    if (!time_ids) time_ids = file.reader->dimension_ids("Times");
    if (!time_ids || time_ids->empty() || !time_ids->front()) return std::nullopt;
    const auto ids = file.reader->dimension_ids(name);
    if (!ids || ids->empty() || !ids->front()) return std::nullopt;
    return *ids->front() == *time_ids->front();
}

Result<bool> is_dimension_only(const TarqFile& file, std::string_view name) {
    TARQ_TRY(const auto label, file.reader->variable_attr(name, "NAME"));
    const auto* text = label ? std::get_if<std::string>(&label->value) : nullptr;
    return text && text->starts_with("This is a netCDF dimension but not a netCDF variable");
}

bool is_stored_whole(const TarqFile& file, std::string_view name, std::span<const std::uint64_t> dims) {
    // A 1-D variable is one value per time (XTIME) only where the file says
    // its dimension is time.
    if (dims.size() == 1) return has_time_dimension(file, name) != std::optional(true);
    if (dims.empty()) return true;
    // The file's dimension metadata decides whether the first dimension is
    // time; without it, only [ny, nx] fields and 1-D variables are static.
    const auto timed = has_time_dimension(file, name);
    return timed ? !*timed : is_static_grid_field(file, dims);
}

}  // namespace tarq
