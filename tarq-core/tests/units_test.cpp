#include "compute/units.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace tarq {
namespace {

constexpr int kUnitCount = 30;

Unit unit_at(int i) { return static_cast<Unit>(i); }

TEST(ParseUnit, EveryAcceptedSpelling) {
    struct Case { Unit unit; std::vector<const char*> spellings; };
    const std::vector<Case> cases = {
        {Unit::Kelvin, {"k", "kelvin"}},
        {Unit::Celsius, {"c", "degc", "celsius", "degree_celsius", "degrees_celsius"}},
        {Unit::Fahrenheit, {"f", "degf", "fahrenheit", "degrees_fahrenheit"}},
        {Unit::Pascal, {"pa", "pascal", "pascals"}},
        {Unit::Hectopascal, {"hpa", "hectopascal", "hectopascals"}},
        {Unit::Millibar, {"mb", "mbar", "millibar", "millibars"}},
        {Unit::InchesOfMercury, {"inhg", "incheshg", "inches_hg"}},
        {Unit::MetersPerSecond, {"m/s", "mps", "ms-1", "m s-1", "m_s-1", "meters_per_second"}},
        {Unit::Knots, {"kt", "kts", "knot", "knots"}},
        {Unit::Mph, {"mph", "mi/h"}},
        {Unit::Kph, {"kph", "kmh", "km/h"}},
        {Unit::Meters, {"m", "meter", "meters"}},
        {Unit::Decameters, {"dam", "dkm", "decameter", "decameters"}},
        {Unit::Feet, {"ft", "feet", "foot"}},
        {Unit::Kilometers, {"km", "kilometers"}},
        {Unit::Miles, {"mi", "miles"}},
        {Unit::KgPerKg, {"kg/kg", "kg kg-1"}},
        {Unit::GramsPerKg, {"g/kg", "g kg-1"}},
        {Unit::Percent, {"%", "percent"}},
        {Unit::JoulesPerKg, {"j/kg", "j kg-1", "joules_per_kg"}},
        {Unit::Degrees, {"deg", "degree", "degrees"}},
        {Unit::Radians, {"rad", "radians"}},
        {Unit::Dbz, {"dbz"}},
        {Unit::PascalPerSecond, {"pa/s", "pa s-1"}},
        {Unit::MicrobarsPerSecond, {"ub/s", "microbar/s"}},
        {Unit::M2PerS2, {"m2/s2", "m2 s-2", "m^2/s^2"}},
        {Unit::PerSecond, {"/s", "s-1", "1/s"}},
        {Unit::Dimensionless, {"", "none", "unitless", "dimensionless"}},
        {Unit::Millimeters, {"mm", "millimeters"}},
        {Unit::Inches, {"in", "inches"}},
    };
    ASSERT_EQ(cases.size(), static_cast<std::size_t>(kUnitCount));
    for (const Case& c : cases) {
        for (const char* s : c.spellings) {
            auto unit = parse_unit(s);
            ASSERT_TRUE(unit.has_value()) << s;
            EXPECT_EQ(*unit, c.unit) << s;
        }
    }
}

TEST(ParseUnit, LowerCasesAndTrimsUnicode) {
    struct Case { const char* text; Unit unit; };
    for (Case c : {Case{" hPa ", Unit::Hectopascal}, {"HECTOPASCALS", Unit::Hectopascal},
                   {"\t\n\v\f\rM/S\u00a0\u2003\u3000", Unit::MetersPerSecond},
                   {"   ", Unit::Dimensionless}, {"DegC", Unit::Celsius},
                   // U+212A KELVIN SIGN lower-cases to ASCII k.
                   {"\u212A", Unit::Kelvin}}) {
        auto unit = parse_unit(c.text);
        ASSERT_TRUE(unit.has_value()) << c.text;
        EXPECT_EQ(*unit, c.unit) << c.text;
    }
}

TEST(ParseUnit, RefusesOtherSpellingsNamingTheLoweredTrimmedText) {
    struct Case { const char* text; const char* message; };
    for (Case c : {Case{"Kelvins", "unrecognized unit string: 'kelvins'"},
                   {" PVU ", "unrecognized unit string: 'pvu'"},
                   {"degC/km", "unrecognized unit string: 'degc/km'"},
                   {"W/m2", "unrecognized unit string: 'w/m2'"},
                   {"m s - 1", "unrecognized unit string: 'm s - 1'"},
                   {"\u00c9", "unrecognized unit string: '\u00e9'"}}) {
        auto unit = parse_unit(c.text);
        ASSERT_FALSE(unit.has_value()) << c.text;
        EXPECT_EQ(unit.error().kind, ErrorKind::UnitConversion);
        EXPECT_EQ(unit.error().message, c.message);
    }
}

struct PairCase {
    Unit from;
    Unit to;
    double expected;  // the pair's formula applied to 12.5
};

// Every defined pair; values evaluated with the published formulas in their order.
const PairCase kPairs[] = {
    {Unit::Kelvin, Unit::Celsius, -260.65},
    {Unit::Kelvin, Unit::Fahrenheit, -437.16999999999996},
    {Unit::Celsius, Unit::Kelvin, 285.65},
    {Unit::Celsius, Unit::Fahrenheit, 54.5},
    {Unit::Fahrenheit, Unit::Kelvin, 262.31666666666666},
    {Unit::Fahrenheit, Unit::Celsius, -10.833333333333334},
    {Unit::Pascal, Unit::Hectopascal, 0.125},
    {Unit::Pascal, Unit::Millibar, 0.125},
    {Unit::Pascal, Unit::InchesOfMercury, 0.003691246430564702},
    {Unit::Hectopascal, Unit::Pascal, 1250.0},
    {Unit::Millibar, Unit::Pascal, 1250.0},
    {Unit::Hectopascal, Unit::Millibar, 12.5},
    {Unit::Millibar, Unit::Hectopascal, 12.5},
    {Unit::Hectopascal, Unit::InchesOfMercury, 0.3691246430564702},
    {Unit::Millibar, Unit::InchesOfMercury, 0.3691246430564702},
    {Unit::InchesOfMercury, Unit::Pascal, 42329.875},
    {Unit::InchesOfMercury, Unit::Hectopascal, 423.29875},
    {Unit::InchesOfMercury, Unit::Millibar, 423.29875},
    {Unit::MetersPerSecond, Unit::Knots, 24.298077147366865},
    {Unit::MetersPerSecond, Unit::Mph, 27.96170365068003},
    {Unit::MetersPerSecond, Unit::Kph, 45.0},
    {Unit::Knots, Unit::MetersPerSecond, 6.43055},
    {Unit::Knots, Unit::Mph, 14.384730672870438},
    {Unit::Knots, Unit::Kph, 23.149980000000003},
    {Unit::Mph, Unit::MetersPerSecond, 5.588},
    {Unit::Mph, Unit::Knots, 10.862212407958884},
    {Unit::Mph, Unit::Kph, 20.11675},
    {Unit::Kph, Unit::MetersPerSecond, 3.4722222222222223},
    {Unit::Kph, Unit::Knots, 6.749465874268574},
    {Unit::Kph, Unit::Mph, 7.767159208122584},
    {Unit::Meters, Unit::Decameters, 1.25},
    {Unit::Meters, Unit::Feet, 41.01049868766404},
    {Unit::Meters, Unit::Kilometers, 0.0125},
    {Unit::Meters, Unit::Miles, 0.007767139902966675},
    {Unit::Meters, Unit::Millimeters, 12500.0},
    {Unit::Decameters, Unit::Meters, 125.0},
    {Unit::Decameters, Unit::Feet, 410.1049868766404},
    {Unit::Decameters, Unit::Kilometers, 0.125},
    {Unit::Decameters, Unit::Miles, 0.07767139902966674},
    {Unit::Feet, Unit::Meters, 3.81},
    {Unit::Feet, Unit::Decameters, 0.381},
    {Unit::Feet, Unit::Kilometers, 0.00381},
    {Unit::Feet, Unit::Miles, 0.0023674242424242425},
    {Unit::Kilometers, Unit::Meters, 12500.0},
    {Unit::Kilometers, Unit::Decameters, 1250.0},
    {Unit::Kilometers, Unit::Feet, 41010.49868766404},
    {Unit::Kilometers, Unit::Miles, 7.767159208122584},
    {Unit::Miles, Unit::Meters, 20116.8},
    {Unit::Miles, Unit::Decameters, 2011.6799999999998},
    {Unit::Miles, Unit::Feet, 66000.0},
    {Unit::Miles, Unit::Kilometers, 20.11675},
    {Unit::Millimeters, Unit::Meters, 0.0125},
    {Unit::Millimeters, Unit::Inches, 0.4921259842519685},
    {Unit::Inches, Unit::Millimeters, 317.5},
    {Unit::KgPerKg, Unit::GramsPerKg, 12500.0},
    {Unit::GramsPerKg, Unit::KgPerKg, 0.0125},
    {Unit::Degrees, Unit::Radians, 0.2181661564992912},
    {Unit::Radians, Unit::Degrees, 716.1972439135291},
    {Unit::PascalPerSecond, Unit::MicrobarsPerSecond, 125.0},
    {Unit::MicrobarsPerSecond, Unit::PascalPerSecond, 1.25},
};

TEST(ConvertUnits, EveryDefinedPairAppliesItsFormulaExactly) {
    for (const PairCase& c : kPairs) {
        std::vector<double> v = {12.5};
        ASSERT_TRUE(convert_units(v, c.from, c.to).has_value()) << unit_name(c.from) << "->" << unit_name(c.to);
        EXPECT_EQ(v[0], c.expected) << unit_name(c.from) << "->" << unit_name(c.to);
    }
}

TEST(ConvertUnits, NoPairOutsideTheTableAndSameUnitIsIdentity) {
    int defined = 0;
    for (int a = 0; a < kUnitCount; ++a) {
        for (int b = 0; b < kUnitCount; ++b) {
            std::vector<double> v = {7.0, -1.0};
            const bool listed = a == b || std::any_of(std::begin(kPairs), std::end(kPairs), [&](const PairCase& c) {
                                    return c.from == unit_at(a) && c.to == unit_at(b);
                                });
            auto r = convert_units(v, unit_at(a), unit_at(b));
            EXPECT_EQ(r.has_value(), listed) << unit_name(unit_at(a)) << "->" << unit_name(unit_at(b));
            if (a == b) {
                EXPECT_EQ(v, (std::vector<double>{7.0, -1.0}));
            }
            if (!r) {
                EXPECT_EQ(r.error().kind, ErrorKind::UnitConversion);
                EXPECT_EQ(r.error().message, "cannot convert " + std::string(unit_name(unit_at(a))) + " to " +
                                                 std::string(unit_name(unit_at(b))));
                EXPECT_EQ(v, (std::vector<double>{7.0, -1.0})) << "failed conversion must not touch values";
            }
            defined += r.has_value() && a != b;
        }
    }
    EXPECT_EQ(defined, 60);
}

TEST(ConvertUnits, PublishedExamples) {
    struct Case { Unit from; Unit to; double x; double expected; };
    for (Case c : {Case{Unit::Kelvin, Unit::Fahrenheit, 300.0, ((300.0 - 273.15) * 9) / 5 + 32},
                   {Unit::Knots, Unit::Kph, 10.0, 18.519984},
                   {Unit::Kph, Unit::Knots, 100.0, 100.0 / 1.8519984},
                   {Unit::Miles, Unit::Kilometers, 1.0, 1.60934},
                   {Unit::Miles, Unit::Meters, 1.0, 1609.344},
                   {Unit::Millibar, Unit::Hectopascal, 1013.25, 1013.25}}) {
        std::vector<double> v = {c.x};
        ASSERT_TRUE(convert_units(v, c.from, c.to).has_value());
        EXPECT_DOUBLE_EQ(v[0], c.expected) << unit_name(c.from) << "->" << unit_name(c.to);
    }
    std::vector<double> v = {300.0};
    ASSERT_TRUE(convert_units(v, Unit::Kelvin, Unit::Fahrenheit).has_value());
    EXPECT_NEAR(v[0], 80.33, 1e-12);
}

TEST(ConvertUnits, NanStaysNanOthersConvert) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> v = {100000.0, nan, 50000.0, -inf};
    ASSERT_TRUE(convert_units(v, Unit::Pascal, Unit::Hectopascal).has_value());
    EXPECT_EQ(v[0], 1000.0);
    EXPECT_TRUE(std::isnan(v[1]));
    EXPECT_EQ(v[2], 500.0);
    EXPECT_EQ(v[3], -inf);
}

}  // namespace
}  // namespace tarq
