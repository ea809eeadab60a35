#include "util/grid_loops.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tarq {
namespace {

class GridLoopsTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(GridLoopsTest, PerPointFillsEveryIndex) {
    ScopedWorkerCount workers(GetParam());
    for (std::size_t n : {0u, 1u, 1001u}) {
        const std::vector<double> out = per_point(n, [](std::size_t i) { return 0.5 * static_cast<double>(i); });
        ASSERT_EQ(out.size(), n);
        for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(out[i], 0.5 * static_cast<double>(i));
    }
}

// A scratch belongs to one chunk: it is only ever used by the thread that made it.
struct OwnedScratch {
    std::thread::id owner = std::this_thread::get_id();
    std::vector<double> column;
};

TEST_P(GridLoopsTest, ColumnsGetScratchOfTheirOwnChunk) {
    ScopedWorkerCount workers(GetParam());
    const std::size_t nz = 3;
    const std::size_t ncol = 997;
    std::vector<double> field(nz * ncol);
    for (std::size_t n = 0; n < field.size(); ++n) field[n] = static_cast<double>(n);
    std::vector<double> sums(ncol, -1.0);
    std::atomic<int> foreign{0};
    for_each_column<OwnedScratch>(ncol, [&](std::size_t col, OwnedScratch& s) {
        if (s.owner != std::this_thread::get_id()) ++foreign;
        gather_column(field, nz, ncol, col, s.column);
        sums[col] = s.column[0] + s.column[1] + s.column[2];
    });
    EXPECT_EQ(foreign.load(), 0);
    for (std::size_t col = 0; col < ncol; ++col) ASSERT_EQ(sums[col], 3.0 * static_cast<double>(col + ncol));
}

TEST_P(GridLoopsTest, LevelsAreVisitedOnce) {
    ScopedWorkerCount workers(GetParam());
    std::vector<std::atomic<int>> visits(41);
    for_each_level(visits.size(), [&](std::size_t k) { visits[k].fetch_add(1); });
    for (const auto& v : visits) ASSERT_EQ(v.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(WorkerCounts, GridLoopsTest, ::testing::Values(1, 2, 7));

}  // namespace
}  // namespace tarq
