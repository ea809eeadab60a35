#pragma once
// Attribute message (HDF5 format IV.A.2.m) and the root group's attribute
// table, compact or dense (Attribute Info message, IV.A.2.v).

#include <cstdint>
#include <string>
#include <unordered_map>

#include "hdf5/bytes.h"
#include "io/attr_value.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

using AttributeTable = std::unordered_map<std::string, AttrValue>;

struct NamedAttribute {
    std::string name;
    AttrValue value;
};

[[nodiscard]] Result<NamedAttribute> parse_attribute_message(ByteSpan message);

// The Attribute messages of a version 1 root header.
[[nodiscard]] Result<AttributeTable> collect_v1_attributes(const FileReader& file, std::uint64_t header);

// The Attribute messages of a version 2 ("OHDR") root header, then its dense
// attributes.
[[nodiscard]] Result<AttributeTable> collect_v2_attributes(const FileReader& file, std::uint64_t header);

// The attributes of any object (a dataset's, for one) by its header version.
[[nodiscard]] Result<AttributeTable> collect_object_attributes(const FileReader& file, std::uint64_t header);

}  // namespace tarq::hdf5
