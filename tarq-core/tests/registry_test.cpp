#include "compute/registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <variant>

#include "compute/dispatch.h"
#include "compute/resolve.h"
#include "file/tarq_file.h"
#include "util/unicode.h"

namespace tarq {
namespace {

TEST(Registry, HasEightyThreeRowsThenTheAppendedOnesAndDistinctLowerCaseKeys) {
    const auto rows = variable_registry();
    // The 83 first rows end with lapse_rate; the stability, ecape and
    // precipitation rows follow.
    ASSERT_EQ(rows.size(), 95u);
    EXPECT_EQ(rows[82].name, "lapse_rate");
    EXPECT_EQ(rows[83].name, "lifted_index");
    std::set<std::string> keys;
    std::size_t aliases = 0;
    for (const VarSpec& row : rows) {
        keys.emplace(row.name);
        for (auto alias : row.aliases) keys.emplace(alias);
        aliases += row.aliases.size();
        ASSERT_NE(row.compute, nullptr) << row.name;
    }
    EXPECT_EQ(aliases, 104u);
    EXPECT_EQ(keys.size(), 199u);
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

// Multi-field rows return their fields one after another: each field fills
// the row's grid, so a wrong declaration is caught on a real file.
TEST(Registry, MultiFieldRowsReturnTheirDeclaredFields) {
    const auto sample = std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "python" / "tarq" / "data" /
                        "sample.nc";
    auto file = open_tarq_file(sample.string());
    ASSERT_TRUE(file) << file.error().message;
    const ComputeOptions none;
    std::size_t multi = 0;
    for (const VarSpec& row : variable_registry()) {
        if (row.fields.empty()) continue;
        ++multi;
        const auto grid = row_grid(**file, row);
        std::size_t per_field = 1;
        for (std::size_t d : grid) per_field *= d;
        auto data = row.compute(**file, 0, none);
        ASSERT_TRUE(data) << row.name << ": " << data.error().message;
        EXPECT_EQ(data->size(), row.fields.size() * per_field) << row.name;
        auto output = compute_variable(**file, row.name, 0, none);
        ASSERT_TRUE(output) << row.name;
        EXPECT_EQ(output->shape.front(), row.fields.size()) << row.name;
    }
    EXPECT_EQ(multi, 9u);
}

// Each declared option is a ComputeOptions member, read once per row, with a
// default of the member's type; units is the dispatcher's, never a row's.
TEST(Registry, DeclaredOptionsAreComputeOptionsMembers) {
    enum class Kind { Text, Number, Flag, Pair };
    const std::map<std::string_view, Kind> members = {
        {"parcel_type", Kind::Text},     {"storm_motion", Kind::Pair},      {"top_m", Kind::Number},
        {"bottom_m", Kind::Number},      {"depth_m", Kind::Number},         {"parcel_pressure", Kind::Number},
        {"parcel_temperature", Kind::Number}, {"parcel_dewpoint", Kind::Number}, {"bottom_p", Kind::Number},
        {"top_p", Kind::Number},         {"layer_type", Kind::Text},        {"use_virtual", Kind::Flag},
        {"lake_interp", Kind::Number},
    };
    for (const VarSpec& row : variable_registry()) {
        std::set<std::string_view> seen;
        for (const OptionSpec& option : row.options) {
            SCOPED_TRACE(std::string(row.name) + " " + std::string(option.keyword));
            const auto member = members.find(option.keyword);
            ASSERT_NE(member, members.end());
            EXPECT_TRUE(seen.insert(option.keyword).second);
            const Kind kind = member->second;
            std::visit(
                [&](const auto& value) {
                    using T = std::decay_t<decltype(value)>;
                    if constexpr (std::is_same_v<T, double>) {
                        EXPECT_EQ(kind, Kind::Number);
                    }
                    if constexpr (std::is_same_v<T, bool>) {
                        EXPECT_EQ(kind, Kind::Flag);
                    }
                    if constexpr (std::is_same_v<T, std::string_view>) {
                        EXPECT_EQ(kind, Kind::Text);
                    }
                },
                option.fallback);
        }
    }
}

}  // namespace
}  // namespace tarq
