#include "file/destagger.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "util/thread_pool.h"

namespace tarq {
namespace {

TEST(Destagger, RowsOfZeroTwoFourGiveOneThree) {
    const std::vector<double> u = {0, 2, 4};
    EXPECT_EQ(destagger_x(u, 1, 1, 3), (std::vector<double>{1, 3}));
}

TEST(Destagger, EachAxisAveragesItsNeighbours) {
    // v(k, j, i) = 100 k + 10 j + i on a [2][3][2] grid staggered in y.
    std::vector<double> v;
    for (int k = 0; k < 2; ++k)
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 2; ++i) v.push_back(100 * k + 10 * j + i);
    EXPECT_EQ(destagger_y(v, 2, 3, 2), (std::vector<double>{5, 6, 15, 16, 105, 106, 115, 116}));
    // The same numbers as [3][2][2] staggered in z (levels 0 1 10 11 | 20 21 100 101 |
    // 110 111 120 121), and as [2][3][2] staggered in x.
    EXPECT_EQ(destagger_z(v, 3, 2, 2), (std::vector<double>{10, 11, 55, 56, 65, 66, 110, 111}));
    EXPECT_EQ(destagger_x(v, 2, 3, 2), (std::vector<double>{0.5, 10.5, 20.5, 100.5, 110.5, 120.5}));
}

TEST(Destagger, MeanIsSumTimesHalf) {
    // (a + b) * 0.5 overflows where a / 2 + b / 2 would not; the published form is kept.
    const std::vector<double> w = {1e308, 1e308};
    EXPECT_EQ(destagger_z(w, 2, 1, 1)[0], (1e308 + 1e308) * 0.5);
}

TEST(Destagger, ZeroSizesGiveEmptyResults) {
    const std::vector<double> none;
    EXPECT_TRUE(destagger_x(none, 4, 3, 0).empty());
    EXPECT_TRUE(destagger_y(none, 4, 0, 3).empty());
    EXPECT_TRUE(destagger_z(none, 0, 3, 4).empty());
    EXPECT_TRUE(destagger_z(none, 5, 0, 4).empty());
    const std::vector<double> one_level(12, 1.0);
    EXPECT_TRUE(destagger_z(one_level, 1, 3, 4).empty());
}

TEST(Destagger, ShortInputIsAnInternalFault) {
    const std::vector<double> u(11, 0.0);
    EXPECT_THROW((void)destagger_x(u, 1, 3, 4), std::logic_error);
    EXPECT_THROW((void)destagger_y(u, 1, 4, 3), std::logic_error);
    EXPECT_THROW((void)destagger_z(u, 4, 1, 3), std::logic_error);
}

TEST(Destagger, ParallelEqualsSerial) {
    const std::uint64_t nz = 7, ny = 5, nx = 9;
    std::vector<double> in((nz + 1) * (ny + 1) * (nx + 1));
    for (std::size_t n = 0; n < in.size(); ++n) in[n] = static_cast<double>(n * 7919 % 1013) / 7.0;
    std::vector<std::vector<double>> results;
    for (std::size_t workers : {1u, 2u, 7u}) {
        ScopedWorkerCount scoped(workers);
        auto x = destagger_x(in, nz, ny, nx + 1);
        auto y = destagger_y(in, nz, ny + 1, nx);
        auto z = destagger_z(in, nz + 1, ny, nx);
        x.insert(x.end(), y.begin(), y.end());
        x.insert(x.end(), z.begin(), z.end());
        results.push_back(std::move(x));
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

}  // namespace
}  // namespace tarq
