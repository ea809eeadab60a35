#include "compute/registry.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "util/unicode.h"

namespace tarq {
namespace {

TEST(Registry, HasEightyThreeRowsAndDistinctLowerCaseKeys) {
    const auto rows = variable_registry();
    ASSERT_EQ(rows.size(), 83u);
    std::set<std::string> keys;
    std::size_t aliases = 0;
    for (const VarSpec& row : rows) {
        keys.emplace(row.name);
        for (auto alias : row.aliases) keys.emplace(alias);
        aliases += row.aliases.size();
        ASSERT_NE(row.compute, nullptr) << row.name;
    }
    EXPECT_EQ(aliases, 98u);
    EXPECT_EQ(keys.size(), 181u);
    for (const auto& key : keys) EXPECT_EQ(unicode_lower(key), key);
}

TEST(Registry, EveryKeyResolvesToItsRow) {
    for (const VarSpec& row : variable_registry()) {
        EXPECT_EQ(lookup_variable(row.name), &row);
        EXPECT_EQ(lookup_variable(unicode_upper(row.name)), &row);
        for (auto alias : row.aliases) EXPECT_EQ(lookup_variable(alias), &row) << alias;
    }
}

TEST(Registry, LookupCases) {
    struct Case { const char* name; const char* row; };
    for (Case c : {Case{"P", "pressure"}, {"HGT", "terrain"}, {"XLAT", "lat"}, {"XLONG", "lon"},
                   {"QVAPOR", "mixing_ratio"}, {"TD2", "dp2m"}, {"RH2", "rh2m"},
                   {"TEMPERATURE_2M", "t2"},
                   // U+212A KELVIN SIGN lower-cases to ASCII k, so this is "tk".
                   {"T\u212A", "temp"}}) {
        const VarSpec* row = lookup_variable(c.name);
        ASSERT_NE(row, nullptr) << c.name;
        EXPECT_EQ(row->name, c.row);
    }
    for (const char* none : {"T", "U", "V", "W", "PH", "Q2", "PSFC", " slp", "sl", ""}) {
        EXPECT_EQ(lookup_variable(none), nullptr) << none;
    }
}

}  // namespace
}  // namespace tarq
