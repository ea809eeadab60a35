#include "netcdf3/header.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "io/checked.h"
#include "io/convert.h"
#include "io/io_error.h"

namespace tarq::netcdf3 {

namespace {

constexpr std::uint32_t kAbsent = 0x00;
constexpr std::uint32_t kDimensionTag = 0x0A;
constexpr std::uint32_t kVariableTag = 0x0B;
constexpr std::uint32_t kAttributeTag = 0x0C;
// First read of the header; doubled while the header runs past it.
constexpr std::uint64_t kFirstHeaderRead = 64 * 1024;

std::unexpected<TarqError> malformed(const std::string& what) {
    return netcdf_error("Malformed netCDF classic header: " + what);
}

std::uint64_t padded4(std::uint64_t n) { return (n + 3) / 4 * 4; }

// Thrown-free reading of big-endian fields from the bytes read so far.
// Running past them is remembered apart from other errors, so that the caller
// can read more of the file and parse again.
class Cursor {
public:
    Cursor(ByteSpan bytes, std::uint8_t version, std::uint64_t file_size)
        : bytes_(bytes), version_(version), file_size_(file_size) {}

    std::optional<std::uint64_t> uint(std::size_t width) {
        if (!fits(bytes_.size(), at_, width)) {
            exhausted_ = true;
            return std::nullopt;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i) value = (value << 8) | bytes_[at_ + i];
        at_ += width;
        return value;
    }
    std::optional<std::uint64_t> u32() { return uint(4); }
    // NON_NEG: counts, lengths, dimension ids and sizes.
    std::optional<std::uint64_t> count() { return uint(version_ == 5 ? 8 : 4); }
    // OFFSET: the begin of a variable's data.
    std::optional<std::uint64_t> offset() { return uint(version_ == 1 ? 4 : 8); }

    std::optional<ByteSpan> take(std::uint64_t n) {
        if (!fits(bytes_.size(), at_, n)) {
            exhausted_ = true;
            return std::nullopt;
        }
        const ByteSpan out = bytes_.subspan(at_, n);
        at_ += n;
        return out;
    }

    // A count of items of at least min_bytes each must fit in the file.
    [[nodiscard]] bool plausible(std::uint64_t count, std::uint64_t min_bytes) const {
        const auto need = checked_mul(count, min_bytes);
        return need && fits(file_size_, at_, *need);
    }

    [[nodiscard]] bool exhausted() const { return exhausted_; }
    [[nodiscard]] std::uint64_t position() const { return at_; }
    [[nodiscard]] std::uint8_t version() const { return version_; }

private:
    ByteSpan bytes_;
    std::uint8_t version_;
    std::uint64_t file_size_;
    std::uint64_t at_ = 0;
    bool exhausted_ = false;
};

// Bytes of one element, or nothing for a type the version does not have.
std::optional<Datatype> datatype_of(std::uint64_t code, std::uint8_t version) {
    Datatype type;
    type.big_endian = true;
    switch (code) {
        case 1: type.type = ElementType::Byte; type.is_signed = true; return type;
        case 2: type.type = ElementType::Byte; type.text = true; return type;
        case 3: type.type = ElementType::I16; type.is_signed = true; return type;
        case 4: type.type = ElementType::I32; type.is_signed = true; return type;
        case 5: type.type = ElementType::F32; return type;
        case 6: type.type = ElementType::F64; return type;
        default: break;
    }
    if (version != 5) return std::nullopt;
    switch (code) {
        case 7: type.type = ElementType::Byte; return type;
        case 8: type.type = ElementType::I16; return type;
        case 9: type.type = ElementType::I32; return type;
        case 10: type.type = ElementType::I64; type.is_signed = true; return type;
        case 11: type.type = ElementType::I64; return type;
        default: return std::nullopt;
    }
}

Result<Datatype> read_type(Cursor& in, const std::string& owner) {
    const auto code = in.u32();
    if (!code) return malformed("truncated");
    const auto type = datatype_of(*code, in.version());
    if (!type) return malformed("unknown type " + std::to_string(*code) + " of '" + owner + "'");
    return *type;
}

Result<std::string> read_name(Cursor& in) {
    const auto length = in.count();
    if (!length) return malformed("truncated");
    if (*length == 0) return malformed("empty name");
    // Bounded by the file before padding, so that the padding cannot wrap.
    if (!in.plausible(*length, 1) || !in.plausible(padded4(*length), 1))
        return malformed("name of " + std::to_string(*length) + " bytes");
    const auto bytes = in.take(padded4(*length));
    if (!bytes) return malformed("truncated");
    return utf8_lossy(bytes->first(*length));
}

// The value as the HDF5 reader keeps the same attribute of a netCDF-4 file:
// float, double and 4-byte integers are numbers; characters, 1-byte integers
// and the other sizes are text. `numbers` holds every element of every
// numeric type.
AttrValue attribute_value(const Datatype& type, ByteSpan values) {
    std::vector<double> numbers;
    if (!type.text) numbers = convert_to_f64(values, type);
    if (!numbers.empty()) {
        const double first = numbers.front();
        if (type.type == ElementType::F64) return AttrValue{first, std::move(numbers)};
        if (type.type == ElementType::F32) return AttrValue{static_cast<float>(first), std::move(numbers)};
        if (type.type == ElementType::I32 && (type.is_signed || first <= 2147483647.0))
            return AttrValue{static_cast<std::int32_t>(first), std::move(numbers)};
        if (type.type == ElementType::I32) return AttrValue{first, std::move(numbers)};
    }
    // Text loses its trailing NULs, as in the HDF5 reader.
    return AttrValue{strip_trailing_nuls(utf8_lossy(values)), std::move(numbers)};
}

Result<std::vector<Attribute>> read_attributes(Cursor& in) {
    const auto tag = in.u32();
    const auto count = in.count();
    if (!tag || !count) return malformed("truncated");
    if (*tag == kAbsent && *count == 0) return std::vector<Attribute>{};
    if (*tag != kAttributeTag) return malformed("expected an attribute list, found tag " + std::to_string(*tag));
    // name length, name, type, count: at least 16 bytes each
    if (!in.plausible(*count, 16)) return malformed(std::to_string(*count) + " attributes");
    std::vector<Attribute> attributes;
    attributes.reserve(static_cast<std::size_t>(*count));
    for (std::uint64_t i = 0; i < *count; ++i) {
        TARQ_TRY(std::string name, read_name(in));
        TARQ_TRY(const Datatype type, read_type(in, name));
        const auto n = in.count();
        if (!n) return malformed("truncated");
        const auto bytes = checked_mul(*n, element_size(type.type));
        if (!bytes || !in.plausible(*bytes, 1) || !in.plausible(padded4(*bytes), 1))
            return malformed("attribute '" + name + "' of " + std::to_string(*n) + " values");
        const auto values = in.take(padded4(*bytes));
        if (!values) return malformed("truncated");
        attributes.push_back({std::move(name), attribute_value(type, values->first(*bytes))});
    }
    return attributes;
}

Result<std::vector<Dimension>> read_dimensions(Cursor& in) {
    const auto tag = in.u32();
    const auto count = in.count();
    if (!tag || !count) return malformed("truncated");
    if (*tag == kAbsent && *count == 0) return std::vector<Dimension>{};
    if (*tag != kDimensionTag) return malformed("expected a dimension list, found tag " + std::to_string(*tag));
    if (!in.plausible(*count, 12)) return malformed(std::to_string(*count) + " dimensions");
    std::vector<Dimension> dimensions;
    dimensions.reserve(static_cast<std::size_t>(*count));
    bool record = false;
    for (std::uint64_t i = 0; i < *count; ++i) {
        TARQ_TRY(std::string name, read_name(in));
        const auto length = in.count();
        if (!length) return malformed("truncated");
        if (*length == 0 && std::exchange(record, true)) return malformed("more than one record dimension");
        dimensions.push_back({std::move(name), *length});
    }
    return dimensions;
}

// Shape, record flag and data size of a variable from its dimension ids.
Result<void> shape_variable(Variable& var, const std::vector<std::uint64_t>& ids,
                            const std::vector<Dimension>& dimensions, std::uint64_t numrecs) {
    std::uint64_t bytes = element_size(var.datatype.type);
    bool overflow = false;
    for (std::size_t k = 0; k < ids.size(); ++k) {
        if (ids[k] >= dimensions.size())
            return malformed("variable '" + var.name + "' uses dimension id " + std::to_string(ids[k]));
        const std::uint64_t length = dimensions[ids[k]].length;
        if (length == 0) {
            if (k != 0) return malformed("variable '" + var.name + "' has the record dimension after the first");
            var.is_record = true;
            var.shape.push_back(numrecs);
            continue;
        }
        var.shape.push_back(length);
        const auto grown = checked_mul(bytes, length);
        overflow = overflow || !grown;
        bytes = grown.value_or(0);
    }
    if (overflow) return malformed("variable '" + var.name + "' is too large");
    var.slab_bytes = bytes;
    return {};
}

Result<std::vector<Variable>> read_variables(Cursor& in, const std::vector<Dimension>& dimensions,
                                             std::uint64_t numrecs) {
    const auto tag = in.u32();
    const auto count = in.count();
    if (!tag || !count) return malformed("truncated");
    if (*tag == kAbsent && *count == 0) return std::vector<Variable>{};
    if (*tag != kVariableTag) return malformed("expected a variable list, found tag " + std::to_string(*tag));
    if (!in.plausible(*count, 28)) return malformed(std::to_string(*count) + " variables");
    std::vector<Variable> variables;
    variables.reserve(static_cast<std::size_t>(*count));
    for (std::uint64_t i = 0; i < *count; ++i) {
        Variable var;
        TARQ_TRY(var.name, read_name(in));
        const auto rank = in.count();
        if (!rank) return malformed("truncated");
        if (!in.plausible(*rank, in.version() == 5 ? 8 : 4))
            return malformed("variable '" + var.name + "' of rank " + std::to_string(*rank));
        std::vector<std::uint64_t> ids;
        for (std::uint64_t k = 0; k < *rank; ++k) {
            const auto id = in.count();
            if (!id) return malformed("truncated");
            ids.push_back(*id);
        }
        TARQ_TRY(var.attributes, read_attributes(in));
        TARQ_TRY(var.datatype, read_type(in, var.name));
        const auto vsize = in.count();  // redundant, and clipped for large variables: recomputed
        const auto begin = in.offset();
        if (!vsize || !begin) return malformed("truncated");
        var.begin = *begin;
        IO_CHECK(shape_variable(var, ids, dimensions, numrecs));
        var.dimension_ids = std::move(ids);
        variables.push_back(std::move(var));
    }
    return variables;
}

// Bytes between records: every record variable's data padded to 4 bytes,
// except that a single record variable is not padded.
Result<std::uint64_t> record_size(const std::vector<Variable>& variables) {
    std::uint64_t total = 0;
    std::size_t record_variables = 0;
    std::uint64_t single = 0;
    for (const Variable& var : variables) {
        if (!var.is_record) continue;
        ++record_variables;
        single = var.slab_bytes;
        const auto sum = checked_add(total, padded4(var.slab_bytes));
        if (!sum || var.slab_bytes > std::numeric_limits<std::uint64_t>::max() - 3)
            return malformed("records are too large");
        total = *sum;
    }
    return record_variables == 1 ? single : total;
}

struct Extent {
    std::uint64_t begin;
    std::uint64_t end;
    std::string name;
};

Result<void> check_disjoint(std::vector<Extent> extents) {
    std::sort(extents.begin(), extents.end(), [](const Extent& a, const Extent& b) { return a.begin < b.begin; });
    for (std::size_t i = 1; i < extents.size(); ++i)
        if (extents[i].begin < extents[i - 1].end)
            return malformed("data of " + extents[i - 1].name + " and " + extents[i].name + " overlap");
    return {};
}

// No data lie inside the header; the fixed-size variables and the records
// share no bytes; within a record, the record variables share none either.
Result<void> check_extents(const Header& header, std::uint64_t header_end) {
    std::vector<Extent> fixed, in_record;
    std::uint64_t records_begin = std::numeric_limits<std::uint64_t>::max();
    for (const Variable& var : header.variables) {
        const auto end = checked_add(var.begin, var.slab_bytes);
        if (!end) return malformed("data of '" + var.name + "' end past 2^64");
        if (var.begin < header_end) return malformed("data of '" + var.name + "' begin inside the header");
        if (var.is_record) records_begin = std::min(records_begin, var.begin);
        if (var.slab_bytes == 0) continue;
        (var.is_record ? in_record : fixed).push_back({var.begin, *end, "'" + var.name + "'"});
    }
    IO_CHECK(check_disjoint(in_record));
    for (const Extent& e : in_record)
        if (e.end - records_begin > header.record_bytes) return malformed("data of " + e.name + " overlap the next record");
    if (!in_record.empty()) {
        const auto span = checked_mul(header.numrecs, header.record_bytes);
        const auto end = span ? checked_add(records_begin, *span) : std::nullopt;
        if (!end) return malformed(std::to_string(header.numrecs) + " records");
        fixed.push_back({records_begin, *end, "the records"});
    }
    return check_disjoint(std::move(fixed));
}

// A record count of all ones means a file still being written: the number of
// whole records the file holds.
std::uint64_t streaming_records(const Header& header, std::uint64_t file_size) {
    std::uint64_t first = std::numeric_limits<std::uint64_t>::max();
    for (const Variable& var : header.variables)
        if (var.is_record) first = std::min(first, var.begin);
    if (header.record_bytes == 0 || first >= file_size) return 0;
    return (file_size - first) / header.record_bytes;
}

// The records the file holds whole: those whose record variables' data all
// end within the file (the padding after the last one may be missing).
std::uint64_t records_held(const Header& header, std::uint64_t file_size) {
    std::uint64_t first = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t reach = 0;  // from the first record variable's data to the last one's end
    for (const Variable& var : header.variables) {
        if (!var.is_record) continue;
        first = std::min(first, var.begin);
    }
    for (const Variable& var : header.variables)
        if (var.is_record) reach = std::max(reach, var.begin - first + var.slab_bytes);
    if (first == std::numeric_limits<std::uint64_t>::max() || first >= file_size || file_size - first < reach) return 0;
    if (header.record_bytes == 0) return std::numeric_limits<std::uint64_t>::max();
    return (file_size - first - reach) / header.record_bytes + 1;
}

Result<Header> parse(ByteSpan bytes, std::uint64_t file_size, bool& exhausted) {
    Header header;
    header.version = bytes[3];
    Cursor in(bytes, header.version, file_size);
    in.take(4);
    const auto numrecs = in.count();
    exhausted = false;
    const auto finish = [&](Result<Header> result) {
        exhausted = in.exhausted();
        return result;
    };
    if (!numrecs) return finish(malformed("truncated"));
    const std::uint64_t streaming = header.version == 5 ? ~std::uint64_t{0} : 0xFFFFFFFFull;
    auto dimensions = read_dimensions(in);
    if (!dimensions) return finish(std::unexpected(dimensions.error()));
    header.dimensions = std::move(*dimensions);
    auto attributes = read_attributes(in);
    if (!attributes) return finish(std::unexpected(attributes.error()));
    header.attributes = std::move(*attributes);
    auto variables = read_variables(in, header.dimensions, *numrecs == streaming ? 0 : *numrecs);
    if (!variables) return finish(std::unexpected(variables.error()));
    header.variables = std::move(*variables);
    auto records = record_size(header.variables);
    if (!records) return finish(std::unexpected(records.error()));
    header.record_bytes = *records;
    header.numrecs = *numrecs == streaming ? streaming_records(header, file_size) : *numrecs;
    for (Variable& var : header.variables)
        if (var.is_record) var.shape[0] = header.numrecs;
    if (auto checked = check_extents(header, in.position()); !checked) return finish(std::unexpected(checked.error()));
    // A record count the file cannot hold would open and then fail every
    // read of a record.
    if (const auto held = records_held(header, file_size); header.numrecs > held)
        return finish(malformed("record count " + std::to_string(header.numrecs) + " but the file holds " +
                                std::to_string(held) + " whole record" + (held == 1 ? "" : "s")));
    return finish(std::move(header));
}

}  // namespace

bool has_classic_magic(ByteSpan first_bytes) noexcept {
    return first_bytes.size() >= 4 && std::memcmp(first_bytes.data(), "CDF", 3) == 0;
}

Result<Header> read_header(const FileReader& file) {
    TARQ_TRY(const Bytes magic, file.read_at(0, 4));
    if (!has_classic_magic(magic)) return netcdf_error("Not a netCDF classic file");
    const std::uint8_t version = magic[3];
    if (version != 1 && version != 2 && version != 5)
        return netcdf_error("Unsupported netCDF classic format version " + std::to_string(version));
    // The header's size is known only once it is parsed: read a first part
    // and, while the parse runs past it, twice as much.
    std::uint64_t length = std::min(file.size(), kFirstHeaderRead);
    for (;;) {
        TARQ_TRY(const Bytes bytes, file.read_at(0, length));
        bool exhausted = false;
        auto header = parse(bytes, file.size(), exhausted);
        if (header || !exhausted || length == file.size()) return header;
        length = std::min(file.size(), length * 2);
    }
}

}  // namespace tarq::netcdf3
