#pragma once
// The element types both readers decode, reduced to what conversion needs:
// HDF5 fixed-point and IEEE float datatypes, and the classic netCDF nc_types.

#include <cstdint>

namespace tarq {

// Fixed-point types are named by size; Datatype::is_signed gives the sign.
enum class ElementType { F32, F64, I16, I32, I64, Byte };

// Datatype message (HDF5 format IV.A.2.d), or a classic nc_type, reduced to
// what decoding needs.
struct Datatype {
    ElementType type = ElementType::Byte;
    bool big_endian = false;
    bool is_signed = false;  // fixed point only; strings are unsigned bytes
    bool text = false;       // characters (HDF5 strings, classic NC_CHAR), never numbers
};

// Element size in bytes of a supported element type.
[[nodiscard]] constexpr std::uint64_t element_size(ElementType type) noexcept {
    switch (type) {
        case ElementType::F32: return 4;
        case ElementType::F64: return 8;
        case ElementType::I16: return 2;
        case ElementType::I32: return 4;
        case ElementType::I64: return 8;
        case ElementType::Byte: return 1;
    }
    return 1;
}

}  // namespace tarq
