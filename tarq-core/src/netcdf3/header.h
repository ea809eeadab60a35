#pragma once
// The header of a classic netCDF file: CDF-1 (classic), CDF-2 (64-bit offset)
// and CDF-5 (64-bit data), as Unidata's description of the classic format lays
// it out. Every field is big-endian; every count and offset is untrusted and
// checked against the file's size before anything is allocated for it.

#include <cstdint>
#include <string>
#include <vector>

#include "io/attr_value.h"
#include "io/bytes.h"
#include "io/element_type.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::netcdf3 {

// nc_type codes; 7 to 11 exist in CDF-5 only.
enum class NcType : std::uint32_t {
    Byte = 1,
    Char = 2,
    Short = 3,
    Int = 4,
    Float = 5,
    Double = 6,
    UByte = 7,
    UShort = 8,
    UInt = 9,
    Int64 = 10,
    UInt64 = 11,
};

struct Dimension {
    std::string name;
    std::uint64_t length = 0;  // 0 for the record dimension
};

struct Attribute {
    std::string name;
    AttrValue value;
};

struct Variable {
    std::string name;
    std::vector<std::uint64_t> shape;  // the record dimension counts numrecs
    std::vector<std::uint64_t> dimension_ids;  // indices into Header::dimensions
    std::vector<Attribute> attributes;
    Datatype datatype;
    bool is_record = false;
    std::uint64_t begin = 0;       // file offset of the data (of the first record)
    std::uint64_t slab_bytes = 0;  // bytes of one record, or of the whole variable
};

struct Header {
    std::uint8_t version = 1;
    std::uint64_t numrecs = 0;
    std::uint64_t record_bytes = 0;  // distance between two records
    std::vector<Dimension> dimensions;
    std::vector<Attribute> attributes;
    std::vector<Variable> variables;
};

// True when the first bytes are "CDF" followed by any version byte.
[[nodiscard]] bool has_classic_magic(ByteSpan first_bytes) noexcept;

// Reads and checks the header: versions 1, 2 and 5, at most one record
// dimension (first in every variable that uses it), data of different
// variables that do not overlap each other or the header.
[[nodiscard]] Result<Header> read_header(const FileReader& file);

}  // namespace tarq::netcdf3
