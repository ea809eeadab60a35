#include "hdf5/datatype.h"

#include <string>

namespace tarq::hdf5 {

Result<Datatype> parse_datatype(ByteSpan message) {
    if (message.size() < 8) return netcdf_error("Datatype message too short");
    const unsigned type_class = message[0] & 0x0F;
    const std::uint8_t bits = message[1];
    const std::uint64_t size = le_uint_unchecked(message, 4, 4);
    Datatype datatype;
    switch (type_class) {
        case 0:  // fixed point: bit 0 byte order, bit 3 signed
            datatype.big_endian = bits & 0x01;
            datatype.is_signed = bits & 0x08;
            if (size == 1) datatype.type = ElementType::Byte;
            else if (size == 2) datatype.type = ElementType::I16;
            else if (size == 4) datatype.type = ElementType::I32;
            else if (size == 8) datatype.type = ElementType::I64;
            else return netcdf_error("Unsupported integer size " + std::to_string(size));
            return datatype;
        case 1:  // floating point: bits 0 and 6 byte order, both set for VAX order
            if (bits & 0x40) return netcdf_error("Unsupported float byte order (VAX)");
            datatype.big_endian = bits & 0x01;
            if (size == 4) datatype.type = ElementType::F32;
            else if (size == 8) datatype.type = ElementType::F64;
            else return netcdf_error("Unsupported float size " + std::to_string(size));
            return datatype;
        case 3:  // string: unsigned bytes whatever its declared size
            datatype.type = ElementType::Byte;
            datatype.text = true;
            return datatype;
        default:
            return netcdf_error("Unsupported datatype class " + std::to_string(type_class));
    }
}

}  // namespace tarq::hdf5
