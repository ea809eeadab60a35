#include "hdf5/dimension_scales.h"

#include <optional>
#include <string>
#include <string_view>

#include "hdf5/dataspace.h"
#include "hdf5/object_header.h"

namespace tarq::hdf5 {

namespace {

constexpr std::string_view kReferenceList = "REFERENCE_LIST";
constexpr std::uint8_t kFixedPointClass = 0;
constexpr std::uint8_t kFloatClass = 1;
constexpr std::uint8_t kCompoundClass = 6;
constexpr std::uint8_t kReferenceClass = 7;

std::size_t align8(std::size_t n) { return (n + 7) / 8 * 8; }

// Name, datatype, dataspace and data of an Attribute message (HDF5 format
// IV.A.2.m).
struct AttributeParts {
    std::string_view name;
    ByteSpan datatype;
    ByteSpan dataspace;
    ByteSpan data;
};

std::optional<AttributeParts> split_attribute(ByteSpan m) {
    if (m.size() < 8 || m[0] < 1 || m[0] > 3) return std::nullopt;
    const std::uint8_t version = m[0];
    const std::size_t fixed = version == 3 ? 9 : 8;
    const std::size_t name_size = le_uint_unchecked(m, 2, 2);
    const std::size_t datatype_size = le_uint_unchecked(m, 4, 2);
    const std::size_t dataspace_size = le_uint_unchecked(m, 6, 2);
    const auto field_end = [version](std::size_t end) { return version == 1 ? align8(end) : end; };
    if (!fits(m.size(), fixed, name_size)) return std::nullopt;
    const std::size_t datatype_at = field_end(fixed + name_size);
    if (!fits(m.size(), datatype_at, datatype_size)) return std::nullopt;
    const std::size_t dataspace_at = field_end(datatype_at + datatype_size);
    if (!fits(m.size(), dataspace_at, dataspace_size)) return std::nullopt;
    const std::size_t data_at = field_end(dataspace_at + dataspace_size);
    if (data_at > m.size()) return std::nullopt;
    std::string_view name(reinterpret_cast<const char*>(m.data() + fixed), name_size);
    while (!name.empty() && name.back() == '\0') name.remove_suffix(1);
    return AttributeParts{name, m.subspan(datatype_at, datatype_size), m.subspan(dataspace_at, dataspace_size),
                          m.subspan(data_at)};
}

// Bytes of a member's datatype message, for the member classes a
// REFERENCE_LIST holds (HDF5 format IV.A.2.d).
std::optional<std::size_t> member_type_size(ByteSpan type) {
    if (type.size() < 8) return std::nullopt;
    switch (type[0] & 0x0F) {
        case kFixedPointClass: return 12;
        case kFloatClass: return 20;
        case kReferenceClass: return 8;
        default: return std::nullopt;
    }
}

struct Member {
    std::string name;
    std::uint64_t offset = 0;
    std::uint8_t type_class = 0;
    std::uint64_t size = 0;
    bool big_endian = false;
};

// Members of a compound datatype, versions 1 to 3.
std::optional<std::vector<Member>> compound_members(ByteSpan type) {
    if (type.size() < 8 || (type[0] & 0x0F) != kCompoundClass) return std::nullopt;
    const unsigned version = type[0] >> 4;
    const std::size_t count = le_uint_unchecked(type, 1, 2);
    const std::uint64_t compound_size = le_uint_unchecked(type, 4, 4);
    std::size_t offset_width = 1;
    while (offset_width < 8 && (compound_size >> (8 * offset_width)) != 0) ++offset_width;
    std::vector<Member> members;
    std::size_t at = 8;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t end = at;
        while (end < type.size() && type[end] != 0) ++end;
        if (end >= type.size()) return std::nullopt;
        Member member;
        member.name.assign(reinterpret_cast<const char*>(type.data() + at), end - at);
        at = version == 3 ? end + 1 : at + align8(end - at + 1);
        const std::size_t width = version == 3 ? offset_width : 4;
        const auto offset = le_uint(type, at, width);
        if (!offset) return std::nullopt;
        member.offset = *offset;
        at += width + (version == 1 ? 28 : 0);  // version 1: dimensionality, permutation, sizes
        if (at > type.size()) return std::nullopt;
        const ByteSpan member_type = type.subspan(at);
        const auto type_size = member_type_size(member_type);
        if (!type_size || *type_size > member_type.size()) return std::nullopt;
        member.type_class = member_type[0] & 0x0F;
        member.big_endian = member.type_class == kFixedPointClass && (member_type[1] & 0x01);
        member.size = le_uint_unchecked(member_type, 4, 4);
        at += *type_size;
        members.push_back(std::move(member));
    }
    return members;
}

const Member* find_member(const std::vector<Member>& members, std::string_view name, std::uint8_t type_class,
                          std::uint64_t size) {
    for (const Member& m : members) {
        if (m.name == name && m.type_class == type_class && m.size == size) return &m;
    }
    return nullptr;
}

// The entries of a REFERENCE_LIST value: a compound of an object reference
// "dataset" and a 4-byte integer "dimension".
std::vector<ScaleAttachment> reference_list(const AttributeParts& attribute) {
    const auto members = compound_members(attribute.datatype);
    if (!members) return {};
    const Member* dataset = find_member(*members, "dataset", kReferenceClass, 8);
    const Member* dimension = find_member(*members, "dimension", kFixedPointClass, 4);
    if (dataset == nullptr || dimension == nullptr || dimension->big_endian) return {};
    const std::uint64_t element = le_uint_unchecked(attribute.datatype, 4, 4);
    const auto dims = parse_dataspace(attribute.dataspace);
    const auto count = dims ? element_count(*dims) : std::nullopt;
    if (element == 0 || !count || dataset->offset + 8 > element || dimension->offset + 4 > element) return {};
    std::vector<ScaleAttachment> entries;
    for (std::uint64_t i = 0; i < *count && fits(attribute.data.size(), i * element, element); ++i) {
        const ByteSpan entry = attribute.data.subspan(i * element, element);
        entries.push_back({le_uint_unchecked(entry, dataset->offset, 8),
                           static_cast<std::uint32_t>(le_uint_unchecked(entry, dimension->offset, 4))});
    }
    return entries;
}

}  // namespace

Result<std::vector<ScaleAttachment>> scale_attachments(const FileReader& file, std::uint64_t header) {
    std::vector<ScaleAttachment> entries;
    IO_CHECK(walk_object_header(file, header, [&](std::uint16_t type, std::uint8_t, ByteSpan data) -> Result<void> {
        if (type != message_type::kAttribute) return {};
        const auto attribute = split_attribute(data);
        if (attribute && attribute->name == kReferenceList) entries = reference_list(*attribute);
        return {};
    }));
    return entries;
}

}  // namespace tarq::hdf5
