#include "util/grid_loops.h"

namespace tarq {

void gather_column(std::span<const double> field, std::size_t nz, std::size_t ncol, std::size_t col,
                   std::vector<double>& out) {
    out.resize(nz);
    for (std::size_t k = 0; k < nz; ++k) out[k] = field[k * ncol + col];
}

}  // namespace tarq
