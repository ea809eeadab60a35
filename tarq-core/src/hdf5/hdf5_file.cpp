#include "hdf5/hdf5_file.h"

namespace tarq {

struct Hdf5File::State {};

Hdf5File::Hdf5File(std::unique_ptr<State> state) : state_(std::move(state)) {}
Hdf5File::Hdf5File(Hdf5File&&) noexcept = default;
Hdf5File& Hdf5File::operator=(Hdf5File&&) noexcept = default;
Hdf5File::~Hdf5File() = default;

Result<Hdf5File> Hdf5File::open(std::string_view path) {
    return fail(ErrorKind::NetCdf, "cannot open '" + std::string(path) + "': HDF5 reader not built yet");
}

Result<DatasetInfo> Hdf5File::dataset_info(std::string_view name) const {
    return fail(ErrorKind::VarNotFound, std::string(name));
}

Result<std::vector<std::uint64_t>> Hdf5File::shape(std::string_view name) const {
    TARQ_TRY(auto info, dataset_info(name));
    return info.dims;
}

Result<std::vector<std::uint8_t>> Hdf5File::read_bytes(std::string_view name) const {
    return fail(ErrorKind::VarNotFound, std::string(name));
}

Result<std::vector<double>> Hdf5File::read_f64(std::string_view name) const {
    return fail(ErrorKind::VarNotFound, std::string(name));
}

Result<std::vector<double>> Hdf5File::read_f64_slab(std::string_view name, std::uint64_t) const {
    return fail(ErrorKind::VarNotFound, std::string(name));
}

Result<double> Hdf5File::attr_f64(std::string_view name) const {
    return fail(ErrorKind::AttrNotFound, std::string(name));
}

std::vector<std::string> Hdf5File::member_names() const { return {}; }
std::vector<std::string> Hdf5File::attribute_names() const { return {}; }

}  // namespace tarq
