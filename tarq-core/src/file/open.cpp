// Placeholder until the HDF5 reader is built.
#include "file/tarq_file.h"

namespace tarq {

Result<std::unique_ptr<TarqFile>> open_tarq_file(std::string_view path) {
    return fail(ErrorKind::NetCdf, "cannot open '" + std::string(path) + "': no HDF5 reader yet");
}

Result<std::vector<std::string>> read_times(const TarqFile&) {
    return fail(ErrorKind::NetCdf, "no HDF5 reader yet");
}

}  // namespace tarq
