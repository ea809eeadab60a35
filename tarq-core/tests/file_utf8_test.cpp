#include "io/bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarq {
namespace {

std::vector<std::uint8_t> bytes_of(std::string_view s) { return {s.begin(), s.end()}; }

TEST(Utf8Lossy, EachMaximalSubpartBecomesOneReplacement) {
    const std::string r = "\xEF\xBF\xBD";
    struct Case { std::string in; std::string out; };
    const std::vector<Case> cases = {
        {"2024-05-20_18:00:00", "2024-05-20_18:00:00"},
        {"\xC3\xA9", "\xC3\xA9"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"\xFF", r},
        {"\xE2\x82", r},                  // truncated at the end
        {"\xE2\x82" "a", r + "a"},        // truncated before an ASCII byte
        {"\xF0\x9F\x98", r},
        {"a\x80" "b", "a" + r + "b"},     // lone continuation byte
        {"\xC0\xAF", r + r},              // overlong lead is never valid
        {"\xE0\x80\xAF", r + r + r},      // E0 needs A0..BF next
        {"\xED\xA0\x80", r + r + r},      // surrogates
        {"\xF4\x90\x80\x80", r + r + r + r},  // above U+10FFFF
        {std::string("20\0\0", 4), std::string("20\0\0", 4)},
    };
    for (const Case& c : cases) EXPECT_EQ(utf8_lossy(bytes_of(c.in)), c.out) << c.in;
}

}  // namespace
}  // namespace tarq
