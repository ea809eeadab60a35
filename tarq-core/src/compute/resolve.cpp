#include "compute/resolve.h"

#include <span>

#include "file/tarq_file.h"
#include "util/unicode.h"

namespace tarq {

namespace {

// A row's own unit is parsed first, so its failure is the one reported.
Result<UnitPlan> row_units(const VarSpec& row, const std::optional<std::string>& units) {
    if (!units) return UnitPlan{std::string(row.units), std::nullopt};
    TARQ_TRY(const Unit from, parse_unit(row.units));
    TARQ_TRY(const Unit to, parse_unit(*units));
    // Converting no values refuses a pair without a formula.
    if (auto checked = convert_units(std::span<double>{}, from, to); !checked) return std::unexpected(checked.error());
    return UnitPlan{*units, std::pair{from, to}};
}

Result<UnitPlan> stored_units(std::string_view name, const std::optional<std::string>& units) {
    const auto guessed = guess_raw_units(unicode_upper(name));
    if (!units) return UnitPlan{std::string(guessed.value_or("")), std::nullopt};
    TARQ_TRY(auto conversion, raw_unit_conversion(name, guessed, *units));
    return UnitPlan{*units, std::move(conversion)};
}

}  // namespace

ResolvedRequest resolve_request(std::string_view name, const std::optional<std::string>& units) {
    if (const VarSpec* row = lookup_variable(name)) {
        return {row, name, std::string(row->description), row_units(*row, units)};
    }
    return {nullptr, name, "Raw TARQ variable: " + std::string(name), stored_units(name, units)};
}

std::pair<std::string, std::string> stored_spellings(std::string_view name) {
    return {std::string(name), unicode_upper(name)};
}

std::unexpected<TarqError> unknown_variable(std::string_view name) {
    return fail(ErrorKind::UnknownVar,
                std::string(name) + " (not in computed registry and not found as raw variable in file)");
}

std::vector<std::size_t> row_grid(const TarqFile& file, const VarSpec& row) {
    return row.is_3d ? std::vector<std::size_t>{file.nz, file.ny, file.nx} : std::vector<std::size_t>{file.ny, file.nx};
}

std::vector<std::size_t> row_shape(const TarqFile& file, const VarSpec& row) {
    std::vector<std::size_t> shape = row_grid(file, row);
    if (!row.fields.empty()) shape.insert(shape.begin(), row.fields.size());
    return shape;
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

}  // namespace tarq
