#include "util/unicode.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>

namespace tarq {

namespace {

struct CaseMapping {
    char32_t from;
    char32_t to[3];
};

#include "util/unicode_tables.inc"

struct Decoded {
    char32_t cp;
    std::size_t length;
};

// Decodes one well-formed UTF-8 sequence at the start of `s`.
std::optional<Decoded> decode(std::string_view s) {
    const auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80) return Decoded{b0, 1};
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) { length = 2; cp = b0 & 0x1F; min = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { length = 3; cp = b0 & 0x0F; min = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { length = 4; cp = b0 & 0x07; min = 0x10000; }
    else return std::nullopt;
    if (s.size() < length) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    return Decoded{cp, length};
}

void encode(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string map_case(std::string_view s, std::span<const CaseMapping> table) {
    std::string out;
    out.reserve(s.size());
    while (!s.empty()) {
        const auto d = decode(s);
        if (!d) {
            out += s[0];
            s.remove_prefix(1);
            continue;
        }
        const auto it = std::lower_bound(table.begin(), table.end(), d->cp,
                                         [](const CaseMapping& m, char32_t cp) { return m.from < cp; });
        if (it != table.end() && it->from == d->cp) {
            for (char32_t t : it->to) {
                if (t != 0) encode(t, out);
            }
        } else {
            out.append(s.substr(0, d->length));
        }
        s.remove_prefix(d->length);
    }
    return out;
}

bool is_space(char32_t cp) {
    return std::binary_search(std::begin(kWhiteSpace), std::end(kWhiteSpace), cp);
}

// Length of the UTF-8 sequence that ends at s.size(), or 0 if none is well formed.
std::size_t last_sequence_length(std::string_view s) {
    for (std::size_t n = 1; n <= 4 && n <= s.size(); ++n) {
        const auto d = decode(s.substr(s.size() - n));
        if (d && d->length == n) return n;
    }
    return 0;
}

}  // namespace

std::string unicode_lower(std::string_view utf8) { return map_case(utf8, kLowerMappings); }

std::string unicode_upper(std::string_view utf8) { return map_case(utf8, kUpperMappings); }

std::string_view trim_unicode_space(std::string_view s) {
    while (!s.empty()) {
        const auto d = decode(s);
        if (!d || !is_space(d->cp)) break;
        s.remove_prefix(d->length);
    }
    while (!s.empty()) {
        const std::size_t n = last_sequence_length(s);
        if (n == 0) break;
        const auto d = decode(s.substr(s.size() - n));
        if (!is_space(d->cp)) break;
        s.remove_suffix(n);
    }
    return s;
}

}  // namespace tarq
