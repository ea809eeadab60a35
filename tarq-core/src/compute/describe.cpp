#include "compute/describe.h"

#include <cstdint>
#include <span>

#include "compute/dispatch.h"
#include "compute/resolve.h"
#include "file/tarq_file.h"
#include "file/time_dimension.h"
#include "file/window.h"
#include "io/checked.h"

namespace tarq {

namespace {

Result<VarDescription> describe_row(const TarqFile& file, ResolvedRequest&& request) {
    TARQ_TRY(UnitPlan plan, std::move(request.units));
    return VarDescription{std::string(request.row->name), std::move(request.description), std::move(plan.units),
                          false, row_grid(file, *request.row)};
}

// A stored variable found by its shape alone: nothing is read.
Result<VarDescription> describe_stored(const TarqFile& file, ResolvedRequest&& request) {
    auto [found, upper] = stored_spellings(request.name);
    auto dims = file.reader->shape(found);
    if (!dims) {
        found = std::move(upper);
        dims = file.reader->shape(found);
    }
    // A dimension is no variable, as read_var decides.
    if (dims) {
        TARQ_TRY(const bool dimension_only, is_dimension_only(file, found));
        if (dimension_only) return unknown_variable(request.name);
    }
    // The slab read_var returns, decided as it decides.
    const bool whole = dims && is_stored_whole(file, found, *dims);
    const auto slab = dims ? std::span<const std::uint64_t>(*dims).subspan(whole ? 0 : 1)
                           : std::span<const std::uint64_t>{};
    const auto length = dims ? element_count(slab) : std::nullopt;
    if (!length) return unknown_variable(request.name);
    TARQ_TRY(UnitPlan plan, std::move(request.units));
    // A window gives the cropped stored dimensions, as the read does.
    if (is_window(file) && slab.size() >= 2) {
        std::vector<std::size_t> shape(slab.begin(), slab.end());
        if (const auto crop = horizontal_crop(file, slab)) {
            shape[shape.size() - 2] = crop->rows;
            shape[shape.size() - 1] = crop->cols;
        }
        return VarDescription{std::move(found), std::move(request.description), std::move(plan.units), true,
                              std::move(shape)};
    }
    return VarDescription{std::move(found), std::move(request.description), std::move(plan.units), true,
                          raw_shape(file, slab, whole, static_cast<std::size_t>(*length))};
}

}  // namespace

Result<VarDescription> describe_variable(const TarqFile& file, std::string_view name,
                                         const std::optional<std::string>& units) {
    ResolvedRequest request = resolve_request(name, units);
    if (request.row != nullptr) return describe_row(file, std::move(request));
    return describe_stored(file, std::move(request));
}

}  // namespace tarq
