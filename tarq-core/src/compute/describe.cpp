#include "compute/describe.h"

#include <cstdint>
#include <span>

#include "compute/dispatch.h"
#include "compute/registry.h"
#include "compute/units.h"
#include "file/tarq_file.h"
#include "hdf5/dataspace.h"
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

// Number of values read_var returns for a variable of these dimensions.
std::optional<std::uint64_t> slab_length(const TarqFile& file, std::span<const std::uint64_t> dims) {
    if (dims.size() < 2) return hdf5::element_count(dims);
    // A static [ny, nx] field (no time dimension) is returned whole.
    if (dims.size() == 2 && dims[0] == file.ny && dims[1] == file.nx) return hdf5::element_count(dims);
    return hdf5::element_count(dims.subspan(1));
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
    const auto length = dims ? slab_length(file, *dims) : std::nullopt;
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
                          raw_shape(file, static_cast<std::size_t>(*length))};
}

}  // namespace tarq
