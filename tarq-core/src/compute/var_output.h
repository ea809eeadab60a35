#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tarq {

// Result of compute_variable: values plus their dimensions (slowest first).
struct VarOutput {
    std::vector<double> data;
    std::vector<std::size_t> shape;
    std::string units;
    std::string description;
};

}  // namespace tarq
