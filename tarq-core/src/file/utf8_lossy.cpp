#include "file/utf8_lossy.h"

#include <string_view>

namespace tarq {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

struct LeadByte {
    std::size_t length;      // bytes of the whole sequence; 0 when b cannot lead
    std::uint8_t second_lo;  // allowed range of the second byte (Table 3-7)
    std::uint8_t second_hi;
};

LeadByte classify(std::uint8_t b) noexcept {
    if (b < 0x80) return {1, 0, 0};
    if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
    if (b == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

}  // namespace

std::string decode_utf8_lossy(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const LeadByte lead = classify(bytes[i]);
        if (lead.length == 0) {
            text += kReplacement;
            ++i;
            continue;
        }
        std::size_t good = 1;  // bytes of a valid prefix seen so far
        while (good < lead.length && i + good < bytes.size()) {
            const std::uint8_t b = bytes[i + good];
            const std::uint8_t lo = good == 1 ? lead.second_lo : 0x80;
            const std::uint8_t hi = good == 1 ? lead.second_hi : 0xBF;
            if (b < lo || b > hi) break;
            ++good;
        }
        if (good == lead.length) {
            text.append(reinterpret_cast<const char*>(bytes.data() + i), good);
        } else {
            text += kReplacement;
        }
        i += good;
    }
    return text;
}

}  // namespace tarq
