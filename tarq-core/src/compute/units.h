#pragma once
// Unit strings and conversions between the units getvar can deliver. Only the
// listed pairs convert; every other pair is refused, even within one physical
// dimension.

#include <span>
#include <string_view>

#include "util/error.h"

namespace tarq {

enum class Unit {
    Kelvin,
    Celsius,
    Fahrenheit,
    Pascal,
    Hectopascal,
    Millibar,
    InchesOfMercury,
    MetersPerSecond,
    Knots,
    Mph,
    Kph,
    Meters,
    Decameters,
    Feet,
    Kilometers,
    Miles,
    KgPerKg,
    GramsPerKg,
    Percent,
    JoulesPerKg,
    Degrees,
    Radians,
    Dbz,
    PascalPerSecond,
    MicrobarsPerSecond,
    M2PerS2,
    PerSecond,
    Dimensionless,
    Millimeters,
    Inches,
};

// Member name as used in error messages ("Kelvin", "MetersPerSecond", ...).
[[nodiscard]] std::string_view unit_name(Unit unit) noexcept;

// Lower-cases (full Unicode) and trims the text, then looks up the spelling.
[[nodiscard]] Result<Unit> parse_unit(std::string_view text);

// Converts in place; on failure the values are left untouched.
[[nodiscard]] Result<void> convert_units(std::span<double> values, Unit from, Unit to);

}  // namespace tarq
