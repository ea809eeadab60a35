#include "util/unicode.h"

#include <algorithm>
#include <iterator>
#include <cstdint>
#include <optional>
#include <span>

namespace tarq {

namespace {

struct CaseMapping {
    char32_t from;
    char32_t to[3];
};

struct CodeRange {
    char32_t lo;
    char32_t hi;
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

// Length of the UTF-8 sequence that ends at s.size(), or 0 if none is well formed.
std::size_t last_sequence_length(std::string_view s) {
    for (std::size_t n = 1; n <= 4 && n <= s.size(); ++n) {
        const auto d = decode(s.substr(s.size() - n));
        if (d && d->length == n) return n;
    }
    return 0;
}

bool in_ranges(std::span<const CodeRange> ranges, char32_t cp) {
    const auto after = std::upper_bound(ranges.begin(), ranges.end(), cp,
                                        [](char32_t c, const CodeRange& r) { return c < r.lo; });
    return after != ranges.begin() && cp <= std::prev(after)->hi;
}

constexpr char32_t kCapitalSigma = 0x3A3;
constexpr char32_t kFinalSigma = 0x3C2;

// The Final_Sigma condition of Unicode section 3.13: a capital sigma that
// follows a cased letter and precedes none, case-ignorable code points skipped
// on either side, lower-cases to the final form. Bytes that are not UTF-8 are
// neither cased nor ignorable.
bool ends_a_word(std::string_view before, std::string_view after) {
    bool cased_before = false;
    while (!before.empty()) {
        const std::size_t n = last_sequence_length(before);
        if (n == 0) break;
        const char32_t cp = decode(before.substr(before.size() - n))->cp;
        if (!in_ranges(kCaseIgnorable, cp)) {
            cased_before = in_ranges(kCasedNotIgnorable, cp);
            break;
        }
        before.remove_suffix(n);
    }
    if (!cased_before) return false;
    while (!after.empty()) {
        const auto d = decode(after);
        if (!d) return true;
        if (!in_ranges(kCaseIgnorable, d->cp)) return !in_ranges(kCasedNotIgnorable, d->cp);
        after.remove_prefix(d->length);
    }
    return true;
}

std::string map_case(const std::string_view text, std::span<const CaseMapping> table, bool final_sigma) {
    std::string out;
    out.reserve(text.size());
    std::string_view s = text;
    while (!s.empty()) {
        const auto d = decode(s);
        if (!d) {
            out += s[0];
            s.remove_prefix(1);
            continue;
        }
        if (final_sigma && d->cp == kCapitalSigma &&
            ends_a_word(text.substr(0, text.size() - s.size()), s.substr(d->length))) {
            encode(kFinalSigma, out);
            s.remove_prefix(d->length);
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

}  // namespace

std::string unicode_lower(std::string_view utf8) { return map_case(utf8, kLowerMappings, true); }

std::string unicode_upper(std::string_view utf8) { return map_case(utf8, kUpperMappings, false); }

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
