#include "hdf5/bytes.h"

#include <cstring>

namespace tarq::hdf5 {

std::string hex_address(std::uint64_t address) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[address & 0xF]);
        address >>= 4;
    } while (address != 0);
    return "0x" + digits;
}

std::string byte_list(ByteSpan bytes) {
    std::string text = "[";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(bytes[i]);
    }
    return text + "]";
}

bool has_signature(ByteSpan bytes, const char (&signature)[5]) noexcept {
    return bytes.size() >= 4 && std::memcmp(bytes.data(), signature, 4) == 0;
}

}  // namespace tarq::hdf5
