#pragma once
// Independent tasks run at the same time on the pool, one work item each:
// for reading the several stored inputs of a diagnostic together instead of
// one after another.

#include <cstddef>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "util/error.h"
#include "util/thread_pool.h"

namespace tarq {

// The results of task() for every task, in argument order. The calling thread
// runs tasks too, so this never waits for a free worker.
template <class... Task>
auto run_concurrently(Task&&... task) -> std::tuple<std::invoke_result_t<Task&>...> {
    std::tuple<std::optional<std::invoke_result_t<Task&>>...> results;
    auto tasks = std::forward_as_tuple(task...);
    const auto run_one = [&](std::size_t which) {
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            ((which == I ? (void)std::get<I>(results).emplace(std::get<I>(tasks)()) : (void)0), ...);
        }(std::index_sequence_for<Task...>{});
    };
    parallel_for(
        0, sizeof...(Task),
        [&](std::size_t lo, std::size_t hi) {
            for (std::size_t i = lo; i < hi; ++i) run_one(i);
        },
        1);
    return std::apply([](auto&... result) { return std::tuple{std::move(*result)...}; }, results);
}

// The first error among several results, in argument order.
template <class... R>
[[nodiscard]] std::optional<TarqError> first_error(const R&... results) {
    std::optional<TarqError> error;
    ((error = error ? error : (results ? std::nullopt : std::optional<TarqError>(results.error()))), ...);
    return error;
}

}  // namespace tarq
