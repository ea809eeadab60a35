// libFuzzer target: the HDF5 and classic netCDF readers on arbitrary bytes
// must return errors, never crash, read out of bounds, loop forever or
// allocate without bound.

#include <cstddef>
#include <cstdint>

#include "bounded_memory.h"
#include "hdf5_exercise.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = write_memory_file(data, size);
    if (!path) return 0;
    tarq::testing::exercise_hdf5_file(*path);
    tarq::testing::exercise_netcdf3_file(*path);
    return 0;
}
