#include "compute/describe.h"

#include <cstdint>
#include <span>

#include "compute/dispatch.h"
#include "compute/registry.h"
#include "compute/units.h"
#include "file/tarq_file.h"
#include "file/time_dimension.h"
#include "io/checked.h"
#include "util/unicode.h"

namespace tarq {

namespace {

Result<VarDescription> describe_row(const TarqFile& file, const VarSpec& row, const std::optional<std::string>& units) {
    VarDescription out{std::string(row.name), std::string(row.description), std::string(row.units), false, {}};
    if (units) {
        TARQ_TRY(const Unit from, parse_unit(row.units));
        TARQ_TRY(const Unit to, parse_unit(*units));
        // Converting no values still refuses a pair without a formula.
        if (auto checked = convert_units(std::span<double>{}, from, to); !checked) {
            return std::unexpected(checked.error());
        }
        out.units = *units;
    }
    out.shape = row.is_3d ? std::vector<std::size_t>{file.nz, file.ny, file.nx}
                          : std::vector<std::size_t>{file.ny, file.nx};
    return out;
}

}  // namespace

Result<VarDescription> describe_variable(const TarqFile& file, std::string_view name,
                                         const std::optional<std::string>& units) {
    if (const VarSpec* row = lookup_variable(name)) return describe_row(file, *row, units);
    std::string found(name);
    auto dims = file.reader->shape(found);
    if (!dims) {
        found = unicode_upper(name);
        dims = file.reader->shape(found);
    }
    // The slab read_var returns, decided as it decides.
    const bool whole = dims && is_stored_whole(file, found, *dims);
    const auto slab = dims ? std::span<const std::uint64_t>(*dims).subspan(whole ? 0 : 1)
                           : std::span<const std::uint64_t>{};
    const auto length = dims ? element_count(slab) : std::nullopt;
    if (!length) {
        return fail(ErrorKind::UnknownVar,
                    std::string(name) + " (not in computed registry and not found as raw variable in file)");
    }
    const auto guessed = guess_raw_units(unicode_upper(name));
    if (units) {
        if (auto usable = raw_unit_conversion(name, guessed, *units); !usable) return std::unexpected(usable.error());
    }
    return VarDescription{std::move(found), "Raw TARQ variable: " + std::string(name),
                          units ? *units : std::string(guessed.value_or("")), true,
                          raw_shape(file, slab, whole, static_cast<std::size_t>(*length))};
}

}  // namespace tarq
