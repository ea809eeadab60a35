// libFuzzer target: the HDF5 and classic netCDF readers on arbitrary bytes
// must return errors, never crash, read out of bounds, loop forever or
// allocate without bound.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "bounded_memory.h"
#include "hdf5_exercise.h"

namespace {

// The reader opens files by path; an anonymous memory file keeps the disk out.
int memory_file() {
    static const int fd = memfd_create("hdf5_fuzz", 0);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = memory_file();
    if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) return 0;
        written += static_cast<std::size_t>(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    tarq::testing::exercise_hdf5_file(path);
    tarq::testing::exercise_netcdf3_file(path);
    return 0;
}
