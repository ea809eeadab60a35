#pragma once
// What getvar would return for a name, found without computing anything: for
// callers that lay out many results before any is computed.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/error.h"

namespace tarq {

struct TarqFile;

struct VarDescription {
    std::string name;         // the catalogue row's name, or the stored variable's name as found
    std::string description;  // as getvar's result carries it
    std::string units;        // as getvar's result carries it
    bool is_raw = false;      // a stored variable, not a catalogue row
    // One field's dimensions: the row's grid ([nz, ny, nx] or [ny, nx]; a
    // multi-output row puts its count in front of these), or a stored
    // variable's result shape.
    std::vector<std::size_t> shape;
};

// The resolve path and shapes of compute_variable, with the same errors
// (UnknownVar, UnitConversion) and no time-index check.
[[nodiscard]] Result<VarDescription> describe_variable(const TarqFile& file, std::string_view name,
                                                       const std::optional<std::string>& units);

}  // namespace tarq
