// libFuzzer target: a mutated model file, opened and asked for a fixed set of
// variables, must give results or errors: no crash, no read out of bounds, no
// endless loop and no unbounded allocation, in the layers above the reader.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "bounded_memory.h"
#include "model_exercise.h"
#include "util/thread_pool.h"

namespace {

// The file is opened by path; an anonymous memory file keeps the disk out.
int memory_file() {
    static const int fd = memfd_create("model_fuzz", 0);
    return fd;
}

}  // namespace

// One worker: the campaign shares the machine, and a finding replays the same
// way every time.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tarq::set_worker_count(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = memory_file();
    if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) return 0;
        written += static_cast<std::size_t>(n);
    }
    tarq::testing::exercise_model_file("/proc/self/fd/" + std::to_string(fd));
    return 0;
}
