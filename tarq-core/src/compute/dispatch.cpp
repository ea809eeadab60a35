#include "compute/dispatch.h"

#include <span>
#include <string>
#include <utility>

#include "compute/option_checks.h"
#include "compute/registry.h"
#include "compute/units.h"
#include "file/accessors.h"
#include "file/tarq_file.h"
#include "io/checked.h"
#include "util/unicode.h"

namespace tarq {

namespace {

using Shape = std::vector<std::size_t>;

// Shape of a catalogue row's result: its base grid, with a leading count when
// the row returns several fields one after another.
Shape registry_shape(const TarqFile& file, bool is_3d, std::size_t length) {
    Shape base = is_3d ? Shape{file.nz, file.ny, file.nx} : Shape{file.ny, file.nx};
    const auto n = element_count(std::span<const std::uint64_t>(base.data(), base.size()));
    if (!n || length == *n) return base;
    // A zero-sized grid holds no whole number of fields: the shape stays the base.
    if (*n != 0 && length % *n == 0) base.insert(base.begin(), length / *n);
    return base;
}

Result<VarOutput> compute_registry_row(const TarqFile& file, const VarSpec& row, std::size_t t,
                                       const ComputeOptions& options) {
    if (auto usable = check_options(options); !usable) return std::unexpected(usable.error());
    TARQ_TRY(auto data, row.compute(file, t, options));
    std::string units(row.units);
    if (options.units) {
        // The row's own unit is parsed first, so its failure is the one reported.
        TARQ_TRY(const Unit from, parse_unit(row.units));
        TARQ_TRY(const Unit to, parse_unit(*options.units));
        if (auto converted = convert_units(data, from, to); !converted) return std::unexpected(converted.error());
        units = *options.units;
    }
    Shape shape = registry_shape(file, row.is_3d, data.size());
    return VarOutput{std::move(data), std::move(shape), std::move(units), std::string(row.description)};
}

// A stored variable by its own name.
Result<VarOutput> read_raw_variable(const TarqFile& file, std::string_view name, std::size_t t,
                                    const ComputeOptions& options) {
    const std::string upper = unicode_upper(name);
    auto data = read_stored(file, name, t);
    if (!data) {
        auto as_upper = read_stored(file, upper, t);
        if (!as_upper) {
            // A member that cannot be read reports why; only a name the file
            // does not hold is unknown.
            if (data.error().kind != ErrorKind::VarNotFound) return std::unexpected(data.error());
            if (as_upper.error().kind != ErrorKind::VarNotFound) return std::unexpected(as_upper.error());
            return fail(ErrorKind::UnknownVar,
                        std::string(name) + " (not in computed registry and not found as raw variable in file)");
        }
        data = std::move(as_upper);
    }
    const auto guessed = guess_raw_units(upper);
    std::string units(guessed.value_or(""));
    if (options.units) {
        TARQ_TRY(const auto conversion, raw_unit_conversion(name, guessed, *options.units));
        if (conversion) {
            if (auto converted = convert_units(data->values, conversion->first, conversion->second); !converted) {
                return std::unexpected(converted.error());
            }
        }
        units = *options.units;
    }
    Shape shape = raw_shape(file, data->shape, data->whole, data->values.size());
    return VarOutput{std::move(data->values), std::move(shape), std::move(units),
                     "Raw TARQ variable: " + std::string(name)};
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

std::optional<std::string_view> guess_raw_units(std::string_view upper_name) {
    static constexpr std::pair<std::string_view, std::string_view> kKnownUnits[] = {
        {"T2", "K"}, {"TSK", "K"}, {"SST", "K"},
        {"LH", "W/m2"}, {"HFX", "W/m2"}, {"GLW", "W/m2"}, {"OLR", "W/m2"}, {"SWDOWN", "W/m2"},
        {"UST", "m/s"}, {"U10", "m/s"}, {"V10", "m/s"},
        {"PSFC", "Pa"},
        {"PBLH", "m"}, {"SNOWH", "m"},
        {"RAINC", "mm"}, {"RAINNC", "mm"}, {"RAINSH", "mm"}, {"SNOWNC", "mm"}, {"GRAUPELNC", "mm"},
    };
    for (const auto& [name, units] : kKnownUnits) {
        if (name == upper_name) return units;
    }
    return std::nullopt;
}

Result<std::optional<std::pair<Unit, Unit>>> raw_unit_conversion(std::string_view name,
                                                                 std::optional<std::string_view> known,
                                                                 std::string_view requested) {
    // Asking for the unit the values already carry needs no parse: "W/m2" is
    // no unit string, yet the data are already in it.
    if (known == requested) return std::nullopt;
    const auto refuse = [&](std::string_view reason) -> Result<std::optional<std::pair<Unit, Unit>>> {
        std::string message(name);
        message += known ? " (unit '" + std::string(*known) + "')" : std::string(" (no known unit)");
        message += " cannot be given in '" + std::string(requested) + "'";
        if (!reason.empty()) message += ": " + std::string(reason);
        return fail(ErrorKind::UnitConversion, std::move(message));
    };
    if (!known) return refuse("");
    const auto from = parse_unit(*known);
    if (!from) return refuse(from.error().message);
    const auto to = parse_unit(requested);
    if (!to) return refuse(to.error().message);
    // Converting no values still refuses a pair without a formula.
    if (auto checked = convert_units(std::span<double>{}, *from, *to); !checked) {
        return refuse(checked.error().message);
    }
    return std::pair{*from, *to};
}

Result<VarOutput> compute_variable(const TarqFile& file, std::string_view name,
                                   std::optional<std::uint64_t> timeidx, const ComputeOptions& options) {
    const std::uint64_t t = timeidx.value_or(0);
    if (t >= file.nt) {
        return fail(ErrorKind::InvalidParam, "timeidx " + std::to_string(t) + " out of range (file has " +
                                                 std::to_string(file.nt) + " times)");
    }
    if (const VarSpec* row = lookup_variable(name)) return compute_registry_row(file, *row, t, options);
    return read_raw_variable(file, name, t, options);
}

}  // namespace tarq
