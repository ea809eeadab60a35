#include "compute/dispatch.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "compute/option_checks.h"
#include "compute/registry.h"
#include "compute/resolve.h"
#include "compute/units.h"
#include "file/accessors.h"
#include "file/tarq_file.h"
#include "file/window.h"
#include "io/checked.h"

namespace tarq {

namespace {

using Shape = std::vector<std::size_t>;

Result<void> apply_units(std::vector<double>& data, const UnitPlan& plan) {
    if (!plan.conversion) return {};
    return convert_units(data, plan.conversion->first, plan.conversion->second);
}

Result<VarOutput> compute_registry_row(const TarqFile& file, ResolvedRequest&& request, std::size_t t,
                                       const ComputeOptions& options) {
    const VarSpec& row = *request.row;
    if (auto usable = check_options(options); !usable) return std::unexpected(usable.error());
    TARQ_TRY(auto data, row.compute(file, t, options));
    TARQ_TRY(UnitPlan plan, std::move(request.units));
    Shape shape = row_shape(file, row);
    const auto declared = element_count(std::span<const std::uint64_t>(shape.data(), shape.size()));
    if (declared != data.size()) {
        throw std::logic_error(std::string(row.name) + " returned " + std::to_string(data.size()) +
                               " values where its declared shape holds " +
                               (declared ? std::to_string(*declared) : std::string("more than 2^64")));
    }
    if (auto converted = apply_units(data, plan); !converted) return std::unexpected(converted.error());
    return VarOutput{std::move(data), std::move(shape), std::move(plan.units), std::move(request.description)};
}

// A stored variable, read under the first of its spellings the file holds.
Result<VarOutput> read_raw_variable(const TarqFile& file, ResolvedRequest&& request, std::size_t t) {
    const auto [as_given, upper] = stored_spellings(request.name);
    auto data = read_stored(file, as_given, t);
    if (!data) {
        auto as_upper = read_stored(file, upper, t);
        if (!as_upper) {
            // A member that cannot be read reports why; only a name the file
            // does not hold is unknown.
            if (data.error().kind != ErrorKind::VarNotFound) return std::unexpected(data.error());
            if (as_upper.error().kind != ErrorKind::VarNotFound) return std::unexpected(as_upper.error());
            return unknown_variable(request.name);
        }
        data = std::move(as_upper);
    }
    TARQ_TRY(UnitPlan plan, std::move(request.units));
    if (auto converted = apply_units(data->values, plan); !converted) return std::unexpected(converted.error());
    // A window's crop keeps the stored dimensions (a staggered one with its
    // extra point), which then give the shape.
    Shape shape = is_window(file) && data->shape.size() >= 2
                      ? Shape(data->shape.begin(), data->shape.end())
                      : raw_shape(file, data->shape, data->whole, data->values.size());
    return VarOutput{std::move(data->values), std::move(shape), std::move(plan.units), std::move(request.description)};
}

}  // namespace

std::vector<std::size_t> raw_shape(const TarqFile& file, std::span<const std::uint64_t> slab, bool whole,
                                   std::size_t length) {
    if (whole && slab.size() >= 2 && slab.size() <= 4) return {slab.begin(), slab.end()};
    const std::uint64_t plane_sizes[] = {file.ny, file.nx};
    const std::uint64_t volume_sizes[] = {file.nz, file.ny, file.nx};
    const auto plane = element_count(plane_sizes);
    const auto volume = element_count(volume_sizes);
    if (plane && length == *plane) return {file.ny, file.nx};
    if (volume && length == *volume) return {file.nz, file.ny, file.nx};
    if (plane && *plane != 0 && length % *plane == 0) return {length / *plane, file.ny, file.nx};
    return {length};
}

Result<VarOutput> compute_variable(const TarqFile& file, std::string_view name,
                                   std::optional<std::uint64_t> timeidx, const ComputeOptions& options) {
    const std::uint64_t t = timeidx.value_or(0);
    if (t >= file.nt) {
        return fail(ErrorKind::InvalidParam, "timeidx " + std::to_string(t) + " out of range (file has " +
                                                 std::to_string(file.nt) + " times)");
    }
    ResolvedRequest request = resolve_request(name, options.units);
    if (request.row != nullptr) return compute_registry_row(file, std::move(request), t, options);
    return read_raw_variable(file, std::move(request), t);
}

}  // namespace tarq
