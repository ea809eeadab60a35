// libFuzzer target: a mutated model file, opened and asked for every catalogue
// row and a few raw reads, must give results or errors: no crash, no read out
// of bounds, no endless loop and no unbounded allocation, in the layers above
// the reader.

#include <cstddef>
#include <cstdint>

#include "bounded_memory.h"
#include "memory_file.h"
#include "model_exercise.h"
#include "util/thread_pool.h"

// One worker: the campaign shares the machine, and a finding replays the same
// way every time.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tarq::set_worker_count(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = write_memory_file(data, size);
    if (!path) return 0;
    tarq::testing::exercise_model_file(*path);
    return 0;
}
