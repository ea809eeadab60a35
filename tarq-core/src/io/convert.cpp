#include "io/convert.h"

#include <bit>
#include <cstring>
#include <type_traits>

namespace tarq {

namespace {

template <class T>
T load(const std::uint8_t* p, bool big_endian) {
    using U = std::conditional_t<
        sizeof(T) == 8, std::uint64_t,
        std::conditional_t<sizeof(T) == 4, std::uint32_t,
                           std::conditional_t<sizeof(T) == 2, std::uint16_t, std::uint8_t>>>;
    U bits = 0;
    std::memcpy(&bits, p, sizeof(U));
    if ((std::endian::native == std::endian::big) != big_endian) bits = std::byteswap(bits);
    return std::bit_cast<T>(bits);
}

template <class T>
void convert_as(ByteSpan bytes, bool byte_planes, std::uint64_t first, std::uint64_t count, bool big_endian,
                double* out) {
    const std::uint8_t* p = bytes.data();
    if (!byte_planes) {
        for (std::uint64_t i = 0; i < count; ++i) out[i] = static_cast<double>(load<T>(p + (first + i) * sizeof(T), big_endian));
        return;
    }
    const std::size_t planes = bytes.size() / sizeof(T);
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint8_t element[sizeof(T)];
        for (std::size_t b = 0; b < sizeof(T); ++b) element[b] = p[b * planes + first + i];
        out[i] = static_cast<double>(load<T>(element, big_endian));
    }
}

}  // namespace

void convert_elements_f64(ByteSpan bytes, bool byte_planes, const Datatype& datatype, std::uint64_t first,
                          std::uint64_t count, double* out) {
    const bool be = datatype.big_endian;
    switch (datatype.type) {
        case ElementType::F64: return convert_as<double>(bytes, byte_planes, first, count, be, out);
        case ElementType::F32: return convert_as<float>(bytes, byte_planes, first, count, be, out);
        case ElementType::I16:
            if (datatype.is_signed) return convert_as<std::int16_t>(bytes, byte_planes, first, count, be, out);
            return convert_as<std::uint16_t>(bytes, byte_planes, first, count, be, out);
        case ElementType::I64:
            // Magnitudes above 2^53 round to the nearest float64, as NumPy does.
            if (datatype.is_signed) return convert_as<std::int64_t>(bytes, byte_planes, first, count, be, out);
            return convert_as<std::uint64_t>(bytes, byte_planes, first, count, be, out);
        case ElementType::I32:
            if (datatype.is_signed) return convert_as<std::int32_t>(bytes, byte_planes, first, count, be, out);
            return convert_as<std::uint32_t>(bytes, byte_planes, first, count, be, out);
        case ElementType::Byte:
            if (datatype.is_signed) return convert_as<std::int8_t>(bytes, byte_planes, first, count, be, out);
            return convert_as<std::uint8_t>(bytes, byte_planes, first, count, be, out);
    }
}

std::vector<double> convert_to_f64(ByteSpan bytes, const Datatype& datatype) {
    std::vector<double> values(static_cast<std::size_t>(bytes.size() / element_size(datatype.type)));
    convert_elements_f64(bytes, false, datatype, 0, values.size(), values.data());
    return values;
}

}  // namespace tarq
