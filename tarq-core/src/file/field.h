#pragma once
// An immutable float64 field shared by the field cache and every reader of
// it: handing one out copies a pointer, never the values, and the values live
// until the last holder lets go, even after the cache has evicted them.

#include <cstddef>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "util/huge_pages.h"

namespace tarq {

class Field {
public:
    Field() : values_(std::make_shared<const std::vector<double>>()) {}
    explicit Field(std::vector<double> values)
        : values_(std::make_shared<const std::vector<double>>(std::move(values))) {}

    [[nodiscard]] std::size_t size() const noexcept { return values_->size(); }
    [[nodiscard]] bool empty() const noexcept { return values_->empty(); }
    [[nodiscard]] const double* data() const noexcept { return values_->data(); }
    [[nodiscard]] double operator[](std::size_t i) const noexcept { return (*values_)[i]; }
    [[nodiscard]] auto begin() const noexcept { return values_->begin(); }
    [[nodiscard]] auto end() const noexcept { return values_->end(); }
    [[nodiscard]] std::size_t bytes() const noexcept { return values_->size() * sizeof(double); }
    [[nodiscard]] std::span<const double> span() const noexcept { return *values_; }
    operator std::span<const double>() const noexcept { return *values_; }  // NOLINT: a view, not a copy

    // The values as a vector of the caller's own, for results that go out
    // (to NumPy) or are changed in place.
    [[nodiscard]] std::vector<double> to_vector() const {
        std::vector<double> out;
        out.reserve(size());
        advise_huge_pages(out.data(), bytes());
        out.assign(begin(), end());
        return out;
    }

    friend bool operator==(const Field& a, const Field& b) { return *a.values_ == *b.values_; }

private:
    std::shared_ptr<const std::vector<double>> values_;
};

}  // namespace tarq
