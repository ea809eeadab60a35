#pragma once
// The loops of the diagnostics over a grid: per point, per column and per
// level, on the process-wide pool in [lo, hi) chunks. Outputs are allocated to
// full length before a loop and every work item writes only its own elements,
// so results do not depend on the number of workers.

#include <cstddef>
#include <span>
#include <vector>

#include "util/thread_pool.h"

namespace tarq {

// fn(i) for every i < n; for loops that write their outputs themselves.
template <class Fn>
void for_each_point(std::size_t n, const Fn& fn) {
    parallel_for(0, n, [&](std::size_t lo, std::size_t hi) {
        for (std::size_t i = lo; i < hi; ++i) fn(i);
    });
}

// out[i] = fn(i) for every i < n.
template <class Fn>
[[nodiscard]] std::vector<double> per_point(std::size_t n, const Fn& fn) {
    std::vector<double> out(n);
    for_each_point(n, [&](std::size_t i) { out[i] = fn(i); });
    return out;
}

// fn(col, scratch) for every column col < ncol. Each chunk of columns owns one
// Scratch, reused from column to column, so a column kernel allocates only
// while a buffer grows.
template <class Scratch, class Fn>
void for_each_column(std::size_t ncol, const Fn& fn) {
    parallel_for(0, ncol, [&](std::size_t lo, std::size_t hi) {
        Scratch scratch{};
        for (std::size_t col = lo; col < hi; ++col) fn(col, scratch);
    });
}

// fn(k) for every level k < nz, one level per work item.
template <class Fn>
void for_each_level(std::size_t nz, const Fn& fn) {
    parallel_for(
        0, nz,
        [&](std::size_t lo, std::size_t hi) {
            for (std::size_t k = lo; k < hi; ++k) fn(k);
        },
        1);
}

// Column col of a [nz][ncol] field, bottom first, into out (resized to nz).
// The field must hold at least nz * ncol values.
void gather_column(std::span<const double> field, std::size_t nz, std::size_t ncol, std::size_t col,
                   std::vector<double>& out);

}  // namespace tarq
