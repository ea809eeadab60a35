#include <string>

#include "file/accessors.h"
#include "file/field_cache.h"
#include "file/model_grids.h"
#include "file/packing.h"
#include "file/sizes.h"
#include "file/time_dimension.h"
#include "file/window.h"
#include "io/checked.h"

namespace tarq {

namespace {

TarqError slab_out_of_range(std::string_view name, std::size_t t, std::span<const std::uint64_t> dims) {
    return TarqError{ErrorKind::DimMismatch, "time index " + std::to_string(t) + " out of range for variable '" +
                                                 std::string(name) + "' (shape " + format_dims(dims) + ")"};
}

// A variable without a time dimension, returned whole for every time index.
// In a window, only its rectangle of the horizontal dimensions (`kept`, the
// cropped shape) is read.
Result<std::vector<double>> read_whole(const TarqFile& file, std::string_view name,
                                       std::span<const std::uint64_t> dims, std::span<const std::uint64_t> kept,
                                       const std::optional<HorizontalCrop>& crop) {
    TARQ_TRY(auto values, crop ? file.reader->read_f64_rect(name, std::nullopt, *crop) : file.reader->read_f64(name));
    const auto count = element_count(kept);
    if (!count || values.size() != *count) {
        return fail(ErrorKind::DimMismatch, "variable '" + std::string(name) + "' holds " +
                                                std::to_string(values.size()) + " values, not the " +
                                                (count ? std::to_string(*count) : std::string("more than 2^64")) +
                                                " of its shape " + format_dims(kept) +
                                                (crop ? " (a window of " + format_dims(dims) + ")" : std::string()));
    }
    return values;
}

// The slab of time t of a variable whose first dimension is time. Only the
// chunks of time t are read; a slab beyond the stored data (t past the first
// dimension, or data cut short) is the same error a read of the whole
// variable would find. In a window, only its rectangle is read.
Result<std::vector<double>> read_time_slab(const TarqFile& file, std::string_view name, std::size_t t,
                                           std::span<const std::uint64_t> dims, std::uint64_t slab,
                                           const std::optional<HorizontalCrop>& crop) {
    if (slab == 0) return std::vector<double>{};
    if (t >= dims[0]) return std::unexpected(slab_out_of_range(name, t, dims));
    TARQ_TRY(auto values, crop ? file.reader->read_f64_rect(name, t, *crop) : file.reader->read_f64_slab(name, t));
    if (values.size() < slab) return std::unexpected(slab_out_of_range(name, t, dims));
    values.resize(slab);
    return values;
}

}  // namespace

Result<StoredField> read_stored(const TarqFile& file, std::string_view name, std::size_t t) {
    TARQ_TRY(const auto dims, file.reader->shape(name));
    TARQ_TRY(const bool dimension_only, is_dimension_only(file, name));
    if (dimension_only) return fail(ErrorKind::VarNotFound, std::string(name));
    const bool whole = is_stored_whole(file, name, dims);
    const std::span<const std::uint64_t> stored = std::span(dims).subspan(whole ? 0 : 1);
    // A window keeps only its rows and columns of the horizontal dimensions.
    const auto crop = horizontal_crop(file, stored);
    std::vector<std::uint64_t> shape(stored.begin(), stored.end());
    if (crop) {
        shape[shape.size() - 2] = crop->rows;
        shape[shape.size() - 1] = crop->cols;
    }
    const auto per_time = element_count(shape);
    if (!per_time) return std::unexpected(slab_out_of_range(name, t, dims));
    // A variable the diagnostics read must fill its grid exactly; checked
    // before reading, so that a shape the grid cannot hold is never allocated.
    if (const auto grid = model_grid(name)) {
        if (auto fits = check_grid_length(file, name, t, *per_time, *grid); !fits)
            return std::unexpected(fits.error());
    }
    StoredField field{{}, {shape.begin(), shape.end()}, whole};
    if (whole && dims.size() < 2) {
        TARQ_TRY(field.values, file.reader->read_f64(name));
    } else if (whole) {
        TARQ_TRY(field.values, read_whole(file, name, dims, shape, crop));
    } else {
        TARQ_TRY(field.values, read_time_slab(file, name, t, dims, *per_time, crop));
    }
    TARQ_TRY(field.values, unpacked(*file.reader, name, std::move(field.values)));
    return field;
}

Result<GridField> read_var(const TarqFile& file, ModelVariable variable, std::size_t t) {
    const std::string key = cache_key("stored_" + std::string(variable.name) + "_", t);
    TARQ_TRY(Field values, cached_field(file.cache, key, t, [&]() -> Result<std::vector<double>> {
        TARQ_TRY(StoredField stored, read_stored(file, variable.name, t));
        return std::move(stored.values);
    }));
    return GridField::checked(file, variable.name, t, std::move(values), variable.grid);
}

Result<GridField> read_var_once(const TarqFile& file, ModelVariable variable, std::size_t t) {
    TARQ_TRY(StoredField stored, read_stored(file, variable.name, t));
    return GridField::checked(file, variable.name, t, Field(std::move(stored.values)), variable.grid);
}

Result<std::optional<GridField>> read_optional(const TarqFile& file, ModelVariable variable, std::size_t t) {
    auto field = read_var(file, variable, t);
    if (field) return std::optional<GridField>(std::move(*field));
    if (field.error().kind == ErrorKind::DimMismatch) return std::unexpected(std::move(field.error()));
    return std::optional<GridField>();
}

}  // namespace tarq
