#include "netcdf3/netcdf3_file.h"

#include <algorithm>
#include <unordered_map>

#include "io/checked.h"
#include "io/convert.h"
#include "io/file_reader.h"
#include "io/io_error.h"
#include "netcdf3/header.h"

namespace tarq {

using netcdf3::Variable;

struct Netcdf3File::State {
    State(FileReader reader, netcdf3::Header parsed) : file(std::move(reader)), header(std::move(parsed)) {
        for (std::size_t i = 0; i < header.variables.size(); ++i) variables.emplace(header.variables[i].name, i);
    }

    FileReader file;
    netcdf3::Header header;  // immutable after open
    std::unordered_map<std::string, std::size_t> variables;

    Result<const Variable*> find(std::string_view name) const {
        const auto found = variables.find(std::string(name));
        if (found == variables.end()) return fail(ErrorKind::VarNotFound, std::string(name));
        return &header.variables[found->second];
    }

    // Offset of record `index` of a record variable.
    std::optional<std::uint64_t> record_at(const Variable& var, std::uint64_t index) const {
        const auto skip = checked_mul(index, header.record_bytes);
        return skip ? checked_add(var.begin, *skip) : std::nullopt;
    }

    Result<Bytes> whole(const Variable& var) const {
        if (!var.is_record) return file.read_at(var.begin, var.slab_bytes);
        const std::uint64_t records = header.numrecs;
        if (records == 0 || var.slab_bytes == 0) return Bytes{};
        // Every record must be in the file before the output is allocated.
        const auto last = record_at(var, records - 1);
        if (!last || !fits(file.size(), *last, var.slab_bytes)) return netcdf_error("failed to fill whole buffer");
        if (header.record_bytes == var.slab_bytes) return file.read_at(var.begin, records * var.slab_bytes);
        Bytes out;
        out.reserve(static_cast<std::size_t>(records * var.slab_bytes));
        for (std::uint64_t r = 0; r < records; ++r) {
            TARQ_TRY(const Bytes record, file.read_at(*record_at(var, r), var.slab_bytes));
            out.insert(out.end(), record.begin(), record.end());
        }
        return out;
    }

    Result<Bytes> slab(const Variable& var, std::uint64_t index) const {
        if (var.is_record) {
            if (index >= header.numrecs) return Bytes{};
            const auto at = record_at(var, index);
            if (!at) return netcdf_error("failed to fill whole buffer");
            return file.read_at(*at, var.slab_bytes);
        }
        if (!var.shape.empty() && var.shape[0] == 0) return Bytes{};
        const std::uint64_t slab_bytes = var.shape.empty() ? var.slab_bytes : var.slab_bytes / var.shape[0];
        const auto begin = checked_mul(index, slab_bytes);
        if (!begin || *begin >= var.slab_bytes) return Bytes{};
        return file.read_at(var.begin + *begin, std::min(slab_bytes, var.slab_bytes - *begin));
    }
};

Netcdf3File::Netcdf3File(std::unique_ptr<State> state) : state_(std::move(state)) {}
Netcdf3File::Netcdf3File(Netcdf3File&&) noexcept = default;
Netcdf3File& Netcdf3File::operator=(Netcdf3File&&) noexcept = default;
Netcdf3File::~Netcdf3File() = default;

Result<Netcdf3File> Netcdf3File::open(std::string_view path) {
    TARQ_TRY(FileReader file, FileReader::open(path));
    return open(std::move(file));
}

Result<Netcdf3File> Netcdf3File::open(FileReader file) {
    TARQ_TRY(netcdf3::Header header, netcdf3::read_header(file));
    return Netcdf3File(std::make_unique<State>(std::move(file), std::move(header)));
}

Result<std::vector<std::uint64_t>> Netcdf3File::shape(std::string_view name) const {
    TARQ_TRY(const Variable* var, state_->find(name));
    return var->shape;
}

Result<std::vector<std::uint8_t>> Netcdf3File::read_bytes(std::string_view name) const {
    TARQ_TRY(const Variable* var, state_->find(name));
    return state_->whole(*var);
}

Result<std::vector<double>> Netcdf3File::read_f64(std::string_view name) const {
    TARQ_TRY(const Variable* var, state_->find(name));
    TARQ_TRY(const Bytes bytes, state_->whole(*var));
    return convert_to_f64(bytes, var->datatype);
}

Result<std::vector<double>> Netcdf3File::read_f64_slab(std::string_view name, std::uint64_t index) const {
    TARQ_TRY(const Variable* var, state_->find(name));
    TARQ_TRY(const Bytes bytes, state_->slab(*var, index));
    return convert_to_f64(bytes, var->datatype);
}

Result<std::vector<double>> Netcdf3File::read_f64_box(std::string_view name, std::span<const std::uint64_t> lo,
                                                      std::span<const std::uint64_t> hi) const {
    TARQ_TRY(const Variable* var, state_->find(name));
    const std::size_t rank = var->shape.size();
    if (rank == 0 || lo.size() != rank || hi.size() != rank)
        return netcdf_error("selection of " + std::to_string(lo.size()) + " dimensions for a variable of " +
                            std::to_string(rank));
    std::uint64_t total = 1;
    for (std::size_t k = 0; k < rank; ++k) {
        if (!(lo[k] < hi[k] && hi[k] <= var->shape[k])) return std::vector<double>{};
        const auto n = checked_mul(total, hi[k] - lo[k]);
        if (!n) return netcdf_error("Dataset size overflows");
        total = *n;
    }
    const std::uint64_t e = element_size(var->datatype.type);
    // Each run along the last dimension is one positioned read; runs that
    // follow each other in the file are merged.
    struct Run {
        std::uint64_t offset;
        std::uint64_t count;
    };
    std::vector<Run> runs;
    const std::uint64_t count = hi[rank - 1] - lo[rank - 1];
    std::vector<std::uint64_t> index(lo.begin(), lo.end());
    for (;;) {
        std::uint64_t element = 0;
        for (std::size_t k = var->is_record ? 1 : 0; k < rank; ++k) element = element * var->shape[k] + index[k];
        const auto base = var->is_record ? state_->record_at(*var, index[0]) : std::optional(var->begin);
        const auto within = checked_mul(element, e);
        const auto offset = base && within ? checked_add(*base, *within) : std::nullopt;
        if (!offset || !fits(state_->file.size(), *offset, count * e)) return netcdf_error("failed to fill whole buffer");
        if (!runs.empty() && runs.back().offset + runs.back().count * e == *offset) {
            runs.back().count += count;
        } else {
            runs.push_back({*offset, count});
        }
        std::size_t k = rank - 1;
        bool done = true;
        while (k > 0) {
            --k;
            if (++index[k] < hi[k]) {
                done = false;
                break;
            }
            index[k] = lo[k];
        }
        if (done) break;
    }
    std::vector<double> out;
    out.reserve(static_cast<std::size_t>(total));
    for (const Run& run : runs) {
        TARQ_TRY(const Bytes bytes, state_->file.read_at(run.offset, run.count * e));
        const std::vector<double> values = convert_to_f64(bytes, var->datatype);
        out.insert(out.end(), values.begin(), values.end());
    }
    return out;
}

Result<double> Netcdf3File::attr_f64(std::string_view name) const {
    const std::string key(name);
    const auto& attributes = state_->header.attributes;
    const auto found = std::find_if(attributes.begin(), attributes.end(), [&](const auto& a) { return a.name == key; });
    if (found == attributes.end()) return fail(ErrorKind::AttrNotFound, key);
    return attr_value_f64(key, found->value);
}

Result<std::optional<AttrValue>> Netcdf3File::member_attr(std::string_view variable,
                                                          std::string_view attribute) const {
    TARQ_TRY(const Variable* var, state_->find(variable));
    for (const auto& a : var->attributes)
        if (a.name == attribute) return std::optional<AttrValue>(a.value);
    return std::optional<AttrValue>();
}

Result<Datatype> Netcdf3File::datatype(std::string_view name) const {
    TARQ_TRY(const Variable* var, state_->find(name));
    return var->datatype;
}

std::optional<std::uint64_t> Netcdf3File::dimension_size(std::string_view name) const {
    for (const auto& dim : state_->header.dimensions)
        if (dim.name == name) return dim.length == 0 ? state_->header.numrecs : dim.length;
    return std::nullopt;
}

std::optional<DimensionIds> Netcdf3File::dimension_ids(std::string_view name) const {
    const auto var = state_->find(name);
    if (!var) return std::nullopt;
    return DimensionIds((*var)->dimension_ids.begin(), (*var)->dimension_ids.end());
}

std::vector<std::string> Netcdf3File::member_names() const {
    std::vector<std::string> names;
    for (const auto& var : state_->header.variables) names.push_back(var.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Netcdf3File::attribute_names() const {
    std::vector<std::string> names;
    for (const auto& a : state_->header.attributes) names.push_back(a.name);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace tarq
