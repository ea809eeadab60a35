#include "hdf5/attribute.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "hdf5/btree_v2.h"
#include "hdf5/dataset_info.h"
#include "hdf5/dataspace.h"
#include "hdf5/datatype.h"
#include "hdf5/fractal_heap.h"
#include "hdf5/object_header.h"
#include "io/checked.h"
#include "io/convert.h"

namespace tarq::hdf5 {

namespace {

std::size_t align8(std::size_t n) { return (n + 7) / 8 * 8; }

template <class U>
U load_bits(ByteSpan data, bool big_endian) {
    U bits = 0;
    std::memcpy(&bits, data.data(), sizeof(U));
    if ((std::endian::native == std::endian::big) != big_endian) bits = std::byteswap(bits);
    return bits;
}

Result<AttrValue> numeric_value(const Datatype& type, ByteSpan data) {
    const bool be = type.big_endian;
    switch (type.type) {
        case ElementType::F64:
            if (data.size() < 8) return netcdf_error("F64 attr data too short");
            return AttrValue{std::bit_cast<double>(load_bits<std::uint64_t>(data, be)), {}};
        case ElementType::F32:
            if (data.size() < 4) return netcdf_error("F32 attr data too short");
            return AttrValue{std::bit_cast<float>(load_bits<std::uint32_t>(data, be)), {}};
        case ElementType::I32: {
            if (data.size() < 4) return netcdf_error("I32 attr data too short");
            const auto bits = load_bits<std::uint32_t>(data, be);
            // An unsigned value above 2^31 - 1 is kept exactly as float64.
            if (!type.is_signed && bits > 0x7FFFFFFFu) return AttrValue{static_cast<double>(bits), {}};
            return AttrValue{std::bit_cast<std::int32_t>(bits), {}};
        }
        case ElementType::I16:
        case ElementType::I64:
        case ElementType::Byte: break;
    }
    return netcdf_error("not numeric");
}

// Every element as float64 of a numeric type of any size; nothing for text.
std::vector<double> all_numbers(const Datatype& type, ByteSpan data, std::uint64_t count) {
    if (type.text) return {};
    const std::uint64_t stored = data.size() / element_size(type.type);
    const auto n = static_cast<std::size_t>(std::min(stored, count));
    return convert_to_f64(data.first(n * element_size(type.type)), type);
}

}  // namespace

Result<NamedAttribute> parse_attribute_message(ByteSpan m) {
    const std::size_t length = m.size();
    if (length <= 5) return netcdf_error("Attribute message too short");
    const std::uint8_t version = m[0];
    if (version < 1 || version > 3) return netcdf_error("Unsupported attribute version " + std::to_string(version));
    const std::size_t fixed = version == 3 ? 9 : 8;
    if (length < fixed) return netcdf_error("Attribute message too short");
    const std::size_t name_size = le_uint_unchecked(m, 2, 2);
    const std::size_t datatype_size = le_uint_unchecked(m, 4, 2);
    const std::size_t dataspace_size = le_uint_unchecked(m, 6, 2);
    const auto field_end = [version](std::size_t end) { return version == 1 ? align8(end) : end; };

    if (!fits(length, fixed, name_size)) return netcdf_error("Attribute name overflow");
    NamedAttribute attribute;
    attribute.name = strip_trailing_nuls(utf8_lossy(m.subspan(fixed, name_size)));
    const std::size_t datatype_at = field_end(fixed + name_size);
    if (!fits(length, datatype_at, datatype_size)) return netcdf_error("Attribute datatype overflow");
    const std::size_t dataspace_at = field_end(datatype_at + datatype_size);
    if (!fits(length, dataspace_at, dataspace_size)) return netcdf_error("Attribute dataspace overflow");
    const std::size_t data_at = field_end(dataspace_at + dataspace_size);
    if (data_at > length) return netcdf_error("Attribute dataspace overflow");
    const ByteSpan data = m.subspan(data_at);

    TARQ_TRY(const std::vector<std::uint64_t> dims, parse_dataspace(m.subspan(dataspace_at, dataspace_size)));
    // Versions 2 and 3 flag a shared (committed) datatype in bit 0: its bytes
    // only point at the real one, so such a value is kept as text.
    const bool shared_type = version >= 2 && (m[1] & 0x01);
    const auto type = shared_type ? netcdf_error("shared datatype") : parse_datatype(m.subspan(datatype_at, datatype_size));
    const std::uint64_t count = element_count(dims).value_or(~std::uint64_t{0});
    if (type && type->type != ElementType::Byte && type->type != ElementType::I16 && type->type != ElementType::I64) {
        TARQ_TRY(attribute.value, numeric_value(*type, data));
        attribute.value.numbers = all_numbers(*type, data, count);
        return attribute;
    }
    // A string's elements are as long as its datatype says (netCDF-4 keeps
    // text as one scalar string of its full length).
    const std::uint64_t width =
        type && type->text ? std::max<std::uint64_t>(1, le_uint_unchecked(m.subspan(datatype_at), 4, 4)) : 1;
    const auto chars = checked_mul(count, width).value_or(~std::uint64_t{0});
    const std::size_t text_size = static_cast<std::size_t>(std::min<std::uint64_t>(data.size(), chars));
    attribute.value = AttrValue{strip_trailing_nuls(utf8_lossy(data.first(text_size))), {}};
    if (type) attribute.value.numbers = all_numbers(*type, data, count);
    return attribute;
}

Result<AttributeTable> collect_v1_attributes(const FileReader& file, std::uint64_t header) {
    AttributeTable table;
    IO_CHECK(walk_object_header(file, header, [&](std::uint16_t type, std::uint8_t, ByteSpan data) -> Result<void> {
        if (type != message_type::kAttribute) return {};
        if (auto attribute = parse_attribute_message(data))
            table.insert_or_assign(std::move(attribute->name), std::move(attribute->value));
        return {};
    }));
    return table;
}

Result<AttributeTable> collect_v2_attributes(const FileReader& file, std::uint64_t header) {
    AttributeTable table;
    std::uint64_t heap_address = UNDEFINED_ADDRESS;
    std::uint64_t btree_address = UNDEFINED_ADDRESS;
    IO_CHECK(walk_v2_object_header(file, header, [&](std::uint16_t type, std::uint8_t, ByteSpan data) -> Result<void> {
        if (type == message_type::kAttribute) {
            if (auto attribute = parse_attribute_message(data))
                table.insert_or_assign(std::move(attribute->name), std::move(attribute->value));
        } else if (type == message_type::kAttributeInfo && data.size() >= 2) {
            // Attribute Info: version, flags, [max creation index u16], heap, name B-tree.
            const std::size_t heap_at = 2 + ((data[1] & 0x01) ? 2 : 0);
            if (const auto heap = le_uint(data, heap_at, 8); heap && *heap != UNDEFINED_ADDRESS) heap_address = *heap;
            if (const auto btree = le_uint(data, heap_at + 8, 8); btree && *btree != UNDEFINED_ADDRESS)
                btree_address = *btree;
        }
        return {};
    }));
    if (heap_address == UNDEFINED_ADDRESS || btree_address == UNDEFINED_ADDRESS) return table;
    TARQ_TRY(const FractalHeap heap, read_fractal_heap(file, heap_address));
    TARQ_TRY(const std::vector<Bytes> ids, collect_btree2_records(file, btree_address));
    // A heap object that cannot be read is corruption, never an absent
    // attribute: its default would stand in silently.
    for (const Bytes& id : ids) {
        TARQ_TRY(const Bytes object, heap_object(file, heap, id));
        if (auto attribute = parse_attribute_message(object))
            table.insert_or_assign(std::move(attribute->name), std::move(attribute->value));
    }
    return table;
}

Result<AttributeTable> collect_object_attributes(const FileReader& file, std::uint64_t header) {
    TARQ_TRY(const std::uint8_t first, file.u8(header));
    if (first == 'O') return collect_v2_attributes(file, header);
    return collect_v1_attributes(file, header);
}

}  // namespace tarq::hdf5
