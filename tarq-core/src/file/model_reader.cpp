#include "file/model_reader.h"

#include <string>
#include <utility>

#include "hdf5/hdf5_file.h"
#include "io/file_reader.h"
#include "netcdf3/header.h"
#include "netcdf3/netcdf3_file.h"

namespace tarq {

namespace {

// Hands every call to a reader class: both readers offer the same member
// functions.
template <class File>
class ReaderOf final : public ModelReader {
public:
    explicit ReaderOf(File file) : file_(std::move(file)) {}

    Result<std::vector<std::uint64_t>> shape(std::string_view name) const override { return file_.shape(name); }
    Result<std::vector<std::uint8_t>> read_bytes(std::string_view name) const override {
        return file_.read_bytes(name);
    }
    Result<std::vector<double>> read_f64(std::string_view name) const override { return file_.read_f64(name); }
    Result<std::vector<double>> read_f64_slab(std::string_view name, std::uint64_t index) const override {
        return file_.read_f64_slab(name, index);
    }
    // Only the rectangle's bytes, through the reader's box read.
    Result<std::vector<double>> read_f64_rect(std::string_view name, std::optional<std::uint64_t> index,
                                              const HorizontalCrop& crop) const override {
        TARQ_TRY(const std::vector<std::uint64_t> dims, file_.shape(name));
        const std::size_t lead = index ? 1 : 0;
        if (dims.size() < lead + 2) {
            return fail(ErrorKind::DimMismatch, "variable '" + std::string(name) + "' has no rows and columns to crop");
        }
        std::vector<std::uint64_t> lo(dims.size(), 0);
        std::vector<std::uint64_t> hi = dims;
        if (index) {
            lo[0] = *index;
            hi[0] = *index + 1;
        }
        const std::size_t rows = dims.size() - 2;
        lo[rows] = crop.row0;
        hi[rows] = crop.row0 + crop.rows;
        lo[rows + 1] = crop.col0;
        hi[rows + 1] = crop.col0 + crop.cols;
        return file_.read_f64_box(name, lo, hi);
    }
    Result<double> attr_f64(std::string_view name) const override { return file_.attr_f64(name); }
    Result<std::optional<AttrValue>> variable_attr(std::string_view variable,
                                                   std::string_view attribute) const override {
        return file_.member_attr(variable, attribute);
    }
    Result<Datatype> datatype(std::string_view name) const override { return file_.datatype(name); }
    std::optional<std::uint64_t> dimension_size(std::string_view name) const override {
        return file_.dimension_size(name);
    }
    std::optional<DimensionIds> dimension_ids(std::string_view name) const override {
        return file_.dimension_ids(name);
    }

    std::vector<std::string> member_names() const override { return file_.member_names(); }
    std::vector<std::string> attribute_names() const override { return file_.attribute_names(); }

private:
    File file_;
};

template <class File>
Result<std::unique_ptr<ModelReader>> open_as(FileReader reader) {
    TARQ_TRY(File file, File::open(std::move(reader)));
    return std::make_unique<ReaderOf<File>>(std::move(file));
}

}  // namespace

Result<std::unique_ptr<ModelReader>> open_model_reader(std::string_view path) {
    TARQ_TRY(FileReader reader, FileReader::open(path));
    // A file shorter than the magic number is the HDF5 reader's to refuse.
    const auto magic = reader.read_at(0, 4);
    if (magic && netcdf3::has_classic_magic(*magic)) return open_as<Netcdf3File>(std::move(reader));
    return open_as<Hdf5File>(std::move(reader));
}

}  // namespace tarq
