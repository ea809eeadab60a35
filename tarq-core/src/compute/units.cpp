#include "compute/units.h"

#include <string>

#include "util/unicode.h"

namespace tarq {

namespace {

struct Spelling {
    std::string_view text;
    Unit unit;
};

constexpr Spelling kSpellings[] = {
    {"k", Unit::Kelvin}, {"kelvin", Unit::Kelvin},
    {"c", Unit::Celsius}, {"degc", Unit::Celsius}, {"celsius", Unit::Celsius},
    {"degree_celsius", Unit::Celsius}, {"degrees_celsius", Unit::Celsius},
    {"f", Unit::Fahrenheit}, {"degf", Unit::Fahrenheit}, {"fahrenheit", Unit::Fahrenheit},
    {"degrees_fahrenheit", Unit::Fahrenheit},
    {"pa", Unit::Pascal}, {"pascal", Unit::Pascal}, {"pascals", Unit::Pascal},
    {"hpa", Unit::Hectopascal}, {"hectopascal", Unit::Hectopascal}, {"hectopascals", Unit::Hectopascal},
    {"mb", Unit::Millibar}, {"mbar", Unit::Millibar}, {"millibar", Unit::Millibar},
    {"millibars", Unit::Millibar},
    {"inhg", Unit::InchesOfMercury}, {"incheshg", Unit::InchesOfMercury},
    {"inches_hg", Unit::InchesOfMercury},
    {"m/s", Unit::MetersPerSecond}, {"mps", Unit::MetersPerSecond}, {"ms-1", Unit::MetersPerSecond},
    {"m s-1", Unit::MetersPerSecond}, {"m_s-1", Unit::MetersPerSecond},
    {"meters_per_second", Unit::MetersPerSecond},
    {"kt", Unit::Knots}, {"kts", Unit::Knots}, {"knot", Unit::Knots}, {"knots", Unit::Knots},
    {"mph", Unit::Mph}, {"mi/h", Unit::Mph},
    {"kph", Unit::Kph}, {"kmh", Unit::Kph}, {"km/h", Unit::Kph},
    {"m", Unit::Meters}, {"meter", Unit::Meters}, {"meters", Unit::Meters},
    {"dam", Unit::Decameters}, {"dkm", Unit::Decameters}, {"decameter", Unit::Decameters},
    {"decameters", Unit::Decameters},
    {"ft", Unit::Feet}, {"feet", Unit::Feet}, {"foot", Unit::Feet},
    {"km", Unit::Kilometers}, {"kilometers", Unit::Kilometers},
    {"mi", Unit::Miles}, {"miles", Unit::Miles},
    {"kg/kg", Unit::KgPerKg}, {"kg kg-1", Unit::KgPerKg},
    {"g/kg", Unit::GramsPerKg}, {"g kg-1", Unit::GramsPerKg},
    {"%", Unit::Percent}, {"percent", Unit::Percent},
    {"j/kg", Unit::JoulesPerKg}, {"j kg-1", Unit::JoulesPerKg}, {"joules_per_kg", Unit::JoulesPerKg},
    {"deg", Unit::Degrees}, {"degree", Unit::Degrees}, {"degrees", Unit::Degrees},
    {"rad", Unit::Radians}, {"radians", Unit::Radians},
    {"dbz", Unit::Dbz},
    {"pa/s", Unit::PascalPerSecond}, {"pa s-1", Unit::PascalPerSecond},
    {"ub/s", Unit::MicrobarsPerSecond}, {"microbar/s", Unit::MicrobarsPerSecond},
    {"m2/s2", Unit::M2PerS2}, {"m2 s-2", Unit::M2PerS2}, {"m^2/s^2", Unit::M2PerS2},
    {"/s", Unit::PerSecond}, {"s-1", Unit::PerSecond}, {"1/s", Unit::PerSecond},
    {"", Unit::Dimensionless}, {"none", Unit::Dimensionless}, {"unitless", Unit::Dimensionless},
    {"dimensionless", Unit::Dimensionless},
    {"mm", Unit::Millimeters}, {"millimeters", Unit::Millimeters},
    {"in", Unit::Inches}, {"inches", Unit::Inches},
};

using Formula = double (*)(double);

struct Conversion {
    Unit from;
    Unit to;
    Formula formula;
};

// Each formula is evaluated exactly in the order written; the factors are kept
// as published even where two of them disagree (1.60934 against 1609.344).
constexpr Conversion kConversions[] = {
    {Unit::Kelvin, Unit::Celsius, [](double x) { return x - 273.15; }},
    {Unit::Kelvin, Unit::Fahrenheit, [](double x) { return ((x - 273.15) * 9) / 5 + 32; }},
    {Unit::Celsius, Unit::Kelvin, [](double x) { return x + 273.15; }},
    {Unit::Celsius, Unit::Fahrenheit, [](double x) { return (x * 9) / 5 + 32; }},
    {Unit::Fahrenheit, Unit::Kelvin, [](double x) { return ((x - 32) * 5) / 9 + 273.15; }},
    {Unit::Fahrenheit, Unit::Celsius, [](double x) { return ((x - 32) * 5) / 9; }},

    {Unit::Pascal, Unit::Hectopascal, [](double x) { return x / 100; }},
    {Unit::Pascal, Unit::Millibar, [](double x) { return x / 100; }},
    {Unit::Pascal, Unit::InchesOfMercury, [](double x) { return x / 3386.39; }},
    {Unit::Hectopascal, Unit::Pascal, [](double x) { return x * 100; }},
    {Unit::Millibar, Unit::Pascal, [](double x) { return x * 100; }},
    {Unit::Hectopascal, Unit::Millibar, [](double x) { return x; }},
    {Unit::Millibar, Unit::Hectopascal, [](double x) { return x; }},
    {Unit::Hectopascal, Unit::InchesOfMercury, [](double x) { return (x * 100) / 3386.39; }},
    {Unit::Millibar, Unit::InchesOfMercury, [](double x) { return (x * 100) / 3386.39; }},
    {Unit::InchesOfMercury, Unit::Pascal, [](double x) { return x * 3386.39; }},
    {Unit::InchesOfMercury, Unit::Hectopascal, [](double x) { return (x * 3386.39) / 100; }},
    {Unit::InchesOfMercury, Unit::Millibar, [](double x) { return (x * 3386.39) / 100; }},

    {Unit::MetersPerSecond, Unit::Knots, [](double x) { return x / 0.514444; }},
    {Unit::MetersPerSecond, Unit::Mph, [](double x) { return x / 0.44704; }},
    {Unit::MetersPerSecond, Unit::Kph, [](double x) { return x * 3.6; }},
    {Unit::Knots, Unit::MetersPerSecond, [](double x) { return x * 0.514444; }},
    {Unit::Knots, Unit::Mph, [](double x) { return (x * 0.514444) / 0.44704; }},
    {Unit::Knots, Unit::Kph, [](double x) { return (x * 0.514444) * 3.6; }},
    {Unit::Mph, Unit::MetersPerSecond, [](double x) { return x * 0.44704; }},
    {Unit::Mph, Unit::Knots, [](double x) { return (x * 0.44704) / 0.514444; }},
    {Unit::Mph, Unit::Kph, [](double x) { return x * 1.60934; }},
    {Unit::Kph, Unit::MetersPerSecond, [](double x) { return x / 3.6; }},
    {Unit::Kph, Unit::Knots, [](double x) { return x / 1.8519984; }},
    {Unit::Kph, Unit::Mph, [](double x) { return x / 1.60934; }},

    {Unit::Meters, Unit::Decameters, [](double x) { return x / 10; }},
    {Unit::Meters, Unit::Feet, [](double x) { return x / 0.3048; }},
    {Unit::Meters, Unit::Kilometers, [](double x) { return x / 1000; }},
    {Unit::Meters, Unit::Miles, [](double x) { return x / 1609.344; }},
    {Unit::Meters, Unit::Millimeters, [](double x) { return x * 1000; }},
    {Unit::Decameters, Unit::Meters, [](double x) { return x * 10; }},
    {Unit::Decameters, Unit::Feet, [](double x) { return (x * 10) / 0.3048; }},
    {Unit::Decameters, Unit::Kilometers, [](double x) { return x / 100; }},
    {Unit::Decameters, Unit::Miles, [](double x) { return (x * 10) / 1609.344; }},
    {Unit::Feet, Unit::Meters, [](double x) { return x * 0.3048; }},
    {Unit::Feet, Unit::Decameters, [](double x) { return (x * 0.3048) / 10; }},
    {Unit::Feet, Unit::Kilometers, [](double x) { return (x * 0.3048) / 1000; }},
    {Unit::Feet, Unit::Miles, [](double x) { return x / 5280; }},
    {Unit::Kilometers, Unit::Meters, [](double x) { return x * 1000; }},
    {Unit::Kilometers, Unit::Decameters, [](double x) { return x * 100; }},
    {Unit::Kilometers, Unit::Feet, [](double x) { return (x * 1000) / 0.3048; }},
    {Unit::Kilometers, Unit::Miles, [](double x) { return x / 1.60934; }},
    {Unit::Miles, Unit::Meters, [](double x) { return x * 1609.344; }},
    {Unit::Miles, Unit::Decameters, [](double x) { return (x * 1609.344) / 10; }},
    {Unit::Miles, Unit::Feet, [](double x) { return x * 5280; }},
    {Unit::Miles, Unit::Kilometers, [](double x) { return x * 1.60934; }},
    {Unit::Millimeters, Unit::Meters, [](double x) { return x / 1000; }},
    {Unit::Millimeters, Unit::Inches, [](double x) { return x / 25.4; }},
    {Unit::Inches, Unit::Millimeters, [](double x) { return x * 25.4; }},

    {Unit::KgPerKg, Unit::GramsPerKg, [](double x) { return x * 1000; }},
    {Unit::GramsPerKg, Unit::KgPerKg, [](double x) { return x / 1000; }},
    {Unit::Degrees, Unit::Radians, [](double x) { return (x * 3.141592653589793) / 180; }},
    {Unit::Radians, Unit::Degrees, [](double x) { return (x * 180) / 3.141592653589793; }},
    {Unit::PascalPerSecond, Unit::MicrobarsPerSecond, [](double x) { return x * 10; }},
    {Unit::MicrobarsPerSecond, Unit::PascalPerSecond, [](double x) { return x / 10; }},
};

Formula find_formula(Unit from, Unit to) noexcept {
    for (const Conversion& c : kConversions) {
        if (c.from == from && c.to == to) return c.formula;
    }
    return nullptr;
}

}  // namespace

std::string_view unit_name(Unit unit) noexcept {
    switch (unit) {
        case Unit::Kelvin: return "Kelvin";
        case Unit::Celsius: return "Celsius";
        case Unit::Fahrenheit: return "Fahrenheit";
        case Unit::Pascal: return "Pascal";
        case Unit::Hectopascal: return "Hectopascal";
        case Unit::Millibar: return "Millibar";
        case Unit::InchesOfMercury: return "InchesOfMercury";
        case Unit::MetersPerSecond: return "MetersPerSecond";
        case Unit::Knots: return "Knots";
        case Unit::Mph: return "Mph";
        case Unit::Kph: return "Kph";
        case Unit::Meters: return "Meters";
        case Unit::Decameters: return "Decameters";
        case Unit::Feet: return "Feet";
        case Unit::Kilometers: return "Kilometers";
        case Unit::Miles: return "Miles";
        case Unit::KgPerKg: return "KgPerKg";
        case Unit::GramsPerKg: return "GramsPerKg";
        case Unit::Percent: return "Percent";
        case Unit::JoulesPerKg: return "JoulesPerKg";
        case Unit::Degrees: return "Degrees";
        case Unit::Radians: return "Radians";
        case Unit::Dbz: return "Dbz";
        case Unit::PascalPerSecond: return "PascalPerSecond";
        case Unit::MicrobarsPerSecond: return "MicrobarsPerSecond";
        case Unit::M2PerS2: return "M2PerS2";
        case Unit::PerSecond: return "PerSecond";
        case Unit::Dimensionless: return "Dimensionless";
        case Unit::Millimeters: return "Millimeters";
        case Unit::Inches: return "Inches";
    }
    return "";
}

Result<Unit> parse_unit(std::string_view text) {
    // Lower-case before trimming: the lower-cased text is what the message shows.
    const std::string lowered = unicode_lower(text);
    const std::string_view key = trim_unicode_space(lowered);
    for (const Spelling& s : kSpellings) {
        if (s.text == key) return s.unit;
    }
    return fail(ErrorKind::UnitConversion, "unrecognized unit string: '" + std::string(key) + "'");
}

Result<void> convert_units(std::span<double> values, Unit from, Unit to) {
    if (from == to) return {};
    const Formula formula = find_formula(from, to);
    if (formula == nullptr) {
        return fail(ErrorKind::UnitConversion,
                    "cannot convert " + std::string(unit_name(from)) + " to " + std::string(unit_name(to)));
    }
    for (double& x : values) x = formula(x);
    return {};
}

}  // namespace tarq
