#include "io/bytes.h"

namespace tarq {

std::optional<std::uint64_t> le_uint(ByteSpan data, std::size_t offset, std::size_t width) noexcept {
    if (width == 0 || width > 8 || !fits(data.size(), offset, width)) return std::nullopt;
    return le_uint_unchecked(data, offset, width);
}

std::uint64_t le_uint_unchecked(ByteSpan data, std::size_t offset, std::size_t width) noexcept {
    std::uint64_t value = 0;
    for (std::size_t i = width; i > 0; --i) value = (value << 8) | data[offset + i - 1];
    return value;
}

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence starting at bytes[i], or the length of
// its maximal invalid prefix negated (at least 1) when it is not valid.
int utf8_sequence(ByteSpan bytes, std::size_t i) noexcept {
    const std::uint8_t lead = bytes[i];
    if (lead < 0x80) return 1;
    int length = 0;
    std::uint8_t lo = 0x80, hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return -1;
    }
    for (int k = 1; k < length; ++k) {
        if (i + k >= bytes.size()) return -k;
        const std::uint8_t c = bytes[i + k];
        const std::uint8_t low = k == 1 ? lo : 0x80;
        const std::uint8_t high = k == 1 ? hi : 0xBF;
        if (c < low || c > high) return -k;
    }
    return length;
}

}  // namespace

std::string utf8_lossy(ByteSpan bytes) {
    std::string text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const int n = utf8_sequence(bytes, i);
        if (n > 0) {
            text.append(reinterpret_cast<const char*>(bytes.data() + i), static_cast<std::size_t>(n));
            i += static_cast<std::size_t>(n);
        } else {
            text += kReplacement;
            i += static_cast<std::size_t>(-n);
        }
    }
    return text;
}

std::string strip_trailing_nuls(std::string text) {
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

}  // namespace tarq
