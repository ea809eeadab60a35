// Replays every input the fuzzers found troublesome: each must now open or
// fail cleanly, under the sanitizers of the fuzz build and in this plain
// build, with the fuzz targets' bound on single allocations (which then holds
// for every test of this binary).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "bounded_memory.h"
#include "hdf5_exercise.h"
#include "model_exercise.h"

namespace tarq::testing {
namespace {

const std::filesystem::path kFuzzDirectory = std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "fuzz";

template <class Exercise>
void replay(const std::filesystem::path& directory, Exercise exercise) {
    ASSERT_TRUE(std::filesystem::is_directory(directory)) << directory;
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (!entry.is_regular_file()) continue;
        SCOPED_TRACE(entry.path().filename().string());
        exercise(entry.path().string());
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

TEST(FuzzRegressions, EveryReaderInputIsHandled) {
    replay(kFuzzDirectory / "regressions", [](const std::string& path) {
        exercise_hdf5_file(path);
        exercise_netcdf3_file(path);
    });
}

TEST(FuzzRegressions, EveryModelInputIsHandled) { replay(kFuzzDirectory / "model_regressions", exercise_model_file); }

}  // namespace
}  // namespace tarq::testing
