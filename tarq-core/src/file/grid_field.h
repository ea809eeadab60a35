#pragma once
// A field known to fill one grid of its file exactly: one time of a model
// variable as read_var returns it, or a base field the accessors derive from
// such fields. Only the checked factory makes one, so the diagnostics index
// it by the grid's sizes without measuring it again.

#include <cstddef>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "file/field.h"
#include "file/model_grids.h"
#include "file/tarq_file.h"
#include "util/error.h"

namespace tarq {

class GridField {
public:
    // `values` as one time t of `grid`; DimMismatch, naming the field, unless
    // they fill it exactly.
    [[nodiscard]] static Result<GridField> checked(const TarqFile& file, std::string_view name, std::size_t t,
                                                   Field values, Grid grid) {
        if (auto fits = check_grid_length(file, name, t, values.size(), grid); !fits) {
            return std::unexpected(std::move(fits.error()));
        }
        return GridField(std::move(values), grid);
    }

    [[nodiscard]] Grid grid() const noexcept { return grid_; }
    [[nodiscard]] const Field& field() const noexcept { return values_; }
    [[nodiscard]] std::size_t size() const noexcept { return values_.size(); }
    [[nodiscard]] const double* data() const noexcept { return values_.data(); }
    [[nodiscard]] double operator[](std::size_t i) const noexcept { return values_[i]; }
    [[nodiscard]] std::span<const double> span() const noexcept { return values_.span(); }
    operator std::span<const double>() const noexcept { return values_.span(); }  // NOLINT: a view, not a copy
    [[nodiscard]] std::vector<double> to_vector() const { return values_.to_vector(); }

private:
    GridField(Field values, Grid grid) noexcept : values_(std::move(values)), grid_(grid) {}

    Field values_;
    Grid grid_;
};

}  // namespace tarq
