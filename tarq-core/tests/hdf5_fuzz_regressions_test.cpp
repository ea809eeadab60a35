// Replays every input the fuzzer found troublesome: each must now open or fail
// cleanly, under the sanitizers of the fuzz build and in this plain build.

#include <gtest/gtest.h>

#include <filesystem>

#include "hdf5_exercise.h"

namespace tarq::testing {
namespace {

TEST(Hdf5FuzzRegressions, EveryInputIsHandled) {
    const auto directory = std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "fuzz" / "regressions";
    ASSERT_TRUE(std::filesystem::is_directory(directory)) << directory;
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (!entry.is_regular_file()) continue;
        SCOPED_TRACE(entry.path().filename().string());
        exercise_hdf5_file(entry.path().string());
        exercise_netcdf3_file(entry.path().string());
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

}  // namespace
}  // namespace tarq::testing
